// Spotting copied work from outputs: pairs of students who share more than
// independent work explains.  A pair is something to look at, never a
// verdict.
//
// What two students may share is counted in pieces of evidence: a wrong
// line that no cause explains (a typo, a slip of the hand), compared by its
// fields as graded, at the reference line it holds, whatever its blanks,
// tabs or line ends; and each cause a diagnostic names (CR LF line ends, a
// line left out, an offset...), which is one piece however many lines it
// explains, and one piece across tests when the same kind of cause shows
// on several (the same assembler makes the same mistake on every test).
// Empty and missing files are no evidence.  What many students share is a
// common bug, not evidence: a piece counts only when at most a few students
// hold it (a fortieth of a test's graded students, never fewer than 3 nor
// more than 8, so a group of three copiers still counts).
//
// How many pieces a pair must share is chosen from the class itself: the
// rare pieces that students hold in common make the rate at which a given
// pair shares one by chance (λ, the pairs that share some piece over all
// pairs), and the pieces an honest pair shares are then taken as a Poisson
// count of mean λ.  The threshold is the least count, at least 2, at which
// the pairs that chance alone would list, over the whole class, number
// less than one in ten: 2 in a class of hundreds, 3 in a class of tens of
// thousands, where more pairs share a typo by chance.  The pairs listed
// are ranked by the pieces they share, then by how rare they are.
#ifndef LABELGRADE_COPYING_H
#define LABELGRADE_COPYING_H

#include "class/explaining/tally.h"

#include <cstdint>
#include <set>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

// A piece of evidence that a pair shares, and how many students hold it.
struct SharedAnswer {
    Place place;
    std::uint32_t sharers = 0;
    std::uint64_t hash = 0;  // for a cause: the cause's key
};

struct SuspectedPair {
    std::uint32_t first = 0;  // students, in their order
    std::uint32_t second = 0;
    std::uint32_t pieces = 0;
    double rarity = 0;  // the sum of 1/(sharers - 1): among pairs sharing as many pieces, the rarer first
    std::vector<SharedAnswer> shared;
};

// Chance's part in a class: how many pieces a pair must share.
struct CopyThreshold {
    std::uint32_t pieces = 2;
    double rate = 0;          // λ: the chance that a given pair shares some rare piece
    double expectedHonest = 0;  // the pairs that chance alone would list at that count
};

// The least count, at least 2, at which fewer than `tolerated` of `pairs`
// honest pairs would reach it by chance, each sharing a Poisson count of
// mean `rate`.
CopyThreshold thresholdFor(double pairs, double rate, double tolerated);

struct CopyFinder {
    // The graded students of each test, and the students graded at all.
    CopyFinder(const MarkPlaces& places, const std::vector<std::uint64_t>& gradedPerTest, std::uint64_t students);

    // Told each group of students that share a mark.
    void shared(const Mark& mark, std::span<const std::uint32_t> students);

    // The pairs that share at least the threshold's pieces, strongest first,
    // then in the students' order.
    std::vector<SuspectedPair> suspects();

    CopyThreshold threshold;  // set by suspects()

private:
    // A rare piece and the students who hold it, kept for the walk that
    // tells the pairs listed what they share.
    struct RareGroup {
        Mark mark;
        std::uint32_t first = 0;  // in groupStudents_
        std::uint32_t sharers = 0;
    };
    struct PairCount {
        std::uint32_t pieces = 0;
        double rarity = 0;
    };

    // Calls `pair(key, counts)` for each pair of the group's students:
    // `counts` is false for a kind of cause the pair was already counted.
    template <typename Pair>
    void forEachPair(const RareGroup& group, Pair&& pair);

    const MarkPlaces& places_;
    std::vector<std::uint64_t> mostSharers_;
    std::uint64_t students_ = 0;
    double coincidences_ = 0;  // pairs sharing a rare piece, summed over pieces
    std::vector<RareGroup> groups_;
    std::vector<std::uint32_t> groupStudents_;
    std::unordered_map<std::uint64_t, PairCount> counts_;
    std::set<std::pair<std::uint64_t, std::uint32_t>> kindsCounted_;
};

#endif
