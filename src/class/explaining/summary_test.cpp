// A test's statistics and the spread of its scores at their edges, and the
// kinds of finding counted by what no test's numbering changes.
#include "class/explaining/summary.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

Student graded(std::vector<std::vector<Diagnosis>> causes)
{
    Student student;
    for (std::vector<Diagnosis>& found : causes)
        student.results.push_back(TestResult{FileState::graded, 0, 0, 1, std::move(found), {}});
    return student;
}

Diagnosis offsetFrom(std::uint32_t from, std::uint64_t by, bool below = false)
{
    Diagnosis offset{Cause::addressOffset, 0, below, 3, by};
    offset.from = from;
    offset.since = from;
    return offset;
}

ClassSummary summaryOf(const std::vector<Student>& students, std::vector<Tally> tallies = {})
{
    std::vector<Test> tests(students.front().results.size());
    std::vector<std::uint64_t> lines;
    for (Test& test : tests) {
        test.name = "t.sym";
        test.lineCount = 4;
        test.text = "0000 A\n0001 B\n0002 C\n0003 D\n";
        lines.push_back(test.lineCount);
    }
    MarkPlaces places(lines);
    return summarizeClass(tests, students, places, tallies);
}

}  // namespace

TEST(SummarizeClass, CountsACauseByItsKindWhereverInATestItShows)
{
    std::vector<Student> students;
    students.push_back(graded({{offsetFrom(1, 16)}, {offsetFrom(3, 16)}}));
    students.push_back(graded({{offsetFrom(2, 16), offsetFrom(4, 16, true)}, {}}));
    students.push_back(graded({{Diagnosis{Cause::shiftedLines, 0, false, 2, 1}},
                               {Diagnosis{Cause::shiftedLines, 0, false, -1, 3}}}));
    students[2].results[1].reportError = EACCES;
    students.push_back(graded({{}, {}}));
    students[3].results[0].state = FileState::missing;
    ClassSummary summary = summaryOf(students);
    ASSERT_EQ(summary.kinds.size(), 6u);
    const FindingCount& above = summary.kinds[0];
    EXPECT_EQ(above.kind.cause, causeKindOf(offsetFrom(1, 16)));
    EXPECT_EQ(above.students, 2u);
    EXPECT_EQ(above.files, 3u);
    EXPECT_EQ(above.tests, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(above.first.from, 1u);  // the first file's own, which its note words
    // Below the reference's, lines added rather than left out: kinds apart.
    EXPECT_EQ(summary.kinds[1].kind.cause, causeKindOf(offsetFrom(4, 16, true)));
    EXPECT_EQ(summary.kinds[2].kind.cause.cause, Cause::shiftedLines);
    EXPECT_EQ(summary.kinds[3].kind.cause.cause, Cause::shiftedLines);
    EXPECT_EQ(summary.kinds[3].firstTest, 1u);
    EXPECT_EQ(summary.kinds[4].kind.of, FindingOf::noReport);
    EXPECT_EQ(summary.kinds[4].kind.error, EACCES);
    EXPECT_EQ(summary.kinds[5].kind.of, FindingOf::notGraded);
    EXPECT_EQ(summary.kinds[5].kind.state, FileState::missing);
    EXPECT_EQ(summary.findings, 7u);
}

TEST(StatsOf, TakesTheMedianOfAnEvenCountAsTheMeanOfTheMiddleTwo)
{
    TestStats stats = statsOf({9, 1, 4, 10}, 10, 2);
    EXPECT_DOUBLE_EQ(stats.median, 6.5);
    EXPECT_DOUBLE_EQ(stats.mean, 6.0);
    EXPECT_EQ(stats.lowest, 1u);
    EXPECT_EQ(stats.highest, 10u);
    EXPECT_EQ(stats.fullMarks, 1u);
    EXPECT_EQ(stats.notGraded, 2u);
    EXPECT_DOUBLE_EQ(statsOf({3, 7, 5}, 10, 0).median, 5.0);
}

TEST(StatsOf, SaysNothingOfATestNoOneWasGradedOn)
{
    TestStats stats = statsOf({}, 10, 4);
    EXPECT_EQ(stats.graded, 0u);
    EXPECT_EQ(stats.notGraded, 4u);
    EXPECT_DOUBLE_EQ(stats.mean, 0.0);
}

TEST(SpreadOf, PutsFullMarksInTheLastBin)
{
    Spread spread = spreadOf({0, 25, 26, 27}, 27);
    EXPECT_EQ(spread.binWidth, 3u);
    ASSERT_EQ(spread.bins.size(), 10u);
    EXPECT_EQ(spread.bins.front(), 1u);
    EXPECT_EQ(spread.bins[8], 2u);  // 24 to 26
    EXPECT_EQ(spread.bins.back(), 1u);  // 27 alone
}

TEST(SpreadOf, HasOneBinPerScoreWhenFew)
{
    Spread spread = spreadOf({0, 0, 2}, 2);
    EXPECT_EQ(spread.binWidth, 1u);
    EXPECT_EQ(spread.bins, (std::vector<std::uint64_t>{2, 0, 1}));
    Spread empty = spreadOf({5}, 0);
    EXPECT_EQ(empty.bins, std::vector<std::uint64_t>{1});
}

// Two students who hold the same two typos are a pair where their files
// print alike, however they were saved, and where a form that only a few
// lines show is theirs; not where one's addresses, or its labels' cut,
// are its own.
TEST(SummarizeClass, WeighsHandEditsOnlyBetweenFilesThatPrintAlike)
{
    auto listedWith = [](const std::vector<Diagnosis>& secondPrints) {
        std::vector<Student> students(12, graded({{}}));
        students[1] = graded({secondPrints});
        std::vector<Tally> tallies(1);
        MarkPlaces places({4});
        for (std::uint32_t line : {1u, 3u})
            for (std::uint32_t student : {0u, 1u})
                tallies[0].marks.push_back(Mark{0xbeef + line, student, places.lineOf(0, line)});
        return summaryOf(students, std::move(tallies)).pairs.size();
    };
    Diagnosis wholeForm{Cause::addressForm, 0, false, 4, 0};
    wholeForm.forms = otherWidth;
    Diagnosis fewLinesForm = wholeForm;
    fewLinesForm.amount = 1;
    EXPECT_EQ(listedWith({}), 1u);
    EXPECT_EQ(listedWith({Diagnosis{Cause::crlfLineEnds, 0, false, 4, 4}}), 1u);
    EXPECT_EQ(listedWith({fewLinesForm}), 1u);
    EXPECT_EQ(listedWith({wholeForm}), 0u);
    EXPECT_EQ(listedWith({Diagnosis{Cause::cutLabels, 0, false, 1, 6}}), 0u);
    EXPECT_EQ(listedWith({Diagnosis{Cause::labelCase, 0, false, 3, 0}}), 0u);
}

