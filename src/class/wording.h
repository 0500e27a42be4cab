// The class command's words for what it finds: why a file was not graded,
// and each cause that explains lost points, as the gradebook's notes, the
// reports, the summary and the page all say them.
#ifndef LABELGRADE_WORDING_H
#define LABELGRADE_WORDING_H

#include "class.h"
#include "diagnosis.h"

#include <string>
#include <string_view>

std::string_view reasonOf(FileState state);

std::string describe(const Diagnosis& diagnosis);

// The kind of cause, as the class's summary counts students by it: what no
// test's numbering changes ("addresses off by +1", "a line left out").
std::string kindOf(const Diagnosis& diagnosis);

// Calls `finding(test, text)` for why each of a student's files that was
// not graded was not, and for each cause found in those that were, by test.
template <typename Finding>
void forEachFindingOf(const Student& student, Finding&& finding)
{
    for (std::size_t t = 0; t < student.results.size(); ++t) {
        const TestResult& result = student.results[t];
        if (result.state != FileState::graded)
            finding(t, std::string(reasonOf(result.state)));
        for (const Diagnosis& diagnosis : result.diagnoses)
            finding(t, describe(diagnosis));
    }
}

// Calls `kind(test, kind, text)` as forEachFindingOf does, with each
// cause's kind besides its words.
template <typename Kind>
void forEachKindOf(const Student& student, Kind&& kind)
{
    for (std::size_t t = 0; t < student.results.size(); ++t) {
        const TestResult& result = student.results[t];
        if (result.state != FileState::graded) {
            std::string reason(reasonOf(result.state));
            kind(t, reason, reason);
        }
        for (const Diagnosis& diagnosis : result.diagnoses)
            kind(t, kindOf(diagnosis), describe(diagnosis));
    }
}

#endif
