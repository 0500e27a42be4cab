// The summary on a terminal: columns as a terminal counts them, and a
// class of any size kept to two screens of 80 columns.
#include "class/outputs/summary_text.h"

#include "class/outputs/wording.h"

#include <gtest/gtest.h>

TEST(Columns, CountCharactersAndWideOnesTwice)
{
    EXPECT_EQ(columnsOf("abc"), 3u);
    EXPECT_EQ(columnsOf("\u00e9t\u00e9"), 3u);
    EXPECT_EQ(columnsOf("\u5b66\u751f"), 4u);
    EXPECT_EQ(columnsOf("\xff"), 1u);  // a stray byte, as an escape shows it
}

TEST(Fitted, CutsWholeCharactersAndEndsWithAnEllipsis)
{
    EXPECT_EQ(fitted("short", 80), "short");
    EXPECT_EQ(fitted("abcdefgh", 5), "abcd\u2026");
    // A wide character that would cross the edge is left out whole.
    std::string cut = fitted("ab\u5b66\u751f", 4);
    EXPECT_EQ(cut, "ab\u2026");
    EXPECT_LE(columnsOf(cut), 4u);
}

TEST(WriteSummary, FitsTwoScreensWhateverTheClass)
{
    std::vector<::Test> tests(30);
    for (std::size_t t = 0; t < tests.size(); ++t) {
        tests[t].name = "a-test-with-a-long-name-" + std::to_string(t) + ".sym";
        tests[t].lineCount = 4;
        tests[t].text = "0000 A\n0001 B\n0002 C\n0003 D\n";
    }
    std::vector<Student> students(500);
    ClassSummary summary;
    summary.tests.resize(tests.size());
    for (std::size_t s = 0; s < students.size(); ++s) {
        students[s].name = std::string(100, 'x') + std::to_string(s);
        students[s].results.assign(tests.size(), TestResult{});
        for (TestResult& result : students[s].results) {
            result.state = FileState::graded;
            result.diagnoses.push_back(Diagnosis{Cause::labelCase, 0, false, 4});
        }
    }
    summary.kinds.resize(40, FindingCount{FindingKind{.of = FindingOf::cause, .cause = CauseKind{Cause::labelCase}},
                                           Diagnosis{Cause::labelCase, 0, false, 4}, 0, 0, 500, 500, {0, 1, 2}});
    for (std::uint32_t p = 0; p < 30; ++p)
        summary.pairs.push_back(SuspectedPair{p, p + 1, 9, 4.5, {}});
    auto out = std::make_unique<Output>();
    std::string text;
    out->kept = &text;
    std::vector<std::string> about{"SUBMISSIONS read as " + std::string(200, 'x')};
    std::vector<std::string> notices{std::string(300, 'y') + "'s reports are in reports/y_2"};
    std::string page;
    writeSummary(*out, summary, tests, students, SummaryNotes{about, notices, page}, true);
    flushOutput(*out);
    std::size_t lines = 0;
    for (std::size_t at = 0; at < text.size(); ++lines) {
        std::size_t end = text.find('\n', at);
        EXPECT_LE(columnsOf(std::string_view(text).substr(at, end - at)), summaryColumns);
        at = end + 1;
    }
    EXPECT_LE(lines, 50u);
    EXPECT_NE(text.find("and 34 more kinds"), std::string::npos);
    EXPECT_NE(text.find("and 26 more\n"), std::string::npos);
    EXPECT_NE(text.find("and 14 more tests"), std::string::npos);
}
