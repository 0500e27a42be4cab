// The grading core: a student's file against the reference, from the first
// line to the score.  Both commands and the fuzz target grade through it.
#ifndef LABELGRADE_COMPARE_H
#define LABELGRADE_COMPARE_H

#include "io/file_lines.h"
#include "io/report.h"

#include <cstdint>
#include <string_view>

enum class Outcome { compared, studentUnreadable, referenceUnreadable, outOfMemory };

struct Graded {
    Outcome outcome = Outcome::compared;
    std::uint64_t studentCount = 0;
    std::uint64_t referenceCount = 0;
    std::uint64_t wrongEntries = 0;
};

// Checks every position both files have, printing each to the report, and
// counts both files' lines; the score line is left to the caller.  A
// watcher, if any, is told of every byte of the student's file and of
// every position checked.
Graded gradeLines(FileLines& student, FileLines& reference, Report& report, GradingWatcher* watcher = nullptr);

// The whole report after the banner: the checks, then the score.
Outcome compareFiles(std::int32_t testNumber, std::string_view studentPath,
                     int studentFd, int referenceFd, Report& report);

#endif
