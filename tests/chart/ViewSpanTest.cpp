// The span a file is shown over: zoom about a point, pan, and the limits.

#include "chart/ViewSpan.h"

#include <gtest/gtest.h>

#include <functional>

using plovex::chart::ViewSpan;

TEST(ViewSpan, ZoomsAboutAPointPansAndStaysWithinTheFile)
{
    // A file from 100 s to 1100 s; never narrower than 0.5 s.
    struct Case {
        const char* what;
        std::function<void(ViewSpan&)> act;
        double from, to;
    } cases[] = {
        {"zoom in about the middle", [](ViewSpan& v) { v.zoom(0.5, 600); }, 350, 850},
        {"the time under the cursor stays put", [](ViewSpan& v) { v.zoom(0.1, 200); }, 190, 290},
        {"zoom about the first row", [](ViewSpan& v) { v.zoom(0.25, 100); }, 100, 350},
        {"no narrower than the narrowest", [](ViewSpan& v) { v.zoom(1e-9, 600); }, 599.75, 600.25},
        {"no wider than the file", [](ViewSpan& v) { v.zoom(0.5, 600); v.zoom(8, 1000); }, 100, 1100},
        {"a pan stops at the end", [](ViewSpan& v) { v.zoom(0.5, 600); v.pan(1000); }, 600, 1100},
        {"and at the start", [](ViewSpan& v) { v.zoom(0.5, 600); v.pan(-1000); }, 100, 600},
        {"zoomed out near the end", [](ViewSpan& v) { v.zoom(0.1, 1090); v.zoom(4, 1100); }, 700, 1100},
        {"all again", [](ViewSpan& v) { v.zoom(0.01, 400); v.showAll(); }, 100, 1100},
    };
    for (const auto& c : cases) {
        ViewSpan v(100, 1100, 0.5);
        c.act(v);
        EXPECT_DOUBLE_EQ(v.from(), c.from) << c.what;
        EXPECT_DOUBLE_EQ(v.to(), c.to) << c.what;
    }
    EXPECT_TRUE(ViewSpan(100, 1100, 0.5).showsAll());
}
