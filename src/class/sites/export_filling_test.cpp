// The sites' own exports filled in, through the table's rows: the numbers
// as each site writes them, the maximums, the columns found in each
// language, and the ids read as each site's import reads them.
#include "class/sites/site.h"

#include <gtest/gtest.h>

namespace {

const CourseSite& siteOf(std::string_view format)
{
    const CourseSite* site = siteWithGradebook(format);
    EXPECT_NE(site, nullptr);
    return *site;
}

std::vector<::Test> testsOf(std::uint64_t lines)
{
    ::Test test;
    test.name = "t1.sym";
    test.lineCount = lines;
    return {test};
}

Student graded(std::string name, std::string id, std::uint64_t score, std::string folder = {})
{
    Student student;
    student.name = std::move(name);
    student.lmsId = std::move(id);
    student.hasFolder = true;
    if (!folder.empty())
        student.folders.push_back(std::move(folder));
    TestResult result;
    result.state = FileState::graded;
    result.score = score;
    student.results.push_back(result);
    return student;
}

struct FillRun {
    CsvFile file;
    Filled filled;
};

FillRun fill(std::string_view format, std::string text, const std::vector<::Test>& tests,
         const std::vector<Student>& students, std::string_view assignment = {}, bool scale = false)
{
    FillRun run;
    std::string problem;
    EXPECT_TRUE(readCsvRecords(std::move(text), run.file, problem)) << problem;
    const CourseSite& site = siteOf(format);
    EXPECT_TRUE(site.gradebook.isExport(run.file));
    FillRequest request{run.file, "export.csv", tests, students, true, assignment, scale, false, true};
    site.gradebook.fill(request, run.filled);
    return run;
}

}  // namespace

TEST(ExportFilling, NumbersAsTheSitesWriteThem)
{
    std::uint64_t hundredths = 0;
    EXPECT_TRUE(readHundredths(" 27.00 ", hundredths));
    EXPECT_EQ(hundredths, 2700u);
    EXPECT_TRUE(readHundredths("7,5", hundredths));
    EXPECT_EQ(hundredths, 750u);
    EXPECT_TRUE(readHundredths("10.500", hundredths));
    EXPECT_EQ(hundredths, 1050u);
    for (std::string_view bad : {"", "(read only)", "1.234", "-3", "7.", ".5", "1e3"})
        EXPECT_FALSE(readHundredths(bad, hundredths)) << bad;
    EXPECT_EQ(gradeText(17, 27, 0, {}), "17");
    EXPECT_EQ(gradeText(17, 27, 0, NumberForm{2, ','}), "17,00");
    // Scaled to hundredths, half up: 17 of 27 is 62.962..., 1 of 8 of 1
    // is 0.125.
    EXPECT_EQ(gradeText(17, 27, 10000, {}), "62.96");
    EXPECT_EQ(gradeText(1, 8, 100, NumberForm{2, '.'}), "0.13");
    EXPECT_EQ(gradeText(27, 27, 1000, NumberForm{1, '.'}), "10.0");
    EXPECT_EQ(gradeText(0, 0, 1000, {}), "0");
}

TEST(ExportFilling, EachSiteKnowsItsOwnExportAlone)
{
    std::string problem;
    CsvFile canvas;
    ASSERT_TRUE(readCsvRecords("Student,ID,SIS Login ID,Section,Lab (1)\n", canvas, problem));
    CsvFile moodle;
    ASSERT_TRUE(readCsvRecords("Identificador,Calificación,Última modificación (calificación)\n", moodle, problem));
    CsvFile plain;
    ASSERT_TRUE(readCsvRecords("student,t1.sym,total,notes\n", plain, problem));
    EXPECT_TRUE(siteOf("canvas").gradebook.isExport(canvas));
    EXPECT_FALSE(siteOf("canvas").gradebook.isExport(moodle));
    EXPECT_TRUE(siteOf("moodle").gradebook.isExport(moodle));
    EXPECT_FALSE(siteOf("moodle").gradebook.isExport(canvas));
    for (const CourseSite* site : courseSites()) {
        if (site->gradebook.isExport != nullptr) {
            EXPECT_FALSE(site->gradebook.isExport(plain)) << site->names.name;
        }
    }
}

TEST(ExportFilling, CanvasFindsTheColumnByIdAndTheStudentByToI)
{
    std::string text = "Student,ID,SIS Login ID,Section,Lab 2 (11),Lab 3 (12)\n"
                       "Points Possible,,,,10,27\n"
                       "\"Lovelace, Ada\",42xyz,ada,A,3,\n";
    std::vector<::Test> tests = testsOf(27);
    std::vector<Student> students{graded("lovelaceada", "42", 20)};
    for (std::string_view assignment : {"12", "Lab 3 (12)", "Renamed since (12)"}) {
        FillRun run = fill("canvas", text, tests, students, assignment);
        EXPECT_EQ(run.filled.problem, "") << assignment;
        EXPECT_EQ(run.filled.text, "Student,ID,SIS Login ID,Section,Lab 2 (11),Lab 3 (12)\n"
                                   "Points Possible,,,,10,27\n"
                                   "\"Lovelace, Ada\",42xyz,ada,A,3,20\n")
            << assignment;
        EXPECT_TRUE(run.filled.warnings.empty());
    }
    EXPECT_EQ(fill("canvas", text, tests, students).filled.problem,
              "--into export.csv needs --assignment, the id or \"Title (id)\" of the column to fill; its "
              "assignments' columns: \"Lab 2 (11)\", \"Lab 3 (12)\"");
    EXPECT_EQ(fill("canvas", text, tests, students, "13").filled.problem,
              "export.csv has no column of assignment 13; its assignments' columns: \"Lab 2 (11)\", \"Lab 3 (12)\"");
    FillRun other = fill("canvas", text, tests, students, "11");
    EXPECT_EQ(other.filled.problem,
              "the points possible of \"Lab 2 (11)\" in export.csv is 10, the tests' total 27: --scale writes each "
              "total scaled to 10 (to hundredths, half up), or the site's maximum can be set to 27");
    FillRun scaled = fill("canvas", text, tests, students, "11", true);
    EXPECT_NE(scaled.filled.text.find("\"Lovelace, Ada\",42xyz,ada,A,7.41,\n"), std::string::npos);
}

TEST(ExportFilling, MoodleInAnyLanguageKeepsItsNumberFormAndWritesHtml)
{
    std::string text = "ID;Vollständiger Name;Bewertung;Bestwertung;Zuletzt geändert (Bewertung);"
                       "Feedback als Kommentar\n"
                       "Teilnehmer/in 7;Ada Lovelace;;27,00;-;\n"
                       "Teilnehmer/in 8;Grace Hopper;3,00;27,00;Montag;alt\n";
    std::vector<::Test> tests = testsOf(27);
    Student ada = graded("Ada Lovelace", "7", 27);
    ada.results[0].state = FileState::missing;
    std::vector<Student> students{ada, graded("Grace Hopper", "8", 20)};
    students[0].notes.push_back(FileNote{0, NoteKind::gradedAs, "<b>t1.sym"});
    FillRun run = fill("moodle", text, tests, students);
    ASSERT_EQ(run.filled.problem, "");
    EXPECT_EQ(run.filled.text.substr(run.filled.text.find('\n') + 1),
              "Teilnehmer/in 7;Ada Lovelace;\"27,00\";27,00;-;\"t1.sym: 27 / 27 (missing (&lt;b&gt;t1.sym))\"\n"
              "Teilnehmer/in 8;Grace Hopper;\"20,00\";27,00;Montag;t1.sym: 20 / 27\n");
    CsvFile none;
    std::string problem;
    ASSERT_TRUE(readCsvRecords("Identifier,Grade\nParticipant 1,\n", none, problem));
    Filled filled;
    siteOf("moodle").gradebook.fill(FillRequest{none, "w.csv", tests, students, true, {}, false, false, true}, filled);
    EXPECT_EQ(filled.problem, "w.csv is not Moodle's grading worksheet: no identifier, grade and last modified "
                              "columns among its columns, \"Identifier\", \"Grade\"");
}

TEST(ExportFilling, MoodleMaximumOfEveryRowIsChecked)
{
    std::string text = "Identifier,Full name,Grade,Maximum Grade,Last modified (grade)\n"
                       "Participant 7,Ada Lovelace,,27.00,-\n"
                       "Participant 8,Grace Hopper,,10.00,-\n";
    std::vector<::Test> tests = testsOf(27);
    std::vector<Student> students{graded("Ada Lovelace", "7", 27)};
    EXPECT_EQ(fill("moodle", text, tests, students).filled.problem,
              "the maximum grade in row 3 of export.csv is 10, the tests' total 27: --scale writes each total "
              "scaled to 10 (to hundredths, half up), or the site's maximum can be set to 27");
    FillRun scaled = fill("moodle", text, tests, students, {}, true);
    EXPECT_EQ(scaled.filled.problem, "");
    EXPECT_NE(scaled.filled.text.find("Participant 7,Ada Lovelace,27.00,27.00,-\n"), std::string::npos);
    ASSERT_EQ(scaled.filled.warnings.size(), 1u);
    EXPECT_EQ(scaled.filled.warnings[0],
              "row 3 of export.csv (Grace Hopper) matches no student graded: its grade is left as it was");
}
