// The chart's history: every pixel column keeps the extremes of its values.

#include "chart/ColumnReduction.h"

#include <gtest/gtest.h>

#include <vector>

using plovex::chart::ColumnReduction;

TEST(ColumnReduction, EachPixelColumnKeepsItsMinimumAndMaximum)
{
    struct Value {
        double t;
        float x;
    };
    // A 10 s span over 4 pixels: 2.5 s a pixel, (now - 10 s, now].
    const std::vector<Value> values = {{0.5, 0}, {1.0, 5}, {1.1, -3}, {3.0, 1}, {6.0, 2}, {9.9, -1}, {14.9, 7}};
    const struct {
        double now;
        std::vector<std::pair<float, float>> expected; // min, max per pixel; an empty column as {0, 0}
    } cases[] = {
        {9.99, {{-3, 5}, {1, 1}, {2, 2}, {-1, -1}}},
        {15.0, {{2, 2}, {-1, -1}, {0, 0}, {7, 7}}}, // the spike and what came before 5 s are gone
    };
    for (const auto& c : cases) {
        ColumnReduction r(10.0);
        for (const auto& v : values)
            if (v.t <= c.now)
                r.add(v.t, v.x, -v.x);
        const auto pixels = r.toPixels(c.now, 4);
        ASSERT_EQ(pixels.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i) {
            const auto& [lo, hi] = c.expected[i];
            if (lo == 0 && hi == 0) {
                EXPECT_TRUE(pixels[i].x.empty()) << c.now << " pixel " << i;
                continue;
            }
            EXPECT_EQ(pixels[i].x.min, lo) << c.now << " pixel " << i;
            EXPECT_EQ(pixels[i].x.max, hi) << c.now << " pixel " << i;
            EXPECT_EQ(pixels[i].y.min, -hi) << c.now << " pixel " << i;
            EXPECT_EQ(pixels[i].y.max, -lo) << c.now << " pixel " << i;
        }
    }
}
