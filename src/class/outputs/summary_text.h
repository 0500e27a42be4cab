// The class's summary as text, for standard error at the end of a run: a
// screenful or two of an 80-column terminal whatever the class, the rest
// on the page and in the gradebook's notes.
#ifndef LABELGRADE_SUMMARY_TEXT_H
#define LABELGRADE_SUMMARY_TEXT_H

#include "class/model/class.h"
#include "io/output.h"
#include "class/explaining/summary.h"

#include <string>
#include <string_view>
#include <vector>

// No line of the summary is wider than this many columns.
constexpr std::size_t summaryColumns = 80;
// The summary names at most this many findings: causes, then pairs.
constexpr std::size_t findingsListed = 10;
// Of them, at most this many pairs while causes remain to be named.
constexpr std::size_t pairsListed = 4;
// Tests shown in full; past this, a line each.
constexpr std::size_t testsInFull = 6;
// Tests shown at all.
constexpr std::size_t testsListed = 16;

// Writes the summary.  Students' names and lines show their control bytes
// as escapes (`utf8`: as a UTF-8 terminal needs them), wherever the text
// goes.
// What the summary says besides its figures: what SUBMISSIONS was found to
// be, what the instructor must look at first (students' files that are one
// file, folders that are links, reports told apart), and where the page
// was written, if it was.
struct SummaryNotes {
    const std::vector<std::string>& about;
    const std::vector<std::string>& notices;
    const std::string& page;
};

void writeSummary(Output& out, const ClassSummary& summary, const std::vector<Test>& tests,
                  const std::vector<Student>& students, const SummaryNotes& notes, bool utf8);

// A number of points as the summary writes it: at most one decimal.
std::string pointsText(double points);

// What a suspected pair or group shares, in words: "the same set of
// assembler mistakes, which 2 other students have; 3 identical hand edits:
// t3.sym lines 4 and 8, t5.sym line 2".
std::string sharedText(const SuspectedPair& pair, const std::vector<Test>& tests, const std::vector<Student>& students);

// "ann and bob", or a group's "ann, bob and cid", as on a terminal.
std::string studentsText(const SuspectedPair& pair, const std::vector<Student>& students, bool utf8);

// The columns a terminal gives `text`: a column a character, two for a
// wide one.
std::size_t columnsOf(std::string_view text);
// `text` cut to `columns`, an ellipsis ending what was cut.
std::string fitted(std::string_view text, std::size_t columns);

#endif
