// The report's text: the banner, each compared position's line and
// verdict, the line-count error and the score line, in the words and the
// bytes that scripts and students read.
#ifndef LABELGRADE_REPORT_TEXT_H
#define LABELGRADE_REPORT_TEXT_H

#include "grading/score.h"
#include "grading/verdict.h"
#include "io/output.h"

#include <cstdint>
#include <string>
#include <string_view>

void printBanner(Output& out, std::string_view studentPath, std::string_view referencePath);

void printVerdict(Output& out, const Verdict& verdict);

// Where a report stopped showing positions, having reached `limit` bytes.
void printCut(Output& out, std::uint64_t limit);

// The line-count error, where the counts differ, and the score line.
void printScore(Output& out, std::int32_t testNumber, std::string_view studentPath, const LineCounts& counts);

// The banner, and the score line's start up to its score: what printBanner
// and printScore write, and what a report's paths are found by.
std::string bannerText(std::string_view studentPath, std::string_view referencePath);
std::string scoreLineStart(std::int32_t testNumber, std::string_view studentPath);

// A whole report written with the paths `writtenStudent` and
// `writtenReference`, made to name them `shownStudent` and `shownReference`
// instead: its banner and its score line change, every other byte stays.
// A report without them (one cut short) keeps what it has.
void renamePaths(std::string& report, std::int32_t testNumber, std::string_view writtenStudent,
                 std::string_view writtenReference, std::string_view shownStudent, std::string_view shownReference);

#endif
