// Looking back at a file: the overview keeps every column's extremes however
// often its columns widen, the zoom reads single rows back, and the line
// breaks where the link was down or time jumped.

#include "chart/RecordingHistory.h"
#include "record/LocalTime.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace plovex;
using namespace plovex::chart;

namespace {

Extent one(float v)
{
    Extent e;
    e.add(v);
    return e;
}

const std::string kHeader = "time,elapsed_s,x_deg,y_deg,temp_c,xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,yGravityKal,"
                            "yRaw,yKal,temp,packetCount,link\n";
const double kT0 = 1796632200.0; // 2026-12-07 08:30:00 UTC

// A recording row at kT0 + ms.
std::string row(long ms, double x, double y, bool up = true)
{
    const auto t = record::WallClock::from_time_t(static_cast<std::time_t>(kT0)) + std::chrono::milliseconds(ms);
    char values[96];
    std::snprintf(values, sizeof values, "%.4f,%.4f,23.5,0,0,0,0,0,0,0,0,235", x, y);
    return record::isoLocalTime(t) + ",0.000," + (up ? std::string(values) : std::string(",,,,,,,,,,,")) + ",0," +
           (up ? "up" : "down") + "\n";
}

} // namespace

TEST(SpanReduction, EveryPixelKeepsTheExtremesOfItsValuesHoweverOftenColumnsWiden)
{
    // 20000 values 10 ms apart into at most 64 columns: the columns widen
    // nine times. Noise, with one-value spikes the zoom must not lose.
    SpanReduction r(0.0, 0.001, 64);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-1, 1);
    std::vector<std::pair<double, float>> values;
    for (int i = 0; i < 20000; ++i) {
        const float v = i % 4999 == 17 ? 50.0f + static_cast<float>(i) / 1000 : noise(random);
        values.emplace_back(i * 0.01, v);
        r.add(i * 0.01, one(v), one(-v), {static_cast<uint64_t>(i), 0});
    }
    EXPECT_LE(r.columnCount(), 64u);
    for (const auto& [from, to, pixels] : {std::tuple{0.0, 200.0, 7}, {0.0, 200.0, 300}, {49.0, 101.0, 13}}) {
        SCOPED_TRACE(testing::Message() << from << ".." << to << " over " << pixels);
        const auto shown = r.toPixels(from, to, pixels);
        // Each value lands in the pixel its column begins in: find it and check it is inside.
        uint32_t counted = 0;
        for (const auto& p : shown)
            counted += p.x.count;
        uint32_t expected = 0;
        for (const auto& [t, v] : values) {
            const double begins = std::floor(t / r.columnSeconds()) * r.columnSeconds();
            if (begins + r.columnSeconds() <= from || begins >= to)
                continue;
            ++expected;
            const auto p = static_cast<std::size_t>(std::clamp(std::floor((begins - from) / ((to - from) / pixels)), 0.0,
                                                               pixels - 1.0));
            EXPECT_LE(shown[p].x.min, v);
            EXPECT_GE(shown[p].x.max, v);
            EXPECT_GE(shown[p].y.max, -v);
            if (v > 10) { // a spike is its pixel's maximum
                EXPECT_EQ(shown[p].x.max, v) << "spike at " << t;
            }
        }
        EXPECT_EQ(counted, expected) << "every value counted once";
    }
}

TEST(SpanReduction, BreaksTheLineWhereToldAndKeepsTimeFromGoingBack)
{
    SpanReduction r(0.0, 1.0, 100);
    r.add(0.5, one(1), one(1), {});
    r.add(1.5, one(2), one(2), {});
    r.breakLine();
    r.add(5.5, one(3), one(3), {55, 6});
    r.add(4.0, one(4), one(4), {}); // a clock set back: taken at 5.5
    const auto p = r.toPixels(0, 10, 10);
    EXPECT_TRUE(p[0].gapBefore);
    EXPECT_FALSE(p[1].gapBefore);
    EXPECT_TRUE(p[5].gapBefore);
    EXPECT_EQ(p[5].x.count, 2u);
    EXPECT_EQ(p[4].x.count, 0u);
    EXPECT_EQ(r.positionAt(2.0)->offset, 55u); // the first value from column 2 on
    EXPECT_FALSE(r.positionAt(6.0));
}

TEST(RecordingHistory, OpensAFileIntoABoundedOverviewAndZoomsToSingleRows)
{
    // 5 minutes at 7 ms a row (42858 rows; more than the finest columns
    // hold) with a spike, the board silent for 10 s, and the link down for a minute.
    testsupport::TempDir dir;
    std::string file = kHeader;
    uint64_t rows = 0, down = 0;
    for (long ms = 0; ms < 5 * 60 * 1000; ms += 7) {
        if (ms >= 100000 && ms < 110000)
            continue; // silent
        const bool up = ms < 200000 || ms >= 260000;
        file += row(ms, ms == 50001 ? 45.0 : std::sin(ms / 1000.0), -1.0, up);
        ++rows;
        down += up ? 0 : 1;
    }
    testsupport::writeFile(dir / "day.csv", file);
    std::string error;
    const auto history = RecordingHistory::open((dir / "day.csv").string(), 2.0, &error);
    ASSERT_TRUE(history) << error;
    const HistorySummary& s = history->summary();
    EXPECT_EQ(s.rows, rows);
    EXPECT_EQ(s.breaks, 2u);
    EXPECT_EQ(s.emptyRows, down);
    EXPECT_EQ(s.origin, record::WallClock::from_time_t(static_cast<std::time_t>(kT0)));
    EXPECT_LE(history->overview().columnCount(), RecordingHistory::kOverviewColumns);
    EXPECT_GT(history->overview().columnSeconds(), 0.001) << "the file is longer than the finest columns hold";

    // The whole file at 600 pixels: the spike is there, and the gaps too.
    const auto whole = history->overview().toPixels(0, s.last, 600);
    float highest = -1;
    int gaps = 0;
    for (const auto& p : whole) {
        highest = std::max(highest, p.x.max);
        gaps += p.gapBefore ? 1 : 0;
    }
    EXPECT_EQ(highest, 45.0f);
    EXPECT_EQ(gaps, 3); // the start, after the silence, after the link down

    // 0.2 s around the spike, a millisecond a pixel: each row read back
    // alone, exactly (the pixels begin half a millisecond before a row can).
    const auto detail = history->detail(49.9005, 50.1005, 0.001, &error);
    ASSERT_TRUE(detail) << error;
    const auto pixels = detail->toPixels(49.9005, 50.1005, 200);
    int shownRows = 0;
    for (const auto& p : pixels) {
        ASSERT_LE(p.x.count, 1u);
        shownRows += static_cast<int>(p.x.count);
        if (p.x.count) {
            EXPECT_EQ(p.x.min, p.x.max);
        }
    }
    EXPECT_EQ(shownRows, 29); // 7 ms apart
    EXPECT_EQ(pixels[100].x.max, 45.0f); // 50.001 s

    const auto near = history->rowNear(50.003, &error);
    ASSERT_TRUE(near) << error;
    EXPECT_EQ(near->x.mean, 45.0);
    EXPECT_EQ(near->line, static_cast<uint64_t>(50001 / 7 + 2));
}

TEST(RecordingHistory, BreaksAnAveragedLogAtEmptyIntervalsAndJumps)
{
    testsupport::TempDir dir;
    std::string file = "time,interval_s,count,x_deg_mean,x_deg_sd,x_deg_min,x_deg_max,y_deg_mean,y_deg_sd,y_deg_min,"
                       "y_deg_max,temp_c_mean,temp_c_sd,temp_c_min,temp_c_max,link_up\n";
    const auto at = [](int s) {
        return record::isoLocalTime(record::WallClock::from_time_t(static_cast<std::time_t>(kT0) + s));
    };
    for (int s : {0, 1, 2, 3, 10, 11}) // a jump after 3 s: the logger was stopped
        file += at(s) + ",1.000,144,1.0,0.1," + std::to_string(-s) + "," + std::to_string(s) + ",2.0,0,2,2,23,0,23,23,1.000\n";
    file += at(12) + ",1.000,0,,,,,,,,,,,,,0.000\n";
    file += at(13) + ",1.000,144,1.0,0.1,0.5,1.5,2.0,0,2,2,23,0,23,23,1.000\n";
    testsupport::writeFile(dir / "avg.csv", file);
    std::string error;
    const auto history = RecordingHistory::open((dir / "avg.csv").string(), 2.0, &error);
    ASSERT_TRUE(history) << error;
    EXPECT_EQ(history->summary().kind, record::RecordingKind::Averaged);
    EXPECT_EQ(history->summary().breaks, 2u);
    EXPECT_EQ(history->summary().measurements, 7u * 144);
    const auto p = history->overview().toPixels(0, 14, 14);
    EXPECT_EQ(p[3].x.min, -3.0f); // an interval's own minimum and maximum, not its mean
    EXPECT_EQ(p[3].x.max, 3.0f);
    EXPECT_TRUE(p[10].gapBefore);
    EXPECT_TRUE(p[13].gapBefore);
    EXPECT_FALSE(p[11].gapBefore);
    EXPECT_DOUBLE_EQ(p[1].x.sum / p[1].x.count, 1.0);

    // A bad row stops the opening with its line; a cancel stops it too.
    testsupport::writeFile(dir / "bad.csv", file + at(14) + ",1.000,x,,,,,,,,,,,,,0\n");
    EXPECT_FALSE(RecordingHistory::open((dir / "bad.csv").string(), 2.0, &error));
    EXPECT_EQ(error, "line 10: count 'x' is not a whole number");
}
