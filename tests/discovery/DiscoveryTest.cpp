// Port discovery over made-up machines: FindModems, getNextModemName,
// GetModemPath, and which ports the sysfs registry finds with which paths.

#include "discovery/PortDiscovery.h"
#include "platform/RuntimeDir.h"
#include "tests/support/FakeSysfs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace plovex;
using namespace testsupport;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

// The names and paths getNextModemName gives for the iterator, with slots of
// size, until it answers 5; and what was printed meanwhile.
struct Listing {
    Strings names, paths;
    std::string printed;
};
Listing walk(ScopedModemIterator it, int size = kPortStringSize, const char* nameBefore = "")
{
    Listing l;
    std::vector<char> name(static_cast<std::size_t>(size) + 1), path(static_cast<std::size_t>(size) + 1);
    std::strcpy(name.data(), nameBefore);
    CaptureStdout out;
    while (getNextModemName(it.get(), name.data(), path.data(), size) == 0) {
        l.names.push_back(name.data());
        l.paths.push_back(path.data());
    }
    l.printed = out.finish();
    return l;
}

// An iterator over the services, released at the end of the statement that uses it.
ScopedModemIterator over(std::vector<SerialService> services)
{
    return ScopedModemIterator(makeModemIterator(std::move(services)));
}

} // namespace

TEST(PortDiscovery, ListsTheRealPortsInNaturalOrderPrintingEachPath)
{
    FakeSysfs machine;
    machine.addPort("ttyS10");
    machine.addPort("ttyUSB0", "tts/USB0");
    machine.addPort("ttyS2");
    machine.addPort("ttyS0", "", "serial8250", 0); // a UART line with no UART behind it
    machine.addPort("ttyS4", "", "serial8250", 4);
    machine.addPort("ttyS5", "", "serial", 0); // type 0 but not the 8250 driver
    machine.addPort("ttyS6", "", "port", 0);   // a port device under the 8250 platform device
    fs::create_directory_symlink("../bus/drivers/serial8250", machine.sys() / "devices" / "port" / "driver");
    machine.addVirtualTty("tty1");
    ModemIterator it = nullptr;
    EXPECT_EQ(FindModems(&it, machine.roots()), 0);
    const auto l = walk(ScopedModemIterator(it));
    const std::string d = machine.dev().string();
    EXPECT_EQ(l.names, (Strings{"ttyS2", "ttyS4", "ttyS5", "ttyS10", "ttyUSB0"}));
    EXPECT_EQ(l.paths, (Strings{d + "/ttyS2", d + "/ttyS4", d + "/ttyS5", d + "/ttyS10", d + "/tts/USB0"}));
    std::string lines;
    for (const auto& p : l.paths)
        lines += "Port Name: " + p + "\n";
    EXPECT_EQ(l.printed, lines);

    FakeSysfs empty;
    EXPECT_EQ(FindModems(&it, empty.roots()), 0);
    EXPECT_EQ(walk(ScopedModemIterator(it), kPortStringSize, "untouched").printed, "");
    // A tree that cannot be read: one line, and still the simulated boards.
    const std::string board = empty.addSimulatorLink("board", true).string();
    fs::remove_all(empty.sys() / "class");
    CaptureStdout out;
    EXPECT_EQ(FindModems(&it, empty.roots()), ENOENT);
    const std::string error = out.finish();
    const auto unreadable = walk(ScopedModemIterator(it));
    EXPECT_EQ(error + unreadable.printed, "Error listing serial ports in " + (empty.sys() / "class" / "tty").string() +
                                                     " - No such file or directory(2).\nPort Name: " + board + "\n");
    EXPECT_EQ(unreadable.names, Strings{"board"});
}

TEST(PortDiscovery, NamesAndPathsFitTheirSlotsOrEndTheListing)
{
    // A port without a name keeps the slot as it was; one whose name is not
    // ASCII empties it; a path that is not ASCII ends the listing.
    auto l = walk(over({{std::nullopt, "/dev/ttyX"}, {"caf\xc3\xa9", "/dev/ttyY"}, {"ttyZ", "/dev/tty\xc3\xa9"}, {"a", "/b"}}),
                  kPortStringSize, "previous");
    EXPECT_EQ(l.names, (Strings{"previous", ""}));
    EXPECT_EQ(l.printed, "Port Name: /dev/ttyX\nPort Name: /dev/ttyY\n");
    // A path of size - 1 characters fits; one more does not, and ends the listing.
    l = walk(over({{"a", "/dev/12345"}, {"b", "/dev/123456"}, {"c", "/dev/1"}}), 11);
    EXPECT_EQ(l.paths, Strings{"/dev/12345"});
    l = walk(over({{"a", std::nullopt}, {"b", "/dev/b"}}));
    EXPECT_TRUE(l.paths.empty()) << "a port without a callout path ends the listing";
}

TEST(PortDiscovery, GetModemPathLeavesTheLastStringDelivered)
{
    char buf[kPortStringSize] = "old";
    CaptureStdout out;
    EXPECT_EQ(GetModemPath(over({{"ttyS0", "/dev/ttyS0"}, {"ttyNoPath", std::nullopt}, {std::nullopt, "/dev/\xff"}}).get(), buf,
                           kPortStringSize),
              0);
    EXPECT_STREQ(buf, "ttyNoPath");
    EXPECT_EQ(GetModemPath(over({{"ttyS0", "/dev/ttyS0"}, {"ttyUSB0", "/dev/ttyUSB0"}}).get(), buf, kPortStringSize), 0);
    EXPECT_STREQ(buf, "/dev/ttyUSB0");
    EXPECT_EQ(GetModemPath(over({{std::nullopt, std::nullopt}}).get(), buf, kPortStringSize), 5);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(out.finish(), "Port Name: ttyS0\nBSD path: /dev/ttyS0\nPort Name: ttyNoPath\n"
                            "Port Name: ttyS0\nBSD path: /dev/ttyS0\nPort Name: ttyUSB0\nBSD path: /dev/ttyUSB0\n");
}

TEST(SerialRegistry, StableLinksLiveSimulatedBoardsAndGarbageInTheTree)
{
    FakeSysfs machine;
    machine.addPort("ttyUSB1");
    fs::create_directories(machine.dev() / "serial" / "by-id");
    const fs::path stable = machine.dev() / "serial" / "by-id" / "usb-FTDI_FT232R_A50285BI-if00-port0";
    fs::create_symlink("../../ttyUSB1", stable);
    const fs::path owned = machine.addSimulatorLink("plovex-sim-10", true);
    machine.addSimulatorLink("plovex-sim-2", true);
    machine.addSimulatorLink("plovex-sim-stale", false);
    const fs::path orphan = machine.addSimulatorLink("plovex-sim-orphan", true);
    const platform::UniqueFd held = platform::lockSimulatorLink(owned);
    platform::lockSimulatorLink(orphan); // its board died; the lock went with it
    // uevents that would block a reader, or that are no files, give ports without a path.
    const fs::path fifo = machine.addPort("ttyUSB2") / "uevent", loop = machine.addPort("ttyUSB3") / "uevent";
    fs::remove(fifo);
    ::mkfifo(fifo.c_str(), 0600);
    fs::remove(loop);
    fs::create_symlink("uevent", loop);

    const RegistryScan scan = scanSerialServices(machine.roots());
    Strings found;
    for (const auto& s : scan.services)
        found.push_back(s.name.value_or("?") + " " + s.calloutPath.value_or("-"));
    EXPECT_EQ(found, (Strings{"ttyUSB1 " + stable.string(), "ttyUSB2 -", "ttyUSB3 -", "plovex-sim-2 " + (machine.simulators() / "plovex-sim-2").string(),
                              "plovex-sim-10 " + owned.string()}));
}
