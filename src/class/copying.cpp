#include "copying.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

// A common bug is shared by more than this part of the graded students.
constexpr std::uint64_t commonShareDivisor = 10;

// Sums of weights are compared with a margin, as floating point.
constexpr double weightMargin = 1e-9;

}  // namespace

CopyFinder::CopyFinder(const MarkPlaces& places, const std::vector<std::uint64_t>& gradedPerTest) : places_(places)
{
    for (std::uint64_t graded : gradedPerTest)
        mostSharers_.push_back(std::clamp<std::uint64_t>(graded / commonShareDivisor, 2, mostSharersWeighed));
}

void CopyFinder::shared(const Mark& mark, std::span<const std::uint32_t> students)
{
    std::uint64_t sharers = students.size();
    if (sharers < 2)
        return;
    Place place = places_.placeOf(mark.place);
    if (place.test >= mostSharers_.size() || sharers > mostSharers_[place.test])
        return;
    double weight = 1.0 / static_cast<double>(sharers - 1);
    SharedAnswer answer{place, static_cast<std::uint32_t>(sharers)};
    for (std::size_t i = 0; i < students.size(); ++i)
        for (std::size_t j = i + 1; j < students.size(); ++j) {
            SuspectedPair& pair = pairs_[std::uint64_t{students[i]} << 32 | students[j]];
            pair.first = students[i];
            pair.second = students[j];
            pair.weight += weight;
            pair.shared.push_back(answer);
        }
}

std::vector<SuspectedPair> CopyFinder::suspects()
{
    std::vector<SuspectedPair> listed;
    for (auto& [key, pair] : pairs_)
        if (pair.weight + weightMargin >= suspicionThreshold)
            listed.push_back(std::move(pair));
    std::sort(listed.begin(), listed.end(), [](const SuspectedPair& a, const SuspectedPair& b) {
        if (std::abs(a.weight - b.weight) > weightMargin)
            return a.weight > b.weight;
        return std::tie(a.first, a.second) < std::tie(b.first, b.second);
    });
    return listed;
}
