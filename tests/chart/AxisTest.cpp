// The chart's axes: tick steps a reader takes in at a glance for every span
// and range, labels with the decimals the step needs, and a fixed range that
// marks what lies beyond it instead of drawing it along the edge.

#include "chart/AxisTicks.h"
#include "chart/Clipping.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace plovex::chart;

TEST(AxisTicks, StepsAreNiceAndKeepTheLabelsApart)
{
    struct Case {
        double range, pixels, minSpacing, step;
        int decimals;
    };
    const Case values[] = {
        {2.0, 200, 40, 0.5, 1},     // ±1°
        {20.0, 150, 30, 5.0, 0},    // ±10°
        {0.03, 100, 25, 0.01, 2},   // a quiet board in degrees
        {0.034, 100, 25, 0.01, 2},
        {0.05, 100, 25, 0.02, 2},
        {1000.0, 400, 40, 100, 0},  // mm/m at a steep tilt
        {7.0, 100, 1000, 10, 0},    // no room for two ticks: one step over it all
        {0.0, 100, 20, 1, 0},       // nothing to scale
    };
    for (const Case& c : values) {
        const double step = valueTickStep(c.range, c.pixels, c.minSpacing);
        EXPECT_DOUBLE_EQ(step, c.step) << c.range << " over " << c.pixels;
        EXPECT_EQ(decimalsForStep(step), c.decimals) << step;
        if (c.range > 0) {
            EXPECT_GE(step * c.pixels / c.range, std::min(c.minSpacing, c.pixels) * (1 - 1e-9)) << c.range;
        }
    }

    // The chart's spans, 600 pixels wide, labels 70 pixels apart: every tick a
    // clock step, and as many as fit.
    const std::tuple<double, double> spans[] = {{10, 2}, {60, 10}, {600, 120}, {3600, 600}};
    for (const auto& [span, step] : spans)
        EXPECT_EQ(timeTickStep(span, 600, 70), step) << span;
    EXPECT_EQ(timeTickStep(10, 100, 70), 10) << "narrow: one tick a span";
}

TEST(AxisTicks, TicksFallOnMultiplesOfTheStepShiftedByTheOffset)
{
    using V = std::vector<double>;
    const std::tuple<double, double, double, double, V> cases[] = {
        {-1.0, 1.0, 0.5, 0.0, {-1.0, -0.5, 0.0, 0.5, 1.0}}, // both ends included
        {-0.3, 0.3, 0.2, 0.0, {-0.2, 0.0, 0.2}},
        {100, 130, 10, 5, {105, 115, 125}},                 // minutes of a zone 5 s off UTC, so to speak
        {3599.5, 3600.5, 60, 0, {3600}},
        {1.0, -1.0, 0.5, 0.0, {}},                          // an empty range
        {0.0, 1e6, 0.001, 0.0, {}},                         // too many to draw
    };
    for (const auto& [lo, hi, step, offset, ticks] : cases) {
        const V got = ticksWithin(lo, hi, step, offset);
        ASSERT_EQ(got.size(), ticks.size()) << lo << ".." << hi;
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], ticks[i], 1e-9) << lo << ".." << hi;
    }
}

TEST(Clipping, WhatLiesBeyondAFixedRangeIsMarkedNotDrawn)
{
    struct Case {
        double min, max;
        bool shown;
        double low, high;
        bool above, below;
    };
    // The range -10 .. 10.
    const Case cases[] = {
        {-2, 3, true, -2, 3, false, false},
        {5, 14, true, 5, 10, true, false},      // runs out at the top: drawn to the edge, marked
        {12, 14, false, 0, 0, true, false},     // wholly above: nothing along the edge
        {-30, -11, false, 0, 0, false, true},
        {-12, 12, true, -10, 10, true, true},
        {10, 10, true, 10, 10, false, false},   // on the edge is within
    };
    for (const Case& c : cases) {
        const ClippedExtent e = clipToRange(c.min, c.max, -10, 10);
        EXPECT_EQ(std::tie(e.shown, e.above, e.below), std::tie(c.shown, c.above, c.below)) << c.min << ".." << c.max;
        if (c.shown) {
            EXPECT_EQ(std::pair(e.low, e.high), std::pair(c.low, c.high)) << c.min << ".." << c.max;
        }
    }
}
