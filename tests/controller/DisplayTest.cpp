// The live display and the parameter table with its confirmed write.

#include "tests/controller/ControllerRig.h"

#include "link/Records.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>

namespace controllertest {
namespace {

using Strings = std::vector<std::string>;

TEST(LiveDisplay, EachRecordMovesBothAxesAndShowsTemperatureAndLinkState)
{
    ControllerRig rig;
    rig.start();
    // A link-down record (commState 0) carries placeholders: it sets the label
    // and greys the needles once, and moves nothing. marked: times each gauge
    // was marked for redrawing, so far.
    const struct {
        platform::RecordPtr record;
        float x, y, temperature;
        const char* label;
        Color colour;
        std::size_t marked;
    } cases[] = {
        {measurement(8192, -16383, 235), 45.00274658203125f, -90.0f, 23.5f, "Comms OK", Color::greenColor(), 1},
        {measurement(16383, 1, -5, -1), 90.0f, 0.005493499338626862f, -0.5f, "Comms OK", Color::greenColor(), 2},
        {measurement(0, 32767, 1, 2), 0.0f, 180.0054931640625f, 0.1f, "Comms OK", Color::greenColor(), 3},
        {measurement(-32768, 100, 0, 3), -180.010986328125f, 0.5493499636650085f, 0.0f, "Comms OK", Color::greenColor(), 4},
        {measurement(8192, 8192, 300, 0), -180.010986328125f, 0.5493499636650085f, 0.0f, "NO Comms", Color::redColor(), 5},
        {records::linkDownRecord(7), -180.010986328125f, 0.5493499636650085f, 0.0f, "NO Comms", Color::redColor(), 5},
        {records::diagnosticLinkDownRecord(400), -180.010986328125f, 0.5493499636650085f, 0.0f, "NO Comms",
         Color::redColor(), 5},
        {measurement(1, 1, 1), 0.005493499338626862f, 0.005493499338626862f, 0.1f, "Comms OK", Color::greenColor(), 6},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        rig.post("inclinoData", c.record);
        EXPECT_EQ(std::tuple(rig.Xgauge.angle(), rig.XvalueItem.value, rig.Ygauge.angle(), rig.YvalueItem.value, rig.Temperature.value),
                  std::tuple(c.x, c.x, c.y, c.y, c.temperature)) << i;
        EXPECT_EQ(std::pair(rig.commStateItem.text, rig.commStateItem.color), std::pair(std::string(c.label), std::optional(c.colour))) << i;
        // Marked whole for redrawing for every measurement, moved or not.
        EXPECT_EQ(rig.Xgauge.marked, std::vector<Rect>(c.marked, Rect{0, 0, 240, 240})) << i;
        EXPECT_EQ(rig.Ygauge.marked, std::vector<Rect>(c.marked, Rect{0, 0, 200, 160})) << i;
    }
    rig.controller.reset();
    rig.post("inclinoData", measurement(1, 1, 1)); // no handler is left behind
    EXPECT_EQ(rig.Xgauge.marked.size(), std::size_t{6});
}

struct ParameterTable : ::testing::Test {
    void SetUp() override
    {
        rig.machine.addPort("ttyS0", "", "ftdi_sio", -1, line.slavePath());
        rig.prefs.values = {{"serialPortName", "ttyS0"}, {"serialPortPath", rig.node("ttyS0")}};
        rig.start();
        ASSERT_EQ(rig.port().portOpenOK(), 1);
    }
    Strings column(const std::string& identifier)
    {
        Strings cells;
        for (int row = 0; row < rig.ctl().numberOfRowsInTableView(); ++row)
            cells.push_back(rig.ctl().objectValueForTableColumn(identifier, row));
        return cells;
    }
    void select(int row)
    {
        rig.parameterTable.selected = row;
        rig.ctl().tableViewSelectionDidChange(&rig.parameterTable);
    }
    // Asks for a write of value to parameter, answering the question with button.
    void write(const std::string& parameter, const std::string& value, int button)
    {
        rig.selectedParameterNumber.text = parameter;
        rig.valueToWrite.text = value;
        rig.alert.answer = button;
        rig.ctl().writeParameter();
    }
    PtyPeer line;
    ControllerRig rig;
};

// The line open, as the parameter table has it.
struct SilentBoard : ParameterTable {};

TEST_F(SilentBoard, IsGreyedLikeALinkDownUntilItAnswersAgain)
{
    // Each step: so much later on the controller's clock, then a tick, then the
    // record if any; then the label, and whether the needles are stale and the
    // readouts without a value.
    const struct {
        std::chrono::milliseconds later;
        platform::RecordPtr record;
        const char* label;
        bool greyed;
    } steps[] = {
        {0ms, measurement(8192, -16383, 235), "Comms OK", false},
        {1999ms, nullptr, "Comms OK", false},
        {1ms, nullptr, "NO Comms", true}, // 2 s without a measurement
        {5s, nullptr, "NO Comms", true},
        {0ms, measurement(8192, -16383, 235), "Comms OK", false},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const auto& s = steps[i];
        rig.now += s.later;
        rig.ctl().linkTick();
        if (s.record)
            rig.post("inclinoData", s.record);
        EXPECT_EQ(rig.commStateItem.text, s.label) << i;
        for (const Gauge* g : {&rig.Xgauge, &rig.Ygauge})
            EXPECT_EQ(g->stale, s.greyed) << i;
        for (const Readout* r : {&rig.XvalueItem, &rig.YvalueItem, &rig.Temperature})
            EXPECT_EQ(r->noValue, s.greyed) << i;
        EXPECT_EQ(rig.Xgauge.angle(), 45.00274658203125f) << i << ": the needle stays where it was";
    }
}

TEST_F(ParameterTable, ShowsSixteenRowsAndReloadsOnlyWhenAValueChanges)
{
    EXPECT_EQ(column("Parameter"), (Strings{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}));
    EXPECT_EQ(column("Description"),
              (Strings{"Status Bits", "Sx Primary Gain", "Qx process variance", "Rx measurement variance", "Sy Primary Gain",
                       "Qy process variance", "Ry measurement variance", "data selector", "", "", "", "", "", "", "", ""}));
    EXPECT_EQ(column("Value"), Strings(16, "—")) << "nothing read yet is no 0";
    for (const char* other : {"parameter", "VALUE", "description", "Value ", ""})
        EXPECT_EQ(column(other), Strings(16, "???")) << '"' << other << '"';

    const std::pair<int, int> records[] = {{3, 120}, {3, 120}, {5, -1}, {15, 32767}, {16, 7}, {-1, 7}};
    for (const auto& [address, value] : records)
        rig.post("inclinoParameter", parameter(address, value));
    EXPECT_EQ(rig.parameterTable.reloads, 3) << "an unchanged value or an address without a row reloads nothing";
    EXPECT_EQ(column("Value"), (Strings{"—", "—", "—", "120", "—", "-1", "—", "—", "—", "—", "—", "—", "—", "—", "—", "32767"}));
}

TEST_F(ParameterTable, TheSelectedRowFillsTheFieldsOfTheWrite)
{
    rig.post("inclinoParameter", parameter(3, -120));
    // Row 9: a value the board has not given is not offered for writing.
    for (const auto& [row, fields] : {std::pair(3, Strings{"3", "Rx measurement variance", "-120"}), std::pair(9, Strings{"9", "", ""}),
                                      std::pair(-1, Strings{"", "", ""})}) {
        select(row);
        EXPECT_EQ((Strings{rig.selectedParameterNumber.text, rig.selectedParameterDescription.text, rig.valueToWrite.text}), fields) << row;
    }
}

TEST_F(ParameterTable, AWriteGoesOutOnlyWhenConfirmedWithTheValueCutTo16Bits)
{
    const struct {
        std::string parameter, value;
        int button;
        std::string question; // "" when no question may be asked
        Bytes sent;
    } cases[] = {
        {"1", "70000", 1, "Do you really want to write 4464 to parameter 1 - Sx Primary Gain?", {0x09, 0x71, 0x01, 0x11, 0x70, 0xAA}},
        {"9", "40000", 1, "Do you really want to write -25536 to parameter 9 - ?", {0x09, 0x71, 0x09, 0x9C, 0x40, 0xAA}},
        {"15", "-1", 1, "Do you really want to write -1 to parameter 15 - ?", {0x09, 0x71, 0x0F, 0xFF, 0xFF, 0xAA}},
        {"9", "5", 0, "Do you really want to write 5 to parameter 9 - ?", {}},
        {"16", "5", 1, "", {}},
        {"-1", "5", 1, "", {}},
    };
    for (const auto& c : cases) {
        const std::size_t asked = rig.alert.shown.size();
        write(c.parameter, c.value, c.button);
        if (c.question.empty()) {
            EXPECT_EQ(rig.alert.shown.size(), asked) << c.parameter;
        } else {
            ASSERT_EQ(rig.alert.shown.size(), asked + 1) << c.parameter;
            const auto& a = rig.alert.shown.back();
            EXPECT_EQ((Strings{a.messageText, a.defaultButton, a.alternateButton, a.informativeText}),
                      (Strings{"Write to EEPROM", "Write", "Cancel", c.question}));
        }
        EXPECT_EQ(line.drain(30ms), c.sent) << c.parameter << " " << c.value;
    }
    // The table shows what the board reads back, not what was sent; the rows written wait for it.
    EXPECT_EQ(column("Value"), Strings(16, "—"));
    for (int p : {1, 9, 15})
        EXPECT_EQ(rig.ctl().parameterState(p), plovex::ParameterState::Waiting) << p;
}

} // namespace
} // namespace controllertest
