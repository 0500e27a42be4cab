// Which pairs are listed: what counts as evidence, how rare it must be,
// and how many pieces the class's own chance asks of a pair.
#include "class/explaining/copying.h"

#include "class/explaining/findings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace {

// One test of 20 lines; `graded` students graded on it.
struct OneTest {
    MarkPlaces places{{20}};
    CopyFinder copies;
    // `prints`, `mistakes`: how each student's file prints and the
    // mistakes it makes, by student (none: alike).
    explicit OneTest(std::uint64_t graded, std::vector<std::uint32_t> prints = {},
                     std::vector<std::uint32_t> mistakes = {})
        : copies(places, {graded}, graded, std::move(prints), std::move(mistakes))
    {
    }

    void share(std::uint32_t line, std::vector<std::uint32_t> students)
    {
        copies.shared(Mark{line, 0, places.lineOf(0, line)}, students);
    }
    // A set of assembler mistakes, or (with `orderTag`) an order of lines.
    void shareFact(std::uint64_t key, std::vector<std::uint32_t> students)
    {
        copies.shared(Mark{key, 0, places.causesOf(0)}, students);
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

// Two files that print apart (one's addresses padded, the other's not)
// and hold the same typos made them apart: a copy keeps how its source
// prints.  What their assemblers share is evidence however they print.
TEST(CopyFinder, CountsHandEditsOnlyBetweenFilesThatPrintAlike)
{
    std::vector<std::uint32_t> prints(100, 0);
    prints[8] = 77;
    OneTest apart(100, prints);
    apart.share(1, {3, 8});
    apart.share(5, {3, 8});
    EXPECT_TRUE(apart.copies.suspects().empty());
    EXPECT_EQ(apart.copies.threshold.rate, 0.0);
    prints[3] = 77;
    OneTest alike(100, prints);
    alike.share(1, {3, 8});
    alike.share(5, {3, 8});
    EXPECT_EQ(alike.copies.suspects().size(), 1u);
    // Of three who share edits, the two that print alike are the pair.
    OneTest three(100, prints);
    three.share(1, {3, 8, 9});
    three.share(5, {3, 8, 9});
    std::vector<SuspectedPair> listed = three.copies.suspects();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(std::pair(listed[0].first, listed[0].second), std::pair(3u, 8u));
    EXPECT_TRUE(listed[0].members.empty());
    prints[3] = 0;
    OneTest assembler(100, prints);
    assembler.shareFact(0x1234, {3, 8});
    assembler.share(1, {3, 8});
    assembler.share(5, {3, 8});
    listed = assembler.copies.suspects();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].pieces, 1u);
    EXPECT_TRUE(listed[0].apart);
}

// Of two pairs that share as much, as rare, the one whose files make the
// same mistakes ranks first, as a copy's make its source's, whatever the
// students' order.
TEST(CopyFinder, RanksAPairWhoseFilesMakeTheSameMistakesFirstAmongEquals)
{
    std::vector<std::uint32_t> mistakes(100, 0);
    mistakes[3] = 5;
    OneTest test(100, {}, mistakes);
    for (std::uint32_t line : {1u, 5u}) {
        test.share(line, {3, 8});
        test.share(line + 10, {40, 50});
    }
    std::vector<SuspectedPair> listed = test.copies.suspects();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(std::pair(listed[0].first, listed[0].second), std::pair(40u, 50u));
    EXPECT_TRUE(listed[0].sameMistakes);
    EXPECT_FALSE(listed[1].sameMistakes);
}

TEST(CopyFinder, TellsAGroupOfThreeAsOneGroup)
{
    OneTest test(200);
    for (std::uint32_t line = 0; line < 3; ++line)
        test.share(line, {1, 2, 3});
    test.share(4, {2, 3});
    std::vector<SuspectedPair> listed = test.copies.suspects();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].members, (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(listed[0].pieces, 4u);
    EXPECT_EQ(listed[0].shared[0].within, 3u);
    EXPECT_EQ(listed[0].shared[3].within, 2u);
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
    // Nor, in any class, more than 8.
    std::vector<std::uint32_t> many(9);
    for (std::uint32_t k = 0; k < many.size(); ++k)
        many[k] = k;
    OneTest common(20000);
    for (std::uint32_t line = 0; line < 10; ++line)
        common.share(line, many);
    EXPECT_TRUE(common.copies.suspects().empty());
}

TEST(CopyFinder, CountsASetOfMistakesOnceAndListsItAloneApart)
{
    // The same assembler's mistakes on several tests are one fact, and a
    // set that no one else has, shared with nothing more, is listed apart.
    OneTest test(100);
    for (std::uint64_t set = 1; set <= 3; ++set)
        test.shareFact(set, {4, 9});
    std::vector<SuspectedPair> apart = test.copies.suspects();
    ASSERT_EQ(apart.size(), 1u);
    EXPECT_TRUE(apart[0].apart);
    EXPECT_EQ(apart[0].pieces, 1u);
    EXPECT_EQ(apart[0].shared[0].kind, SharedKind::mistakes);
    // An unusual order is a fact of its own; a set that a third student
    // has is no reason to list a pair apart.
    OneTest again(100);
    again.shareFact(1, {4, 9, 11});
    again.shareFact(orderTag | 1, {4, 9});
    std::vector<SuspectedPair> listed = again.copies.suspects();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_FALSE(listed[0].apart);
    EXPECT_EQ(listed[0].pieces, 2u);
    EXPECT_EQ(listed[0].shared[1].kind, SharedKind::order);
    OneTest common(100);
    common.shareFact(1, {4, 9, 11});
    EXPECT_TRUE(common.copies.suspects().empty());
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
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[0].first, 5u);
    EXPECT_EQ(pairs[1].first, 7u);  // three pieces no one else holds
    EXPECT_EQ(pairs[2].members.size(), 3u);  // three pieces, each a third's too
}

TEST(CopyFinder, AsksFewerPiecesThatNoOneElseHolds)
{
    // In a large class chance makes many pairs share a piece that a few
    // hold, and few share one that no one else holds.
    MarkPlaces places{{200}};
    CopyFinder copies(places, {20000}, 20000);
    for (std::uint32_t line = 0; line < 200; ++line)
        for (std::uint32_t s = 0; s < 60; ++s)
            copies.shared(Mark{s, 0, places.lineOf(0, line)}, std::vector<std::uint32_t>{100 * s + line, 100 * s + line + 7000, 100 * s + line + 14000});
    copies.shared(Mark{1, 0, places.lineOf(0, 3)}, std::vector<std::uint32_t>{19998, 19999});
    copies.shared(Mark{1, 0, places.lineOf(0, 9)}, std::vector<std::uint32_t>{19998, 19999});
    // Each student has a typo of their own besides, as students do.
    for (std::uint32_t s = 0; s < 20000; ++s)
        copies.shared(Mark{2, 0, places.lineOf(0, 0)}, std::vector<std::uint32_t>{s});
    std::vector<SuspectedPair> listed = copies.suspects();
    EXPECT_GT(copies.threshold.pieces, copies.threshold.ownPieces);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].first, 19998u);
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

TEST(CopyFinder, KeepsAPairOfItsOwnWhereAThirdSharesWithOneOnly)
{
    // 1 and 2 copied; 3 shares two other pieces with 2 alone: no group.
    OneTest test(100);
    for (std::uint32_t line = 0; line < 4; ++line)
        test.share(line, {1, 2});
    test.share(10, {2, 3});
    test.share(11, {2, 3});
    std::vector<SuspectedPair> listed = test.copies.suspects();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_TRUE(listed[0].members.empty());
    EXPECT_TRUE(listed[1].members.empty());
    EXPECT_EQ(listed[1].first, 2u);
}

TEST(CopyFinder, ListsTwoEditsThatAreAllOfOneStudentsWhereChanceSeldomMakesThat)
{
    // A class of 20,000 where a pair must share three pieces: a copy that
    // keeps the only two edits of its source's, each also a third
    // student's, is listed; two students who share two such edits by
    // chance, each with a typo of their own besides, are not.
    MarkPlaces places{{200, 200}};
    CopyFinder copies(places, {20000, 20000}, 20000);
    for (std::uint32_t line = 0; line < 200; ++line)
        for (std::uint32_t s = 0; s < 55; ++s)
            copies.shared(Mark{s, 0, places.lineOf(0, line)}, std::vector<std::uint32_t>{100 * s + line, 100 * s + line + 7000, 100 * s + line + 14000});
    for (std::uint32_t s = 0; s < 19990; ++s)
        copies.shared(Mark{2, 0, places.lineOf(0, 0)}, std::vector<std::uint32_t>{s});
    std::uint32_t source = 19990, copier = 19991, first = 19994, second = 19995;
    copies.shared(Mark{3, 0, places.lineOf(1, 5)}, std::vector<std::uint32_t>{source, copier, 19992});
    copies.shared(Mark{3, 0, places.lineOf(1, 6)}, std::vector<std::uint32_t>{source, copier, 19993});
    copies.shared(Mark{3, 0, places.lineOf(1, 7)}, std::vector<std::uint32_t>{copier});
    copies.shared(Mark{3, 0, places.lineOf(1, 8)}, std::vector<std::uint32_t>{first, second, 19992});
    copies.shared(Mark{3, 0, places.lineOf(1, 9)}, std::vector<std::uint32_t>{first, second, 19993});
    copies.shared(Mark{3, 0, places.lineOf(1, 10)}, std::vector<std::uint32_t>{first});
    copies.shared(Mark{3, 0, places.lineOf(1, 11)}, std::vector<std::uint32_t>{second});
    std::vector<SuspectedPair> listed = copies.suspects();
    ASSERT_GT(copies.threshold.pieces, 2u);
    EXPECT_TRUE(copies.threshold.wholeListed);
    std::vector<SuspectedPair> whole;
    std::copy_if(listed.begin(), listed.end(), std::back_inserter(whole),
                 [](const SuspectedPair& pair) { return pair.whole != UINT32_MAX; });
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].first, source);
    EXPECT_EQ(whole[0].second, copier);
    EXPECT_EQ(whole[0].whole, source);
    EXPECT_EQ(whole[0].pieces, 2u);
}

namespace {

// A class of 20,000 on two tests of 200 lines where a pair must share three
// pieces, and where a pair that shares two hand edits that are all of one
// student's is listed only where each is held by the pair alone: many
// students have two edits, each shared with another student by chance.
struct CrowdedClass {
    static constexpr std::uint32_t students = 20000;
    MarkPlaces places{{200, 200}};
    CopyFinder copies{places, {students, students}, students};
    CrowdedClass()
    {
        for (std::uint32_t line = 0; line < 200; ++line)
            for (std::uint32_t s = 0; s < 55; ++s)
                copies.shared(Mark{s, 0, places.lineOf(0, line)},
                              std::vector<std::uint32_t>{100 * s + line, 100 * s + line + 7000, 100 * s + line + 14000});
        // Each of them has a typo of their own besides, as students do.
        for (std::uint32_t s = 0; s < 19900; ++s)
            copies.shared(Mark{2, 0, places.lineOf(0, 0)}, std::vector<std::uint32_t>{s});
        for (std::uint32_t k = 0; k < 3000; ++k) {
            std::uint32_t student = 3 * k;
            copies.shared(Mark{100 + k, 0, places.lineOf(1, k % 100)}, std::vector<std::uint32_t>{student, student + 1});
            copies.shared(Mark{100 + k, 0, places.lineOf(1, 100 + k % 100)}, std::vector<std::uint32_t>{student, student + 2});
        }
    }
    void edit(std::uint32_t line, std::vector<std::uint32_t> holders)
    {
        copies.shared(Mark{7, 0, places.lineOf(1, line)}, holders);
    }
};

}  // namespace

TEST(CopyFinder, ListsARingOfThreeWhoHoldAllOfOnesEditsThatAPairAloneWouldNot)
{
    // A source's two edits, kept by its two copies, are each a fourth
    // student's too: each pair of the ring is as likely as many honest
    // ones, but two others both holding them is not.
    CrowdedClass ring;
    std::uint32_t source = 19990, copier = 19991, other = 19992;
    ring.edit(5, {source, copier, other, 19995});
    ring.edit(6, {source, copier, other, 19996});
    ring.edit(7, {copier});
    ring.edit(8, {other});
    std::vector<SuspectedPair> listed = ring.copies.suspects();
    ASSERT_GT(ring.copies.threshold.pieces, 2u);
    EXPECT_TRUE(ring.copies.threshold.ringListed);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].members, (std::vector<std::uint32_t>{source, copier, other}));
    EXPECT_EQ(listed[0].whole, source);
    EXPECT_EQ(listed[0].pieces, 2u);
    EXPECT_EQ(listed[0].shared[0].within, 3u);
}

TEST(CopyFinder, ListsNoRingWhereEachHasAnEditOfTheirOwnOrTheyShareNoEditAllThree)
{
    // The same two edits, but each of the three made one of their own too.
    CrowdedClass own;
    own.edit(5, {19990, 19991, 19992, 19995});
    own.edit(6, {19990, 19991, 19992, 19996});
    for (std::uint32_t student : {19990u, 19991u, 19992u})
        own.edit(student - 19980, {student});
    EXPECT_TRUE(own.copies.suspects().empty());
    // Each two share two edits held by three, but no edit is all three's.
    CrowdedClass apart;
    apart.edit(5, {19990, 19991, 19995});
    apart.edit(6, {19990, 19991, 19996});
    apart.edit(7, {19991, 19992, 19995});
    apart.edit(8, {19991, 19992, 19996});
    apart.edit(9, {19990, 19992, 19995});
    apart.edit(10, {19990, 19992, 19996});
    EXPECT_TRUE(apart.copies.suspects().empty());
    // A fourth student holds both edits too: any three of the four would
    // do, so no three of them is a ring by these edits alone.
    CrowdedClass four;
    four.edit(5, {19990, 19991, 19992, 19993});
    four.edit(6, {19990, 19991, 19992, 19993});
    for (std::uint32_t student : {19991u, 19992u, 19993u})
        four.edit(student - 19980, {student});
    EXPECT_TRUE(four.copies.suspects().empty());
}
