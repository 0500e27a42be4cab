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

// Told of every compared position as it is checked, with both lines and
// the verdict; the class command learns through it what explains a grade.
// The student's bytes are told too, as they are read, by the grading core.
struct GradingWatcher {
    virtual void studentBytes(std::string_view bytes) = 0;
    virtual void checked(std::uint64_t position, std::string_view studentEntry, std::string_view referenceEntry,
                         bool right) = 0;

protected:
    ~GradingWatcher() = default;
};

struct Checked {
    std::uint64_t comparedCount = 0;
    std::uint64_t wrongEntries = 0;
};

// Checks positions in order, printing each student line and its verdict,
// for as long as both files hold a whole line; the lines checked are taken
// off the front of both.  It stops at the first position where either file
// has run out or holds only part of a line, so that more of it can be read.
// A watcher, if any, is told of each position; `firstPosition` numbers the
// first one checked, from 0.
Checked checkEntries(Lines& student, Lines& reference, Report& report, GradingWatcher* watcher = nullptr,
                     std::uint64_t firstPosition = 0);

#endif
