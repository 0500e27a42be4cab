// A roster as an instructor's spreadsheet saves it, and its students merged
// with the folders found.
#include "class/intake/roster.h"

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
