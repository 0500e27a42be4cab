#include "copying.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

// A piece counts when at most this part of a test's graded students hold
// it, and never fewer than the least nor more than the most students.
constexpr std::uint64_t rareShareDivisor = 40;
constexpr std::uint64_t leastRareSharers = 3;
constexpr std::uint64_t mostRareSharers = 8;

// The pairs that chance alone may list in a class, on average.
constexpr double toleratedHonestPairs = 0.1;

// No pair is asked to share more than this; past it the count is the cap.
constexpr std::uint32_t mostPiecesAsked = 64;

// Sums of rarities are compared with a margin, as floating point.
constexpr double rarityMargin = 1e-9;

// The chance that a Poisson count of mean `rate` reaches `count`.
double poissonTail(double rate, std::uint32_t count)
{
    if (rate <= 0)
        return 0;
    double term = std::exp(-rate);
    for (std::uint32_t i = 1; i <= count; ++i)
        term *= rate / i;
    double tail = 0;
    for (std::uint32_t i = count; i < count + 200 && term > tail * 1e-17; ++i) {
        tail += term;
        term *= rate / (i + 1);
    }
    return std::min(tail, 1.0);
}

}  // namespace

CopyThreshold thresholdFor(double pairs, double rate, double tolerated)
{
    CopyThreshold threshold;
    threshold.rate = rate;
    for (threshold.pieces = 2; threshold.pieces < mostPiecesAsked; ++threshold.pieces)
        if (pairs * poissonTail(rate, threshold.pieces) < tolerated)
            break;
    threshold.expectedHonest = pairs * poissonTail(rate, threshold.pieces);
    return threshold;
}

CopyFinder::CopyFinder(const MarkPlaces& places, const std::vector<std::uint64_t>& gradedPerTest, std::uint64_t students)
    : places_(places), students_(students)
{
    for (std::uint64_t graded : gradedPerTest)
        mostSharers_.push_back(std::clamp<std::uint64_t>(graded / rareShareDivisor, leastRareSharers, mostRareSharers));
}

void CopyFinder::shared(const Mark& mark, std::span<const std::uint32_t> students)
{
    std::uint64_t sharers = students.size();
    if (sharers < 2)
        return;
    Place place = places_.placeOf(mark.place);
    if (place.test >= mostSharers_.size() || sharers > mostSharers_[place.test])
        return;
    coincidences_ += static_cast<double>(sharers * (sharers - 1) / 2);
    auto kind = static_cast<std::uint32_t>(mark.hash >> 32);
    SharedAnswer answer{place, static_cast<std::uint32_t>(sharers), mark.hash};
    for (std::size_t i = 0; i < students.size(); ++i)
        for (std::size_t j = i + 1; j < students.size(); ++j) {
            SuspectedPair& pair = pairs_[std::uint64_t{students[i]} << 32 | students[j]];
            pair.first = students[i];
            pair.second = students[j];
            if (place.causes) {
                if (std::find(pair.kinds.begin(), pair.kinds.end(), kind) != pair.kinds.end())
                    continue;
                pair.kinds.push_back(kind);
            }
            ++pair.pieces;
            pair.rarity += 1.0 / static_cast<double>(sharers - 1);
            pair.shared.push_back(answer);
        }
}

std::vector<SuspectedPair> CopyFinder::suspects()
{
    double pairs = static_cast<double>(students_) * static_cast<double>(students_ > 0 ? students_ - 1 : 0) / 2;
    threshold = thresholdFor(pairs, pairs > 0 ? coincidences_ / pairs : 0, toleratedHonestPairs);
    std::vector<SuspectedPair> listed;
    for (auto& [key, pair] : pairs_)
        if (pair.pieces >= threshold.pieces)
            listed.push_back(std::move(pair));
    pairs_.clear();
    std::sort(listed.begin(), listed.end(), [](const SuspectedPair& a, const SuspectedPair& b) {
        if (a.pieces != b.pieces)
            return a.pieces > b.pieces;
        if (std::abs(a.rarity - b.rarity) > rarityMargin)
            return a.rarity > b.rarity;
        return std::tie(a.first, a.second) < std::tie(b.first, b.second);
    });
    return listed;
}
