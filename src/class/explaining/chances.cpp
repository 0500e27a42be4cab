#include "class/explaining/chances.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>

// A number from 0 to 1 is positive or zero: the bits of such doubles sort
// as the numbers do, and are sorted 11 at a time, in six passes over them;
// a few are sorted as they are.
void sortChances(std::vector<double>& chances)
{
    constexpr std::size_t leastForPasses = 4096;
    constexpr unsigned digitBits = 11;
    constexpr unsigned passes = (64 + digitBits - 1) / digitBits;
    constexpr std::size_t digits = std::size_t{1} << digitBits;
    if (chances.size() < leastForPasses) {
        std::sort(chances.begin(), chances.end());
        return;
    }
    std::vector<double> sorted(chances.size());
    std::vector<std::size_t> starts(digits);
    // An even count of passes leaves them where they began.
    static_assert(passes % 2 == 0);
    for (unsigned shift = 0; shift < passes * digitBits; shift += digitBits) {
        auto digit = [&](double chance) { return std::bit_cast<std::uint64_t>(chance) >> shift & (digits - 1); };
        std::fill(starts.begin(), starts.end(), 0);
        for (double chance : chances)
            ++starts[digit(chance)];
        std::size_t start = 0;
        for (std::size_t& count : starts)
            start += std::exchange(count, start);
        for (double chance : chances)
            sorted[starts[digit(chance)]++] = chance;
        chances.swap(sorted);
    }
}
