#include "class/explaining/copying.h"

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
    groups_.push_back(RareGroup{mark, static_cast<std::uint32_t>(groupStudents_.size()),
                                static_cast<std::uint32_t>(sharers)});
    groupStudents_.insert(groupStudents_.end(), students.begin(), students.end());
    forEachPair(groups_.back(), [&](std::uint64_t key, bool counts) {
        if (!counts)
            return;
        PairCount& count = counts_[key];
        ++count.pieces;
        count.rarity += 1.0 / static_cast<double>(sharers - 1);
    });
}

template <typename Pair>
void CopyFinder::forEachPair(const RareGroup& group, Pair&& pair)
{
    // A kind of cause counts once for a pair, however many tests show it.
    bool cause = places_.placeOf(group.mark.place).causes;
    auto kind = static_cast<std::uint32_t>(group.mark.hash >> 32);
    const std::uint32_t* students = groupStudents_.data() + group.first;
    for (std::uint32_t i = 0; i < group.sharers; ++i)
        for (std::uint32_t j = i + 1; j < group.sharers; ++j) {
            std::uint64_t key = std::uint64_t{students[i]} << 32 | students[j];
            pair(key, !cause || kindsCounted_.insert({key, kind}).second);
        }
}

std::vector<SuspectedPair> CopyFinder::suspects()
{
    double pairs = static_cast<double>(students_) * static_cast<double>(students_ > 0 ? students_ - 1 : 0) / 2;
    threshold = thresholdFor(pairs, pairs > 0 ? coincidences_ / pairs : 0, toleratedHonestPairs);
    // Only the pairs listed are told what they share: a second walk
    // through the rare groups, in the same order, gathers it.
    std::vector<SuspectedPair> listed;
    std::unordered_map<std::uint64_t, std::size_t> at;
    for (const auto& [key, count] : counts_)
        if (count.pieces >= threshold.pieces) {
            at[key] = listed.size();
            listed.push_back(SuspectedPair{static_cast<std::uint32_t>(key >> 32), static_cast<std::uint32_t>(key),
                                           count.pieces, count.rarity, {}});
        }
    counts_.clear();
    kindsCounted_.clear();
    for (const RareGroup& group : groups_) {
        Place place = places_.placeOf(group.mark.place);
        SharedAnswer answer{place, group.sharers, group.mark.hash};
        forEachPair(group, [&](std::uint64_t key, bool counts) {
            auto found = at.find(key);
            if (counts && found != at.end())
                listed[found->second].shared.push_back(answer);
        });
    }
    std::sort(listed.begin(), listed.end(), [](const SuspectedPair& a, const SuspectedPair& b) {
        if (a.pieces != b.pieces)
            return a.pieces > b.pieces;
        if (std::abs(a.rarity - b.rarity) > rarityMargin)
            return a.rarity > b.rarity;
        return std::tie(a.first, a.second) < std::tie(b.first, b.second);
    });
    return listed;
}
