// A test's statistics and the spread of its scores at their edges.
#include "class/explaining/summary.h"

#include <gtest/gtest.h>

TEST(StatsOf, TakesTheMedianOfAnEvenCountAsTheMeanOfTheMiddleTwo)
{
    TestStats stats = statsOf({9, 1, 4, 10}, 10, 2);
    EXPECT_DOUBLE_EQ(stats.median, 6.5);
    EXPECT_DOUBLE_EQ(stats.mean, 6.0);
    EXPECT_EQ(stats.lowest, 1u);
    EXPECT_EQ(stats.highest, 10u);
    EXPECT_EQ(stats.fullMarks, 1u);
    EXPECT_EQ(stats.notGraded, 2u);
    EXPECT_DOUBLE_EQ(statsOf({3, 7, 5}, 10, 0).median, 5.0);
}

TEST(StatsOf, SaysNothingOfATestNoOneWasGradedOn)
{
    TestStats stats = statsOf({}, 10, 4);
    EXPECT_EQ(stats.graded, 0u);
    EXPECT_EQ(stats.notGraded, 4u);
    EXPECT_DOUBLE_EQ(stats.mean, 0.0);
}

TEST(SpreadOf, PutsFullMarksInTheLastBin)
{
    Spread spread = spreadOf({0, 25, 26, 27}, 27);
    EXPECT_EQ(spread.binWidth, 3u);
    ASSERT_EQ(spread.bins.size(), 10u);
    EXPECT_EQ(spread.bins.front(), 1u);
    EXPECT_EQ(spread.bins[8], 2u);  // 24 to 26
    EXPECT_EQ(spread.bins.back(), 1u);  // 27 alone
}

TEST(SpreadOf, HasOneBinPerScoreWhenFew)
{
    Spread spread = spreadOf({0, 0, 2}, 2);
    EXPECT_EQ(spread.binWidth, 1u);
    EXPECT_EQ(spread.bins, (std::vector<std::uint64_t>{2, 0, 1}));
    Spread empty = spreadOf({5}, 0);
    EXPECT_EQ(empty.bins, std::vector<std::uint64_t>{1});
}
