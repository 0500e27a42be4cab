// Marks merged from several workers' tallies, and the places they stand at,
// past where 16 bits would number them.
#include "class/explaining/tally.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::vector<std::uint32_t>> groupsOf(std::vector<Tally>& tallies)
{
    std::vector<std::vector<std::uint32_t>> groups;
    forEachGroup(tallies, [&](const Mark&, std::span<const std::uint32_t> students) {
        groups.emplace_back(students.begin(), students.end());
    });
    return groups;
}

}  // namespace

TEST(MarkPlaces, NumberEveryLineAndTheCausesOfEveryTestApart)
{
    MarkPlaces places({70000, 0, 3});
    EXPECT_EQ(places.placeOf(places.lineOf(0, 65535)).line, 65535u);
    EXPECT_FALSE(places.placeOf(places.lineOf(0, 69999)).causes);
    Place causes = places.placeOf(places.causesOf(0));
    EXPECT_TRUE(causes.causes);
    EXPECT_EQ(causes.test, 0u);
    // A test with an empty reference still has its causes.
    EXPECT_EQ(places.placeOf(places.causesOf(1)).test, 1u);
    Place last = places.placeOf(places.lineOf(2, 2));
    EXPECT_EQ(last.test, 2u);
    EXPECT_EQ(last.line, 2u);
    EXPECT_TRUE(places.marked(2));
    EXPECT_FALSE(places.marked(3));
}

TEST(MarkPlaces, LeaveUnmarkedTheTestsPast32Bits)
{
    MarkPlaces places({3'000'000'000, 2'000'000'000, 5});
    EXPECT_TRUE(places.marked(0));
    EXPECT_FALSE(places.marked(1));
    EXPECT_FALSE(places.marked(2));
}

TEST(ForEachGroup, MergesWorkersTalliesIntoOneGroupPerPlaceAndText)
{
    std::vector<Tally> tallies(3);
    tallies[0].marks = {{7, 4, 1}, {7, 0, 1}, {9, 2, 5}};  // unsorted: merged all the same
    tallies[1].marks = {{7, 1, 1}, {8, 3, 1}};
    tallies[2].marks = {};
    std::vector<std::vector<std::uint32_t>> groups = groupsOf(tallies);
    std::vector<std::vector<std::uint32_t>> expected = {{0, 1, 4}, {3}, {2}};
    EXPECT_EQ(groups, expected);
}

TEST(ForEachGroup, NamesAStudentOnceAndIsQuietWithoutMarks)
{
    std::vector<Tally> tallies(2);
    EXPECT_TRUE(groupsOf(tallies).empty());
    tallies[0].marks = {{5, 2, 0}};
    tallies[1].marks = {{5, 2, 0}};
    std::vector<std::vector<std::uint32_t>> expected = {{2}};
    EXPECT_EQ(groupsOf(tallies), expected);
}

TEST(WrongLines, CountEachDistinctLineOnceWithItsFirstText)
{
    WrongLines lines;
    // Enough lines that the table grows, and two places with one hash.
    for (std::uint32_t i = 0; i < 3000; ++i)
        lines.add(i % 2, i / 2, "line " + std::to_string(i / 2));
    EXPECT_EQ(lines.add(1, 7, "again"), 15u);
    EXPECT_EQ(lines.add(0, 7, "again"), 14u);
    ASSERT_EQ(lines.lines.size(), 3000u);
    EXPECT_EQ(lines.lines[15].count, 2u);
    EXPECT_EQ(lines.textOf(lines.lines[15]), "line 7");
}

TEST(ForEachWrongLine, SumsWorkersCountsAndSkipsLinesTakenBack)
{
    std::vector<Tally> tallies(2);
    tallies[0].wrongLines.add(3, 9, "b");
    tallies[0].wrongLines.add(1, 9, "a");
    tallies[1].wrongLines.add(3, 9, "b");
    std::uint32_t gone = tallies[1].wrongLines.add(2, 5, "gone");
    --tallies[1].wrongLines.lines[gone].count;
    std::vector<std::tuple<std::uint32_t, std::uint64_t, std::string>> seen;
    forEachWrongLine(tallies, [&](std::uint32_t place, std::uint64_t count, std::string_view text) {
        seen.emplace_back(place, count, std::string(text));
    });
    std::vector<std::tuple<std::uint32_t, std::uint64_t, std::string>> expected{{1, 1, "a"}, {3, 2, "b"}};
    EXPECT_EQ(seen, expected);
}
