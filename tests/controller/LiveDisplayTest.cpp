// The live display: each measurement record to needles, readouts and label.

#include "tests/controller/ControllerRig.h"

#include "link/Records.h"

#include <gtest/gtest.h>

namespace controllertest {
namespace {

using Strings = std::vector<std::string>;

platform::RecordPtr measurement(int32_t xKal, int32_t yKal, int32_t temp, std::optional<int32_t> commState)
{
    std::vector<std::string> keys{"xGravityRaw", "xKal", "yKal", "temp", "packetCount"};
    std::vector<int32_t> values{1234, xKal, yKal, temp, 77};
    if (commState) {
        keys.push_back("commState");
        values.push_back(*commState);
    }
    return platform::makeRecord(keys, values);
}

struct LiveDisplay : ::testing::Test {
    void SetUp() override
    {
        rig.start();
        rig.journal.calls.clear();
    }
    void show(int32_t xKal, int32_t yKal, int32_t temp, std::optional<int32_t> commState = 1)
    {
        rig.post("inclinoData", measurement(xKal, yKal, temp, commState));
    }
    ControllerRig rig;
};

TEST_F(LiveDisplay, ARecordSetsLabelTemperatureAndBothAxesInOrder)
{
    show(8192, -16383, 235);
    EXPECT_EQ(rig.journal.calls, (Strings{
                                     "commStateItem.setStringValue(Comms OK)",
                                     "commStateItem.setTextColor(green)",
                                     "Temperature.setFloatValue(23.5)",
                                     "Xgauge.setAngle(45.00274658203125)",
                                     "XvalueItem.setFloatValue(45.00274658203125)",
                                     "Ygauge.setAngle(-90)",
                                     "YvalueItem.setFloatValue(-90)",
                                     "Xgauge.bounds",
                                     "Xgauge.setNeedsDisplayInRect(0,0,240,240)",
                                     "Ygauge.bounds",
                                     "Ygauge.setNeedsDisplayInRect(0,0,200,160)",
                                 }));
}

TEST_F(LiveDisplay, CountsBecomeDegreesOnGaugeAndReadoutAlike)
{
    const std::vector<std::pair<int32_t, float>> cases{
        {16383, 90.0f},
        {-16383, -90.0f},
        {0, 0.0f},
        {8192, 45.00274658203125f},
        {1, 0.005493499338626862f},
        {100, 0.54934996366500854f}, // a pre-rounded float scale gives another float here
        {32767, 180.0054931640625f}, // beyond 90 degrees: not clamped
        {-32768, -180.010986328125f},
    };
    for (const auto& [counts, degrees] : cases) {
        show(counts, -counts, 0);
        EXPECT_EQ(rig.Xgauge.angle(), degrees) << counts;
        EXPECT_EQ(rig.XvalueItem.values.back(), degrees) << counts;
        EXPECT_EQ(rig.Ygauge.angle(), -degrees) << counts;
        EXPECT_EQ(rig.YvalueItem.values.back(), -degrees) << counts;
    }
}

TEST_F(LiveDisplay, TemperatureIsShownInDegrees)
{
    for (const auto& [tenths, degrees] : std::vector<std::pair<int32_t, float>>{
             {235, 23.5f}, {-5, -0.5f}, {1, 0.1f}, {13, 1.3f}, {9, 0.9f}, {0, 0.0f}, {-400, -40.0f}}) {
        show(0, 0, tenths);
        EXPECT_EQ(rig.Temperature.values.back(), degrees) << tenths;
    }
}

TEST_F(LiveDisplay, AnyNonZeroLinkStateIsCommsOkAndZeroOrMissingIsNoComms)
{
    for (const int32_t state : {1, -1, 2}) {
        show(0, 0, 0, state);
        EXPECT_EQ(rig.commStateItem.text, "Comms OK") << state;
        EXPECT_EQ(rig.commStateItem.color, Color::greenColor()) << state;
    }
    show(0, 0, 0, 0);
    EXPECT_EQ(rig.commStateItem.text, "NO Comms");
    EXPECT_EQ(rig.commStateItem.color, Color::redColor());

    show(0, 0, 0, 1);
    show(0, 0, 0, std::nullopt);
    EXPECT_EQ(rig.commStateItem.text, "NO Comms");
    EXPECT_EQ(rig.commStateItem.color, Color::redColor());
}

TEST_F(LiveDisplay, ALinkDownRecordMovesNothing)
{
    show(16383, 8192, 200, 1);
    show(3, 7, 55, 0); // placeholders
    EXPECT_EQ(rig.commStateItem.text, "NO Comms");
    EXPECT_EQ(rig.Xgauge.angle(), 90.0f);
    EXPECT_EQ(rig.YvalueItem.values.back(), 45.00274658203125f);
    EXPECT_EQ(rig.Temperature.values.back(), 20.0f);
}

TEST_F(LiveDisplay, IdenticalRecordsMarkBothGaugesEachTime)
{
    show(100, 200, 250);
    show(100, 200, 250);
    EXPECT_EQ(rig.Xgauge.marked.size(), 2u);
    EXPECT_EQ(rig.Ygauge.marked.size(), 2u);
    EXPECT_EQ(rig.Xgauge.marked.back(), (Rect{0.0f, 0.0f, 240.0f, 240.0f}));
}

TEST_F(LiveDisplay, NoHandlerRunsOnceTheControllerIsGone)
{
    rig.controller.reset();
    show(16383, 16383, 100);
    rig.post("inclinoParameter", platform::makeRecord({"paddress", "pdata"}, {2, 9}));
    EXPECT_TRUE(rig.journal.calls.empty());
}

} // namespace
} // namespace controllertest
