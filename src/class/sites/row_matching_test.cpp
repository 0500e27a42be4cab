// Which row of a site's export is which student's: the id first, but never
// a row whose name plainly says it is another's; then login, email, name;
// and never a row two students claim, or a student two rows could be.
#include "class/sites/row_matching.h"

#include <gtest/gtest.h>

namespace {

Student student(std::string name, std::string id = {})
{
    Student s;
    s.name = std::move(name);
    s.lmsId = std::move(id);
    s.hasFolder = true;
    return s;
}

ExportRow row(std::size_t record, std::string id, std::vector<std::string> names, std::string login = {},
              std::string email = {}, std::string group = {})
{
    return ExportRow{record, std::move(id), std::move(login), std::move(email), std::move(names), std::move(group)};
}

}  // namespace

TEST(RowMatching, NamesAgreeOnAWordOrOnTheirFoldedLetters)
{
    EXPECT_TRUE(namesAgree("Ada Lovelace", "ada lovelace"));
    EXPECT_TRUE(namesAgree("obrienpat", "O'Brien, Pat"));
    EXPECT_TRUE(namesAgree("Lovelace, Ada", "Ada King"));
    EXPECT_TRUE(namesAgree("José Núñez", "Núñez"));
    EXPECT_TRUE(namesAgree("", "anyone"));
    EXPECT_FALSE(namesAgree("Red team", "Ada Lovelace"));
    EXPECT_FALSE(namesAgree("lovelaceada", "Grace Hopper"));
    EXPECT_EQ(nameWords("O'Brien-Smith, Mary"), (std::vector<std::string>{"o", "brien", "smith", "mary"}));
}

TEST(RowMatching, TheSitesIdFirstThenLoginEmailAndName)
{
    std::vector<Student> students{student("lovelaceada", "0042"), student("grace"), student("alan@example.edu"),
                                  student("Dijkstra, Edsger"), student("barbara"), student("nobody")};
    std::vector<ExportRow> rows{
        row(1, "42", {"Lovelace, Ada", "Ada Lovelace"}),
        row(2, "43", {"Hopper, Grace", "Grace Hopper"}, "grace"),
        row(3, "44", {"Alan Turing"}, "", "Alan@Example.edu"),
        row(4, "45", {"Dijkstra, Edsger", "Edsger Dijkstra"}),
        row(5, "46", {"Barbara Liskov"}, "", "barbara@example.edu"),
        row(6, "47", {"Someone Else"}),
    };
    RowMatches matches = matchRows(students, true, rows);
    EXPECT_EQ(matches.rowsOf[0], (std::vector<std::size_t>{0}));
    EXPECT_EQ(matches.rowsOf[1], (std::vector<std::size_t>{1}));
    EXPECT_EQ(matches.rowsOf[2], (std::vector<std::size_t>{2}));
    EXPECT_EQ(matches.rowsOf[3], (std::vector<std::size_t>{3}));
    EXPECT_EQ(matches.rowsOf[4], (std::vector<std::size_t>{4}));
    EXPECT_EQ(matches.unmatched, (std::vector<std::size_t>{5}));
    EXPECT_EQ(matches.ungraded, (std::vector<std::size_t>{5}));
}

TEST(RowMatching, IdsOfAnotherSiteAreNotCompared)
{
    std::vector<Student> students{student("ada", "43")};
    std::vector<ExportRow> rows{row(1, "42", {"Ada Lovelace"}, "ada"), row(2, "43", {"Grace Hopper"}, "grace")};
    EXPECT_EQ(matchRows(students, false, rows).rowsOf[0], (std::vector<std::size_t>{0}));
}

TEST(RowMatching, AnIdWhoseNameDisagreesIsNoMatch)
{
    std::vector<Student> students{student("Red team", "7")};
    std::vector<ExportRow> rows{row(1, "7", {"Ada Lovelace"})};
    RowMatches matches = matchRows(students, true, rows);
    EXPECT_TRUE(matches.rowsOf[0].empty());
    ASSERT_EQ(matches.refusedId.size(), 1u);
    EXPECT_EQ(matches.refusedId[0], (std::pair<std::size_t, std::size_t>{0, 0}));
    EXPECT_EQ(matches.ungraded, (std::vector<std::size_t>{0}));
}

TEST(RowMatching, ATeamGoesToEachMembersRow)
{
    std::vector<Student> students{student("Red team", "7"), student("Blue team", "8")};
    std::vector<ExportRow> rows{row(1, "7", {"Ada Lovelace"}, "", "", "Red team"),
                                row(2, "8", {"Grace Hopper"}, "", "", "Blue team"),
                                row(3, "9", {"Charles Babbage"}, "", "", "red  TEAM")};
    RowMatches matches = matchRows(students, true, rows);
    EXPECT_EQ(matches.rowsOf[0], (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(matches.rowsOf[1], (std::vector<std::size_t>{1}));
    EXPECT_TRUE(matches.ungraded.empty());
}

TEST(RowMatching, NeitherOfTwoClaimsNorOneOfTwoRowsIsWritten)
{
    std::vector<Student> students{student("ada", "1"), student("Ada", "2"), student("sam"), student("kim")};
    std::vector<ExportRow> rows{row(1, "", {"x"}, "ada"), row(2, "", {"Sam Smith"}, "sam"),
                                row(3, "", {"Sam Jones"}, "sam")};
    RowMatches matches = matchRows(students, true, rows);
    EXPECT_TRUE(matches.rowsOf[0].empty());
    EXPECT_TRUE(matches.rowsOf[1].empty());
    ASSERT_EQ(matches.sharedRow.size(), 1u);
    EXPECT_EQ(matches.sharedRow[0].first, 0u);
    EXPECT_EQ(matches.sharedRow[0].second, (std::vector<std::size_t>{0, 1}));
    ASSERT_EQ(matches.manyRows.size(), 1u);
    EXPECT_EQ(matches.manyRows[0].first, 2u);
    EXPECT_EQ(matches.ungraded, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(matches.unmatched, (std::vector<std::size_t>{3}));
}

TEST(RowMatching, AStudentWhoHandedNothingInIsNoRows)
{
    Student roster = student("ada");
    roster.hasFolder = false;
    RowMatches matches = matchRows({roster}, false, {row(1, "", {"x"}, "ada")});
    EXPECT_TRUE(matches.rowsOf[0].empty());
    EXPECT_TRUE(matches.unmatched.empty());
    EXPECT_EQ(matches.ungraded, (std::vector<std::size_t>{0}));
}
