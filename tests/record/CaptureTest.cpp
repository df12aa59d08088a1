// Captured readings: what is averaged (only the capture's own span), its
// figures, why a capture fails, the wait for stability, and the written forms.

#include "record/Capture.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace plovex;
using namespace plovex::record;
using namespace std::chrono_literals;

namespace {

const Capture::Clock::time_point kCaptureT0 = WallClock::from_time_t(1796632200); // 2026-12-07 08:30:00 UTC

Measurement at(std::chrono::milliseconds t, int xKal, int yKal, int temp = 235, bool up = true)
{
    Measurement m;
    m.time = kCaptureT0 + t;
    m.linkUp = up;
    m.raw[Measurement::kXKal] = xKal;
    m.raw[Measurement::kYKal] = yKal;
    m.raw[Measurement::kTemp] = temp;
    return m;
}

CaptureSettings settings(double seconds, bool waitStable = false)
{
    CaptureSettings s;
    s.seconds = std::chrono::duration<double>(seconds);
    s.waitStable = waitStable;
    s.waitLimit = 10s;
    s.stability = {1.0, 0.05};
    s.gap = 2s;
    s.label = "pier 3";
    return s;
}

} // namespace

TEST(Capture, AveragesOnlyTheMeasurementsOfItsOwnSpan)
{
    // Every 10 ms from 0.5 s before to 0.5 s after a 1 s capture begun at 0:
    // X alternates 100 and 104 counts inside it, 9000 outside; Y is -16383.
    Capture c(settings(1.0), kCaptureT0);
    for (int ms = -500; ms <= 1500 && !c.finished(); ms += 10) {
        const bool inside = ms > 0 && ms <= 1000;
        c.add(at(std::chrono::milliseconds(ms), inside ? (ms % 20 ? 104 : 100) : 9000, -16383, inside ? 230 + ms / 100 : 0));
    }
    ASSERT_EQ(c.state(), Capture::State::Done);
    const CapturedReading& r = c.reading();
    EXPECT_EQ(r.start, kCaptureT0);
    EXPECT_EQ(r.count, 100u);
    const auto& x = r.axis(board::TiltUnit::Degrees, 0);
    EXPECT_NEAR(x.mean(), 102 * 90.0 / 16383, 1e-5); // the counts' float degrees
    EXPECT_NEAR(x.stddev(), 2 * 90.0 / 16383 * std::sqrt(100.0 / 99.0), 1e-6);
    EXPECT_NEAR(x.min(), 100 * 90.0 / 16383, 1e-6);
    EXPECT_NEAR(x.max(), 104 * 90.0 / 16383, 1e-6);
    EXPECT_DOUBLE_EQ(r.axis(board::TiltUnit::Degrees, 1).mean(), -90.0);
    EXPECT_NEAR(r.axis(board::TiltUnit::Milliradians, 0).mean(), 102 * 90.0 / 16383 * M_PI / 180 * 1000, 1e-3);
    EXPECT_TRUE(r.axis(board::TiltUnit::Percent, 1).empty()); // a grade of 90 degrees has no value
    EXPECT_NEAR(r.temperature.min(), 23.0, 1e-6);
    EXPECT_NEAR(r.temperature.max(), 24.0, 1e-6);
}

TEST(Capture, FailsSayingWhyWhenTheLinkWasDownOrTheBoardSilent)
{
    struct Case {
        std::vector<Measurement> measurements;
        std::chrono::milliseconds tick;
        std::string failure; // empty: done
    } cases[] = {
        {{at(100ms, 1, 1), at(200ms, 1, 1, 0, false), at(300ms, 1, 1)}, 5s, "the link was down during the capture"},
        {{at(100ms, 1, 1), at(2200ms, 1, 1)}, 5s, "the board sent nothing for 2.1 s during the capture"},
        {{at(100ms, 1, 1)}, 2200ms, "the board sent nothing for 2.1 s during the capture"},
        {{}, 2001ms, "the board sent nothing for 2.0 s during the capture"},
        // A silence that begins near the end still leaves the span covered.
        {{at(100ms, 1, 1), at(2000ms, 1, 1), at(2900ms, 1, 1), at(3100ms, 1, 1)}, 3100ms, ""},
        {{at(100ms, 1, 1), at(2000ms, 1, 1)}, 5100ms, ""},
        {{at(100ms, 1, 1), at(2000ms, 1, 1), at(3100ms, 1, 1, 0, false)}, 3200ms, ""},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.failure);
        Capture c(settings(3.0), kCaptureT0);
        for (const auto& m : k.measurements)
            c.add(m);
        c.tick(kCaptureT0 + k.tick);
        ASSERT_TRUE(c.finished());
        EXPECT_EQ(c.failure(), k.failure);
        EXPECT_EQ(c.state(), k.failure.empty() ? Capture::State::Done : Capture::State::Failed);
    }
}

TEST(Capture, WaitsForStabilityThenAveragesTheSpanAfterIt)
{
    // Moving (X alternating +-1000 counts) for 2 s, then still at 50:
    // stable 1 s into the stillness, at 3.0 s; the average begins there.
    Capture c(settings(0.5, true), kCaptureT0);
    for (int ms = 10; ms <= 4000 && !c.finished(); ms += 10)
        c.add(at(std::chrono::milliseconds(ms), ms <= 2000 ? (ms % 20 ? 1000 : -1000) : 50, 0));
    ASSERT_EQ(c.state(), Capture::State::Done);
    EXPECT_EQ(c.reading().start, kCaptureT0 + 3000ms);
    EXPECT_EQ(c.reading().count, 50u);
    EXPECT_EQ(c.reading().axis(board::TiltUnit::Degrees, 0).stddev(), 0.0);

    // Never still: it gives up at the limit and says how far it was.
    Capture moving(settings(0.5, true), kCaptureT0);
    for (int ms = 10; ms <= 10000; ms += 10)
        moving.add(at(std::chrono::milliseconds(ms), ms % 20 ? 20 : 0, 0));
    moving.tick(kCaptureT0 + 10001ms);
    EXPECT_EQ(moving.failure(), "not stable within 10 s: the spread over the last 1.0 s is 0.0552° in X and "
                                "0.0000° in Y, above 0.0500°");
    Capture unplugged(settings(0.5, true), kCaptureT0);
    unplugged.add(at(9000ms, 0, 0, 0, false));
    unplugged.tick(kCaptureT0 + 10001ms);
    EXPECT_EQ(unplugged.failure(), "not stable within 10 s: the link is down");
}

TEST(Capture, WrittenFormsCarryTheChosenUnitAndQuoteTheLabel)
{
    testsupport::ScopedEnv tz("TZ", "UTC0");
    ::tzset();
    CapturedReading r;
    r.start = kCaptureT0;
    r.length = 2s;
    r.label = "pier \"3\", east";
    r.add(at(0ms, 8192, 0, 235));
    r.add(at(0ms, 8194, 0, 236));
    EXPECT_EQ(capturedCsvHeader(board::TiltUnit::Milliradians),
              "time,label,seconds,count,x_deg_mean,x_deg_sd,x_deg_min,x_deg_max,y_deg_mean,y_deg_sd,y_deg_min,"
              "y_deg_max,x_mrad_mean,x_mrad_sd,x_mrad_min,x_mrad_max,y_mrad_mean,y_mrad_sd,y_mrad_min,y_mrad_max,"
              "temp_c_mean,temp_c_sd,temp_c_min,temp_c_max\n");
    EXPECT_EQ(capturedCsvRow(r, board::TiltUnit::Degrees),
              "2026-12-07T08:30:00.000+00:00,\"pier \"\"3\"\", east\",2.000,2,45.00824,0.00777,45.00275,45.01373,"
              "0.00000,0.00000,0.00000,0.00000,23.55,0.07,23.50,23.60\n");
    const std::string json = capturedJson(r, board::TiltUnit::Percent);
    EXPECT_EQ(json.substr(0, 115), "{\"time\":\"2026-12-07T08:30:00.000+00:00\",\"label\":\"pier \\\"3\\\", east\","
                                   "\"seconds\":2.000,\"count\":2,\"x_deg_mean\":45.00824,");
    EXPECT_NE(json.find(",\"x_percent_max\":100.04795,"), std::string::npos) << json;
    EXPECT_EQ(capturedText(r, board::TiltUnit::Degrees),
              "2026-12-07T08:30:00.000+00:00  pier \"3\", east  2 measurements in 2.0 s  X 45.00824° sd 0.00777 "
              "(45.00275 to 45.01373)  Y 0.00000° sd 0.00000 (0.00000 to 0.00000)  temp 23.55 °C sd 0.07 (23.50 to 23.60)\n");
    CapturedReading none;
    EXPECT_NE(capturedJson(none, board::TiltUnit::Degrees).find("\"x_deg_mean\":null"), std::string::npos);

    // Relative to a zero, as the window's readouts show the tilt: the zero
    // is taken off and written beside.
    CapturedReading zeroed;
    zeroed.start = kCaptureT0;
    zeroed.zeroed = true;
    zeroed.zeroX = 45.0;
    zeroed.zeroY = -1.5;
    zeroed.add(at(0ms, 8192, 0, 235));
    EXPECT_EQ(capturedCsvRow(zeroed, board::TiltUnit::Degrees, true),
              "2026-12-07T08:30:00.000+00:00,,0.000,1,0.00275,0.00000,0.00275,0.00275,1.50000,0.00000,1.50000,1.50000,"
              "23.50,0.00,23.50,23.50,45.00000,-1.50000\n");
    EXPECT_EQ(capturedCsvRow(r, board::TiltUnit::Degrees, true).substr(140), ",23.60,,\n"); // no zero: empty
    EXPECT_NE(capturedJson(zeroed, board::TiltUnit::Degrees).find(",\"x_zero_deg\":45.00000,\"y_zero_deg\":-1.50000}"),
              std::string::npos);
}
