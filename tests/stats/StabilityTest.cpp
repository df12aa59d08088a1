// The stability light: on below the threshold, off above it, and off after
// a gap until N seconds of measurements have come again. Times are given,
// never waited for.

#include "stats/Stability.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace plovex::stats;
using namespace std::chrono_literals;

namespace {

const StabilityWatch::Clock::time_point kStableT0(1000s);

// 100 measurements a second from `from` for `seconds`: x and y alternate
// about 1.0 and -2.0 by their amplitudes (an even count has a sample spread
// of amplitude * sqrt(n / (n - 1))).
void feed(StabilityWatch& w, std::chrono::milliseconds from, int seconds, double ax, double ay)
{
    for (int i = 0; i < seconds * 100; ++i) {
        const double sign = i % 2 ? 1.0 : -1.0;
        w.add(kStableT0 + from + i * 10ms, 1.0 + sign * ax, -2.0 + sign * ay);
    }
}

} // namespace

TEST(Stability, OnOnlyWhileEachAngleSpreadsLessThanTheThreshold)
{
    // N 2 s, threshold 0.05 degrees: 200 alternating values spread 1.0025 times their amplitude.
    struct Case {
        double ax, ay;
        bool stable;
    } cases[] = {
        {0.0, 0.0, true},         {0.0498, 0.0, true},  {0.0, 0.0498, true}, {0.0499, 0.0499, false},
        {0.0502, 0.0, false},     {0.0, 0.0502, false}, {0.5, 0.0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ax << ", " << c.ay);
        StabilityWatch w({2.0, 0.05}, 2s);
        feed(w, 0ms, 3, c.ax, c.ay);
        const auto r = w.at(kStableT0 + 2990ms);
        EXPECT_EQ(r.stable, c.stable);
        EXPECT_NEAR(r.spreadX, c.ax * std::sqrt(200.0 / 199.0), 1e-9);
        EXPECT_NEAR(r.spreadY, c.ay * std::sqrt(200.0 / 199.0), 1e-9);
    }
}

TEST(Stability, AGapKeepsItOffUntilNSecondsOfMeasurementsCameAgain)
{
    StabilityWatch w({2.0, 0.05}, 1s);
    feed(w, 0ms, 1, 0.0, 0.0);
    EXPECT_FALSE(w.at(kStableT0 + 1990ms).stable); // only 1 s of measurements so far
    feed(w, 1000ms, 2, 0.0, 0.0);
    EXPECT_FALSE(w.at(kStableT0 + 1990ms).stable);
    EXPECT_TRUE(w.at(kStableT0 + 2000ms).stable);
    EXPECT_EQ(w.at(kStableT0 + 2000ms).settled, 2s);

    // The link goes down: off, and on again only 2 s after it came back.
    w.breakOff();
    EXPECT_FALSE(w.at(kStableT0 + 3000ms).stable);
    feed(w, 3000ms, 3, 0.0, 0.0);
    EXPECT_FALSE(w.at(kStableT0 + 4990ms).stable);
    EXPECT_TRUE(w.at(kStableT0 + 5000ms).stable);

    // The board falls silent: off once the gap time has passed with nothing...
    EXPECT_TRUE(w.at(kStableT0 + 6990ms).stable);
    EXPECT_FALSE(w.at(kStableT0 + 7000ms).stable);
    // ...and a measurement after more than the gap time starts afresh.
    StabilityWatch v({2.0, 0.05}, 1s);
    feed(v, 0ms, 3, 0.0, 0.0);
    feed(v, 4000ms, 1, 0.0, 0.0);
    EXPECT_FALSE(v.at(kStableT0 + 4990ms).stable);
    EXPECT_LT(v.at(kStableT0 + 4990ms).settled, 1s);
}

TEST(Stability, OtherSettingsStartAfreshAndUnreadableOnesGiveTheDefaults)
{
    StabilityWatch w({2.0, 0.05}, 2s);
    feed(w, 0ms, 3, 0.08, 0.0);
    EXPECT_FALSE(w.at(kStableT0 + 2990ms).stable);
    w.setSettings({1.0, 0.1});
    EXPECT_FALSE(w.at(kStableT0 + 2990ms).stable);
    feed(w, 3000ms, 1, 0.08, 0.0);
    EXPECT_TRUE(w.at(kStableT0 + 4000ms).stable);

    using S = StabilitySettings;
    EXPECT_EQ(S::fromText("3", "0.02"), (S{3.0, 0.02}));
    EXPECT_EQ(S::fromText(std::nullopt, std::nullopt), (S{S::kDefaultSeconds, S::kDefaultSpread}));
    for (const char* bad : {"", "0", "-1", "2s", "nan", "inf"})
        EXPECT_EQ(S::fromText(bad, bad), (S{S::kDefaultSeconds, S::kDefaultSpread})) << bad;
}
