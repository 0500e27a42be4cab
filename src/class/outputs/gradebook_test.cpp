// The gradebook as a spreadsheet or a course site reads it back: whatever
// a student named their folder, each row stays one row of as many fields
// as the header, no cell runs as a formula, and the totals add up.
#include "class/outputs/gradebook.h"
#include "class/sites/site.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// GCC 12 warns, wrongly, of overlapping copies in `"s" + std::to_string(n)`.
std::string numbered(std::string_view before, std::size_t number, std::string_view after = {})
{
    return std::string(before).append(std::to_string(number)).append(after);
}

using Records = std::vector<std::vector<std::string>>;

// Reads CSV as RFC 4180 writes it, strictly: every record ends in CR LF,
// and a quote inside a field is only ever doubled inside quotes.  Anything
// else fails the test, so that a stray byte cannot pass for a field.
Records parseCsv(std::string_view text)
{
    Records records;
    std::vector<std::string> record;
    std::string field;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == '"') {
            for (++at;; ++at) {
                if (at >= text.size()) {
                    ADD_FAILURE() << "a quoted field runs to the end";
                    return records;
                }
                if (text[at] == '"' && at + 1 < text.size() && text[at + 1] == '"')
                    field += text[++at];
                else if (text[at] == '"')
                    break;
                else
                    field += text[at];
            }
            ++at;
        } else {
            while (at < text.size() && text[at] != ',' && text[at] != '\r') {
                EXPECT_NE(text[at], '"') << "a bare quote in a field";
                EXPECT_NE(text[at], '\n') << "a bare line feed in a field";
                field += text[at++];
            }
        }
        record.push_back(std::move(field));
        field.clear();
        if (at < text.size() && text[at] == ',') {
            ++at;
            continue;
        }
        if (text.substr(at, 2) != "\r\n") {
            ADD_FAILURE() << "a record does not end in CR LF at byte " << at;
            return records;
        }
        at += 2;
        records.push_back(std::move(record));
        record.clear();
    }
    return records;
}

Test testOf(std::string name, std::uint64_t lines)
{
    Test test;
    test.name = std::move(name);
    test.lineCount = lines;
    return test;
}

Student studentOf(std::string name, std::vector<std::uint64_t> scores, std::string lmsId = {})
{
    Student student;
    student.name = std::move(name);
    student.lmsId = std::move(lmsId);
    student.hasFolder = true;
    for (std::uint64_t score : scores) {
        TestResult result;
        result.state = FileState::graded;
        result.score = score;
        student.results.push_back(result);
    }
    return student;
}

std::string gradebookOf(const std::vector<Test>& tests, const std::vector<Student>& students,
                        const GradebookShape& shape, GradebookWriter write = plainGradebook)
{
    std::string kept;
    Output out;
    out.kept = &kept;
    write(out, tests, students, shape);
    EXPECT_TRUE(flushOutput(out));
    return kept;
}

const std::vector<Test> twoTests{testOf("t1.sym", 10), testOf("t2.sym", 8)};

// Names a spreadsheet or a CSV reader would trip on, each with what the
// cell a person reads must hold.
struct HostileName {
    std::string name;
    std::string shown;
};

const std::vector<HostileName> hostileNames{
    {"O'Brien, Pat", "O'Brien, Pat"},
    {"Pat \"PJ\" Lee", "Pat \"PJ\" Lee"},
    {"two\nlines", "two\nlines"},
    {"carriage\rreturn", "carriage\rreturn"},
    {"=HYPERLINK(\"http://x\")", "'=HYPERLINK(\"http://x\")"},
    {"+1", "'+1"},
    {"-2", "'-2"},
    {"@SUM(A1)", "'@SUM(A1)"},
    {"\t=1", "'\t'=1"},
    {"\r=1", "'\r=1"},
    {"x;=SUM(A1)", "x;'=SUM(A1)"},
    {"a;b\tc", "a;b\tc"},
    {"mid=dle-name", "mid=dle-name"},
    {"", ""},
};

std::vector<Student> hostileClass()
{
    std::vector<Student> students;
    for (const HostileName& hostile : hostileNames)
        students.push_back(studentOf(hostile.name, {7, 8}, numbered("4", students.size())));
    return students;
}

}  // namespace

TEST(Gradebook, PlainKeepsEveryRowWholeAndNoNameAFormula)
{
    std::string text = gradebookOf(twoTests, hostileClass(), GradebookShape{});
    // A spreadsheet's import may split at a semicolon or a tab, as at a comma.
    EXPECT_NE(text.find("\r\n\"a;b\tc\","), std::string::npos) << text;
    Records records = parseCsv(text);
    ASSERT_EQ(records.size(), hostileNames.size() + 2);
    EXPECT_EQ(records[0], (std::vector<std::string>{"student", "t1.sym", "t2.sym", "total", "notes"}));
    for (std::size_t s = 0; s < hostileNames.size(); ++s) {
        const std::vector<std::string>& row = records[s + 2];
        ASSERT_EQ(row.size(), 5u) << hostileNames[s].shown;
        EXPECT_EQ(row[0], hostileNames[s].shown);
        EXPECT_EQ(row[3], "15");
    }
}

TEST(Gradebook, CanvasGuardsTheNameButKeepsTheIdsCanvasMatches)
{
    GradebookShape shape;
    GradebookWriter canvas = siteNamed("canvas")->gradebook.write;
    shape.siteIds = true;
    Records records = parseCsv(gradebookOf(twoTests, hostileClass(), shape, canvas));
    ASSERT_EQ(records.size(), hostileNames.size() + 2);
    for (std::size_t s = 0; s < hostileNames.size(); ++s) {
        const std::vector<std::string>& row = records[s + 2];
        ASSERT_EQ(row.size(), records[0].size());
        EXPECT_EQ(row[0], hostileNames[s].shown);
        EXPECT_EQ(row[1], numbered("4", s));
        EXPECT_EQ(row[3], "");
    }

    // A folder per student: Canvas matches by SIS Login ID, the folder's
    // name, which no login starts as a formula does: guarded as the
    // Student column is.  Another site's ids name no Canvas user, and the
    // name another site gave is the one the student chose: no login.
    shape.siteIds = false;
    std::vector<Student> folders = hostileClass();
    for (Student& student : folders)
        student.lmsId.clear();
    records = parseCsv(gradebookOf(twoTests, folders, shape, canvas));
    for (std::size_t s = 0; s < hostileNames.size(); ++s) {
        EXPECT_EQ(records[s + 2][1], "");
        EXPECT_EQ(records[s + 2][3], hostileNames[s].shown);
    }
    records = parseCsv(gradebookOf(twoTests, hostileClass(), shape, canvas));
    for (std::size_t s = 0; s < hostileNames.size(); ++s)
        EXPECT_EQ(records[s + 2][1] + records[s + 2][3], "");
}

TEST(Gradebook, MoodleNamesItsParticipantsAndGuardsTheComments)
{
    GradebookShape shape;
    GradebookWriter moodle = siteNamed("moodle")->gradebook.write;
    shape.siteIds = true;
    shape.when = "2026-12-09 14:05";
    std::vector<Student> students = hostileClass();
    students.push_back(studentOf("no id", {0, 0}));
    Records records = parseCsv(gradebookOf(twoTests, students, shape, moodle));
    ASSERT_EQ(records.size(), students.size() + 1) << "Moodle's worksheet has no out of row";
    for (std::size_t s = 0; s < hostileNames.size(); ++s) {
        const std::vector<std::string>& row = records[s + 1];
        ASSERT_EQ(row.size(), 6u);
        EXPECT_EQ(row[0], numbered("Participant 4", s));
        EXPECT_EQ(row[1], hostileNames[s].shown);
        EXPECT_EQ(row[2], "15");
        EXPECT_EQ(row[3], "18");
        EXPECT_EQ(row[4], shape.when);
        EXPECT_EQ(row[5], "t1.sym: 7 / 10; t2.sym: 8 / 8");
    }
    // Moodle passes over a row that names no participant; one of another
    // site's ids would name the wrong one.
    EXPECT_EQ(records.back()[0], "");
    shape.siteIds = false;
    records = parseCsv(gradebookOf(twoTests, hostileClass(), shape, moodle));
    EXPECT_EQ(records[1][0], "");
}

TEST(Gradebook, TotalsAndTheOutOfRowAddUp)
{
    std::vector<Student> students{studentOf("ada", {10, 8}), studentOf("out of", {0, 3})};
    Records plain = parseCsv(gradebookOf(twoTests, students, GradebookShape{}));
    ASSERT_EQ(plain.size(), 4u);
    EXPECT_EQ(plain[1], (std::vector<std::string>{"out of", "10", "8", "18", ""}));
    EXPECT_EQ(plain[2], (std::vector<std::string>{"ada", "10", "8", "18", ""}));
    EXPECT_EQ(plain[3], (std::vector<std::string>{"out of", "0", "3", "3", ""})) << "a student named so stays a student";

    GradebookShape shape;
    GradebookWriter canvasWriter = siteNamed("canvas")->gradebook.write;
    Records canvas = parseCsv(gradebookOf(twoTests, students, shape, canvasWriter));
    EXPECT_EQ(canvas[1], (std::vector<std::string>{"Points Possible", "", "", "", "", "10", "8"}));
    shape.assignment = "Lab 3, \"symbols\" (1234)";
    canvas = parseCsv(gradebookOf(twoTests, students, shape, canvasWriter));
    EXPECT_EQ(canvas[0].back(), shape.assignment);
    EXPECT_EQ(canvas[1], (std::vector<std::string>{"Points Possible", "", "", "", "", "18"}));
    EXPECT_EQ(canvas[3].back(), "3");

    // A class with no test still has its columns and a total of nothing.
    Records none = parseCsv(gradebookOf({}, {studentOf("ada", {})}, GradebookShape{}));
    EXPECT_EQ(none[1], (std::vector<std::string>{"out of", "0", ""}));
    EXPECT_EQ(none[2], (std::vector<std::string>{"ada", "0", ""}));
}

TEST(Gradebook, NotesSayWhyEachFileWasNotGradedAndNameItsTest)
{
    Student student = studentOf("ada", {0, 5});
    student.results[0].state = FileState::missing;
    student.notes.push_back(FileNote{1, NoteKind::gradedAs, "as T2.SYM"});
    EXPECT_EQ(notesOf(twoTests, student), "t1.sym: missing; t2.sym: graded as T2.SYM");

    // A why note speaks in place of the state's words, for its test alone.
    student.notes.push_back(FileNote{0, NoteKind::why, "could not read: the archive breaks off"});
    EXPECT_EQ(notesOf(twoTests, student), "t1.sym: could not read: the archive breaks off; t2.sym: graded as T2.SYM");

    Student absent = studentOf("bo", {0, 0});
    absent.hasFolder = false;
    EXPECT_EQ(notesOf(twoTests, absent), "no submission");
    Student outside = studentOf("cy", {0, 0});
    outside.folderOutside = true;
    EXPECT_EQ(notesOf(twoTests, outside), "refused: the folder is a link out of SUBMISSIONS");

    // A note that starts like a formula is guarded in its cell too.
    Student formula = studentOf("di", {10, 8});
    formula.notes.push_back(FileNote{0, NoteKind::sameFile, "=one file with x"});
    Records records = parseCsv(gradebookOf({testOf("=t1", 10), twoTests[1]}, {formula}, GradebookShape{}));
    EXPECT_EQ(records[2].back(), "'=t1: =one file with x");
}

TEST(Gradebook, OnATerminalNoStudentByteActsOnIt)
{
    GradebookShape shape;
    shape.forTerminal = true;
    std::vector<Student> students{studentOf("\x1b]0;owned\x07name", {1, 2}), studentOf("new\nline", {1, 2}),
                                  studentOf("bad \xff byte", {1, 2})};
    students[0].notes.push_back(FileNote{0, NoteKind::sameFile, "with \x1b[2J"});
    for (std::string_view format : {"csv", "canvas", "moodle"}) {
        std::string text = gradebookOf(twoTests, students, shape, siteWithGradebook(format)->gradebook.write);
        for (std::size_t at = 0; at < text.size(); ++at) {
            auto byte = static_cast<unsigned char>(text[at]);
            bool recordEnd = text.compare(at, 2, "\r\n") == 0 || (byte == '\n' && at > 0 && text[at - 1] == '\r');
            EXPECT_TRUE((byte >= 0x20 && byte != 0x7F && byte < 0x80) || recordEnd)
                << "byte " << int(byte) << " at " << at << " in " << text;
        }
        EXPECT_EQ(parseCsv(text).size(), format == "moodle" ? 4u : 5u);
    }
}
