#include "class/explaining/summary.h"

#include "class/explaining/findings.h"
#include "class/model/hashing.h"
#include "grading/line_walk.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace {

// Calls `found(test, kind, diagnosis)` for each file not graded, each cause
// found (`diagnosis` is the cause), each mistake named and each report not
// written.  The notes
// that are no cause (one file with another student's, graded under another
// name) have no kind: the summary tells those apart.
template <typename Found>
void forEachKindOf(const Student& student, Found&& found)
{
    for (std::size_t t = 0; t < student.results.size(); ++t) {
        const TestResult& result = student.results[t];
        if (result.state != FileState::graded)
            found(t, FindingKind{.of = FindingOf::notGraded, .state = result.state}, Diagnosis{});
        for (const Diagnosis& diagnosis : result.diagnoses)
            found(t, FindingKind{.of = FindingOf::cause, .cause = causeKindOf(diagnosis)}, diagnosis);
        for (const NamedMistake& mistake : result.mistakes)
            found(t, FindingKind{.of = FindingOf::mistake, .mistake = mistake.found.mistake}, Diagnosis{});
        if (result.reportError != 0)
            found(t, FindingKind{.of = FindingOf::noReport, .error = result.reportError}, Diagnosis{});
    }
}

// Keeps the few most common wrong lines at a position as they come, most
// common first, then in order of text.
void keepCommon(std::vector<CommonWrongLine>& common, std::string_view text, std::uint64_t count)
{
    auto before = [](const CommonWrongLine& a, const CommonWrongLine& b) {
        return a.count != b.count ? a.count > b.count : a.text < b.text;
    };
    // Most distinct lines are one file's: they would sort after the last
    // kept and be cut, so they are not copied at all.
    if (common.size() == wrongLinesShown &&
        (count < common.back().count || (count == common.back().count && text >= common.back().text)))
        return;
    common.push_back(CommonWrongLine{std::string(text), count});
    std::sort(common.begin(), common.end(), before);
    common.resize(std::min(common.size(), wrongLinesShown));
}

// The reference lines of a test most often wrong, with their common wrong
// lines.
void pickMissed(TestSummary& test, std::vector<std::vector<CommonWrongLine>>& common)
{
    std::vector<std::uint64_t> positions;
    for (std::uint64_t p = 0; p < test.wrongAt.size(); ++p)
        if (test.wrongAt[p] > 0)
            positions.push_back(p);
    std::stable_sort(positions.begin(), positions.end(),
                     [&](std::uint64_t a, std::uint64_t b) { return test.wrongAt[a] > test.wrongAt[b]; });
    positions.resize(std::min(positions.size(), missedLinesShown));
    for (std::uint64_t p : positions)
        test.missed.push_back(MissedLine{p, test.wrongAt[p], std::move(common[p])});
}

// The students' files that are one file with another's, by test and
// student: what they share is no evidence of copying.
std::vector<std::uint64_t> sameFilesOf(const std::vector<Student>& students)
{
    std::vector<std::uint64_t> keys;
    for (std::uint32_t s = 0; s < students.size(); ++s)
        for (const FileNote& note : students[s].notes)
            if (note.kind == NoteKind::sameFile)
                keys.push_back(std::uint64_t{note.test} << 32 | s);
    std::sort(keys.begin(), keys.end());
    return keys;
}

// One pass over the class's distinct wrong lines keeps the most common at
// each position; one over its evidence weighs what pairs of students share.
void countMarks(std::vector<Tally>& tallies, const std::vector<Student>& students, const MarkPlaces& places,
                ClassSummary& summary, CopyFinder& copies)
{
    std::vector<std::vector<std::vector<CommonWrongLine>>> common(summary.tests.size());
    for (std::size_t t = 0; t < summary.tests.size(); ++t) {
        common[t].resize(summary.tests[t].wrongAt.size());
        if (!places.marked(static_cast<std::uint32_t>(t)))
            continue;
        for (std::uint64_t line = 0; line < summary.tests[t].wrongAt.size(); ++line)
            for (const Tally& tally : tallies) {
                std::uint32_t place = places.lineOf(static_cast<std::uint32_t>(t), line);
                summary.tests[t].wrongAt[line] += place < tally.wrongAt.size() ? tally.wrongAt[place] : 0;
            }
    }
    forEachWrongLine(tallies, [&](std::uint32_t at, std::uint64_t count, std::string_view text) {
        Place place = places.placeOf(at);
        if (!place.causes)
            keepCommon(common[place.test][place.line], text, count);
    });
    for (std::size_t t = 0; t < summary.tests.size(); ++t)
        pickMissed(summary.tests[t], common[t]);
    std::vector<std::uint64_t> sameFiles = sameFilesOf(students);
    std::vector<std::uint32_t> evidence;
    forEachGroup(tallies, [&](const Mark& mark, std::span<const std::uint32_t> sharers) {
        std::uint64_t test = places.placeOf(mark.place).test;
        evidence.clear();
        for (std::uint32_t student : sharers)
            if (!std::binary_search(sameFiles.begin(), sameFiles.end(), test << 32 | student))
                evidence.push_back(student);
        copies.shared(mark, evidence);
    });
}

// Whether a told cause says how a whole file prints, as its row has it: a
// form on a few lines is theirs, not the file's.
bool printsWhole(const Diagnosis& diagnosis, std::uint64_t lines)
{
    Prints prints = rowOf(diagnosis.cause).prints;
    return prints == Prints::anywhere ||
           (prints == Prints::onMostLines && diagnosis.amount > 0 &&
            2 * static_cast<std::uint64_t>(diagnosis.amount) >= lines);
}

// A key of 64 bits in the 32 that the copy finder holds for each file.
std::uint32_t foldedKey(std::uint64_t key)
{
    auto folded = static_cast<std::uint32_t>(key ^ (key >> 32));
    return folded == unprinted ? 0 : folded;
}

// How each student's file of each test prints, by student then test: the
// told causes that say so, each with what its row keeps (which forms, what
// length labels are cut to); 0 for a file printed as the reference is.
std::vector<std::uint32_t> printsOf(const std::vector<Test>& tests, const std::vector<Student>& students)
{
    std::vector<std::uint32_t> prints(students.size() * tests.size(), unprinted);
    for (std::size_t s = 0; s < students.size(); ++s)
        for (std::size_t t = 0; t < tests.size() && t < students[s].results.size(); ++t) {
            if (students[s].results[t].state != FileState::graded)
                continue;
            std::uint64_t print = 0;
            for (const Diagnosis& diagnosis : students[s].results[t].diagnoses) {
                if (!printsWhole(diagnosis, tests[t].lineCount))
                    continue;
                Keeps keeps = rowOf(diagnosis.cause).keeps;
                std::uint64_t holds = keeps == Keeps::forms ? diagnosis.forms
                                      : keeps == Keeps::value ? diagnosis.value
                                                              : 0;
                print = mixWord(print, mixWord(static_cast<std::uint64_t>(diagnosis.cause) + 1, holds));
            }
            prints[s * tests.size() + t] = foldedKey(print);
        }
    return prints;
}

// The mistakes each student's file of each test makes, by student then
// test, as the key that a set of mistakes is shared by.
std::vector<std::uint32_t> mistakesOf(const std::vector<Test>& tests, const std::vector<Student>& students)
{
    std::vector<std::uint32_t> keys(students.size() * tests.size(), unprinted);
    std::vector<FoundMistake> found;
    for (std::size_t s = 0; s < students.size(); ++s)
        for (std::size_t t = 0; t < tests.size() && t < students[s].results.size(); ++t) {
            const TestResult& result = students[s].results[t];
            if (result.state != FileState::graded)
                continue;
            found.clear();
            for (const NamedMistake& mistake : result.mistakes)
                found.push_back(mistake.found);
            keys[s * tests.size() + t] = foldedKey(mistakesKey(result.diagnoses, found));
        }
    return keys;
}

}  // namespace

std::vector<FindingCount> countKinds(const std::vector<Student>& students)
{
    struct Count {
        FindingCount found;
        std::size_t lastStudent = SIZE_MAX;
        std::vector<bool> tested;  // by test: whether `found.tests` holds it
    };
    std::map<FindingKind, Count> kinds;
    for (std::size_t s = 0; s < students.size(); ++s)
        forEachKindOf(students[s], [&](std::size_t test, const FindingKind& kind, const Diagnosis& diagnosis) {
            Count& count = kinds[kind];
            if (count.found.files == 0) {
                count.found.kind = kind;
                count.found.first = diagnosis;
                count.found.firstStudent = static_cast<std::uint32_t>(s);
                count.found.firstTest = static_cast<std::uint32_t>(test);
            }
            ++count.found.files;
            if (count.lastStudent != s)
                ++count.found.students;
            count.lastStudent = s;
            // Each test once: a kind's files come test after test, student
            // after student, and would list the tests once for each file.
            if (test >= count.tested.size())
                count.tested.resize(test + 1);
            if (!count.tested[test]) {
                count.tested[test] = true;
                count.found.tests.push_back(static_cast<std::uint32_t>(test));
            }
        });
    std::vector<FindingCount> counted;
    for (auto& [kind, count] : kinds) {
        std::sort(count.found.tests.begin(), count.found.tests.end());
        counted.push_back(std::move(count.found));
    }
    std::sort(counted.begin(), counted.end(), [](const FindingCount& a, const FindingCount& b) {
        return std::tie(b.students, a.firstStudent, a.firstTest, a.kind) <
               std::tie(a.students, b.firstStudent, b.firstTest, b.kind);
    });
    return counted;
}

std::string_view referenceLine(const Test& test, std::uint64_t position)
{
    std::string_view text = test.text;
    for (std::uint64_t line = 0; line < position && !text.empty(); ++line)
        nextLine(text);
    return nextLine(text);
}

TestStats statsOf(std::vector<std::uint64_t> scores, std::uint64_t outOf, std::uint64_t notGraded)
{
    TestStats stats;
    stats.graded = scores.size();
    stats.notGraded = notGraded;
    stats.spread = spreadOf(scores, outOf);
    if (scores.empty())
        return stats;
    std::sort(scores.begin(), scores.end());
    std::uint64_t sum = 0;
    for (std::uint64_t score : scores) {
        sum += score;
        stats.fullMarks += score == outOf ? 1 : 0;
    }
    stats.mean = static_cast<double>(sum) / static_cast<double>(scores.size());
    std::size_t middle = scores.size() / 2;
    stats.median = scores.size() % 2 == 1 ? static_cast<double>(scores[middle])
                                          : (static_cast<double>(scores[middle - 1]) + static_cast<double>(scores[middle])) / 2;
    stats.lowest = scores.front();
    stats.highest = scores.back();
    return stats;
}

Spread spreadOf(const std::vector<std::uint64_t>& scores, std::uint64_t outOf)
{
    Spread spread;
    std::uint64_t values = outOf + 1;
    spread.binWidth = (values + spreadBins - 1) / spreadBins;
    spread.bins.assign((values + spread.binWidth - 1) / spread.binWidth, 0);
    for (std::uint64_t score : scores)
        ++spread.bins[std::min<std::uint64_t>(score, outOf) / spread.binWidth];
    return spread;
}

ClassSummary summarizeClass(const std::vector<Test>& tests, const std::vector<Student>& students,
                            const MarkPlaces& places, std::vector<Tally>& tallies)
{
    ClassSummary summary = summarizeClassButKinds(tests, students, places, tallies);
    summary.kinds = countKinds(students);
    return summary;
}

ClassSummary summarizeClassButKinds(const std::vector<Test>& tests, const std::vector<Student>& students,
                                    const MarkPlaces& places, std::vector<Tally>& tallies)
{
    ClassSummary summary;
    std::vector<std::uint64_t> totals;
    for (const Test& test : tests)
        summary.possible += test.lineCount;
    for (std::size_t t = 0; t < tests.size(); ++t) {
        std::vector<std::uint64_t> scores;
        std::uint64_t notGraded = 0;
        for (const Student& student : students) {
            if (student.results[t].state == FileState::graded)
                scores.push_back(student.results[t].score);
            else
                ++notGraded;
        }
        summary.graded += scores.size();
        summary.notGraded += notGraded;
        TestSummary test;
        test.stats = statsOf(std::move(scores), tests[t].lineCount, notGraded);
        test.wrongAt.assign(tests[t].lineCount, 0);
        summary.tests.push_back(std::move(test));
    }
    for (const Student& student : students) {
        for (const FileNote& note : student.notes)
            summary.findings += note.kind != NoteKind::why ? 1 : 0;
        bool graded = false;
        for (const TestResult& result : student.results) {
            summary.findings += result.diagnoses.size() + (result.state != FileState::graded ? 1 : 0);
            graded = graded || result.state == FileState::graded;
        }
        summary.studentsGraded += graded ? 1 : 0;
        totals.push_back(totalOf(student));
    }
    summary.totals = spreadOf(totals, summary.possible);
    std::vector<std::uint64_t> gradedPerTest;
    for (const TestSummary& test : summary.tests)
        gradedPerTest.push_back(test.stats.graded);
    CopyFinder copies(places, gradedPerTest, summary.studentsGraded, printsOf(tests, students),
                      mistakesOf(tests, students));
    countMarks(tallies, students, places, summary, copies);
    summary.pairs = copies.suspects();
    summary.copyThreshold = copies.threshold;
    return summary;
}
