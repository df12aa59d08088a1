// Running statistics: the numbers a log row, the stability light and a
// captured reading report.

#include "stats/RunningStats.h"
#include "stats/WindowStats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

using namespace plovex::stats;
using namespace std::chrono_literals;

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
    // The textbook two-pass figures, to hold the running ones against.
    const double mean = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    double squares = 0;
    for (double x : v)
        squares += (x - mean) * (x - mean);
    const double sd = std::sqrt(squares / static_cast<double>(v.size() - 1));
    for (const RunningStats* s : {&all, &first}) {
        EXPECT_EQ(s->count(), v.size());
        EXPECT_NEAR(s->mean(), mean, 1e-12);
        EXPECT_NEAR(s->stddev(), sd, 1e-12 + sd * 1e-9);
        EXPECT_EQ(s->min(), *std::min_element(v.begin(), v.end()));
        EXPECT_EQ(s->max(), *std::max_element(v.begin(), v.end()));
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
