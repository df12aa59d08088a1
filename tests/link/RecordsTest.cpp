#include "link/Records.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"

#include <gtest/gtest.h>

#include <malloc.h>

#if defined(__has_feature)
#define PLOVEX_CLANG_SANITIZER (__has_feature(address_sanitizer) || __has_feature(thread_sanitizer))
#else
#define PLOVEX_CLANG_SANITIZER 0
#endif

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


TEST(Records, AHeldMeasurementCostsAtMost64BytesOfHeap)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || PLOVEX_CLANG_SANITIZER
    GTEST_SKIP() << "a sanitizer's allocator keeps its own books";
#else
    // As while a write confirmation is open: the queue holds every record.
    platform::NotificationCenter center;
    platform::NotificationQueue queue(center);
    platform::RecordPtr last;
    center.addObserver(records::kInclinoData, [&](const platform::Notification& n) { last = n.object; });
    constexpr int kHeld = 20000;
    const wire::MeasurementValues v{-2, -32768, 32767, 4, 5, 6, 7, -8, 250};
    {
        platform::ModalSession confirmation(queue);
        const std::size_t before = mallinfo2().uordblks;
        for (int i = 0; i < kHeld; ++i) // a packet count past 16 bits, as after four minutes
            queue.enqueueWhenIdle(records::kInclinoData, records::measurementRecord(v, 40000 + i));
        const double perRecord = static_cast<double>(mallinfo2().uordblks - before) / kHeld;
        EXPECT_LE(perRecord, 64.0);
    }
    queue.deliverWhenIdle();
    std::vector<int32_t> expect(v.begin(), v.end());
    expect.insert(expect.end(), {40000 + kHeld - 1, 1});
    ASSERT_TRUE(last);
    EXPECT_EQ(last->values(), expect) << "held records keep every value exactly";
#endif
}
