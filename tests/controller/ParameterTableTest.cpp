// The parameter table, the selected row's fields and the confirmed write.

#include "tests/controller/ControllerRig.h"

#include <gtest/gtest.h>

namespace controllertest {
namespace {

using Strings = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
const Bytes kRebootFrame{0x9B, 0xA5};

const Strings kDescriptions{
    "Status Bits",     "Sx Primary Gain",     "Qx process variance",     "Rx measurement variance",
    "Sy Primary Gain", "Qy process variance", "Ry measurement variance", "data selector",
    "", "", "", "", "", "", "", "",
};

struct ParameterTable : ::testing::Test {
    // The port is the slave of a pty, so the bytes of a write can be read back.
    void SetUp() override
    {
        rig.addPort("ttyS0", "ttyS0");
        rig.linkNode("ttyS0", pty);
        rig.remember({{"serialPortName", "ttyS0"}, {"serialPortPath", rig.devPath("ttyS0")}});
        rig.start();
        ASSERT_EQ(rig.ctl().port()->portOpenOK(), 1);
    }
    void receive(int32_t paddress, int32_t pdata)
    {
        rig.post("inclinoParameter", platform::makeRecord({"paddress", "pdata"}, {paddress, pdata}));
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
    // Asks for a write of value to parameter, answering the alert with button.
    void write(const std::string& parameter, const std::string& value, int button)
    {
        rig.selectedParameterNumber.text = parameter;
        rig.valueToWrite.text = value;
        rig.alert.answer = button;
        rig.ctl().writeParameter();
    }
    // Everything the port sent since the last call.
    Bytes sentOnTheLine()
    {
        rig.ctl().port()->sendReboot();
        return pty.readUntil(kRebootFrame);
    }

    Pty pty;
    ControllerRig rig;
};

TEST_F(ParameterTable, BeforeAnyRecordTheTableShowsNumbersDescriptionsAndZeros)
{
    EXPECT_EQ(rig.ctl().numberOfRowsInTableView(), 16);
    EXPECT_EQ(column("Parameter"),
              (Strings{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}));
    EXPECT_EQ(column("Description"), kDescriptions);
    EXPECT_EQ(column("Value"), Strings(16, "0"));
    for (const char* other : {"parameter", "VALUE", "Description ", "", "Values"})
        EXPECT_EQ(column(other), Strings(16, "???")) << '"' << other << '"';
}

TEST_F(ParameterTable, ATableReloadsOnlyWhenAValueChanges)
{
    receive(3, 120);
    EXPECT_EQ(rig.parameterTable.reloads, 1);
    EXPECT_EQ(rig.ctl().objectValueForTableColumn("Value", 3), "120");
    receive(3, 120);
    EXPECT_EQ(rig.parameterTable.reloads, 1);

    receive(5, -1);
    EXPECT_EQ(rig.parameterTable.reloads, 2);
    EXPECT_EQ(rig.ctl().objectValueForTableColumn("Value", 5), "-1");
    receive(0, -32768);
    EXPECT_EQ(rig.ctl().objectValueForTableColumn("Value", 0), "-32768");
    receive(15, 32767);
    EXPECT_EQ(rig.ctl().objectValueForTableColumn("Value", 15), "32767");
    EXPECT_EQ(rig.parameterTable.reloads, 4);

    // Addresses the table has no row for are ignored.
    receive(16, 7);
    receive(-1, 7);
    EXPECT_EQ(rig.parameterTable.reloads, 4);
    EXPECT_EQ(column("Value"), (Strings{"-32768", "0", "0", "120", "0", "-1", "0", "0", "0", "0", "0", "0", "0",
                                        "0", "0", "32767"}));
}

TEST_F(ParameterTable, SelectingARowFillsTheThreeFields)
{
    receive(3, -120);
    select(3);
    EXPECT_EQ(rig.selectedParameterNumber.text, "3");
    EXPECT_EQ(rig.selectedParameterDescription.text, "Rx measurement variance");
    EXPECT_EQ(rig.valueToWrite.text, "-120");

    // A later read-back changes the table, not the value being edited.
    receive(3, 121);
    EXPECT_EQ(rig.valueToWrite.text, "-120");

    // A row the board has not given a value for offers none for writing.
    select(9);
    EXPECT_EQ(rig.selectedParameterNumber.text, "9");
    EXPECT_EQ(rig.selectedParameterDescription.text, "");
    EXPECT_EQ(rig.valueToWrite.text, "");

    // Another table's selection is none of ours.
    FakeTable other(rig.journal);
    other.selected = 4;
    rig.ctl().tableViewSelectionDidChange(&other);
    EXPECT_EQ(rig.selectedParameterNumber.text, "9");

    select(-1);
    EXPECT_EQ(rig.selectedParameterNumber.text, "");
    EXPECT_EQ(rig.selectedParameterDescription.text, "");
    EXPECT_EQ(rig.valueToWrite.text, "");
}

TEST_F(ParameterTable, AConfirmedWriteSendsOneFrameWithTheValueCutTo16Bits)
{
    write("1", "70000", 1);
    ASSERT_EQ(rig.alert.shown.size(), 1u);
    EXPECT_EQ(rig.alert.shown[0].messageText, "Write to EEPROM");
    EXPECT_EQ(rig.alert.shown[0].defaultButton, "Write");
    EXPECT_EQ(rig.alert.shown[0].alternateButton, "Cancel");
    EXPECT_EQ(rig.alert.shown[0].informativeText,
              "Do you really want to write 4464 to parameter 1 - Sx Primary Gain?");
    EXPECT_EQ(sentOnTheLine(), (Bytes{0x09, 0x71, 0x01, 0x11, 0x70, 0xAA}));

    write("9", "40000", 1);
    EXPECT_EQ(rig.alert.shown.back().informativeText, "Do you really want to write -25536 to parameter 9 - ?");
    EXPECT_EQ(sentOnTheLine(), (Bytes{0x09, 0x71, 0x09, 0x9C, 0x40, 0xAA}));

    write("15", "-1", 1);
    EXPECT_EQ(sentOnTheLine(), (Bytes{0x09, 0x71, 0x0F, 0xFF, 0xFF, 0xAA}));

    // The write leaves the value alone and marks the row as waiting: the read-back will show it.
    EXPECT_EQ(rig.ctl().parameterState(1), plovex::ParameterState::Waiting);
    EXPECT_EQ(rig.ctl().objectValueForTableColumn("Value", 1), "0");
}

TEST_F(ParameterTable, CancelAndUnknownParametersSendNothing)
{
    write("9", "5", 0);
    ASSERT_EQ(rig.alert.shown.size(), 1u);
    EXPECT_EQ(rig.alert.shown[0].informativeText, "Do you really want to write 5 to parameter 9 - ?");
    EXPECT_EQ(sentOnTheLine(), Bytes{});
    EXPECT_EQ(rig.selectedParameterNumber.text, "9");
    EXPECT_EQ(rig.valueToWrite.text, "5");

    for (const char* number : {"16", "-1", "100000"}) {
        write(number, "5", 1);
        EXPECT_EQ(rig.alert.shown.size(), 1u) << number;
    }
    EXPECT_EQ(sentOnTheLine(), Bytes{});
}

} // namespace
} // namespace controllertest
