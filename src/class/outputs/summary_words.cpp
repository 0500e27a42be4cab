#include "class/outputs/summary_words.h"

#include "class/outputs/statement_words.h"
#include "class/outputs/wording.h"

#include <algorithm>
#include <tuple>

namespace {

// What the first file's notes say of the finding: a file not graded says
// why where it was told why.
std::string firstWords(const FindingCount& count, const std::vector<Student>& students)
{
    switch (count.kind.of) {
    case FindingOf::notGraded: {
        std::string whole(reasonOf(count.kind.state));
        for (const FileNote& note : students[count.firstStudent].notes)
            if (note.test == count.firstTest && note.kind == NoteKind::why)
                whole = note.text;
        return whole;
    }
    case FindingOf::cause:
        return describe(count.first);
    case FindingOf::mistake:
        for (const NamedMistake& mistake : students[count.firstStudent].results[count.firstTest].mistakes)
            if (mistake.found.mistake == count.kind.mistake)
                return mistake.words();
        return std::string(mistakeKindWords(count.kind.mistake));
    case FindingOf::noReport:
        break;
    }
    return reportNotWritten(count.kind.error);
}

}  // namespace

std::string findingWords(const FindingKind& kind)
{
    switch (kind.of) {
    case FindingOf::notGraded:
        return std::string(reasonOf(kind.state));
    case FindingOf::cause:
        return kindWords(kind.cause);
    case FindingOf::mistake:
        return std::string(mistakeKindWords(kind.mistake));
    case FindingOf::noReport:
        break;
    }
    return reportNotWritten(kind.error);
}

std::vector<WordedKind> wordedKinds(const ClassSummary& summary, const std::vector<Student>& students)
{
    std::vector<WordedKind> worded;
    worded.reserve(summary.kinds.size());
    for (const FindingCount& count : summary.kinds)
        worded.push_back(WordedKind{&count, findingWords(count.kind), firstWords(count, students)});
    std::stable_sort(worded.begin(), worded.end(), [](const WordedKind& a, const WordedKind& b) {
        return std::tie(b.count->students, a.count->firstStudent, a.count->firstTest, a.text) <
               std::tie(a.count->students, b.count->firstStudent, b.count->firstTest, b.text);
    });
    return worded;
}
