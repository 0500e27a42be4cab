// A report retitled for the student who reads it: only its banner and its
// score line change, and they change to the bytes labelgrade would write
// for those paths.
#include "report/report_text.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::string printed(void (*print)(Output&, std::string_view, std::string_view), std::string_view a, std::string_view b)
{
    std::string text;
    auto out = std::make_unique<Output>();
    out->kept = &text;
    print(*out, a, b);
    flushOutput(*out);
    return text;
}

std::string scorePrinted(std::int32_t number, std::string_view student, LineCounts counts)
{
    std::string text;
    auto out = std::make_unique<Output>();
    out->kept = &text;
    printScore(*out, number, student, counts);
    flushOutput(*out);
    return text;
}

}  // namespace

TEST(ReportText, BannerAndScoreStartAreWhatTheReportPrints)
{
    EXPECT_EQ(bannerText("subs/ann/t1.sym", "refs/t1.sym"), printed(printBanner, "subs/ann/t1.sym", "refs/t1.sym"));
    for (std::int32_t number : {0, 7, 123, 4567, -1}) {
        std::string line = scorePrinted(number, "subs/ann/t1.sym", LineCounts{3, 3, 1});
        EXPECT_TRUE(line.starts_with(scoreLineStart(number, "subs/ann/t1.sym"))) << line;
    }
}

TEST(ReportText, RenamingChangesTheBannerAndTheLastScoreLineAlone)
{
    std::string fake = scoreLineStart(1, "/home/prof/subs/ann/t1.sym") + "9 / 9";
    std::string report = bannerText("/home/prof/subs/ann/t1.sym", "/home/prof/refs/t1.sym") +
                         "Checking: " + fake + "\n  Missing address and/or label.\n" +
                         "Error: had 2 lines, but should have had 3.\n" +
                         scoreLineStart(1, "/home/prof/subs/ann/t1.sym") + "0 / 3\n";
    renamePaths(report, 1, "/home/prof/subs/ann/t1.sym", "/home/prof/refs/t1.sym", "lab3.zip/lab3/t1.sym", "t1.sym");
    EXPECT_EQ(report, bannerText("lab3.zip/lab3/t1.sym", "t1.sym") + "Checking: " + fake +
                          "\n  Missing address and/or label.\nError: had 2 lines, but should have had 3.\n" +
                          scoreLineStart(1, "lab3.zip/lab3/t1.sym") + "0 / 3\n");
    EXPECT_EQ(report.find("/home/prof/refs"), std::string::npos);

    // A report that is not one of these paths' is left as it is.
    std::string other = "t1.sym: missing\n";
    renamePaths(other, 1, "/home/prof/subs/ann/t1.sym", "/home/prof/refs/t1.sym", "t1.sym", "t1.sym");
    EXPECT_EQ(other, "t1.sym: missing\n");
}
