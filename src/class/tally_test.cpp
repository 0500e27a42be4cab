// Marks merged from several workers' tallies, and the places they stand at,
// past where 16 bits would number them.
#include "tally.h"

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

TEST(MarkPlaces, NumberEveryLineAndWholeFileOfEveryTestApart)
{
    MarkPlaces places({70000, 0, 3});
    EXPECT_EQ(places.placeOf(places.lineOf(0, 65535)).line, 65535u);
    EXPECT_FALSE(places.placeOf(places.lineOf(0, 69999)).wholeFile);
    Place whole = places.placeOf(places.wholeFileOf(0));
    EXPECT_TRUE(whole.wholeFile);
    EXPECT_EQ(whole.test, 0u);
    // A test with an empty reference still has its whole file.
    EXPECT_EQ(places.placeOf(places.wholeFileOf(1)).test, 1u);
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
