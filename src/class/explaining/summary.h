// What the class got wrong, and why: statistics per test, the reference
// lines most often wrong, the causes found in students' files, and pairs of
// students whose wrong answers are too alike.  It explains grades; it never
// changes one.
#ifndef LABELGRADE_SUMMARY_H
#define LABELGRADE_SUMMARY_H

#include "class/model/class.h"
#include "class/explaining/cause_kinds.h"
#include "class/explaining/copying.h"
#include "class/explaining/tally.h"

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

// At most this many bins in a spread of scores.
constexpr std::size_t spreadBins = 10;
// The reference lines most often wrong that a test's summary names.
constexpr std::size_t missedLinesShown = 5;
// The wrong student lines shown for each of them.
constexpr std::size_t wrongLinesShown = 3;

struct Spread {
    std::uint64_t binWidth = 1;       // scores per bin; the last bin may hold fewer
    std::vector<std::uint64_t> bins;  // from score 0 up
};

struct TestStats {
    std::uint64_t graded = 0;
    std::uint64_t notGraded = 0;  // missing, refused, unreadable or not submitted
    double mean = 0;
    double median = 0;
    std::uint64_t lowest = 0;
    std::uint64_t highest = 0;
    std::uint64_t fullMarks = 0;
    Spread spread;
};

struct CommonWrongLine {
    std::string text;  // as the student's file holds it, cut to what a summary shows
    std::uint64_t count = 0;
};

struct MissedLine {
    std::uint64_t position = 0;  // from 0
    std::uint64_t wrong = 0;     // graded files wrong there
    std::vector<CommonWrongLine> common;
};

struct TestSummary {
    TestStats stats;
    std::vector<MissedLine> missed;          // most often wrong first
    std::vector<std::uint64_t> wrongAt;      // per reference line, graded files wrong there
};

// What a finding is a kind of: a file not graded, by its state; a cause,
// by what no test's numbering changes; a report not written, by why; a
// mistake of the student's assembler that a test's program names, by what
// it is.
enum class FindingOf : std::uint8_t { notGraded, cause, noReport, mistake };

struct FindingKind {
    FindingOf of = FindingOf::cause;
    FileState state = FileState::graded;  // a file not graded's
    CauseKind cause{};
    int error = 0;  // a report not written's
    StatementMistake mistake = StatementMistake::count;
    auto operator<=>(const FindingKind&) const = default;
};

// A kind of cause, or of file not graded, and how far through the class
// it reaches.  The words are the outputs': the kind's, and the first
// file's finding as its notes say it (of its cause, `first`).
struct FindingCount {
    FindingKind kind;
    Diagnosis first;
    std::uint32_t firstStudent = 0;
    std::uint32_t firstTest = 0;
    std::uint64_t students = 0;
    std::uint64_t files = 0;
    std::vector<std::uint32_t> tests;  // in order
};

struct ClassSummary {
    std::vector<TestSummary> tests;
    std::uint64_t findings = 0;            // causes found, and files not graded
    // The students they hit, most first, then the class's order and the
    // test's; kinds tied even so are put in the order of their words where
    // they are worded.
    std::vector<FindingCount> kinds;
    std::vector<SuspectedPair> pairs;      // strongest first
    CopyThreshold copyThreshold;
    std::uint64_t studentsGraded = 0;      // students with a file graded
    Spread totals;                         // of the students' totals
    std::uint64_t possible = 0;            // the most total there is
    std::uint64_t graded = 0;
    std::uint64_t notGraded = 0;
};

Spread spreadOf(const std::vector<std::uint64_t>& scores, std::uint64_t outOf);

TestStats statsOf(std::vector<std::uint64_t> scores, std::uint64_t outOf, std::uint64_t notGraded);

ClassSummary summarizeClass(const std::vector<Test>& tests, const std::vector<Student>& students,
                            const MarkPlaces& places, std::vector<Tally>& tallies);

// The summary but its `kinds`, which countKinds gives from the students
// alone, so that a run can count them beside the rest.
ClassSummary summarizeClassButKinds(const std::vector<Test>& tests, const std::vector<Student>& students,
                                    const MarkPlaces& places, std::vector<Tally>& tallies);

// Each kind of cause, and of file not graded, with the students and files
// it hits, the most students first, then in the class's order.
std::vector<FindingCount> countKinds(const std::vector<Student>& students);

// The reference's line at `position`, from 0.
std::string_view referenceLine(const Test& test, std::uint64_t position);

#endif
