#include "class/model/addresses.h"

#include <algorithm>

namespace {

constexpr std::uint32_t mostDigits = 16;

}  // namespace

bool readAddress(std::string_view text, unsigned base, ReadAddress& read)
{
    read = ReadAddress();
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        read.forms |= prefixed;
    }
    if (text.empty() || text.size() > mostDigits)
        return false;
    for (char c : text) {
        int digit = hexDigitValue(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
            return false;
        if (c >= 'a' && c <= 'f')
            read.forms |= lowercase;
        read.value = read.value * base + static_cast<unsigned>(digit);
    }
    read.digits = static_cast<std::uint32_t>(text.size());
    return true;
}

std::uint32_t digitsOf(std::uint64_t value, unsigned base)
{
    std::uint32_t digits = 1;
    for (; value >= base; value /= base)
        ++digits;
    return digits;
}

std::uint32_t digitsDiffering(std::uint64_t a, std::uint64_t b, unsigned base, std::uint32_t most)
{
    std::uint32_t differing = 0;
    for (; (a != 0 || b != 0) && differing < most; a /= base, b /= base)
        differing += a % base != b % base ? 1 : 0;
    return differing;
}
