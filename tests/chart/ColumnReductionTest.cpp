// The chart's history: every pixel column keeps the extremes of its values.

#include "chart/ColumnReduction.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(ColumnReduction, EachPixelColumnKeepsItsMinimumAndMaximum)
{
    // A 10 s span over 4 pixels: 2.5 s a pixel, (now - 10 s, now].
    const std::vector<std::pair<double, float>> values = {{0.5, 0}, {1.0, 5}, {1.1, -3}, {3.0, 1},
                                                          {6.0, 2}, {9.9, -1}, {14.9, 7}};
    // Per now: min and max per pixel; an empty pixel keeps the empty extent's.
    const std::pair<float, float> none{INFINITY, -INFINITY};
    const std::pair<double, std::vector<std::pair<float, float>>> cases[] = {
        {9.99, {{-3, 5}, {1, 1}, {2, 2}, {-1, -1}}},
        {15.0, {{2, 2}, {-1, -1}, none, {7, 7}}}, // the spike and all before 5 s are gone
    };
    for (const auto& [now, expected] : cases) {
        plovex::chart::ColumnReduction r(10.0);
        for (const auto& [t, x] : values)
            if (t <= now)
                r.add(t, x, -x);
        const auto pixels = r.toPixels(now, 4);
        for (std::size_t i = 0; i < 4; ++i) {
            const auto& [lo, hi] = expected.at(i);
            EXPECT_EQ(std::make_tuple(pixels.at(i).x.min, pixels[i].x.max, pixels[i].y.min, pixels[i].y.max),
                      std::make_tuple(lo, hi, -hi, -lo)) << now << " pixel " << i;
        }
    }
}
