#include "link/Records.h"

#include <gtest/gtest.h>

using namespace plovex;

TEST(Records, LinkDownRecordCarriesFixedAxesAndTheCounterTwice)
{
    auto r = records::linkDownRecord(42);
    ASSERT_EQ(r->count(), 11u);
    EXPECT_EQ(r->keys(), records::measurementKeys());
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(r->values()[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(r->intValue("temp"), 42);
    EXPECT_EQ(r->intValue("packetCount"), 42);
    EXPECT_EQ(r->intValue("commState"), 0);
    EXPECT_TRUE(r->contains("commState"));
}

TEST(Records, DiagnosticRecordHasTenEntriesAndNoLinkState)
{
    auto r = records::diagnosticLinkDownRecord(3);
    EXPECT_EQ(r->count(), 10u);
    EXPECT_FALSE(r->contains("commState"));
    EXPECT_EQ(r->intValue("commState"), 0);
    EXPECT_EQ(r->intValue("yKal"), 7);
    EXPECT_EQ(r->intValue("temp"), 3);
    EXPECT_EQ(r->intValue("packetCount"), 3);
}

TEST(Records, MeasurementRecordWidensWithSign)
{
    wire::MeasurementValues v{-2, -32768, 32767, 4, 5, 6, 7, -8, 250};
    auto r = records::measurementRecord(v, 17);
    EXPECT_EQ(r->intValue("xGravityRaw"), -2);
    EXPECT_EQ(r->intValue("xGravityKal"), -32768);
    EXPECT_EQ(r->intValue("xRaw"), 32767);
    EXPECT_EQ(r->intValue("yKal"), -8);
    EXPECT_EQ(r->intValue("temp"), 250);
    EXPECT_EQ(r->intValue("packetCount"), 17);
    EXPECT_EQ(r->intValue("commState"), 1);
}

