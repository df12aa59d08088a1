// Start-up, the port menu, the remembered port and applying a new port.

#include "tests/controller/ControllerRig.h"

#include "platform/Log.h"

#include <gtest/gtest.h>

namespace controllertest {
namespace {

using Strings = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
const Bytes kRebootFrame{0x9B, 0xA5};
const char* kDefaultPath = "/dev/cu.KeySerial1";

TEST(ControllerStartup, ThreePortsAreListedAndApplyingOneStoresWhatThePortReports)
{
    Pty first, third;
    ControllerRig rig;
    rig.addPort("ttyS0", "ttyS0");
    rig.addPort("ttyS1", "ttyS1");
    rig.addPort("ttyUSB0", "ttyUSB0");
    rig.linkNode("ttyS0", first);
    rig.linkNode("ttyUSB0", third);
    rig.serialPortMenu.items = {"left over"};
    rig.remember({{"serialPortName", "ttyS0"}, {"serialPortPath", rig.devPath("ttyS0")}});
    auto& ctl = rig.start();

    EXPECT_EQ(rig.serialPortMenu.items, (Strings{"ttyS0", "ttyS1", "ttyUSB0"}));
    ASSERT_EQ(ctl.portCount(), 3);
    EXPECT_STREQ(ctl.bsdNameEntry(2), "ttyUSB0");
    EXPECT_STREQ(ctl.bsdPathEntry(2), rig.devPath("ttyUSB0").c_str());
    EXPECT_STREQ(ctl.bsdPathEntry(0), rig.devPath("ttyS0").c_str());
    EXPECT_EQ(rig.prefsWindow.shown, 0);
    EXPECT_EQ(rig.serialPortMenu.selected, 0); // the remembered port
    commPort* port = ctl.port();
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->portOpenOK(), 1) << "opened at launch on the remembered path";
    EXPECT_EQ(port->baudRate(), 38400);

    rig.journal.calls.clear();
    rig.serialPortMenu.selected = 2;
    ctl.applyPrefsAction();

    const std::string oldPath = rig.devPath("ttyS0");
    const std::string newPath = rig.devPath("ttyUSB0");
    EXPECT_EQ(rig.journal.calls,
              (Strings{"serialPortMenu.indexOfSelectedItem",
                       "prefs.setObject(serialPortName=ttyUSB0) [name=ttyUSB0 path=" + oldPath + " open=1]",
                       "serialPortMenu.indexOfSelectedItem",
                       "prefs.setObject(serialPortPath=" + newPath + ") [name=ttyUSB0 path=" + newPath + " open=1]",
                       "prefs.synchronize [name=ttyUSB0 path=" + newPath + " open=0]"}));
    EXPECT_EQ(port->portOpenOK(), 0) << "closed, and left for the acquisition loop to reopen";
    EXPECT_EQ(port->baudRate(), 38400);
    EXPECT_EQ(rig.storedPreferences(),
              (std::map<std::string, std::string>{{"serialPortName", "ttyUSB0"}, {"serialPortPath", newPath}}));

    // What the loop's next cycle does: open the new path. Bytes now reach the third port.
    ASSERT_GE(port->OpenPort(), 0);
    port->sendReboot();
    EXPECT_EQ(third.readUntil(kRebootFrame), Bytes{});

    // Applying the port in use closes it all the same.
    ctl.applyPrefsAction();
    EXPECT_EQ(port->portOpenOK(), 0);
    EXPECT_EQ(port->commPortPath(), newPath);
}

TEST(ControllerStartup, TheAcquisitionLoopReopensAnAppliedPort)
{
    Pty first, second;
    ControllerRig rig;
    rig.portMode = PortMode::Acquisition;
    rig.addPort("ttyS0", "ttyS0");
    rig.addPort("ttyS1", "ttyS1");
    rig.linkNode("ttyS0", first);
    rig.linkNode("ttyS1", second);
    rig.remember({{"serialPortName", "ttyS0"}, {"serialPortPath", rig.devPath("ttyS0")}});
    auto& ctl = rig.start();

    first.readUntil({0xEE}); // the loop polls the remembered port
    rig.serialPortMenu.selected = 1;
    ctl.applyPrefsAction();
    second.readUntil({0xEE}); // and, after the apply, the chosen one
    EXPECT_EQ(ctl.port()->commPortPath(), rig.devPath("ttyS1"));
    EXPECT_EQ(ctl.port()->commPortName(), "ttyS1");
}

TEST(ControllerStartup, ListingEndsAtAPortWithoutCalloutPathAndAtTheTableSize)
{
    {
        ControllerRig rig;
        rig.addPort("ttyS0", "ttyS0");
        rig.addPort("ttyS1", std::nullopt);
        rig.addPort("ttyS2", "ttyS2");
        rig.start();
        EXPECT_EQ(rig.serialPortMenu.items, Strings{"ttyS0"});
        EXPECT_EQ(rig.ctl().portCount(), 1);
    }
    {
        ControllerRig rig;
        for (int i = 0; i < 129; ++i)
            rig.addPort("ttyX" + std::to_string(i), "ttyX" + std::to_string(i));
        rig.start();
        ASSERT_EQ(rig.serialPortMenu.items.size(), 128u);
        EXPECT_EQ(rig.serialPortMenu.items.back(), "ttyX127");
        EXPECT_EQ(rig.ctl().portCount(), 128);
        EXPECT_STREQ(rig.ctl().bsdPathEntry(127), rig.devPath("ttyX127").c_str());
    }
}

TEST(ControllerStartup, NoPortsAndNothingRemembered)
{
    ControllerRig rig;
    auto& ctl = rig.start();

    EXPECT_TRUE(rig.serialPortMenu.items.empty());
    EXPECT_TRUE(rig.journal.contains("serialPortMenu.removeAllItems"));
    EXPECT_EQ(rig.prefsWindow.shown, 1);
    ASSERT_NE(ctl.port(), nullptr);
    EXPECT_EQ(ctl.port()->commPortPath(), kDefaultPath);
    EXPECT_EQ(ctl.port()->commPortName(), "");
    EXPECT_EQ(ctl.port()->baudRate(), 38400);
    EXPECT_FALSE(rig.journal.contains("serialPortMenu.selectItemWithTitle"));

    // Nothing chosen: applying changes nothing, and start-up stored nothing either.
    ctl.applyPrefsAction();
    EXPECT_EQ(ctl.port()->commPortName(), "");
    EXPECT_EQ(ctl.port()->commPortPath(), kDefaultPath);
    EXPECT_FALSE(rig.journal.contains("prefs."));
    EXPECT_EQ(rig.storedPreferences(), std::nullopt);
}

TEST(ControllerStartup, RememberedNameAndPathCombinations)
{
    // Path only: used and opened; the name stays unset and no item is selected.
    {
        Pty pty;
        ControllerRig rig;
        rig.addPort("ttyS0", "ttyS0");
        rig.addPort("ttyS1", "ttyS1");
        rig.linkNode("ttyS1", pty);
        rig.remember({{"serialPortPath", rig.devPath("ttyS1")}});
        auto& ctl = rig.start();
        EXPECT_EQ(rig.prefsWindow.shown, 0);
        EXPECT_EQ(ctl.port()->commPortPath(), rig.devPath("ttyS1"));
        EXPECT_EQ(ctl.port()->commPortName(), "");
        EXPECT_EQ(ctl.port()->portOpenOK(), 1);
        EXPECT_EQ(rig.serialPortMenu.selected, -1);
        EXPECT_FALSE(rig.journal.contains("serialPortMenu.selectItemWithTitle"));
    }
    // Name only: the preferences window comes first, the port opens on the
    // default path, and the item with that name is selected.
    {
        ControllerRig rig;
        rig.addPort("ttyS0", "ttyS0");
        rig.addPort("ttyS1", "ttyS1");
        rig.remember({{"serialPortName", "ttyS1"}});
        auto& ctl = rig.start();
        EXPECT_EQ(ctl.port()->commPortName(), "ttyS1");
        EXPECT_EQ(ctl.port()->commPortPath(), kDefaultPath);
        EXPECT_EQ(ctl.port()->baudRate(), 38400);
        EXPECT_EQ(rig.serialPortMenu.selected, 1);
        const auto& calls = rig.journal.calls;
        const auto window = std::find(calls.begin(), calls.end(), "prefsWindow.makeKeyAndOrderFront");
        const auto made = std::find(calls.begin(), calls.end(), "makePort");
        const auto select = std::find(calls.begin(), calls.end(), "serialPortMenu.selectItemWithTitle(ttyS1)");
        ASSERT_NE(select, calls.end());
        EXPECT_LT(window, made);
        EXPECT_LT(made, select);
    }
    // A remembered name the menu does not hold (the adapter is unplugged):
    // nothing is selected, the remembered path still goes to the port, and
    // the user is asked for a port.
    {
        ControllerRig rig;
        rig.addPort("ttyS0", "ttyS0");
        rig.serialPortMenu.selected = -1;
        rig.remember({{"serialPortName", "ttyACM7"}, {"serialPortPath", "/nonexistent/ttyACM7"}});
        auto& ctl = rig.start();
        EXPECT_EQ(rig.prefsWindow.shown, 1);
        EXPECT_EQ(ctl.port()->commPortPath(), "/nonexistent/ttyACM7");
        EXPECT_EQ(ctl.port()->commPortName(), "ttyACM7");
        EXPECT_EQ(ctl.port()->portOpenOK(), 0);
        EXPECT_FALSE(rig.journal.contains("serialPortMenu.selectItemWithTitle"));
    }
}

TEST(ControllerStartup, WithoutAPortLinkTheActionsDoNothing)
{
    for (const PortMode mode : {PortMode::Missing, PortMode::Throwing}) {
        std::vector<std::string> logged;
        platform::setLogSink([&](const std::string& m) { logged.push_back(m); });
        ControllerRig rig;
        rig.portMode = mode;
        rig.addPort("ttyS0", "ttyS0");
        rig.remember({{"serialPortName", "ttyS0"}});
        auto& ctl = rig.start();
        platform::setLogSink({});

        ASSERT_EQ(logged.size(), 1u);
        if (mode == PortMode::Throwing) {
            EXPECT_NE(logged[0].find("no threads left"), std::string::npos) << logged[0];
        }
        EXPECT_EQ(ctl.port(), nullptr);
        EXPECT_EQ(rig.prefsWindow.shown, 1);
        EXPECT_EQ(rig.serialPortMenu.selected, 0) << "the menu still shows the remembered port";

        ctl.applyPrefsAction();
        rig.selectedParameterNumber.text = "1";
        rig.valueToWrite.text = "5";
        rig.alert.answer = 1;
        ctl.writeParameter();
        EXPECT_TRUE(rig.alert.shown.empty());
        EXPECT_FALSE(rig.journal.contains("prefs."));
    }
}

} // namespace
} // namespace controllertest
