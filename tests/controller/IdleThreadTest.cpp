// The idle thread's cadence: 0.5 s sleeps, a counter 0..101 and a fresh
// batch of temporaries after every 102 sleeps.

#include "tests/controller/ControllerRig.h"

#include <gtest/gtest.h>

namespace controllertest {
namespace {

using namespace std::chrono_literals;

TEST(IdleThread, ReplacesItsPoolEvery102SleepsOfHalfASecond)
{
    ControllerRig rig;
    auto& ctl = rig.start();
    auto& sleeper = *rig.idleSleeper;

    // Lets n more sleeps end and waits until the thread is in the next one.
    auto sleepsEnd = [&](int n) {
        const int target = sleeper.entered() + n;
        sleeper.allow(n);
        ASSERT_TRUE(testsupport::waitFor([&] { return sleeper.entered() == target; }, 10s));
    };

    ASSERT_TRUE(testsupport::waitFor([&] { return sleeper.entered() == 1; }, 10s));
    sleepsEnd(100);
    EXPECT_EQ(ctl.idleCounter(), 100);
    sleepsEnd(1);
    EXPECT_EQ(ctl.idleCounter(), 101);
    EXPECT_EQ(ctl.idlePoolReplacements(), 0u);
    sleepsEnd(1);
    EXPECT_EQ(ctl.idleCounter(), 0);
    EXPECT_EQ(ctl.idlePoolReplacements(), 1u);
    sleepsEnd(101);
    EXPECT_EQ(ctl.idlePoolReplacements(), 1u);
    sleepsEnd(1);
    EXPECT_EQ(ctl.idlePoolReplacements(), 2u);
    EXPECT_EQ(ctl.idleCounter(), 0);

    for (const double seconds : sleeper.durations())
        ASSERT_EQ(seconds, 0.5);
    // The destructor stops the thread in the middle of a sleep and joins it.
    rig.controller.reset();
    EXPECT_EQ(sleeper.entered(), 205);
}

} // namespace
} // namespace controllertest
