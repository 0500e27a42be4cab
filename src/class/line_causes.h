// Causes that show line by line where a student's line is wrong: addresses
// right as numbers but written in another form or in decimal, addresses off
// by one offset, labels right but for letter case, the columns swapped.
#ifndef LABELGRADE_LINE_CAUSES_H
#define LABELGRADE_LINE_CAUSES_H

#include "diagnosis.h"
#include "grading/verdict.h"

#include <cstdint>
#include <vector>

// How far a student's address lies from the reference's, either way.
struct Offset {
    bool negative = false;
    std::uint64_t distance = 0;
    auto operator<=>(const Offset&) const = default;
};

struct LineCauses {
    // Told of each wrong line's verdict.
    void add(const Verdict& verdict);
    void diagnose(std::vector<Diagnosis>& found) const;

private:
    std::uint64_t addressForm_ = 0;
    std::uint8_t forms_ = 0;
    std::uint64_t decimal_ = 0;
    std::uint64_t labelCase_ = 0;
    std::uint64_t swapped_ = 0;
    std::vector<Offset> offsets_;  // of addresses wrong in value beside a right label
};

#endif
