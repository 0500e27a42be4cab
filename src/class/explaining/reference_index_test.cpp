// A line looked up by its key's hash: the nearest that holds, whatever the
// other keys about it, and none where no line has the key.
#include "class/explaining/reference_index.h"

#include <gtest/gtest.h>

namespace {

// Hashes 5 (lines 1, 4, 6, 9), 7 (line 2) and 9 (line 0), sorted as an
// index keeps them.
const LineKeys keys{{5, 1}, {5, 4}, {5, 6}, {5, 9}, {7, 2}, {9, 0}};

std::uint32_t nearest(std::uint64_t hash, std::int64_t near)
{
    return nearestLine(keys, hash, near, [](std::uint32_t) { return true; });
}

}  // namespace

TEST(ReferenceIndex, FindTheNearestLineOfAHashAndNoneOfAHashNoLineHas)
{
    for (std::uint64_t absent : {0u, 6u, 8u, 10u})
        EXPECT_EQ(nearest(absent, 2), UINT32_MAX) << absent;
    EXPECT_EQ(nearest(9, 5), 0u);
    EXPECT_EQ(nearest(7, 0), 2u);
    EXPECT_EQ(nearest(5, 0), 1u);
    EXPECT_EQ(nearest(5, 4), 4u);
    EXPECT_EQ(nearest(5, 8), 9u);
    EXPECT_EQ(nearest(5, 100), 9u);
    EXPECT_EQ(nearest(5, -3), 1u);
    EXPECT_EQ(nearest(5, 2), 1u);
    // Two as near: the earlier.
    EXPECT_EQ(nearest(5, 5), 4u);
    // Only lines that hold are taken, however near the others.
    EXPECT_EQ(nearestLine(keys, 5, 4, [](std::uint32_t line) { return line != 4; }), 6u);
    EXPECT_EQ(nearestLine(keys, 5, 4, [](std::uint32_t) { return false; }), UINT32_MAX);
}
