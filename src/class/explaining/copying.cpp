#include "class/explaining/copying.h"

#include "class/explaining/chances.h"
#include "class/explaining/findings.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <tuple>

namespace {

// A piece counts when at most this part of a test's graded students hold
// it, and never fewer than the least nor more than the most students.  The
// most bounds the pairs that one piece adds: a class of 20,000 holds
// hundreds of thousands of pieces, and a piece of 32 holders would add 496
// pairs where one of 8 adds 28, past the memory a class's run is held to.
constexpr std::uint64_t rareShareDivisor = 40;
constexpr std::uint64_t leastRareSharers = 3;
constexpr std::uint64_t mostRareSharers = 8;

// The pairs that chance alone may list in a class, on average.
constexpr double toleratedHonestPairs = 0.5;

// No pair is asked to share more than this; past it the count is the cap.
constexpr std::uint32_t mostPiecesAsked = 64;

// A pair listed for hand edits that are all of one student's is weighed as
// if their holders on one test were drawn apart from those on another; but
// students whose assemblers make the same mistakes share edits on several
// tests together, which makes such pairs likelier than that, so this rule
// is held to this share of what the threshold leaves of its tolerance.
constexpr double wholeToleranceShare = 0.2;

// A ring is looked for only among students who share two pieces or more
// with at most this many others: a member of a real ring shares them with
// two or three, and a hostile class whose every student shares pieces with
// every other would otherwise make its triangles a cube of its size.
constexpr std::size_t mostRingNeighbours = 16;

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

CopyFinder::CopyFinder(const MarkPlaces& places, const std::vector<std::uint64_t>& gradedPerTest,
                       std::uint64_t students, std::vector<std::uint32_t> prints, std::vector<std::uint32_t> mistakes)
    : places_(places), students_(students), prints_(std::move(prints)), mistakes_(std::move(mistakes))
{
    for (std::uint64_t graded : gradedPerTest)
        mostSharers_.push_back(std::clamp<std::uint64_t>(graded / rareShareDivisor, leastRareSharers, mostRareSharers));
    std::size_t tests = mostSharers_.size();
    lineCoincidences_.assign(tests, 0);
    lineOwned_.assign(tests, 0);
    double pairs = static_cast<double>(students_) * static_cast<double>(students_ > 0 ? students_ - 1 : 0) / 2;
    alikePairs_.assign(tests, pairs);
    if (prints_.empty())
        return;
    std::vector<std::uint32_t> keys;
    for (std::size_t t = 0; t < tests; ++t) {
        keys.clear();
        for (std::size_t at = t; at < prints_.size(); at += tests)
            if (prints_[at] != unprinted)
                keys.push_back(prints_[at]);
        std::sort(keys.begin(), keys.end());
        alikePairs_[t] = 0;
        for (std::size_t from = 0, to = 0; from < keys.size(); from = to) {
            while (to < keys.size() && keys[to] == keys[from])
                ++to;
            auto alike = static_cast<double>(to - from);
            alikePairs_[t] += alike * (alike - 1) / 2;
        }
    }
}

void CopyFinder::shared(const Mark& mark, std::span<const std::uint32_t> students)
{
    std::uint64_t sharers = students.size();
    if (sharers == 0)
        return;
    Place place = places_.placeOf(mark.place);
    if (place.test >= mostSharers_.size() || sharers > mostSharers_[place.test])
        return;
    if (!place.causes)
        hold(students, place.test);
    if (sharers < 2)
        return;
    groups_.push_back(RareGroup{mark, static_cast<std::uint32_t>(groupStudents_.size()),
                                static_cast<std::uint32_t>(sharers)});
    groupStudents_.insert(groupStudents_.end(), students.begin(), students.end());
    SharedKind kind = answerOf(groups_.back()).kind;
    bool uniqueMistakes = sharers == 2 && kind == SharedKind::mistakes;
    forEachPair(groups_.back(), [&](std::uint64_t key) {
        if (kind == SharedKind::line && !printAlike(key, place.test))
            return;
        PairCount& count = counts_[key];
        if (!countsOnce(kind, count.kinds))
            return;
        ++count.pieces;
        count.own += sharers == 2 ? 1 : 0;
        count.rarity += 1.0 / static_cast<double>(sharers - 1);
        count.uniqueMistakes = count.uniqueMistakes || uniqueMistakes;
        bool line = kind == SharedKind::line;
        ++(line ? lineCoincidences_[place.test] : coincidences_);
        (line ? lineOwned_[place.test] : owned_) += sharers == 2 ? 1 : 0;
    });
}

SharedAnswer CopyFinder::answerOf(const RareGroup& group) const
{
    Place place = places_.placeOf(group.mark.place);
    SharedKind kind = !place.causes                        ? SharedKind::line
                      : (group.mark.hash & orderTag) != 0 ? SharedKind::order
                                                           : SharedKind::mistakes;
    return SharedAnswer{place, group.sharers, group.mark.hash, kind};
}

template <typename Pair>
void CopyFinder::forEachPair(const RareGroup& group, Pair&& pair) const
{
    const std::uint32_t* students = groupStudents_.data() + group.first;
    for (std::uint32_t i = 0; i < group.sharers; ++i)
        for (std::uint32_t j = i + 1; j < group.sharers; ++j)
            pair(std::uint64_t{students[i]} << 32 | students[j]);
}

// Whether the pair `key`'s files of `test` print alike.
bool CopyFinder::printAlike(std::uint64_t key, std::uint32_t test) const
{
    std::size_t tests = mostSharers_.size();
    std::size_t first = (key >> 32) * tests + test;
    std::size_t second = (key & UINT32_MAX) * tests + test;
    return first >= prints_.size() || second >= prints_.size() || prints_[first] == prints_[second];
}

// Whether the students' files make the same mistakes on each test where
// `linesShared` counts a hand edit they share.
bool CopyFinder::sameMistakes(const std::vector<std::uint32_t>& students,
                              const std::vector<std::uint32_t>& linesShared) const
{
    std::size_t tests = mostSharers_.size();
    if (mistakes_.empty())
        return true;
    for (std::size_t t = 0; t < tests && t < linesShared.size(); ++t) {
        if (linesShared[t] == 0)
            continue;
        std::size_t first = std::size_t{students.front()} * tests + t;
        for (std::uint32_t student : students) {
            std::size_t at = std::size_t{student} * tests + t;
            if (at >= mistakes_.size() || first >= mistakes_.size() || mistakes_[at] != mistakes_[first])
                return false;
        }
    }
    return true;
}

// A set of mistakes, or an order, counts once for a pair, however many
// tests show it: `seen` holds the kinds of fact the pair was counted for.
bool CopyFinder::countsOnce(SharedKind kind, std::uint8_t& seen)
{
    if (kind == SharedKind::line)
        return true;
    auto bit = static_cast<std::uint8_t>(1u << static_cast<unsigned>(kind));
    bool first = (seen & bit) == 0;
    seen |= bit;
    return first;
}

// A hand edit held by n students is held by a given other student with the
// chance (n - 1) / (students - 1); one that no one else holds, never.  Two
// given others both hold it with the chance (n - 1)(n - 2) over
// (students - 1)(students - 2).
void CopyFinder::hold(std::span<const std::uint32_t> students, std::uint32_t test)
{
    std::size_t tests = mostSharers_.size();
    auto n = static_cast<double>(students.size());
    double others = students_ > 1 ? static_cast<double>(students_ - 1) : 1;
    double chance = std::min(1.0, (n - 1) / others);
    double otherPairs = students_ > 2 ? others * static_cast<double>(students_ - 2) : 1;
    double both = std::min(1.0, (n - 1) * (n - 2) / otherPairs);
    float ringLog = both > 0 ? static_cast<float>(std::log(both)) : -std::numeric_limits<float>::infinity();
    for (std::uint32_t student : students) {
        std::size_t at = std::size_t{student} * tests + test;
        if (at >= held_.size())
            held_.resize((std::size_t{student} + 1) * tests);
        ++held_[at].pieces;
        held_[at].chance *= chance;
        held_[at].ringLog += ringLog;
    }
}

// How unlikely a pair whose hand edits are all of one student's must be to
// be listed, chosen as the threshold is: for each student and each set of
// tests on which every edit of theirs is held by someone else, two edits or
// more in all, the chance that a given other student holds them all; the
// least chances are taken, as long as the pairs that chance alone would
// list with them, over the class, number less than `tolerated`.  Sets of
// more than a few tests are not counted: their chance is too small to
// matter.  For a `ring`, the chance is that two given others both hold
// them all, and the tries are the pairs of other students.
std::pair<double, double> CopyFinder::wholeChanceFor(double tolerated, bool ring) const
{
    constexpr std::size_t mostTestsCounted = 12;
    std::size_t tests = mostSharers_.size();
    double others = static_cast<double>(students_ > 0 ? students_ - 1 : 0);
    if (ring)
        others *= static_cast<double>(students_ > 1 ? students_ - 2 : 0) / 2;
    std::vector<double> chances;
    std::vector<std::pair<double, std::uint32_t>> sharedAll;  // the chance, the pieces
    // Each set's chance and pieces come from the set without its highest
    // test: one step for each set, not one for each of its tests, and the
    // chance multiplied out in the order of its tests all the same.
    std::vector<std::pair<double, std::uint32_t>> ofSet;
    for (std::size_t at = 0; tests > 0 && at + tests <= held_.size(); at += tests) {
        sharedAll.clear();
        for (std::size_t t = 0; t < tests; ++t) {
            const Held& held = held_[at + t];
            double chance = held.pieces == 0 ? 0
                            : ring           ? std::exp(static_cast<double>(held.ringLog))
                                             : held.chance;
            if (chance > 0)
                sharedAll.emplace_back(chance, held.pieces);
        }
        if (sharedAll.size() > mostTestsCounted)
            sharedAll.resize(mostTestsCounted);
        ofSet.assign(std::size_t{1} << sharedAll.size(), {1.0, 0});
        for (std::uint32_t set = 1; set < ofSet.size(); ++set) {
            auto highest = static_cast<std::size_t>(std::bit_width(set) - 1);
            const auto& [before, piecesBefore] = ofSet[set ^ (1u << highest)];
            ofSet[set] = {before * sharedAll[highest].first, piecesBefore + sharedAll[highest].second};
            // A chance that alone would bring the class past its tolerance
            // is never taken, however few come before it.
            if (ofSet[set].second >= 2 && ofSet[set].first * others < tolerated)
                chances.push_back(ofSet[set].first);
        }
    }
    sortChances(chances);
    double limit = 0;
    double expected = 0;
    for (double chance : chances) {
        if ((expected + chance) * others >= tolerated)
            break;
        expected += chance;
        limit = chance;
    }
    return {limit, expected * others};
}

// Which of the pair holds no hand edit, on the tests where they share one,
// that the other does not hold too; UINT32_MAX where each holds one of
// their own, or whose chance of holding them by chance is above `limit`,
// which is then that chance.  A copy keeps every edit of its source's,
// where two honest students who share two edits by chance each have others
// besides.
std::uint32_t CopyFinder::wholeOf(std::uint32_t first, std::uint32_t second,
                                  const std::vector<std::uint32_t>& linesShared, double& limit) const
{
    std::size_t tests = mostSharers_.size();
    std::uint32_t whole = UINT32_MAX;
    double least = limit;
    for (std::uint32_t student : {first, second}) {
        bool all = true;
        double chance = 1;
        for (std::size_t t = 0; t < tests && all; ++t) {
            std::size_t at = std::size_t{student} * tests + t;
            all = linesShared[t] == 0 || (at < held_.size() && held_[at].pieces == linesShared[t]);
            chance *= linesShared[t] == 0 || !all ? 1 : held_[at].chance;
        }
        if (all && chance > 0 && chance <= least) {
            whole = student;
            least = chance;
        }
    }
    limit = least;
    return whole;
}

// Three students each two of whom share two hand edits or more, where all
// the edits one of them made on the tests the three share one on are the
// other two's, and chance seldom makes that (`limit`), are listed: each of
// their pairs not `reached` by the threshold is told so, and the three are
// then one group.
void CopyFinder::listRings(std::vector<SuspectedPair>& listed, const std::vector<bool>& reached,
                           const std::unordered_map<std::uint64_t, std::size_t>& at,
                           const std::vector<std::uint32_t>& linesShared, double limit) const
{
    std::size_t tests = mostSharers_.size();
    auto keyOf = [](std::uint32_t a, std::uint32_t b) { return std::uint64_t{std::min(a, b)} << 32 | std::max(a, b); };
    auto sharesEdits = [&](std::size_t i) {
        auto from = linesShared.begin() + static_cast<std::ptrdiff_t>(i * tests);
        return std::accumulate(from, from + static_cast<std::ptrdiff_t>(tests), 0u) >= 2;
    };
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> neighbours;
    for (const auto& [key, i] : at)
        if (sharesEdits(i)) {
            neighbours[listed[i].first].push_back(listed[i].second);
            neighbours[listed[i].second].push_back(listed[i].first);
        }
    struct Ring {
        std::uint32_t members[3];
        std::vector<std::uint32_t> lines;  // the edits all three hold, by test
        double logChance = 0;
        // The students who hold every one of those edits: where a fourth
        // does, the three are any three of the holders, no rarer than that.
        std::vector<std::uint32_t> holdAll = {};
        bool counted = false;
    };
    std::vector<Ring> rings;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> byLowestPair;
    for (auto& [a, near] : neighbours)
        std::sort(near.begin(), near.end());
    for (const auto& [a, near] : neighbours) {
        if (near.size() > mostRingNeighbours)
            continue;
        for (std::size_t j = 0; j < near.size(); ++j)
            for (std::size_t k = j + 1; k < near.size(); ++k) {
                std::uint32_t b = near[j];
                std::uint32_t c = near[k];
                auto edge = at.find(keyOf(b, c));
                if (a > b || edge == at.end() || !sharesEdits(edge->second) ||
                    neighbours.at(b).size() > mostRingNeighbours || neighbours.at(c).size() > mostRingNeighbours)
                    continue;
                byLowestPair[keyOf(a, b)].push_back(rings.size());
                rings.push_back(Ring{{a, b, c}, std::vector<std::uint32_t>(tests, 0)});
            }
    }
    if (rings.empty())
        return;
    double otherPairs = static_cast<double>(students_ - 1) * static_cast<double>(students_ - 2);
    for (const RareGroup& group : groups_) {
        SharedAnswer answer = answerOf(group);
        if (answer.kind != SharedKind::line || group.sharers < 3)
            continue;
        const std::uint32_t* holders = groupStudents_.data() + group.first;
        std::vector<std::uint32_t> sorted;  // the holders, sorted once a ring needs them
        forEachPair(group, [&](std::uint64_t key) {
            auto found = byLowestPair.find(key);
            if (found == byLowestPair.end())
                return;
            for (std::size_t r : found->second) {
                Ring& ring = rings[r];
                if (std::find(holders, holders + group.sharers, ring.members[2]) == holders + group.sharers)
                    continue;
                ++ring.lines[answer.place.test];
                if (sorted.empty()) {
                    sorted.assign(holders, holders + group.sharers);
                    std::sort(sorted.begin(), sorted.end());
                }
                if (!ring.counted)
                    ring.holdAll = sorted;
                std::erase_if(ring.holdAll, [&](std::uint32_t s) { return !std::binary_search(sorted.begin(), sorted.end(), s); });
                ring.counted = true;
                auto n = static_cast<double>(group.sharers);
                ring.logChance += std::log((n - 1) * (n - 2) / otherPairs);
            }
        });
    }
    // The class's chances were summed from logarithms in single precision.
    constexpr double logMargin = 1e-4;
    for (const Ring& ring : rings) {
        if (std::accumulate(ring.lines.begin(), ring.lines.end(), 0u) < 2 || ring.holdAll.size() > 3)
            continue;
        std::uint32_t whole = UINT32_MAX;
        for (std::uint32_t member : ring.members) {
            bool all = true;
            for (std::size_t t = 0; t < tests && all; ++t) {
                std::size_t held = std::size_t{member} * tests + t;
                all = ring.lines[t] == 0 || (held < held_.size() && held_[held].pieces == ring.lines[t]);
            }
            whole = all ? std::min(whole, member) : whole;
        }
        if (whole == UINT32_MAX)
            continue;
        double chance = std::exp(ring.logChance);
        if (chance <= 0 || chance > limit * (1 + logMargin))
            continue;
        for (auto [x, y] : {std::pair{0, 1}, std::pair{0, 2}, std::pair{1, 2}}) {
            std::size_t i = at.at(keyOf(ring.members[x], ring.members[y]));
            SuspectedPair& pair = listed[i];
            if (!reached[i] && (pair.whole == UINT32_MAX || chance < pair.wholeChance)) {
                pair.whole = whole;
                pair.wholeChance = chance;
            }
        }
    }
}

namespace {

bool stronger(const SuspectedPair& a, const SuspectedPair& b)
{
    if (a.apart != b.apart)
        return b.apart;
    if (a.pieces != b.pieces)
        return a.pieces > b.pieces;
    // Of two pairs listed for edits that are all of one student's, the one
    // less likely by chance first.
    if ((a.whole != UINT32_MAX) != (b.whole != UINT32_MAX))
        return b.whole != UINT32_MAX;
    if (a.whole != UINT32_MAX && a.wholeChance != b.wholeChance)
        return a.wholeChance < b.wholeChance;
    if (std::abs(a.rarity - b.rarity) > rarityMargin)
        return a.rarity > b.rarity;
    if (a.sameMistakes != b.sameMistakes)
        return a.sameMistakes;
    return std::tie(a.first, a.second) < std::tie(b.first, b.second);
}

// The root of a student's tree among the listed students' (`parent`).
std::uint32_t rootOf(std::unordered_map<std::uint32_t, std::uint32_t>& parent, std::uint32_t student)
{
    while (parent[student] != student)
        student = parent[student] = parent[parent[student]];
    return student;
}

}  // namespace

// Students whose every two are listed are one group, told once with all
// it shares: a source and its two copies are one story, not three pairs.
void CopyFinder::joinGroups(std::vector<SuspectedPair>& listed) const
{
    std::unordered_map<std::uint32_t, std::uint32_t> parent;
    for (const SuspectedPair& pair : listed)
        if (!pair.apart) {
            parent.try_emplace(pair.first, pair.first);
            parent.try_emplace(pair.second, pair.second);
            std::uint32_t a = rootOf(parent, pair.first);
            std::uint32_t b = rootOf(parent, pair.second);
            parent[std::max(a, b)] = std::min(a, b);
        }
    std::map<std::uint32_t, std::vector<std::uint32_t>> members;
    for (const auto& [student, ignored] : parent)
        members[rootOf(parent, student)].push_back(student);
    // A group is students every two of whom are listed: one student who
    // shares a few pieces with one of a pair by chance is a pair of its own.
    std::map<std::uint32_t, std::size_t> pairsWithin;
    for (const SuspectedPair& pair : listed)
        if (!pair.apart)
            ++pairsWithin[rootOf(parent, pair.first)];
    std::erase_if(members, [&](const auto& group) {
        std::size_t size = group.second.size();
        return size < 3 || pairsWithin[group.first] != size * (size - 1) / 2;
    });
    if (members.empty())
        return;
    // A group listed for all of one student's hand edits is told so.
    std::map<std::uint32_t, const SuspectedPair*> wholeOfGroup;
    for (const SuspectedPair& pair : listed)
        if (!pair.apart && pair.whole != UINT32_MAX && members.contains(rootOf(parent, pair.first)))
            if (auto [it, added] = wholeOfGroup.try_emplace(rootOf(parent, pair.first), &pair);
                !added && pair.wholeChance < it->second->wholeChance)
                it->second = &pair;
    std::map<std::uint32_t, std::pair<std::uint32_t, double>> wholes;
    for (const auto& [root, pair] : wholeOfGroup)
        wholes[root] = {pair->whole, pair->wholeChance};
    std::erase_if(listed, [&](const SuspectedPair& pair) {
        return !pair.apart && parent.contains(pair.first) && members.contains(rootOf(parent, pair.first));
    });
    for (auto& [root, students] : members) {
        std::sort(students.begin(), students.end());
        SuspectedPair group{students[0], students[1], 0, 0, {}, students, false};
        if (auto found = wholes.find(root); found != wholes.end())
            std::tie(group.whole, group.wholeChance) = found->second;
        std::uint8_t kindsTold = 0;
        std::vector<std::uint32_t> linesShared(mostSharers_.size(), 0);
        for (const RareGroup& rare : groups_) {
            std::uint32_t within = 0;
            const std::uint32_t* holders = groupStudents_.data() + rare.first;
            for (std::uint32_t i = 0; i < rare.sharers; ++i)
                within += std::binary_search(students.begin(), students.end(), holders[i]) ? 1 : 0;
            SharedAnswer answer = answerOf(rare);
            if (within < 2 || !countsOnce(answer.kind, kindsTold))
                continue;
            answer.within = within;
            if (answer.kind == SharedKind::line && answer.place.test < linesShared.size())
                ++linesShared[answer.place.test];
            group.shared.push_back(answer);
            ++group.pieces;
            group.rarity += 1.0 / static_cast<double>(rare.sharers - 1);
        }
        group.sameMistakes = sameMistakes(students, linesShared);
        listed.push_back(std::move(group));
    }
}

std::vector<SuspectedPair> CopyFinder::suspects()
{
    double pairs = static_cast<double>(students_) * static_cast<double>(students_ > 0 ? students_ - 1 : 0) / 2;
    double rate = pairs > 0 ? coincidences_ / pairs : 0;
    double ownRate = pairs > 0 ? owned_ / pairs : 0;
    for (std::size_t t = 0; t < alikePairs_.size(); ++t)
        if (alikePairs_[t] > 0) {
            rate += lineCoincidences_[t] / alikePairs_[t];
            ownRate += lineOwned_[t] / alikePairs_[t];
        }
    threshold = thresholdFor(pairs, rate, toleratedHonestPairs);
    // Pieces that no one else holds are rarer by chance than those a few
    // hold: a pair may be listed for fewer of them, by their own rate.
    CopyThreshold own = thresholdFor(pairs, ownRate, toleratedHonestPairs);
    threshold.ownPieces = std::min(own.pieces, threshold.pieces);
    threshold.expectedHonest += threshold.ownPieces < threshold.pieces ? own.expectedHonest : 0;
    auto [wholeLimit, wholeExpected] =
        wholeChanceFor(wholeToleranceShare * (toleratedHonestPairs - threshold.expectedHonest), false);
    threshold.wholeListed = wholeLimit > 0;
    threshold.expectedHonest += wholeExpected;
    auto [ringLimit, ringExpected] =
        wholeChanceFor(wholeToleranceShare * (toleratedHonestPairs - threshold.expectedHonest), true);
    threshold.ringListed = ringLimit > 0;
    threshold.expectedHonest += ringExpected;
    // Only the pairs listed are told what they share: a second walk
    // through the rare groups, in the same order, gathers it, and counts
    // the hand edits that pairs short of the threshold share on each test.
    std::vector<SuspectedPair> listed;
    std::vector<bool> reached;
    std::unordered_map<std::uint64_t, std::size_t> at;
    for (const auto& [key, count] : counts_)
        if (bool reaches = count.pieces >= threshold.pieces || count.own >= threshold.ownPieces;
            reaches || count.uniqueMistakes ||
            ((threshold.wholeListed || threshold.ringListed) && count.pieces >= 2)) {
            at[key] = listed.size();
            listed.push_back(SuspectedPair{static_cast<std::uint32_t>(key >> 32), static_cast<std::uint32_t>(key),
                                           count.pieces, count.rarity, {}, {}, !reaches && count.uniqueMistakes});
            reached.push_back(reaches);
        }
    counts_.clear();
    std::size_t tests = mostSharers_.size();
    std::vector<std::uint8_t> seen(listed.size(), 0);
    std::vector<std::uint32_t> linesShared(listed.size() * tests, 0);
    for (const RareGroup& group : groups_) {
        SharedAnswer answer = answerOf(group);
        forEachPair(group, [&](std::uint64_t key) {
            auto found = at.find(key);
            if (found == at.end() || (answer.kind == SharedKind::line && !printAlike(key, answer.place.test)))
                return;
            if (answer.kind == SharedKind::line)
                ++linesShared[found->second * tests + answer.place.test];
            if (countsOnce(answer.kind, seen[found->second]))
                listed[found->second].shared.push_back(answer);
        });
    }
    for (std::size_t i = 0; i < listed.size(); ++i) {
        SuspectedPair& pair = listed[i];
        std::vector<std::uint32_t> lines(linesShared.begin() + static_cast<std::ptrdiff_t>(i * tests),
                                         linesShared.begin() + static_cast<std::ptrdiff_t>((i + 1) * tests));
        pair.sameMistakes = sameMistakes({pair.first, pair.second}, lines);
        if (!reached[i] && threshold.wholeListed && std::accumulate(lines.begin(), lines.end(), 0u) >= 2) {
            pair.wholeChance = wholeLimit;
            pair.whole = wholeOf(pair.first, pair.second, lines, pair.wholeChance);
        }
    }
    if (threshold.ringListed)
        listRings(listed, reached, at, linesShared, ringLimit);
    std::vector<SuspectedPair> kept;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        SuspectedPair& pair = listed[i];
        if (pair.whole != UINT32_MAX)
            pair.apart = false;
        if (reached[i] || pair.apart || pair.whole != UINT32_MAX)
            kept.push_back(std::move(pair));
    }
    joinGroups(kept);
    std::sort(kept.begin(), kept.end(), stronger);
    return kept;
}
