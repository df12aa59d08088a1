// Aligned intervals: which samples each one holds, how long the link was up,
// and what silence and clock steps give.

#include "stats/IntervalAverager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace plovex::stats;
using namespace std::chrono_literals;
using Clock = IntervalAverager::Clock;

namespace {

const Clock::time_point kT0 = Clock::time_point(1796632200s); // a whole hour in UTC

struct Collector {
    std::vector<IntervalSummary> rows;
    IntervalAverager::Sink sink() { return [this](const IntervalSummary& s) { rows.push_back(s); }; }
};

// 1 s intervals from kT0, one series, its rows in c.rows.
struct OneSecond {
    Collector c;
    IntervalAverager a{1s, 1, kT0, c.sink()};
    void add(Clock::duration at, bool up = true)
    {
        const double v = 1.0;
        a.add(kT0 + at, up, {&v, 1});
    }
};

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

} // namespace

TEST(IntervalAverager, EachAlignedIntervalHoldsTheStatisticsOfItsOwnSamples)
{
    // 2 s intervals from 0.3 s past the hour, a sample every 100 ms with the
    // values i and -i (a NaN in the second series every tenth), the link
    // down from 2.5 s to 3.5 s.
    Collector c;
    IntervalAverager a(2s, 2, kT0 + 300ms, c.sink());
    std::vector<RunningStats> want(4 * 2);
    std::vector<uint64_t> counts(4);
    for (int i = 3; i < 70; ++i) {
        const auto t = kT0 + i * 100ms;
        const bool up = i < 25 || i >= 35;
        const double v[2] = {double(i), i % 10 == 0 ? std::nan("") : -double(i)};
        a.add(t, up, v);
        if (!up)
            continue;
        const std::size_t k = static_cast<std::size_t>(i / 20);
        ++counts[k];
        want[2 * k].add(v[0]);
        if (!std::isnan(v[1]))
            want[2 * k + 1].add(v[1]);
    }
    a.finish(kT0 + 7100ms);
    ASSERT_EQ(c.rows.size(), 4u);
    const double starts[] = {0.3, 2, 4, 6}, lengths[] = {1.7, 2, 2, 1.1};
    for (std::size_t k = 0; k < 4; ++k) {
        const auto& r = c.rows[k];
        EXPECT_DOUBLE_EQ(seconds(r.start - kT0), starts[k]) << k;
        EXPECT_DOUBLE_EQ(seconds(r.length), lengths[k]) << k;
        EXPECT_EQ(r.count, counts[k]) << k;
        for (std::size_t s = 0; s < 2; ++s) {
            EXPECT_EQ(r.series[s].count(), want[2 * k + s].count()) << k << s;
            EXPECT_DOUBLE_EQ(r.series[s].mean(), want[2 * k + s].mean()) << k << s;
            EXPECT_DOUBLE_EQ(r.series[s].min(), want[2 * k + s].min()) << k << s;
            EXPECT_DOUBLE_EQ(r.series[s].max(), want[2 * k + s].max()) << k << s;
        }
    }
}

TEST(IntervalAverager, LinkUpIsTheShareOfTheIntervalTheLinkWasUp)
{
    struct Sample { Clock::duration at; bool up; };
    struct Case {
        const char* what;
        std::vector<Sample> samples;
        Clock::duration end; // closeUntil
        std::vector<double> linkUp;
        std::vector<uint64_t> counts;
    };
    std::vector<Sample> everyTenth;
    for (int i = 0; i < 30; ++i)
        everyTenth.push_back({i * 100ms, true});
    const Case cases[] = {
        {"up throughout", everyTenth, 3500ms, {1, 1, 1}, {10, 10, 10}},
        {"down from the middle", {{0ms, true}, {500ms, false}, {1500ms, true}}, 2500ms, {0.5, 0.5}, {1, 1}},
        // Up until a reply is a second overdue, then nothing: the silent
        // interval is a row of its own, with nothing in it.
        {"falls silent", {{200ms, true}}, 3500ms, {0.8, 0.2, 0}, {1, 0, 0}},
        {"down before the first sample", {{400ms, true}, {800ms, true}}, 1500ms, {0.6}, {2}},
        {"link-down records only", {{0ms, false}, {1000ms, false}}, 2500ms, {0, 0}, {0, 0}},
    };
    for (const auto& k : cases) {
        OneSecond r;
        auto& c = r.c;
        for (const auto& s : k.samples)
            r.add(s.at, s.up);
        r.a.closeUntil(kT0 + k.end);
        ASSERT_EQ(c.rows.size(), k.linkUp.size()) << k.what;
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            EXPECT_NEAR(c.rows[i].linkUp, k.linkUp[i], 1e-9) << k.what << " " << i;
            EXPECT_EQ(c.rows[i].count, k.counts[i]) << k.what << " " << i;
            EXPECT_EQ(c.rows[i].series[0].empty(), k.counts[i] == 0) << k.what << " " << i;
        }
    }
}

TEST(IntervalAverager, AnIntervalClosesOnItsNextSampleOrHalfASecondAfterItsEnd)
{
    OneSecond r;
    auto& rows = r.c.rows;
    r.add(100ms);
    r.a.closeUntil(kT0 + 1499ms);
    EXPECT_TRUE(rows.empty()); // a sample of it may still be on its way
    r.a.closeUntil(kT0 + 1500ms);
    EXPECT_EQ(rows.size(), 1u);
    r.add(1400ms); // late: counted in the open interval
    r.add(2000ms);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].count, 1u);
    r.a.finish(kT0 + 2250ms);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_DOUBLE_EQ(seconds(rows[2].length), 0.25);
    EXPECT_EQ(rows[2].count, 1u);
}

TEST(IntervalAverager, AClockStepGivesOneRowForTheGapOrStartsAfresh)
{
    // Ten hours ahead (a clock set at boot): the open interval, one empty row
    // over the gap up to the new interval, then on as before.
    OneSecond ahead;
    ahead.add(100ms);
    ahead.add(10h + 300ms);
    ahead.add(10h + 1s);
    const auto& rows = ahead.c.rows;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].count, 1u);
    EXPECT_EQ(rows[2].count, 1u);
    EXPECT_EQ(rows[1].start, kT0 + 1s);
    EXPECT_EQ(rows[1].length, 10h - 1s);
    EXPECT_EQ(rows[1].count, 0u);
    EXPECT_EQ(rows[2].start, kT0 + 10h);
    // A minute back: the open interval ends where it got to, and the next
    // begins at the new time.
    OneSecond back;
    back.add(400ms);
    back.add(-60s + 700ms);
    back.a.finish(kT0 - 59s);
    ASSERT_EQ(back.c.rows.size(), 2u);
    EXPECT_EQ(back.c.rows[0].length, 400ms);
    EXPECT_EQ(back.c.rows[1].start, kT0 - 60s + 700ms);
    EXPECT_EQ(back.c.rows[1].length, 300ms);
}
