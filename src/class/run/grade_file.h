// One student's file for one test, graded by a worker: its report written,
// its wrong lines marked in the worker's tally, the causes of its lost
// points found.
#ifndef LABELGRADE_GRADE_FILE_H
#define LABELGRADE_GRADE_FILE_H

#include "class/model/class.h"
#include "class/explaining/findings.h"
#include "io/file_lines.h"
#include "io/output.h"
#include "report/compare.h"
#include "class/explaining/reference_index.h"
#include "class/intake/student_files.h"
#include "class/outputs/statement_words.h"
#include "class/explaining/tally.h"

#include <cstdint>

// What a worker owns to grade files, kept from file to file.
struct Grader {
    Output report;
    ReadBuffer buffer;
    FindingsWatcher watcher;
    WordedMistakes worded;
};

// A test as the workers grade it: its reference, indexed once for all, and
// how long a report of it may grow.
struct TestToGrade {
    const Test& test;
    std::uint32_t index = 0;
    const ReferenceIndex& reference;
    const MarkPlaces& places;
    std::uint64_t reportLimit = noReportLimit;
};

// How long a report of a test may grow, whatever a student's file holds:
// a megabyte, and sixteen bytes for each of the reference's, more than any
// file of that test's lines can make it.  Lines of 64 MiB echoed would
// otherwise fill a disk from an archive of a few hundred bytes.
std::uint64_t reportLimitFor(const Test& test);

// Grades the open file into the grader's report, which its caller has
// started; `heading` names the paths as the report shows them.  The result
// is graded only where the file was read to its end.  A line too long for
// the memory the run has is the file's trouble, not the class's: the file
// is noted, and its buffer given back.
TestResult gradeFile(Grader& grader, Tally& tally, const TestToGrade& test, std::uint32_t student,
                     const StudentFile& file, const ReportHeading& heading);

#endif
