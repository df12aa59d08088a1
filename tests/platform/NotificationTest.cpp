#include "platform/IdleHandOver.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "platform/Log.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

using namespace platform;

namespace {

struct Rig {
    NotificationCenter center;
    NotificationQueue queue{center};
    std::vector<std::pair<std::string, int>> seen;
    Rig()
    {
        for (const char* name : {"inclinoData", "inclinoParameter"})
            center.addObserver(name, [this](const Notification& n) { seen.emplace_back(n.name, n.object->intValue("n")); });
    }
    void enqueue(const char* name, int n) { queue.enqueueWhenIdle({name, makeRecord({"n"}, {n})}); }
};

} // namespace

TEST(NotificationQueue, DeliversEveryRecordOnceInOrderAcrossBothNames)
{
    Rig rig;
    for (int i = 0; i < 10000; ++i)
        rig.enqueue(i % 3 ? "inclinoData" : "inclinoParameter", i);
    EXPECT_TRUE(rig.seen.empty()) << "nothing is delivered before the loop is idle";
    rig.queue.deliverWhenIdle();
    ASSERT_EQ(rig.seen.size(), 10000u);
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(rig.seen[static_cast<std::size_t>(i)].second, i);
        ASSERT_EQ(rig.seen[static_cast<std::size_t>(i)].first, i % 3 ? "inclinoData" : "inclinoParameter");
    }
    rig.queue.deliverWhenIdle();
    EXPECT_EQ(rig.seen.size(), 10000u) << "each is delivered once";
}

TEST(NotificationQueue, EqualRecordsAreNeverMerged)
{
    Rig rig;
    auto same = makeRecord({"n"}, {7});
    rig.queue.enqueueWhenIdle({"inclinoData", same});
    rig.queue.enqueueWhenIdle({"inclinoData", same});
    rig.enqueue("inclinoData", 7);
    rig.queue.deliverWhenIdle();
    EXPECT_EQ(rig.seen.size(), 3u);
}

TEST(NotificationQueue, AModalSessionHoldsDeliveryUntilItEnds)
{
    Rig rig;
    int wakeUps = 0;
    rig.queue.setWakeUp([&] { ++wakeUps; });
    rig.enqueue("inclinoData", 1);
    {
        ModalSession alert(rig.queue);
        {
            ModalSession nested(rig.queue);
            rig.enqueue("inclinoParameter", 2);
        }
        rig.enqueue("inclinoData", 3);
        rig.queue.deliverWhenIdle(); // an idle pass of the alert's own loop
        EXPECT_TRUE(rig.seen.empty());
        EXPECT_TRUE(rig.queue.held());
    }
    EXPECT_FALSE(rig.queue.held());
    EXPECT_GE(wakeUps, 2) << "the loop is asked for an idle pass when the alert ends";
    rig.queue.deliverWhenIdle();
    EXPECT_EQ(rig.seen, (std::vector<std::pair<std::string, int>>{{"inclinoData", 1}, {"inclinoParameter", 2}, {"inclinoData", 3}}));
}

TEST(NotificationQueue, RecordsQueuedDuringDeliveryFollowInTheSamePass)
{
    NotificationCenter center;
    NotificationQueue queue(center);
    std::vector<int> seen;
    center.addObserver("inclinoData", [&](const Notification& n) {
        seen.push_back(n.object->intValue("n"));
        if (seen.size() == 1)
            queue.enqueueWhenIdle({"inclinoData", makeRecord({"n"}, {99})});
    });
    queue.enqueueWhenIdle({"inclinoData", makeRecord({"n"}, {1})});
    queue.enqueueWhenIdle({"inclinoData", makeRecord({"n"}, {2})});
    queue.deliverWhenIdle();
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 99}));
}

TEST(NotificationCenter, ObserversByNameInRegistrationOrderAndRemovable)
{
    NotificationCenter center;
    std::vector<std::string> calls;
    auto a = center.addObserver("x", [&](const Notification&) { calls.push_back("a"); });
    center.addObserver("x", [&](const Notification&) { calls.push_back("b"); });
    center.addObserver("y", [&](const Notification&) { calls.push_back("y"); });
    center.post({"x", nullptr});
    center.removeObserver(a);
    center.post({"x", nullptr});
    center.post({"z", nullptr});
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "b"}));
}

TEST(NotificationQueue, AnObserverThatThrowsLosesNoRecordAndIsReported)
{
    NotificationCenter center;
    NotificationQueue queue(center);
    std::vector<std::string> log;
    setLogSink([&](const std::string& entry) { log.push_back(entry); });
    std::vector<int> first, second;
    center.addObserver("inclinoData", [&](const Notification& n) {
        first.push_back(n.object->intValue("n"));
        if (first.size() == 1)
            throw std::runtime_error("observer failed");
    });
    center.addObserver("inclinoData", [&](const Notification& n) { second.push_back(n.object->intValue("n")); });
    for (int i = 1; i <= 3; ++i)
        queue.enqueueWhenIdle({"inclinoData", makeRecord({"n"}, {i})});
    queue.deliverWhenIdle();
    setLogSink({});
    EXPECT_EQ(first, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(second, (std::vector<int>{1, 2, 3})) << "the record the first observer failed on reaches the next";
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("observer failed"), std::string::npos) << log[0];
}

// A main thread that is busy: it runs what was posted only when told.
struct BusyMainThread : MainThread {
    std::mutex m;
    std::vector<std::function<void()>> tasks;
    int delayed = 0;
    void post(std::function<void()> t) override
    {
        std::lock_guard lock(m);
        tasks.push_back(std::move(t));
    }
    void postAfter(std::chrono::milliseconds, std::function<void()> t) override
    {
        ++delayed;
        post(std::move(t));
    }
    std::size_t runAll()
    {
        std::vector<std::function<void()>> now;
        {
            std::lock_guard lock(m);
            now.swap(tasks);
        }
        for (auto& t : now)
            t();
        return now.size();
    }
};

TEST(IdleHandOver, WakesTheMainThreadOncePerBatchAndQueuesEveryRecordInOrder)
{
    BusyMainThread main;
    Rig rig;
    IdleHandOver handOver(&main, rig.queue);
    auto handOverFromAnotherThread = [&](int from, int to) {
        std::thread([&] {
            for (int i = from; i < to; ++i)
                handOver.handOver(i % 3 ? "inclinoData" : "inclinoParameter", makeRecord({"n"}, {i}));
        }).join();
    };
    handOverFromAnotherThread(0, 100);
    EXPECT_EQ(main.runAll(), 1u) << "100 records handed over before the main thread came round: one wake-up";
    handOverFromAnotherThread(100, 101);
    EXPECT_EQ(main.runAll(), 1u);
    EXPECT_EQ(main.runAll(), 0u);
    rig.queue.deliverWhenIdle();
    ASSERT_EQ(rig.seen.size(), 101u);
    for (int i = 0; i < 101; ++i)
        ASSERT_EQ(rig.seen[static_cast<std::size_t>(i)], std::make_pair(std::string(i % 3 ? "inclinoData" : "inclinoParameter"), i));
}

TEST(IdleHandOver, WithAGatheringTimeAStreamWakesOnceAFrameAndTheFirstRecordAtOnce)
{
    BusyMainThread main;
    Rig rig;
    IdleHandOver handOver(&main, rig.queue, std::chrono::milliseconds(16));
    auto hand = [&](int n) { handOver.handOver("inclinoData", makeRecord({"n"}, {n})); };
    hand(1);
    EXPECT_EQ(main.runAll(), 1u); // the first record wakes the main thread at once
    EXPECT_EQ(main.delayed, 1) << "having taken records, it comes back a frame later";
    hand(2);
    hand(3);
    EXPECT_EQ(main.runAll(), 1u) << "records of a stream wait for that visit";
    EXPECT_EQ(main.delayed, 2);
    EXPECT_EQ(main.runAll(), 1u); // a visit that finds nothing ends the round
    EXPECT_EQ(main.runAll(), 0u);
    hand(4);
    EXPECT_EQ(main.runAll(), 1u);
    rig.queue.deliverWhenIdle();
    EXPECT_EQ(rig.seen, (std::vector<std::pair<std::string, int>>{{"inclinoData", 1}, {"inclinoData", 2}, {"inclinoData", 3}, {"inclinoData", 4}}));
}
