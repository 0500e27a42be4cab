// Blackboard's download read through its row: who each entry is by the
// receipts, what the student named each file, which attempt is graded, and
// what a student's own text in a receipt or a file's name cannot do; and
// its upload file and Grade Center download filled.
#include "class/sites/site.h"

#include "io/output.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const CourseSite& blackboard()
{
    return *siteNamed("blackboard");
}

std::string receipt(std::string_view first, std::string_view files, std::string_view comments = "")
{
    return std::string(first) +
           "\nAssignment: Lab 3\nDate Submitted: Thursday, December 12, 2024 1:22:26 PM EST\n"
           "Current Grade: Needs Grading\n\nSubmission Field:\nThere is no student submission text data for this "
           "assignment.\n\nComments:\n" +
           std::string(comments) + "\n\nFiles:\n" + std::string(files) + "\n";
}

// Each entry with its text, where it has one.
struct Download {
    std::vector<std::string> names;
    std::vector<std::string> texts;
    std::vector<TopEntry> entries;
    std::map<std::size_t, Placed> placed;

    void add(std::string name, std::string text = {})
    {
        names.push_back(std::move(name));
        texts.push_back(std::move(text));
    }
    void read()
    {
        entries.clear();
        for (std::size_t i = 0; i < names.size(); ++i)
            entries.push_back(TopEntry{names[i], false, texts[i]});
        placed = blackboard().names.placeTogether(entries);
        ASSERT_EQ(placed.size(), names.size());
    }
    const Placed& of(std::string_view name)
    {
        auto at = std::find(names.begin(), names.end(), name);
        return placed.at(static_cast<std::size_t>(at - names.begin()));
    }
};

constexpr std::string_view jdoe = "Lab 3_jdoe_attempt_2024-12-12-13-22-26";

}  // namespace

TEST(BlackboardDownload, AReceiptNamesItsStudentAndTheirFiles)
{
    Download download;
    // CR LF, a byte-order mark, a name that holds parentheses.
    std::string text = "\xEF\xBB\xBF" + receipt("Name: Jane (JD) Doe (jdoe)",
                                                "\tOriginal filename: T1.SYM\r\n\tFilename: " + std::string(jdoe) +
                                                    "_t1_1.sym\r\n\r\n\tOriginal filename: lab 3.zip\r\n\tFilename: " +
                                                    std::string(jdoe) + "_lab_3.zip");
    download.add(std::string(jdoe) + "_t1_1.sym");
    download.add(std::string(jdoe) + ".txt", text);
    download.add(std::string(jdoe) + "_lab_3.zip");
    download.add(std::string(jdoe) + "_t2.sym");
    download.add("notes.txt");
    download.read();
    const Placed& t1 = download.of(std::string(jdoe) + "_t1_1.sym");
    EXPECT_TRUE(t1.theirs);
    EXPECT_EQ(t1.key, "jdoe");
    EXPECT_EQ(t1.siteId, "jdoe");
    EXPECT_EQ(t1.name, "Jane (JD) Doe");
    EXPECT_EQ(t1.fileName, "T1.SYM");
    EXPECT_EQ(download.of(std::string(jdoe) + "_lab_3.zip").fileName, "lab 3.zip");
    // A file the receipt does not name is still its attempt's, by its name.
    EXPECT_EQ(download.of(std::string(jdoe) + "_t2.sym").fileName, "t2.sym");
    const Placed& receiptEntry = download.of(std::string(jdoe) + ".txt");
    EXPECT_TRUE(receiptEntry.theirs);
    EXPECT_TRUE(receiptEntry.text);
    EXPECT_EQ(receiptEntry.remark, "");
    EXPECT_FALSE(download.of("notes.txt").theirs);
}

TEST(BlackboardDownload, UsernamesAndAssignmentsHoldingUnderscoresAndDots)
{
    Download download;
    for (std::string_view user : {"kunj.patel2", "mary_ann", "s_1"}) {
        std::string part = "HW_2.Su21_" + std::string(user) + "_attempt_2021-07-21-22-23-44";
        download.add(part + ".txt", receipt("Name: Some One (" + std::string(user) + ")",
                                            "\tOriginal filename: t1.sym\n\tFilename: " + part + "_t1.sym"));
        download.add(part + "_t1.sym");
    }
    // No receipt: the username follows the assignment the receipts name.
    download.add("HW_2.Su21_lone_x_attempt_2021-07-21-22-00-00_t1.sym");
    download.read();
    EXPECT_EQ(download.of("HW_2.Su21_kunj.patel2_attempt_2021-07-21-22-23-44_t1.sym").key, "kunj.patel2");
    EXPECT_EQ(download.of("HW_2.Su21_mary_ann_attempt_2021-07-21-22-23-44_t1.sym").key, "mary_ann");
    EXPECT_EQ(download.of("HW_2.Su21_s_1_attempt_2021-07-21-22-23-44_t1.sym").key, "s_1");
    const Placed& lone = download.of("HW_2.Su21_lone_x_attempt_2021-07-21-22-00-00_t1.sym");
    EXPECT_EQ(lone.key, "lone_x");
    EXPECT_EQ(lone.fileName, "t1.sym");
}

TEST(BlackboardDownload, TheLatestAttemptIsGradedAndSaidSo)
{
    Download download;
    for (std::string_view stamp : {"2024-12-12-13-22-26", "2024-12-13-08-00-00", "2024-12-01-08-00-00"}) {
        std::string part = "Lab 3_jdoe_attempt_" + std::string(stamp);
        download.add(part + "_t1.sym");
        download.add(part + ".txt", receipt("Name: Jane Doe (jdoe)", "No files were attached to this submission."));
    }
    download.read();
    const Placed& latest = download.of("Lab 3_jdoe_attempt_2024-12-13-08-00-00.txt");
    EXPECT_TRUE(latest.theirs);
    EXPECT_EQ(latest.remark, ": the latest of 3 attempts of Jane Doe (jdoe), graded; the earlier are not");
    EXPECT_FALSE(latest.warns);
    EXPECT_TRUE(download.of("Lab 3_jdoe_attempt_2024-12-13-08-00-00_t1.sym").theirs);
    const Placed& earlier = download.of("Lab 3_jdoe_attempt_2024-12-01-08-00-00.txt");
    EXPECT_FALSE(earlier.theirs);
    EXPECT_NE(earlier.remark.find("an earlier attempt of Jane Doe (jdoe)"), std::string::npos);
    const Placed& earlierFile = download.of("Lab 3_jdoe_attempt_2024-12-12-13-22-26_t1.sym");
    EXPECT_FALSE(earlierFile.theirs);
    EXPECT_TRUE(earlierFile.quiet);
}

// Comments and the text handed in are the student's: a Name: or a
// Filename: there names no one, and a receipt names only its own
// attempt's files.
TEST(BlackboardDownload, AStudentsTextInAReceiptNamesNoOneElse)
{
    Download download;
    std::string eve = "Lab 3_eve_attempt_2024-12-12-14-00-00";
    download.add(std::string(jdoe) + ".txt", receipt("Name: Jane Doe (jdoe)", ""));
    download.add(std::string(jdoe) + "_t1.sym");
    download.add(eve + ".txt",
                 receipt("Name: Jane Doe (jdoe) (eve)",
                         "\tOriginal filename: t1.sym\n\tFilename: " + std::string(jdoe) + "_t1.sym",
                         "Name: Jane Doe (jdoe)\nFiles:\n\tOriginal filename: t2.sym\n\tFilename: " + eve + "_x.sym"));
    download.add(eve + "_x.sym");
    download.read();
    EXPECT_EQ(download.of(std::string(jdoe) + "_t1.sym").key, "jdoe");
    const Placed& eveReceipt = download.of(eve + ".txt");
    EXPECT_EQ(eveReceipt.key, "eve");
    EXPECT_EQ(eveReceipt.name, "Jane Doe (jdoe)");
    EXPECT_TRUE(eveReceipt.warns);
    EXPECT_NE(eveReceipt.remark.find("names a file of another attempt"), std::string::npos);
    // The comments' Files: is not the receipt's: x.sym keeps its own name.
    EXPECT_EQ(download.of(eve + "_x.sym").fileName, "x.sym");
    EXPECT_EQ(download.of(eve + "_x.sym").key, "eve");
}

// A file the student named as a receipt (of another student's later
// attempt) is a file of theirs, and so is one named as that attempt's file.
TEST(BlackboardDownload, AFileNamedAsAReceiptIsItsStudentsFile)
{
    Download download;
    std::string eve = "Lab 3_eve_attempt_2024-12-12-14-00-00";
    std::string fake = eve + "_jdoe_attempt_2099-01-01-00-00-00";
    download.add(std::string(jdoe) + ".txt", receipt("Name: Jane Doe (jdoe)", ""));
    download.add(std::string(jdoe) + "_t1.sym");
    download.add(eve + ".txt", receipt("Name: Eve (eve)", ""));
    download.add(fake + ".txt", receipt("Name: Jane Doe (jdoe)",
                                        "\tOriginal filename: t1.sym\n\tFilename: " + fake + "_t1.sym"));
    download.add(fake + "_t1.sym");
    download.read();
    EXPECT_TRUE(download.of(std::string(jdoe) + "_t1.sym").theirs);
    EXPECT_EQ(download.of(std::string(jdoe) + "_t1.sym").key, "jdoe");
    EXPECT_EQ(download.of(fake + ".txt").key, "eve");
    EXPECT_FALSE(download.of(fake + ".txt").text);
    EXPECT_EQ(download.of(fake + "_t1.sym").key, "eve");
    EXPECT_EQ(download.of(fake + "_t1.sym").fileName, "jdoe_attempt_2099-01-01-00-00-00_t1.sym");
}

// An assignment named as an attempt is: each name is read from its end.
TEST(BlackboardDownload, AnAssignmentNamedAsAnAttempt)
{
    Download download;
    std::string assignment = "Re_attempt_2024-01-01-00-00-00_lab";
    for (std::string_view user : {"jdoe", "eve"}) {
        std::string part = assignment + "_" + std::string(user) + "_attempt_2024-12-12-13-22-26";
        download.add(part + ".txt", receipt("Name: Some One (" + std::string(user) + ")", ""));
        download.add(part + "_t1.sym");
    }
    download.add(assignment + "_kim_attempt_2024-12-12-13-00-00_t1.sym");
    download.read();
    EXPECT_EQ(download.of(assignment + "_jdoe_attempt_2024-12-12-13-22-26_t1.sym").key, "jdoe");
    EXPECT_EQ(download.of(assignment + "_eve_attempt_2024-12-12-13-22-26_t1.sym").key, "eve");
    EXPECT_EQ(download.of(assignment + "_eve_attempt_2024-12-12-13-22-26_t1.sym").fileName, "t1.sym");
    EXPECT_EQ(download.of(assignment + "_kim_attempt_2024-12-12-13-00-00_t1.sym").key, "kim");
}

TEST(BlackboardDownload, WhatNoReceiptTellsIsPlacedOnlyWhereItSplitsOneWay)
{
    Download download;
    download.add("Lab 3_zed_attempt_2024-12-12-10-00-00_x_attempt_2024-12-12-11-00-00_t1.sym");
    download.add(std::string(jdoe) + ".txt", "Assignment: Lab 3\nName: Jane Doe (jdoe)\n");
    download.add(std::string(jdoe) + "_t1.sym");
    download.add(std::string(jdoe) + "_t2.sym");
    download.read();
    const Placed& split = download.of("Lab 3_zed_attempt_2024-12-12-10-00-00_x_attempt_2024-12-12-11-00-00_t1.sym");
    EXPECT_FALSE(split.theirs);
    EXPECT_TRUE(split.warns);
    EXPECT_NE(split.remark.find("zed or of a username it does not tell"), std::string::npos) << split.remark;
    // Name: only as the first line: the receipt names no one, and its
    // files are placed by their names, which split one way only.
    EXPECT_TRUE(download.of(std::string(jdoe) + ".txt").warns);
    EXPECT_FALSE(download.of(std::string(jdoe) + ".txt").theirs);
    EXPECT_EQ(download.of(std::string(jdoe) + "_t1.sym").key, "jdoe");
    EXPECT_EQ(download.of(std::string(jdoe) + "_t1.sym").name, "jdoe");
}

TEST(BlackboardDownload, AReceiptIsReadToItsBoundAndSaysSo)
{
    Download download;
    std::string files = "\tOriginal filename: t1.sym\n\tFilename: " + std::string(jdoe) + "_t1.sym";
    download.add(std::string(jdoe) + ".txt", receipt("Name: Jane Doe (jdoe)", files, std::string(textRead, 'x')));
    download.add(std::string(jdoe) + "_t1.sym");
    download.read();
    EXPECT_NE(download.of(std::string(jdoe) + ".txt").remark.find("read no further"), std::string::npos);
    EXPECT_EQ(download.of(std::string(jdoe) + "_t1.sym").key, "jdoe");
    EXPECT_TRUE(blackboard().names.readsText(std::string(jdoe) + ".txt"));
    EXPECT_FALSE(blackboard().names.readsText(std::string(jdoe) + "_t1.txt"));
    EXPECT_FALSE(blackboard().names.readsText("Lab 3_jdoe_attempt_2024-12-12.txt"));
}

namespace {

std::string uploadOf(const std::vector<Student>& students, std::string assignment, bool siteIds = true)
{
    std::vector<::Test> tests(1);
    tests[0].name = "t1.sym";
    tests[0].lineCount = 4;
    std::string text;
    auto out = std::make_unique<Output>();
    out->kept = &text;
    blackboard().gradebook.write(*out, tests, students, GradebookShape{siteIds, std::move(assignment), "", false, true});
    flushOutput(*out);
    return text;
}

Student gradedStudent(std::string name, std::string username, std::uint64_t score)
{
    Student student;
    student.name = std::move(name);
    student.lmsId = std::move(username);
    student.hasFolder = true;
    student.results.resize(1);
    student.results[0].state = FileState::graded;
    student.results[0].score = score;
    return student;
}

}  // namespace

TEST(BlackboardUpload, EveryFieldQuotedAndTheFeedbackHtmlEscaped)
{
    Student ada = gradedStudent("Ada \"Al\" de Lovelace", "ada.l", 3);
    ada.notes.push_back(FileNote{0, NoteKind::gradedAs, "<img src=x>&.sym"});
    std::string text = uploadOf({ada}, "Lab 3|123456");
    EXPECT_TRUE(text.starts_with("\xEF\xBB\xBF\"Last Name\",\"First Name\",\"Username\",\"Lab 3 [Total Pts: 4 "
                                 "Score] |123456\",\"Feedback to Learner\",\"Feedback Format\"\r\n"))
        << text;
    EXPECT_NE(text.find("\r\n\"Lovelace\",\"Ada \"\"Al\"\" de\",\"ada.l\",\"3\",\""), std::string::npos) << text;
    EXPECT_NE(text.find("&lt;img src=x&gt;&amp;.sym"), std::string::npos) << text;
    EXPECT_EQ(text.find("<img"), std::string::npos);
    EXPECT_TRUE(text.ends_with(",\"HTML\"\r\n"));
    // No id: a new column; the id alone fills the column of that id.
    EXPECT_NE(uploadOf({ada}, "Lab 3").find("\"Lab 3 [Total Pts: 4 Score]\""), std::string::npos);
    EXPECT_NE(uploadOf({ada}, "123456").find("\"labelgrade [Total Pts: 4 Score] |123456\""), std::string::npos);
    // A folder's name is the username; another site's student has none.
    Student folder = gradedStudent("=jo", "", 2);
    EXPECT_NE(uploadOf({folder}, "", false).find("\"'=jo\",\"\",\"'=jo\",\"2\""), std::string::npos);
    EXPECT_NE(uploadOf({ada}, "", false).find("de\",\"\",\"3\""), std::string::npos);
}

TEST(BlackboardUpload, AColumnTitleIsTakenWithOrWithoutItsId)
{
    std::string problem;
    auto titled = blackboard().gradebook.assignmentTitled;
    EXPECT_TRUE(titled("Lab 3|123456", problem));
    EXPECT_TRUE(titled("Lab 3 [Total Pts: 27 Score] |123456", problem));
    EXPECT_TRUE(titled("Lab 3", problem));
    EXPECT_TRUE(titled("123456", problem));
    EXPECT_FALSE(titled("Lab 3|", problem));
    EXPECT_FALSE(titled("|123", problem));
    EXPECT_FALSE(titled(" ", problem));
    EXPECT_NE(problem.find("\"Title|id\""), std::string::npos);
}

TEST(BlackboardGradeCenter, FillsTheColumnOfTheIdAndItsFeedbackByUsername)
{
    std::string text = "\xEF\xBB\xBF\"Last Name\",\"First Name\",\"Username\",\"Lab 2 [Total Pts: 4 Score] |11\","
                       "\"Lab 3 [Total Pts: 8 Score] |12\",\"Feedback to Learner\",\"Feedback Format\"\r\n"
                       "\"Doe\",\"Jane\",\"JDoe\",\"1\",\"\",\"\",\"SMART_TEXT\"\r\n"
                       "\"Roe\",\"Rick\",\"rroe\",\"2\",\"\",\"\",\"SMART_TEXT\"\r\n"
                       "\"Roe\",\"Rita\",\"rroe\",\"3\",\"\",\"\",\"SMART_TEXT\"\r\n";
    CsvFile file;
    std::string problem;
    ASSERT_TRUE(readCsvRecords(text, file, problem));
    ASSERT_TRUE(blackboard().gradebook.isExport(file));
    std::vector<::Test> tests(1);
    tests[0].name = "t1.sym";
    tests[0].lineCount = 4;
    std::vector<Student> students{gradedStudent("Jane Doe", "jdoe", 3), gradedStudent("Rick Roe", "rroe", 4),
                                  gradedStudent("Nobody", "nobody", 1)};
    Filled filled;
    blackboard().gradebook.fill(FillRequest{file, "gc.csv", tests, students, true, "12", true, false, true}, filled);
    ASSERT_EQ(filled.problem, "");
    // Scaled to the column's 8 points; the doubled username gets nothing.
    EXPECT_NE(filled.text.find("\"Jane\",\"JDoe\",\"1\",\"6\",\"t1.sym: 3 / 4\",\"HTML\"\r\n"), std::string::npos)
        << filled.text;
    EXPECT_NE(filled.text.find("\"Rick\",\"rroe\",\"2\",\"\",\"\",\"SMART_TEXT\"\r\n"), std::string::npos);
    EXPECT_EQ(filled.warnings.size(), 2u);  // rroe twice, nobody in no row
    Filled without;
    blackboard().gradebook.fill(FillRequest{file, "gc.csv", tests, students, true, "Lab 9|99", false, false, true},
                                without);
    EXPECT_NE(without.problem.find("has no column \"Lab 9|99\""), std::string::npos) << without.problem;
    Filled unscaled;
    blackboard().gradebook.fill(FillRequest{file, "gc.csv", tests, students, true, "12", false, false, true}, unscaled);
    EXPECT_NE(unscaled.problem, "");
}
