// The report's text: the banner, each compared position's line and
// verdict, the line-count error and the score line, in the words and the
// bytes that scripts and students read.
#ifndef LABELGRADE_REPORT_TEXT_H
#define LABELGRADE_REPORT_TEXT_H

#include "grading/score.h"
#include "grading/verdict.h"
#include "io/output.h"

#include <cstdint>
#include <string_view>

void printBanner(Output& out, std::string_view studentPath, std::string_view referencePath);

void printVerdict(Output& out, const Verdict& verdict);

// Where a report stopped showing positions, having reached `limit` bytes.
void printCut(Output& out, std::uint64_t limit);

// The line-count error, where the counts differ, and the score line.
void printScore(Output& out, std::int32_t testNumber, std::string_view studentPath, const LineCounts& counts);

#endif
