// The links from the page to the reports, wherever each of them is put.
#include "class/outputs/html_page.h"
#include "class/outputs/html_text.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string linkFrom(const std::string& page, const std::string& reports)
{
    std::filesystem::path top = testing::TempDir() + "links";
    std::filesystem::create_directories(top / "out" / "reports");
    std::filesystem::create_directories(top / "web" / "class pages");
    std::string link;
    EXPECT_TRUE(reportsLinkFrom((top / page).string(), (top / reports).string(), link));
    std::filesystem::remove_all(top);
    return link;
}

}  // namespace

TEST(ReportsLink, RunsFromThePagesFolderToTheReports)
{
    EXPECT_EQ(linkFrom("out/class.html", "out/reports"), "reports/");
    EXPECT_EQ(linkFrom("out/reports/class.html", "out/reports"), "./");
    EXPECT_EQ(linkFrom("web/class pages/class.html", "out/reports"), "../../out/reports/");
    EXPECT_EQ(linkFrom("out/reports/class.html", "web/class pages"), "../../web/class%20pages/");
}

TEST(ReportsLink, RunsFromAFolderNotYetMade)
{
    std::string link;
    EXPECT_TRUE(reportsLinkFrom("/nonexistent/pages/../class.html", "/tmp", link));
    EXPECT_EQ(link, "../tmp/");
}

TEST(PercentEncoded, LeavesOnlyUnreservedBytes)
{
    EXPECT_EQ(percentEncoded("O'Brien, Pat/t1.sym"), "O%27Brien%2C%20Pat%2Ft1.sym");
    EXPECT_EQ(percentEncoded("\xC3\xA9?#"), "%C3%A9%3F%23");
}

TEST(HtmlText, EscapesMarkupAndShowsControlBytes)
{
    EXPECT_EQ(htmlText("<b a=\"1\" b='2'>&"), "&lt;b a=&quot;1&quot; b=&#39;2&#39;&gt;&amp;");
    EXPECT_EQ(htmlText("a\x1b[2Jb"), "a\\x1b[2Jb");
}

TEST(RunDate, TakesSourceDateEpochWhereItIsANumberOfSeconds)
{
    EXPECT_EQ(runDate("1765324800"), "2025-12-10");
    EXPECT_EQ(runDate("0"), "1970-01-01");
    // Anything else is not a date to trust: today's, in its form.
    for (const char* other : {"", "soon", "-5", "12x", static_cast<const char*>(nullptr)}) {
        std::string today = runDate(other);
        ASSERT_EQ(today.size(), 10u) << other;
        EXPECT_EQ(today[4], '-');
        EXPECT_NE(today, "1970-01-01");
    }
}
