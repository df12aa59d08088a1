#include "platform/Record.h"

#include <gtest/gtest.h>

using platform::Record;

TEST(Record, PairsKeysAndValuesByPositionAndReadsAbsentKeysAsZero)
{
    Record r({"a", "b", "c"}, {1, -2, 2147483647});
    EXPECT_EQ(r.intValue("a"), 1);
    EXPECT_EQ(r.intValue("b"), -2);
    EXPECT_EQ(r.intValue("c"), 2147483647);
    EXPECT_EQ(r.intValue("missing"), 0);
    EXPECT_EQ(r.intValue(""), 0);
    EXPECT_FALSE(r.contains("missing"));
    EXPECT_EQ(r.count(), 3u);
}

TEST(Record, RefusesListsThatDoNotPairUp)
{
    EXPECT_THROW(Record({"a", "b"}, {1}), std::invalid_argument);
    EXPECT_THROW(Record({"a"}, {1, 2}), std::invalid_argument);
    EXPECT_THROW(Record({"a", "a"}, {1, 2}), std::invalid_argument);
    EXPECT_NO_THROW(Record({}, {}));
}
