// The entry check: the student's line and the reference's line at each
// position, and the verdict on the student's line.
#ifndef LABELGRADE_VERDICTS_H
#define LABELGRADE_VERDICTS_H

#include "io/report.h"

#include <cstdint>
#include <string_view>

// What is left of one file's bytes, from the start of a line.  `final` says
// that the file ends where `rest` ends; otherwise more bytes may follow, and
// a line is whole only once its newline has been read.
struct Lines {
    std::string_view rest;
    bool final = true;
};

struct Checked {
    std::uint64_t comparedCount = 0;
    std::uint64_t wrongEntries = 0;
};

// Checks positions in order, printing each student line and its verdict,
// for as long as both files hold a whole line; the lines checked are taken
// off the front of both.  It stops at the first position where either file
// has run out or holds only part of a line, so that more of it can be read.
Checked checkEntries(Lines& student, Lines& reference, Report& report);

#endif
