// Brightspace's download read as it comes, and its grades export filled:
// names split only where Brightspace splits them, a student's newest
// submission, and no name that takes another student's files or row.
#include "class/sites/site.h"

#include <gtest/gtest.h>

namespace {

const CourseSite& brightspace()
{
    return *siteNamed("brightspace");
}

// Who each entry is, read together: "name|file", "older:<newest>" for one
// set aside, "-" for no student's.
std::vector<std::string> readTogether(const std::vector<TopEntry>& entries)
{
    std::map<std::size_t, Placed> placed = brightspace().names.placeTogether(entries);
    std::vector<std::string> read;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto found = placed.find(i);
        Placed entry = found == placed.end() ? brightspace().names.place(entries[i]) : found->second;
        read.push_back(!entry.theirs            ? "-"
                       : !entry.newest.empty() ? "older:" + entry.newest
                                               : entry.name + "|" + entry.fileName);
    }
    return read;
}

}  // namespace

TEST(BrightspaceNames, FoldersAndFlatFilesSplitOnlyAtTheirDashes)
{
    std::vector<TopEntry> entries{
        {"397063-2557369 - Mary-Ann Smith - Sep 24, 2024 926 PM", true},
        {"57006-96739 - H'ong Pham - May 6, 2020 231 PM - Lab-One - final.zip", false},
        {"57007-96739 - Jean - Luc Picard - Dec 31, 2020 1259 AM", true},
        {"index.html", false},
        // Not a date: no such month, no minutes past 59, no 13 o'clock.
        {"1-2 - Ada - Foo 1, 2026 100 AM", true},
        {"1-2 - Ada - Dec 1, 2026 160 AM", true},
        {"1-2 - Ada - Dec 1, 2026 1300 PM", true},
        {"1 - Ada - Dec 1, 2026 100 AM", true},
    };
    EXPECT_EQ(readTogether(entries),
              (std::vector<std::string>{"Mary-Ann Smith|", "H'ong Pham|Lab-One - final.zip", "Jean - Luc Picard|",
                                        "-", "-", "-", "-", "-"}));
}

TEST(BrightspaceNames, TheNewestSubmissionIsTheStudentsAndNoCraftedNameTakesIt)
{
    std::vector<TopEntry> entries{
        {"1-1 - Ada Lovelace - Dec 1, 2026 1159 AM", true},
        {"1-2 - Ada Lovelace - Dec 1, 2026 1200 PM", true},
        // Midnight comes before noon, and a later year first.
        {"1-3 - Ada Lovelace - Jan 1, 2027 1200 AM", true},
        // A display name that ends in Ada's, newer still, is its own student.
        {"2-1 - Eve - Dec 9, 2026 100 AM - Ada Lovelace - Jan 9, 2027 100 AM", true},
        {"3-1 - ada  lovelace - Jan 9, 2027 100 AM", true},
    };
    EXPECT_EQ(readTogether(entries),
              (std::vector<std::string>{"older:1-3 - Ada Lovelace - Jan 1, 2027 1200 AM",
                                        "older:1-3 - Ada Lovelace - Jan 1, 2027 1200 AM", "Ada Lovelace|",
                                        "Eve - Dec 9, 2026 100 AM - Ada Lovelace|", "ada  lovelace|"}));
    // Every name holds a group's before it: a group assignment's download,
    // whose submitter is the name before the date, told apart by group.
    std::vector<TopEntry> groups{{"1-1 - Red - Ada Lovelace - Dec 1, 2026 100 AM", true},
                                 {"1-2 - Blue - Ada Lovelace - Dec 2, 2026 100 AM", true},
                                 {"1-3 - Red - Mallory - Ada Lovelace - Dec 3, 2026 100 AM", true}};
    EXPECT_EQ(readTogether(groups),
              (std::vector<std::string>{"Ada Lovelace|", "Ada Lovelace|", "Mallory - Ada Lovelace|"}));
}

TEST(BrightspaceNames, AFlatFileIsReadAsItsSubmissionsOtherFilesAre)
{
    std::string grace = "5-1 - Grace Hopper - Dec 1, 2026 100 AM - ";
    std::string crafted = grace + "Ada Lovelace - Dec 9, 2026 100 AM - t1.sym";
    // Alone, the longest name, whose first part reads as a group's (every
    // entry's name holds one): no file name makes the entry another's.
    EXPECT_EQ(readTogether({{crafted, false}}),
              (std::vector<std::string>{"Dec 1, 2026 100 AM - Ada Lovelace|t1.sym"}));
    EXPECT_EQ(readTogether({{crafted, false}, {grace + "t2.sym", false}}),
              (std::vector<std::string>{"Grace Hopper|Ada Lovelace - Dec 9, 2026 100 AM - t1.sym",
                                        "Grace Hopper|t2.sym"}));
    Student owner;
    owner.name = "Grace Hopper";
    EXPECT_EQ(brightspace().names.fileNameOf(crafted, owner), "Ada Lovelace - Dec 9, 2026 100 AM - t1.sym");
}

TEST(BrightspaceFeedback, GoesInTheDownloadsOwnFolderOrBesideTheFlatFiles)
{
    Student ada;
    ada.name = "Ada Lovelace";
    EXPECT_EQ(brightspace().feedbackPath(ada), "");
    ada.flatFiles.push_back(FlatFile{"1-1 - Ada Lovelace - Dec 1, 2026 100 AM - lab - 3.zip", "lab - 3.zip", ""});
    EXPECT_EQ(brightspace().feedbackPath(ada), "1-1 - Ada Lovelace - Dec 1, 2026 100 AM - feedback.txt");
    ada.folders.push_back("1-1 - Ada Lovelace - Dec 1, 2026 100 AM");
    EXPECT_EQ(brightspace().feedbackPath(ada), "1-1 - Ada Lovelace - Dec 1, 2026 100 AM/feedback.txt");
    // A name a zip cannot carry as it is would reach no one.
    ada.folders.front() = "1-1 - Ada: Lovelace - Dec 1, 2026 100 AM";
    EXPECT_EQ(brightspace().feedbackPath(ada), "");
}

namespace {

Student graded(std::string name, std::uint64_t score)
{
    Student student;
    student.name = std::move(name);
    student.hasFolder = true;
    TestResult result;
    result.state = FileState::graded;
    result.score = score;
    student.results.push_back(result);
    return student;
}

Filled filled(const std::string& text, const std::vector<Student>& students, std::string_view item = "Lab 3")
{
    std::vector<::Test> tests(1);
    tests[0].lineCount = 27;
    CsvFile file;
    std::string problem;
    EXPECT_TRUE(readCsvRecords(text, file, problem)) << problem;
    EXPECT_TRUE(brightspace().gradebook.isExport(file));
    Filled result;
    brightspace().gradebook.fill(FillRequest{file, "export.csv", tests, students, true, item, false, false, true},
                                 result);
    return result;
}

}  // namespace

TEST(BrightspaceExport, RowsByDisplayNameExactlyFirst)
{
    std::string header = "OrgDefinedId,Username,Last Name,First Name,Email,Lab 2 Points Grade,"
                         "Lab 3 Points Grade <Numeric MaxPoints:27 Weight:10>,End-of-Line Indicator\r\n";
    std::string rows = "#007,#ada,Lovelace,Ada,,5,,#\r\n"
                       "#008,#eve,lovelace,ada,,,,#\r\n"
                       "#009,#sam1,Lee,Sam,,,,#\r\n"
                       "#010,#sam2,Lee,Sam,,,,#\r\n"
                       "#011,#gh,Hopper,Grace,,,1.0,#\r\n";
    Filled result = filled(header + rows, {graded("Ada Lovelace", 20), graded("ADA  LOVELACE", 7),
                                           graded("Sam Lee", 9), graded("grace hopper", 27), graded("Nobody", 1)});
    EXPECT_EQ(result.problem, "");
    // Ada's row by her exact name; "ADA  LOVELACE" takes the row alike but
    // for case and blanks that no exact name took; Grace's alike, in the
    // row's number form; neither Sam Lee; every other byte as it was.
    EXPECT_EQ(result.text, header + "#007,#ada,Lovelace,Ada,,5,20,#\r\n"
                                    "#008,#eve,lovelace,ada,,,7,#\r\n"
                                    "#009,#sam1,Lee,Sam,,,,#\r\n"
                                    "#010,#sam2,Lee,Sam,,,,#\r\n"
                                    "#011,#gh,Hopper,Grace,,,27.0,#\r\n");
    ASSERT_EQ(result.warnings.size(), 4u);
    EXPECT_EQ(result.warnings[0], "Nobody is named by no row of export.csv: their grade is written nowhere");
    EXPECT_NE(result.warnings[1].find("Sam Lee could be row 4"), std::string::npos);
    // A display name that ends with the student's number, as some sites
    // give: the row of that OrgDefinedId, where its name is the rest.
    Filled numbered = filled(header + "#101234567,#ada,Lovelace,Ada,,,,#\r\n#7,#eve,Lovelace,Ada,,,,#\r\n",
                             {graded("Ada Lovelace 101234567", 20), graded("Eve 7", 1)});
    EXPECT_EQ(numbered.text, header + "#101234567,#ada,Lovelace,Ada,,,20,#\r\n#7,#eve,Lovelace,Ada,,,,#\r\n");
    // Two students alike but for case, and one row: neither is written.
    Filled shared = filled(header + "#007,#ada,Lovelace,Ada,,,,#\r\n",
                           {graded("ada lovelace", 1), graded("ADA LOVELACE", 2)});
    EXPECT_EQ(shared.text, header + "#007,#ada,Lovelace,Ada,,,,#\r\n");
}

TEST(BrightspaceExport, TheItemIsFoundByItsNameAndItsMaximumHeld)
{
    std::string text = "OrgDefinedId,Lab 3 Points Grade <Numeric MaxPoints:50>,Lab 3 Grade Symbol,"
                       "Lab 4 Points Grade,End-of-Line Indicator\n#1,,,,#\n";
    EXPECT_NE(filled(text, {}, "").problem.find("needs --assignment"), std::string::npos);
    EXPECT_NE(filled(text, {}, "Lab 5").problem.find("\"Lab 3\", \"Lab 4\""), std::string::npos);
    EXPECT_NE(filled(text, {}, "Lab 3").problem.find("is 50, the tests' total 27"), std::string::npos);
    EXPECT_EQ(filled(text, {}, "Lab 4 Points Grade").problem, "");
    EXPECT_EQ(filled("Username,Lab 4 Points Grade,End-of-Line Indicator\n", {}, "").problem, "");
}
