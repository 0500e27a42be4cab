// The score: the reference's line count less a point for every wrong
// compared line and for every line by which the two counts differ, never
// below 0.
#ifndef LABELGRADE_SCORE_H
#define LABELGRADE_SCORE_H

#include <cstdint>

// What a graded file's score is made of.
struct LineCounts {
    std::uint64_t student = 0;
    std::uint64_t reference = 0;
    std::uint64_t wrongEntries = 0;
};

std::uint64_t scoreOf(const LineCounts& counts);

#endif
