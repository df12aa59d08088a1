#include "platform/MainThread.h"
#include "platform/Sleeper.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

TEST(RunLoop, RunsTasksFromOtherThreadsInPostingOrderThenGoesIdle)
{
    platform::RunLoop loop;
    std::vector<int> seen;
    int idleAfter = -1;
    loop.addIdleHandler([&] { idleAfter = static_cast<int>(seen.size()); });
    std::thread producer([&] {
        for (int i = 0; i < 1000; ++i)
            loop.post([&seen, i] { seen.push_back(i); });
    });
    producer.join();
    EXPECT_TRUE(loop.runUntil([&] { return seen.size() == 1000; }, 5s));
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(seen[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(idleAfter, 1000) << "idle handlers run only once the tasks are done";
}

TEST(RunLoop, PostNeverWaitsForTheLoopAndStopEndsARun)
{
    platform::RunLoop loop;
    std::atomic<int> posted{0};
    std::thread producer([&] {
        for (int i = 0; i < 100; ++i) {
            loop.post([] {});
            ++posted;
        }
    });
    producer.join(); // nobody ran the loop: posting still finished
    EXPECT_EQ(posted.load(), 100);
    EXPECT_EQ(loop.pendingTasks(), 100u);
    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        loop.stop();
    });
    EXPECT_TRUE(loop.runUntil([] { return false; }, 10s));
    stopper.join();
}

TEST(Sleeper, AStopRequestEndsTheWaitEarly)
{
    std::stop_source stop;
    std::thread t([&] {
        std::this_thread::sleep_for(20ms);
        stop.request_stop();
    });
    platform::ScaledSleeper sleeper(1.0);
    EXPECT_FALSE(sleeper.sleepFor(30.0, stop.get_token()));
    t.join();
    EXPECT_TRUE(platform::ScaledSleeper(0.0).sleepFor(1.0, std::stop_token{}));
}
