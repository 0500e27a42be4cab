// The kinds of finding the summary counts, in words, for the summary's
// text and the page alike.
#ifndef LABELGRADE_SUMMARY_WORDS_H
#define LABELGRADE_SUMMARY_WORDS_H

#include "class/explaining/summary.h"
#include "class/model/class.h"

#include <string>
#include <vector>

struct WordedKind {
    const FindingCount* count = nullptr;
    std::string text;       // the kind's words
    std::string firstText;  // the first file's finding, as its notes word it
};

// The words of a kind of finding.
std::string findingWords(const FindingKind& kind);

// The summary's kinds worded, in the order they are listed: the students
// they hit, most first, then the class's order and the tests', then their
// words.
std::vector<WordedKind> wordedKinds(const ClassSummary& summary, const std::vector<Student>& students);

#endif
