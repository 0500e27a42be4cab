// Which pairs are listed: what counts as evidence, how rare it must be,
// and how many pieces the class's own chance asks of a pair.
#include "class/explaining/copying.h"

#include <gtest/gtest.h>

namespace {

// One test of 20 lines; `graded` students graded on it.
struct OneTest {
    MarkPlaces places{{20}};
    CopyFinder copies;
    explicit OneTest(std::uint64_t graded) : copies(places, {graded}, graded) {}

    void share(std::uint32_t line, std::vector<std::uint32_t> students)
    {
        copies.shared(Mark{line, 0, places.lineOf(0, line)}, students);
    }
    // A cause of one kind (the top 32 bits), with what it says (the rest).
    void shareCause(std::uint32_t kind, std::uint32_t says, std::vector<std::uint32_t> students)
    {
        copies.shared(Mark{std::uint64_t{kind} << 32 | says, 0, places.causesOf(0)}, students);
    }
};

}  // namespace

TEST(CopyFinder, ListsAPairThatSharesTwoLinesNoOneElseHasInASmallClass)
{
    OneTest test(100);
    test.share(1, {3, 8});
    EXPECT_TRUE(test.copies.suspects().empty());
    OneTest again(100);
    again.share(1, {3, 8});
    again.share(5, {3, 8});
    std::vector<SuspectedPair> pairs = again.copies.suspects();
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].first, 3u);
    EXPECT_EQ(pairs[0].second, 8u);
    EXPECT_EQ(pairs[0].pieces, 2u);
    EXPECT_EQ(pairs[0].shared[1].place.line, 5u);
    EXPECT_EQ(again.copies.threshold.pieces, 2u);
}

TEST(CopyFinder, FindsEveryPairOfAGroupOfThreeWhole)
{
    OneTest test(200);
    for (std::uint32_t line = 0; line < 3; ++line)
        test.share(line, {1, 2, 3});
    std::vector<SuspectedPair> pairs = test.copies.suspects();
    ASSERT_EQ(pairs.size(), 3u);
    for (const SuspectedPair& pair : pairs) {
        EXPECT_EQ(pair.pieces, 3u);
        EXPECT_EQ(pair.shared[0].sharers, 3u);
    }
}

TEST(CopyFinder, CountsNothingThatMoreThanAFewShare)
{
    // Of 400 graded, more than 10 sharing is common; of 40, more than 3.
    OneTest test(400);
    std::vector<std::uint32_t> eleven{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (std::uint32_t line = 0; line < 10; ++line)
        test.share(line, eleven);
    EXPECT_TRUE(test.copies.suspects().empty());
    OneTest small(40);
    for (std::uint32_t line = 0; line < 10; ++line)
        small.share(line, {1, 2, 3, 4});
    EXPECT_TRUE(small.copies.suspects().empty());
}

TEST(CopyFinder, CountsACauseOnceHoweverManyTestsShowIt)
{
    // The same kind of cause on several tests is one assembler's mistake.
    OneTest test(100);
    for (std::uint32_t says = 1; says <= 3; ++says)
        test.shareCause(7, says, {4, 9});
    EXPECT_TRUE(test.copies.suspects().empty());
    OneTest again(100);
    for (std::uint32_t says = 1; says <= 3; ++says)
        again.shareCause(7, says, {4, 9});
    again.shareCause(8, 1, {4, 9});
    ASSERT_EQ(again.copies.suspects().size(), 1u);
}

TEST(CopyFinder, RanksMorePiecesFirstThenRarerThenByStudents)
{
    OneTest test(100);
    for (std::uint32_t line = 0; line < 3; ++line) {
        test.share(line, {5, 6});
        test.share(line + 3, {1, 2, 3});
        test.share(line + 6, {7, 8});
    }
    test.share(10, {5, 6});
    std::vector<SuspectedPair> pairs = test.copies.suspects();
    ASSERT_EQ(pairs.size(), 5u);
    EXPECT_EQ(pairs[0].first, 5u);
    EXPECT_EQ(pairs[1].first, 7u);  // three pieces no one else holds
    EXPECT_EQ(pairs[2].first, 1u);  // three pieces a third holds too
    EXPECT_EQ(pairs[2].second, 2u);
}

TEST(CopyThreshold, AsksMoreOfAPairWhereChanceSharesMore)
{
    // A class of 200: few pairs, and chance rarely makes one share a piece.
    EXPECT_EQ(thresholdFor(19900, 1e-4, 0.1).pieces, 2u);
    // A class of 20,000, where pairs sharing a typo by chance are many.
    CopyThreshold large = thresholdFor(2e8, 1.5e-4, 0.1);
    EXPECT_EQ(large.pieces, 3u);
    EXPECT_LT(large.expectedHonest, 0.1);
    // Nothing shared at all: two pieces are still asked.
    EXPECT_EQ(thresholdFor(100, 0, 0.1).pieces, 2u);
}
