// Running statistics: the numbers a log row, the stability light and a
// captured reading report.

#include "stats/RunningStats.h"
#include "stats/WindowStats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace plovex::stats;
using namespace std::chrono_literals;

namespace {

// The textbook two-pass figures, to hold the running ones against.
struct TwoPass {
    double mean = 0, sd = 0, min = 0, max = 0;
    explicit TwoPass(const std::vector<double>& v)
    {
        min = max = v.front();
        for (double x : v) {
            mean += x;
            min = std::min(min, x);
            max = std::max(max, x);
        }
        mean /= static_cast<double>(v.size());
        for (double x : v)
            sd += (x - mean) * (x - mean);
        sd = v.size() > 1 ? std::sqrt(sd / static_cast<double>(v.size() - 1)) : 0.0;
    }
};

} // namespace

TEST(RunningStats, AgreesWithTwoPassFiguresAlsoFarFromZeroAndWhenMerged)
{
    // A tilt near 179 degrees with noise of a few thousandths: a sum of
    // squares would lose the spread; the running figures must not.
    std::vector<double> v;
    for (int i = 0; i < 100000; ++i)
        v.push_back(179.0 + 0.003 * std::sin(i * 0.7) + (i % 7) * 0.0005);
    RunningStats all, first, second;
    for (std::size_t i = 0; i < v.size(); ++i) {
        all.add(v[i]);
        (i < 33333 ? first : second).add(v[i]);
    }
    first.merge(second);
    const TwoPass want(v);
    for (const RunningStats* s : {&all, &first}) {
        EXPECT_EQ(s->count(), v.size());
        EXPECT_NEAR(s->mean(), want.mean, 1e-12);
        EXPECT_NEAR(s->stddev(), want.sd, 1e-12 + want.sd * 1e-9);
        EXPECT_EQ(s->min(), want.min);
        EXPECT_EQ(s->max(), want.max);
    }
}

TEST(RunningStats, EmptyAndSingleValues)
{
    RunningStats s;
    EXPECT_TRUE(std::isnan(s.mean()) && std::isnan(s.stddev()) && std::isnan(s.min()));
    RunningStats empty;
    s.merge(empty);
    EXPECT_TRUE(s.empty());
    s.add(-2.5);
    EXPECT_EQ(s.mean(), -2.5);
    EXPECT_EQ(s.stddev(), 0.0);
    empty.merge(s);
    EXPECT_EQ(empty.count(), 1u);
    EXPECT_EQ(empty.max(), -2.5);
}

TEST(WindowStats, HoldsOnlyTheLastSpanAndStartsAfreshWhenCleared)
{
    WindowStats w(2s);
    const auto t0 = WindowStats::Clock::time_point(1000s);
    for (int i = 0; i < 50; ++i) // one value every 100 ms: 0, 1, ..., 49
        w.add(t0 + i * 100ms, i);
    // Over (2.9 s, 4.9 s]: the values 30 to 49.
    auto s = w.at(t0 + 4900ms);
    EXPECT_EQ(s.count(), 20u);
    EXPECT_EQ(s.min(), 30);
    EXPECT_EQ(s.max(), 49);
    EXPECT_DOUBLE_EQ(s.mean(), 39.5);
    EXPECT_NEAR(w.covered(t0 + 4900ms).count(), 1.9, 1e-9);
    // Later, with nothing new: fewer values, then none.
    EXPECT_EQ(w.at(t0 + 5900ms).count(), 10u);
    EXPECT_TRUE(w.at(t0 + 7s).empty());
    w.add(t0 + 8s, 1.0);
    w.clear();
    EXPECT_TRUE(w.at(t0 + 8s).empty());
}
