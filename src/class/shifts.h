// One slip that cost every point after it: from some line to the end, each
// of the student's lines is the reference's line one or two away (lines
// left out above, or added).
#ifndef LABELGRADE_SHIFTS_H
#define LABELGRADE_SHIFTS_H

#include "diagnosis.h"
#include "grading/fields.h"
#include "grading/verdict.h"

#include <cstdint>
#include <string_view>
#include <vector>

// The shifts looked for: a line or two added above (the student's lines sit
// below their place) or left out (they sit above it).
constexpr int shiftsLookedFor[4] = {-2, -1, 1, 2};

// The reference as shifts are looked for in it: each line's symbol, and
// whether a line equals the ones one and two lines away (a right line then
// also sits where a shifted one would).
struct ReferenceIndex {
    std::vector<Symbol> symbols;
    std::vector<std::uint8_t> sameAsNeighbour;  // a bit per shift looked for
};

// The index looks into `text`, which must outlive it.
ReferenceIndex indexReference(std::string_view text);

struct ShiftWatch {
    // Told of every position's verdict, in order.
    void add(const ReferenceIndex& reference, const Verdict& verdict);
    void diagnose(std::vector<Diagnosis>& found) const;

private:
    struct Run {
        std::uint64_t start = 0;    // where the run of shifted lines that reaches the end starts
        std::uint64_t defined = 0;  // positions in it whose shifted line exists
        std::uint64_t wrong = 0;    // of those, the ones wrong where they stand
    };
    Run runs_[4];
};

#endif
