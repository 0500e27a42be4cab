// The class command's words for what it finds: why a file was not graded,
// and each cause that explains lost points, as the gradebook's notes, the
// reports, the summary and the page all say them.
#ifndef LABELGRADE_WORDING_H
#define LABELGRADE_WORDING_H

#include "class/explaining/cause_kinds.h"
#include "class/model/class.h"
#include "class/model/diagnosis.h"

#include <string>
#include <string_view>

std::string describe(const Diagnosis& diagnosis);

// What a student changes in their assembler for a kind of cause, as their
// feedback says it; empty where the file alone cannot tell.
std::string_view causeFix(Cause cause);

// Why a report could not be written, from the errno that says so.
std::string reportNotWritten(int error);

// A kind of cause, as the class's summary counts students by it: what no
// test's numbering changes ("addresses off by +1", "a line left out").
std::string kindWords(const CauseKind& kind);
// The kind of a cause, in those words.
std::string kindOf(const Diagnosis& diagnosis);

// Calls `finding(test, text)`, test by test, for each note on a student's
// file (one file with another student's, graded under another name), for
// why each file that was not graded was not, for each cause found in those
// that were, and for a report that could not be written.
// `caused(test, diagnosis)` is called in place of `finding` for each
// cause, so that what writes a cause and its note words it once, or not
// at all where it has met the same cause before.
template <typename Finding, typename Caused>
void forEachFindingOf(const Student& student, Finding&& finding, Caused&& caused)
{
    for (std::size_t t = 0; t < student.results.size(); ++t) {
        const TestResult& result = student.results[t];
        bool graded = result.state == FileState::graded;
        const FileNote* why = nullptr;
        const FileNote* chosen = nullptr;
        for (const FileNote& note : student.notes) {
            if (note.test != t)
                continue;
            if (note.kind == NoteKind::why)
                why = &note;
            else if (note.kind == NoteKind::gradedAs)
                chosen = &note;
            else
                finding(t, note.text);
        }
        if (graded && chosen != nullptr)
            finding(t, "graded " + chosen->text);
        if (!graded && why != nullptr)
            finding(t, why->text);
        else if (!graded)
            finding(t, std::string(reasonOf(result.state)) + (chosen != nullptr ? " (" + chosen->text + ")" : ""));
        for (const Diagnosis& diagnosis : result.diagnoses)
            caused(t, diagnosis);
        for (const NamedMistake& mistake : result.mistakes)
            finding(t, mistake.words());
        if (result.reportError != 0)
            finding(t, reportNotWritten(result.reportError));
    }
}

template <typename Finding>
void forEachFindingOf(const Student& student, Finding&& finding)
{
    forEachFindingOf(student, finding,
                     [&](std::size_t test, const Diagnosis& diagnosis) { finding(test, describe(diagnosis)); });
}

#endif
