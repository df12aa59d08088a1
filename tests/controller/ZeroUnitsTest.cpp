// A zero and a unit, set in one run, shape the display of the next.

#include "tests/controller/ControllerRig.h"

#include "link/Records.h"

#include <gtest/gtest.h>

#include <functional>

namespace controllertest {

TEST(ZeroUnits, ZeroAndUnitSurviveARestart)
{
    // Zeroed at X 45.00274658203125°, Y -8.99835205078125°; measured after the restart: X 90°, Y 0°.
    const struct {
        bool x, y, clear;
        board::TiltUnit unit;
        float xGauge, xValue, yGauge, yValue;
    } cases[] = {
        {true, false, false, board::TiltUnit::Milliradians, 44.99725341796875f, 785.3502197265625f, 0.0f, 0.0f},
        {true, true, false, board::TiltUnit::Percent, 44.99725341796875f, 99.99040985107422f, 8.99835205078125f, 15.835495948791504f},
        {true, true, true, board::TiltUnit::Degrees, 90.0f, 90.0f, 0.0f, 0.0f},
    };
    for (const auto& c : cases) {
        std::map<std::string, std::string> stored;
        {
            ControllerRig first;
            plovexController& ctl = first.start();
            first.post(records::kInclinoData, records::measurementRecord({0, 0, 0, 8192, 0, 0, 0, -1638, 0}, 1));
            first.post(records::kInclinoData, records::linkDownRecord(2)); // no zero taken from it
            ASSERT_TRUE(ctl.zeroAxes(c.x, c.y));
            if (c.clear)
                ctl.clearZero();
            ctl.setTiltUnit(c.unit);
            stored = first.prefs.values;
        }
        ControllerRig next;
        next.prefs.values = stored;
        next.start();
        next.post(records::kInclinoData, records::measurementRecord({0, 0, 0, 16383, 0, 0, 0, 0, 0}, 3));
        EXPECT_EQ(std::make_pair(next.Xgauge.angle(), next.Ygauge.angle()), std::make_pair(c.xGauge, c.yGauge));
        EXPECT_FLOAT_EQ(next.XvalueItem.value, c.xValue);
        EXPECT_FLOAT_EQ(next.YvalueItem.value, c.yValue);
        EXPECT_EQ(next.ctl().tiltReference().describeZero(Axis::X), c.clear ? "" : "X zeroed at 45.00°");
        EXPECT_EQ(next.ctl().measuredAngle(Axis::X), 90.0f); // the unzeroed angle stays at hand
    }
}

TEST(ZeroUnits, AChangeShowsTheCurrentValueAnewAndNoValueWhileTheLinkIsDown)
{
    ControllerRig rig;
    plovexController& ctl = rig.start();
    rig.post(records::kInclinoData, records::measurementRecord({0, 0, 0, 8192, 0, 0, 0, -1638, 0}, 1));
    ctl.setTiltUnit(board::TiltUnit::Milliradians);
    EXPECT_NEAR(rig.XvalueItem.value, 785.4, 0.1) << "45.0027° in mrad, without waiting for the next record";
    ASSERT_TRUE(ctl.zeroAxes(true, false));
    EXPECT_EQ(std::make_pair(rig.XvalueItem.value, rig.Xgauge.angle()), std::make_pair(0.0f, 0.0f));

    rig.post(records::kInclinoData, records::linkDownRecord(2));
    for (const auto& change : std::initializer_list<std::function<void()>>{
             [&] { ctl.setTiltUnit(board::TiltUnit::Percent); }, [&] { ctl.clearZero(); },
             [&] { ctl.zeroAxes(true, true); }}) {
        change();
        EXPECT_TRUE(rig.XvalueItem.noValue && rig.YvalueItem.noValue) << "a value not current is not shown again";
    }
}

} // namespace controllertest
