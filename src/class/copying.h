// Spotting copied work from outputs: pairs of students who share wrong
// answers too rare to share by chance.  A pair is something to look at,
// never a verdict.
//
// Each wrong line that a few students share, at the same position of the
// same test, is evidence against each pair of them: it weighs 1 when only
// the two share it, and 1/(k-1) when k students do, since each then has
// k-1 others it may have come from.  A file that is not fully right and
// that others hand in byte for byte weighs the same way.  What more than a
// tenth of the test's graded students share (and never fewer than 2, nor
// more than 8) is a common bug, not evidence, and weighs nothing; the cap
// of 8 also keeps the work linear in the class's size.  A pair is listed
// when its evidence weighs 3 or more: three wrong lines that no one else
// has, or more lines that a few others share too.
#ifndef LABELGRADE_COPYING_H
#define LABELGRADE_COPYING_H

#include "tally.h"

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

constexpr double suspicionThreshold = 3.0;
constexpr std::uint64_t mostSharersWeighed = 8;

// A wrong line, or a whole file, that a pair shares, and how many students
// share it.
struct SharedAnswer {
    Place place;
    std::uint32_t sharers = 0;
};

struct SuspectedPair {
    std::uint32_t first = 0;  // students, in their order
    std::uint32_t second = 0;
    double weight = 0;
    std::vector<SharedAnswer> shared;
};

struct CopyFinder {
    // The graded students of each test.
    CopyFinder(const MarkPlaces& places, const std::vector<std::uint64_t>& gradedPerTest);

    // Told each group of students that share a mark.
    void shared(const Mark& mark, std::span<const std::uint32_t> students);

    // The pairs whose evidence weighs at least the threshold, strongest
    // first, then in the students' order.
    std::vector<SuspectedPair> suspects();

private:
    const MarkPlaces& places_;
    std::vector<std::uint64_t> mostSharers_;
    std::unordered_map<std::uint64_t, SuspectedPair> pairs_;
};

#endif
