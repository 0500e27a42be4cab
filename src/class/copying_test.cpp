// How much what pairs of students share weighs, and which pairs are listed.
#include "copying.h"

#include <gtest/gtest.h>

namespace {

// One test of 20 lines; `graded` students graded on it.
struct OneTest {
    MarkPlaces places{{20}};
    CopyFinder copies;
    explicit OneTest(std::uint64_t graded) : copies(places, {graded}) {}

    void share(std::uint32_t line, std::vector<std::uint32_t> students)
    {
        copies.shared(Mark{line, 0, places.lineOf(0, line)}, students);
    }
};

}  // namespace

TEST(CopyFinder, ListsThreeLinesNoOneElseShares)
{
    OneTest test(100);
    test.share(1, {3, 8});
    test.share(2, {3, 8});
    EXPECT_TRUE(test.copies.suspects().empty());
    test.share(5, {3, 8});
    std::vector<SuspectedPair> pairs = test.copies.suspects();
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].first, 3u);
    EXPECT_EQ(pairs[0].second, 8u);
    EXPECT_DOUBLE_EQ(pairs[0].weight, 3.0);
    EXPECT_EQ(pairs[0].shared[2].place.line, 5u);
}

TEST(CopyFinder, WeighsALineKStudentsShareAsOneInKMinusOne)
{
    OneTest test(100);
    for (std::uint32_t line = 0; line < 6; ++line)
        test.share(line, {1, 2, 3});
    std::vector<SuspectedPair> pairs = test.copies.suspects();
    ASSERT_EQ(pairs.size(), 3u);
    for (const SuspectedPair& pair : pairs) {
        EXPECT_DOUBLE_EQ(pair.weight, 3.0);
        EXPECT_EQ(pair.shared[0].sharers, 3u);
    }
}

TEST(CopyFinder, GivesNoWeightToWhatATenthOfTheClassShares)
{
    // Of 40 graded, more than 4 sharing a line is a common bug.
    OneTest test(40);
    for (std::uint32_t line = 0; line < 10; ++line)
        test.share(line, {1, 2, 3, 4, 5});
    EXPECT_TRUE(test.copies.suspects().empty());
    // However small the class, two students sharing are always weighed.
    OneTest small(3);
    for (std::uint32_t line = 0; line < 3; ++line)
        small.share(line, {0, 2});
    EXPECT_EQ(small.copies.suspects().size(), 1u);
}

TEST(CopyFinder, RanksStrongerPairsFirstThenByStudents)
{
    OneTest test(100);
    for (std::uint32_t line = 0; line < 3; ++line) {
        test.share(line, {5, 6});
        test.share(line + 3, {1, 2});
    }
    test.share(10, {5, 6});
    std::vector<SuspectedPair> pairs = test.copies.suspects();
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].first, 5u);
    EXPECT_EQ(pairs[1].first, 1u);
}
