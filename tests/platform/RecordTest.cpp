#include "platform/Record.h"

#include <gtest/gtest.h>

using platform::makeRecord;

TEST(Record, PairsKeysAndValuesByPositionAndReadsAbsentKeysAsZero)
{
    const auto r = makeRecord({"a", "b", "c", "d", "e"}, {1, -2, 2147483647, -32768, -2147483647 - 1});
    EXPECT_EQ(r->intValue("a"), 1);
    EXPECT_EQ(r->intValue("b"), -2);
    EXPECT_EQ(r->intValue("c"), 2147483647);
    EXPECT_EQ(r->intValue("d"), -32768);
    EXPECT_EQ(r->intValue("e"), -2147483647 - 1);
    EXPECT_EQ(r->values(), (std::vector<int32_t>{1, -2, 2147483647, -32768, -2147483647 - 1}));
    EXPECT_EQ(r->intValue("missing"), 0);
    EXPECT_EQ(r->intValue(""), 0);
    EXPECT_FALSE(r->contains("missing"));
    EXPECT_EQ(r->count(), 5u);
}

TEST(Record, RefusesListsThatDoNotPairUp)
{
    EXPECT_THROW(makeRecord({"a", "b"}, {1}), std::invalid_argument);
    EXPECT_THROW(makeRecord({"a"}, {1, 2}), std::invalid_argument);
    EXPECT_THROW(makeRecord({"a", "a"}, {1, 2}), std::invalid_argument);
    EXPECT_NO_THROW(makeRecord({}, {}));
}
