// A student's file against the reference, as one whole report: the banner,
// each compared position's line and verdict, the line-count error and the
// score line.  Both commands and the fuzz target write reports through it.
#ifndef LABELGRADE_COMPARE_H
#define LABELGRADE_COMPARE_H

#include "grading/score.h"
#include "grading/watcher.h"
#include "io/file_lines.h"
#include "io/output.h"

#include <cstdint>
#include <string_view>

enum class Outcome { compared, studentUnreadable, referenceUnreadable, outOfMemory };

struct Graded {
    Outcome outcome = Outcome::compared;
    LineCounts counts;
};

// The report's paths as its reader is to see them, and the test's number.
struct ReportHeading {
    std::int32_t testNumber = 0;
    std::string_view studentPath;
    std::string_view referencePath;
};

constexpr std::uint64_t noReportLimit = UINT64_MAX;

// Writes the whole report, reading both files to their ends.  A watcher, if
// any, is told of every byte of the student's file and of every position's
// verdict.  Where a file cannot be read to its end, the report stops where
// it stands, with no score line.  Past `limit` bytes no more positions are
// shown, though all are graded: a line says so, and the score line ends
// the report as ever.
Graded compareFiles(const ReportHeading& heading, FileLines& student, FileLines& reference, Output& out,
                    GradingWatcher* watcher = nullptr, std::uint64_t limit = noReportLimit);

#endif
