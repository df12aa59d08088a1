// Start-up, the port menu, the remembered port and applying another one.

#include "tests/controller/ControllerRig.h"

#include "tests/support/LogCapture.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>

namespace controllertest {
namespace {

using Strings = std::vector<std::string>;
const std::string kDefaultPath = "/dev/cu.KeySerial1";

TEST(ControllerStartup, PortsAreListedAndApplyingOneStoresWhatThePortReportsOnceItIsReset)
{
    PtyPeer first, chosen;
    ControllerRig rig;
    rig.machine.addPort("ttyS0", "", "ftdi_sio", -1, first.slavePath());
    rig.machine.addPort("ttyS10", "", "ftdi_sio", -1, chosen.slavePath());
    rig.machine.addPort("ttyS9");
    rig.serialPortMenu.items = {"left over"};
    rig.prefs.values = {{"serialPortName", "ttyS0"}, {"serialPortPath", rig.node("ttyS0")}};
    auto& ctl = rig.start();
    EXPECT_EQ(rig.serialPortMenu.items, (Strings{"ttyS0", "ttyS9", "ttyS10"}));
    EXPECT_EQ(rig.serialPortMenu.selected, 0) << "the remembered port";
    EXPECT_EQ(rig.prefsWindow.shown, 0);
    EXPECT_EQ(rig.port().portOpenOK(), 1) << "opened at launch on the remembered path";
    EXPECT_EQ(rig.port().baudRate(), 38400);

    rig.post("inclinoParameter", parameter(3, 120));
    ASSERT_EQ(ctl.objectValueForTableColumn("Value", 3), "120");
    rig.statusLine.setStringValue("Parameter 3 did not take the write");

    int openWhenWritten = -1;
    rig.prefs.onSynchronize = [&] { openWhenWritten = rig.port().portOpenOK(); };
    rig.serialPortMenu.selected = 2;
    ctl.applyPrefsAction();
    EXPECT_EQ(ctl.objectValueForTableColumn("Value", 3), "—") << "the port before's board said 120";
    EXPECT_EQ(rig.statusLine.text, "") << "and its status line goes with it";
    EXPECT_EQ(rig.prefs.values, (std::map<std::string, std::string>{{"serialPortName", "ttyS10"},
                                                                     {"serialPortPath", rig.node("ttyS10")}}));
    EXPECT_EQ(rig.prefs.synchronizations, 1);
    EXPECT_EQ(openWhenWritten, 0) << "the preferences are written out after the port is closed";
    EXPECT_EQ(rig.port().commPortName(), "ttyS10");
    EXPECT_EQ(rig.port().portOpenOK(), 0) << "left for the acquisition loop to reopen";
    ASSERT_GE(rig.port().OpenPort(), 0); // what the loop's next cycle does
    rig.port().sendReboot();
    EXPECT_EQ(chosen.read(2, 30s), (Bytes{0x9B, 0xA5}));
    EXPECT_TRUE(first.drain(20ms).empty());
}

TEST(ControllerStartup, WhatIsRememberedDecidesThePortAndTheQuestion)
{
    // Each asks for a port, a remembered one that is not there too.
    const struct {
        std::map<std::string, std::string> remembered;
        std::string path, name;
        int selected;
    } cases[] = {
        {{}, kDefaultPath, "", -1},
        {{{"serialPortPath", "/nonexistent/ttyS1"}}, "/nonexistent/ttyS1", "", -1},
        {{{"serialPortName", "ttyS1"}}, kDefaultPath, "ttyS1", 1},
        {{{"serialPortName", "ttyACM7"}, {"serialPortPath", "/nonexistent/ttyACM7"}}, "/nonexistent/ttyACM7", "ttyACM7", -1},
    };
    for (const auto& c : cases) {
        ControllerRig rig;
        rig.machine.addPort("ttyS0");
        rig.machine.addPort("ttyS1");
        rig.prefs.values = c.remembered;
        auto& ctl = rig.start();
        const std::string label = c.path + " " + c.name;
        EXPECT_EQ(rig.prefsWindow.shown, 1) << label;
        EXPECT_EQ(rig.port().commPortPath(), c.path) << label;
        EXPECT_EQ(rig.port().commPortName(), c.name) << label;
        EXPECT_EQ(rig.port().baudRate(), 38400) << label;
        EXPECT_EQ(rig.serialPortMenu.selected, c.selected) << label;
        rig.serialPortMenu.selected = -1;
        ctl.applyPrefsAction(); // nothing chosen: nothing applied, nothing stored
        EXPECT_EQ(rig.port().commPortPath(), c.path) << label;
        EXPECT_EQ(rig.prefs.writes + rig.prefs.synchronizations, 0) << label;
    }
}

TEST(ControllerStartup, TheListingEndsAtAPortWithoutCalloutPathAndAtTheTableSize)
{
    ControllerRig gap;
    gap.machine.addPort("ttyS0");
    gap.machine.addPort("ttyS1", std::nullopt);
    gap.machine.addPort("ttyS2");
    CaptureStdout start;
    gap.start();
    EXPECT_EQ(start.finish(), "Port Name: " + gap.node("ttyS0") + "\n");
    EXPECT_EQ(gap.serialPortMenu.items, Strings{"ttyS0"});
    CaptureStdout refresh; // every half second while the preferences are open
    EXPECT_FALSE(gap.ctl().refreshPortMenu());
    EXPECT_EQ(refresh.finish(), "");

    ControllerRig many;
    for (int i = 0; i < 129; ++i)
        many.machine.addPort("ttyX" + std::to_string(i));
    many.start();
    ASSERT_EQ(many.serialPortMenu.items.size(), 128u);
    EXPECT_EQ(many.serialPortMenu.items.back(), "ttyX127");
    many.serialPortMenu.selected = 127;
    many.ctl().applyPrefsAction();
    EXPECT_EQ(many.prefs.values["serialPortPath"], many.node("ttyX127"));
}

TEST(ControllerStartup, WithoutAPortLinkItSaysSoOnceAndTheActionsDoNothing)
{
    for (const PortMode mode : {PortMode::Missing, PortMode::Throwing}) {
        ControllerRig rig;
        rig.portMode = mode;
        rig.machine.addPort("ttyS0");
        rig.prefs.values = {{"serialPortName", "ttyS0"}};
        LogCapture log;
        auto& ctl = rig.start();
        EXPECT_EQ(log.entries().size(), 1u);
        EXPECT_EQ(ctl.port(), nullptr);
        EXPECT_EQ(rig.serialPortMenu.selected, 0) << "the menu still shows the remembered port";
        ctl.applyPrefsAction();
        rig.selectedParameterNumber.text = "1";
        rig.alert.answer = 1;
        ctl.writeParameter();
        EXPECT_TRUE(rig.alert.shown.empty());
        EXPECT_EQ(rig.prefs.writes, 0);
    }
}

} // namespace
} // namespace controllertest
