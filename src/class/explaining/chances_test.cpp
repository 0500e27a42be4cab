// The chances come out in the order a plain sort gives, however many they
// are and whatever their bits: zeros, the least numbers a double holds,
// ties, and numbers that differ only in their lowest bits.
#include "class/explaining/chances.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

TEST(SortChances, SortsAsAPlainSortDoesFewOrMany)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-320, 0);
    for (std::size_t size : {0, 1, 5, 4095, 4096, 100000}) {
        std::vector<double> chances;
        for (std::size_t i = 0; i < size; ++i) {
            switch (i % 7) {
            case 0: chances.push_back(0); break;
            case 1: chances.push_back(1); break;
            case 2: chances.push_back(std::numeric_limits<double>::denorm_min()); break;
            case 3: chances.push_back(std::nextafter(0.5, 1.0)); break;
            case 4: chances.push_back(0.5); break;
            default: chances.push_back(std::pow(10.0, exponent(random)));
            }
        }
        std::shuffle(chances.begin(), chances.end(), random);
        std::vector<double> expected = chances;
        std::sort(expected.begin(), expected.end());
        sortChances(chances);
        EXPECT_EQ(chances, expected) << size << " chances";
    }
}
