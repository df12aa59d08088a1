#include "discovery/NaturalOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using plovex::naturalLess;

TEST(NaturalOrder, NumbersInNamesCompareByValue)
{
    EXPECT_TRUE(naturalLess("ttyS2", "ttyS10"));
    EXPECT_FALSE(naturalLess("ttyS10", "ttyS2"));
    EXPECT_TRUE(naturalLess("ttyUSB9", "ttyUSB10"));
    EXPECT_TRUE(naturalLess("ttyACM0", "ttyS0"));
    EXPECT_TRUE(naturalLess("ttyS", "ttyS0"));
    EXPECT_TRUE(naturalLess("ttyS1a", "ttyS1b"));
    EXPECT_TRUE(naturalLess("a99999999999999999999999", "a100000000000000000000000"));
}

TEST(NaturalOrder, IsAStrictTotalOrder)
{
    EXPECT_FALSE(naturalLess("ttyS1", "ttyS1"));
    // Equal in value, still told apart, and only one way round.
    EXPECT_NE(naturalLess("ttyS01", "ttyS1"), naturalLess("ttyS1", "ttyS01"));

    std::vector<std::string> names = {"ttyS10", "ttyUSB0", "ttyS2", "ttyS01", "ttyS1", "ttyACM3", "ttyS", "ttyS0"};
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return naturalLess(a, b); });
    const std::vector<std::string> expected = {"ttyACM3", "ttyS", "ttyS0", "ttyS01", "ttyS1", "ttyS2", "ttyS10", "ttyUSB0"};
    EXPECT_EQ(names, expected);
}
