// The class's summary as text, for standard error at the end of a run.
#ifndef LABELGRADE_SUMMARY_TEXT_H
#define LABELGRADE_SUMMARY_TEXT_H

#include "class.h"
#include "io/output.h"
#include "summary.h"

#include <string>
#include <vector>

// The summary names at most this many findings; all are in the gradebook's
// notes and on the page.
constexpr std::uint64_t findingsListed = 100;

// Writes the summary.  Students' names and lines show their control bytes
// as escapes (`utf8`: as a UTF-8 terminal needs them), wherever the text
// goes.
// What the summary says before its figures, as it is: what SUBMISSIONS was
// found to be, and what the instructor must look at first (students' files
// that are one file, folders that are links, reports told apart).
struct SummaryNotes {
    const std::vector<std::string>& about;
    const std::vector<std::string>& notices;
};

void writeSummary(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                  const std::vector<Student>& students, const SummaryNotes& notes, bool utf8);

// A number of points as the summary writes it: at most one decimal.
std::string pointsText(double points);

// What a suspected pair shares, in words: "t2.sym lines 3, 5 (no one
// else); t3.sym line 4 (2 others); identical t2.sym".
std::string sharedText(const SuspectedPair& pair, const std::vector<Test>& tests);

#endif
