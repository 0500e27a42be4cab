// A roster as an instructor's spreadsheet saves it, and its students merged
// with the folders found.
#include "class/intake/roster.h"
#include "class/intake/person_names.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

std::vector<std::string> rosterOf(const std::string& text)
{
    std::string path = testing::TempDir() + "roster.txt";
    std::ofstream(path, std::ios::binary) << text;
    std::vector<std::string> names;
    std::string error;
    EXPECT_TRUE(readRoster(path, names, error)) << error;
    std::remove(path.c_str());
    return names;
}

Student folder(const std::string& name)
{
    Student student;
    student.name = name;
    student.hasFolder = true;
    return student;
}

}  // namespace

TEST(ReadRoster, DropsAByteOrderMarkCrLfLineEndsAndEmptyLines)
{
    EXPECT_EQ(rosterOf("\xEF\xBB\xBF" "ann\r\n\r\nbob\r\n\ncid"), (std::vector<std::string>{"ann", "bob", "cid"}));
}

TEST(ReadRoster, TellsARosterThatCannotBeRead)
{
    std::vector<std::string> names;
    std::string error;
    EXPECT_FALSE(readRoster("/nonexistent/roster.txt", names, error));
    EXPECT_NE(error.find("/nonexistent/roster.txt"), std::string::npos);
}

TEST(ApplyRoster, AddsEnrolledStudentsWithoutFoldersInOrderAndNamesTheUnlisted)
{
    std::vector<Student> students = {folder("ann"), folder("dee")};
    std::vector<std::string> unlisted = applyRoster(students, {"cid", "ann", "bob", "ann"});
    ASSERT_EQ(students.size(), 4u);
    EXPECT_EQ(students[0].name, "ann");
    EXPECT_EQ(students[1].name, "bob");
    EXPECT_EQ(students[2].name, "cid");
    EXPECT_EQ(students[3].name, "dee");
    EXPECT_TRUE(students[0].hasFolder && students[0].onRoster);
    EXPECT_TRUE(!students[1].hasFolder && students[1].onRoster);
    EXPECT_FALSE(students[3].onRoster);
    EXPECT_EQ(unlisted, std::vector<std::string>{"dee"});
}

namespace {

Student fromSite(const std::string& name, const std::string& id)
{
    Student student = folder(name);
    student.lmsId = id;
    return student;
}

std::vector<std::string> namesOf(const std::vector<Student>& students)
{
    std::vector<std::string> names;
    for (const Student& student : students)
        names.push_back(student.name + (student.onRoster ? "" : " (unlisted)"));
    return names;
}

}  // namespace

TEST(ApplyRoster, MatchesASitesStudentByIdOrByTheirNameInAnyCommonForm)
{
    std::vector<Student> students = {fromSite("obrienpat", "501"), fromSite("smithsam", "502"),
                                     fromSite("vanderberganna", "503"), fromSite("ngann", "504")};
    std::vector<std::string> unlisted =
        applyRoster(students, {"501", "Sam Smith", "Anna van der Berg", "Ng, Ann", "Pat O'Brien"});
    EXPECT_TRUE(unlisted.empty());
    EXPECT_EQ(students.size(), 4u);
    // Moodle's "First Last" by the other form.
    std::vector<Student> moodle = {fromSite("Pat O'Brien", "7")};
    EXPECT_TRUE(applyRoster(moodle, {"O'Brien, Pat"}).empty());
}

TEST(ApplyRoster, AnAbsentStudentsIdIsKeptWhereTheRosterIsOfTheSitesIds)
{
    std::vector<Student> students = {fromSite("ann", "501")};
    applyRoster(students, {"501", "777"});
    ASSERT_EQ(students.size(), 2u);
    EXPECT_EQ(students[0].name, "777");
    EXPECT_EQ(students[0].lmsId, "777");
    // A number that matched no one by id may be some other id: none is given.
    std::vector<Student> byName = {fromSite("ann", "501")};
    applyRoster(byName, {"ann", "777"});
    EXPECT_EQ(byName[0].lmsId, "");
}

TEST(ApplyRoster, AFolderIsNamedByItsNameOrAnEmailOfThatLogin)
{
    std::vector<Student> students = {folder("Bo"), folder("ada")};
    applyRoster(students, {"ada@school.edu", "bo"});
    // Letter case still tells folders apart: a folder is not a site's name.
    EXPECT_EQ(namesOf(students), (std::vector<std::string>{"Bo (unlisted)", "ada", "bo"}));
}

TEST(NameNamesakesApart, OnlyStudentsASiteTellsApartAndKeepsTheSitesName)
{
    std::vector<Student> students = {fromSite("smithsam", "200119"), fromSite("smithsam", "200127"), folder("jo"),
                                     folder("ann")};
    nameNamesakesApart(students);
    EXPECT_EQ(students[0].name, "smithsam (200119)");
    EXPECT_EQ(students[1].name, "smithsam (200127)");
    EXPECT_EQ(siteName(students[1]), "smithsam");
    EXPECT_EQ(students[2].name, "jo");
    EXPECT_EQ(siteName(students[2]), "jo");
}

TEST(ApplyRoster, LookAlikesAreNamedExactlyOrNotAtAllAndWarnedOf)
{
    const std::string composed = "Jos\u00e9";
    const std::string decomposed = "Jose\u0301";
    std::vector<Student> students{folder(decomposed), folder(composed), folder("ann"), folder("ann ")};
    std::vector<std::string> warnings = lookAlikeStudents(students);
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "the students \"Jose\\u{301}\" and \"Jos\\u{E9}\" are one name but for how Unicode writes "
                            "its letters or blanks around it: each is graded as a student of their own",
                            "the students \"ann\" and \"ann \" are one name but for how Unicode writes its letters or "
                            "blanks around it: each is graded as a student of their own"}));
    warnings.clear();
    // "José " is trimmed as the roster is read: exactly none of them.
    std::vector<std::string> unlisted = applyRoster(students, {composed, "ann", "Jos\u00e9\t"}, &warnings);
    EXPECT_EQ(unlisted, (std::vector<std::string>{decomposed, "ann "}));
    EXPECT_EQ(students.size(), 4u);  // no row of the roster's alone
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("the roster's lines \"Jos\\u{E9}\" and \"Jos\\u{E9}\\u{9}\""), std::string::npos);
}

TEST(ApplyRoster, ALineThatIsExactlyNoneOfItsLookAlikesNamesNone)
{
    std::vector<Student> students{folder("Jose\u0301"), folder("Jos\u00e9 ")};
    std::vector<std::string> warnings;
    std::vector<std::string> unlisted = applyRoster(students, {"Jos\u00e9"}, &warnings);
    EXPECT_EQ(unlisted.size(), 2u);
    EXPECT_EQ(students.size(), 2u);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].starts_with("the roster's \"Jos\\u{E9}\" is the name of \"Jose\\u{301}\" and "
                                        "\"Jos\\u{E9} \""));
    // One student of the name is named by it, as a person means it.
    students = {folder("Jose\u0301")};
    EXPECT_TRUE(applyRoster(students, {"Jos\u00e9"}).empty());
}

TEST(SpelledOut, ShowsWhatTellsNamesApartOnAnyTerminal)
{
    EXPECT_EQ(spelledOut("a\"b\\c \x1b\xff\u2800"), "\"a\\\"b\\\\c \\u{1B}\\xFF\\u{2800}\"");
}
