// The chart's history: every pixel column keeps the extremes of its values,
// and the line breaks where the link was down or the board silent.

#include "chart/ColumnReduction.h"

#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <tuple>

using plovex::chart::ColumnReduction;

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
        ColumnReduction r(10.0, 100.0);
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

TEST(ColumnReduction, TheLineBreaksWhereTheLinkWasDownOrTheBoardSilent)
{
    // A 10 s span over 10 pixels, 1 s each; values more than 2 s apart are not joined.
    // An event is a value at a time, or (no value) the link down at that time.
    const std::pair<double, std::optional<float>> events[] = {
        {0.5, 1}, {1.2, 2},                // joined
        {1.5, std::nullopt}, {2.5, 3},     // the link was down between: broken
        {3.5, 4}, {5.9, 5},                // 2.4 s of silence: broken
        {7.8, 6},                          // 1.9 s: joined, though a pixel lies between
        {8.1, 7}, {8.2, std::nullopt}, {8.6, 8}, // a break inside a pixel is within its stroke
    };
    // Per pixel: the least and greatest value it shows (an empty one the
    // empty extent's), and whether its first value starts a line.
    struct Pixel {
        float min, max;
        bool gap;
    };
    const Pixel none{INFINITY, -INFINITY, false};
    const Pixel expected[] = {{1, 1, true}, {2, 2, false}, {3, 3, true}, {4, 4, false}, none,
                              {5, 5, true}, none,          {6, 6, false}, {7, 8, false}, none};
    ColumnReduction r(10.0, 2.0);
    for (const auto& [t, value] : events)
        value ? r.add(t, *value, 0) : r.breakLine();
    const auto pixels = r.toPixels(9.99, 10);
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto& p = pixels.at(i);
        EXPECT_EQ(std::make_tuple(p.x.min, p.x.max, p.gapBefore),
                  std::make_tuple(expected[i].min, expected[i].max, expected[i].gap)) << "pixel " << i;
    }

    // The clock set back: the history starts afresh at the new time.
    r.add(9.5, 9, 0);
    r.add(4.5, 10, 0);
    const auto after = r.toPixels(4.9, 10);
    for (std::size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].x.count, i == 9 ? 1u : 0u) << "pixel " << i;
    EXPECT_TRUE(after[9].gapBefore);
}
