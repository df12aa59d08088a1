// Which ports the registry finds in a sysfs tree, and with which paths.

#include "discovery/SerialRegistry.h"
#include "tests/discovery/FakeSysfs.h"

#include "platform/RuntimeDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <sys/stat.h>

using namespace plovex;
using discoverytest::FakeSysfs;
using testsupport::writeFile;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

std::vector<std::string> namesOf(const RegistryScan& scan)
{
    std::vector<std::string> names;
    for (const auto& s : scan.services)
        names.push_back(s.name.value_or("<none>"));
    return names;
}

// The callout path of the service of that name ("<absent>" when there is no such service).
std::optional<std::string> calloutOf(const RegistryScan& scan, const std::string& name)
{
    for (const auto& s : scan.services)
        if (s.name == name)
            return s.calloutPath;
    return "<absent>";
}

} // namespace

TEST(SerialRegistry, PhantomSerial8250LinesAreLeftOut)
{
    FakeSysfs machine;
    machine.add8250Port("ttyS0", 4);
    machine.add8250Port("ttyS1", 0);
    machine.add8250Port("ttyS3", 0, FakeSysfs::Layout::Direct);
    machine.add8250Port("ttyS4", 2, FakeSysfs::Layout::Direct);
    machine.addPnpPort("ttyS5", 0); // type 0 but not the 8250 platform driver
    machine.addVirtualTty("tty1");
    machine.addVirtualTty("console");

    const RegistryScan scan = scanSerialServices(machine.roots());
    EXPECT_FALSE(scan.failure);
    EXPECT_EQ(namesOf(scan), (std::vector<std::string>{"ttyS0", "ttyS4", "ttyS5"}));
    EXPECT_EQ(calloutOf(scan, "ttyS0"), (machine.dev() / "ttyS0").string());
}

TEST(SerialRegistry, StableByIdLinkReplacesThePlainPath)
{
    FakeSysfs machine;
    machine.addUsbPort("ttyUSB0");
    machine.addUsbPort("ttyUSB1");
    machine.addUsbPort("ttyACM0", std::string("tts/ACM0")); // DEVNAME in a subfolder
    const fs::path stable = machine.addByIdLink("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB1");
    machine.addByIdLink("usb-gone-if00", "ttyUSB9");
    fs::create_symlink("loop", machine.dev() / "serial" / "by-id" / "loop");

    const RegistryScan scan = scanSerialServices(machine.roots());
    EXPECT_TRUE(scan.skipped.empty());
    EXPECT_EQ(namesOf(scan), (std::vector<std::string>{"ttyACM0", "ttyUSB0", "ttyUSB1"}));
    EXPECT_EQ(scan.services[0].calloutPath, (machine.dev() / "tts" / "ACM0").string());
    EXPECT_EQ(scan.services[1].calloutPath, (machine.dev() / "ttyUSB0").string());
    EXPECT_EQ(scan.services[2].calloutPath, stable.string());

    // Also matched when the node itself is missing (compared by where the link points).
    fs::remove(machine.dev() / "ttyUSB1");
    EXPECT_EQ(scanSerialServices(machine.roots()).services[2].calloutPath, stable.string());
}

TEST(SerialRegistry, LiveSimulatedBoardsFollowTheRealPorts)
{
    FakeSysfs machine;
    machine.addUsbPort("ttyUSB0");
    const fs::path live10 = machine.addSimulatorLink("plovex-sim-10", true);
    const fs::path live2 = machine.addSimulatorLink("plovex-sim-2", true);
    machine.addSimulatorLink("plovex-sim-stale", false);
    writeFile(machine.simulators() / "not-a-link", "");
    fs::create_symlink("self", machine.simulators() / "self");

    const RegistryScan scan = scanSerialServices(machine.roots());
    EXPECT_EQ(namesOf(scan), (std::vector<std::string>{"ttyUSB0", "plovex-sim-2", "plovex-sim-10"}));
    EXPECT_EQ(scan.services[1].calloutPath, live2.string());
    EXPECT_EQ(scan.services[2].calloutPath, live10.string());

    // No simulators' folder at all is no problem; one that is a file neither.
    fs::remove_all(machine.simulators());
    EXPECT_EQ(scanSerialServices(machine.roots()).services.size(), 1u);
    writeFile(machine.simulators(), "");
    const RegistryScan again = scanSerialServices(machine.roots());
    EXPECT_EQ(again.services.size(), 1u);
    EXPECT_TRUE(again.skipped.empty());
}

TEST(SerialRegistry, ALinkWhoseBoardDiedIsStaleEvenWhenItsTargetExistsAgain)
{
    FakeSysfs machine;
    const fs::path owned = machine.addSimulatorLink("plovex-sim-owned", true);
    const fs::path orphan = machine.addSimulatorLink("plovex-sim-orphan", true);
    platform::UniqueFd held = platform::lockSimulatorLink(owned);
    ASSERT_TRUE(held);
    platform::UniqueFd released = platform::lockSimulatorLink(orphan);
    ASSERT_TRUE(released);
    released.reset(); // the board died: its lock went with it, its files stayed

    EXPECT_EQ(namesOf(scanSerialServices(machine.roots())), (std::vector<std::string>{"plovex-sim-owned"}));
    held.reset();
    EXPECT_TRUE(scanSerialServices(machine.roots()).services.empty());
}

TEST(SerialRegistry, GarbageInTheTreeNeitherHangsNorCrashes)
{
    FakeSysfs machine;
    const fs::path fifo = machine.addUsbPort("ttyUSB0");
    fs::remove(fifo / "uevent");
    ASSERT_EQ(::mkfifo((fifo / "uevent").c_str(), 0600), 0); // opening it for reading would block

    writeFile(machine.addUsbPort("ttyUSB1") / "uevent", "DEVNAME=ttyUSB1\n" + std::string(20000, 'x'));
    writeFile(machine.addUsbPort("ttyUSB2") / "uevent", "\0\xff\n==\nDEVNAME=../../etc/passwd\n"s);
    const fs::path dirUevent = machine.addUsbPort("ttyUSB3");
    fs::remove(dirUevent / "uevent");
    fs::create_directory(dirUevent / "uevent");
    const fs::path loop = machine.addUsbPort("ttyUSB4");
    fs::remove(loop / "uevent");
    fs::create_symlink("uevent", loop / "uevent");
    writeFile(machine.addUsbPort("ttyUSB5") / "uevent", "DEVNAME=tty\0USB5\n"s);

    // A UART whose device link loops and whose type is junk is still a port.
    machine.add8250Port("ttyS7", 0);
    const fs::path s7 = machine.sys() / "class" / "tty" / "ttyS7";
    fs::remove(s7 / "device");
    fs::create_symlink("device", s7 / "device");
    machine.add8250Port("ttyS8", 0);
    writeFile(machine.sys() / "class" / "tty" / "ttyS8" / "type", "0x\n\0"s);

    writeFile(machine.sys() / "class" / "tty" / "plainfile", "");
    writeFile(machine.addUsbPort("ttyUSB6") / "uevent", "DEVNAME=ttyUSB6"); // no final newline: fine

    const RegistryScan scan = scanSerialServices(machine.roots());
    EXPECT_EQ(namesOf(scan), (std::vector<std::string>{"ttyS7", "ttyS8", "ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB3",
                                                       "ttyUSB4", "ttyUSB5", "ttyUSB6"}));
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB3", "ttyUSB4", "ttyUSB5"})
        EXPECT_EQ(calloutOf(scan, name), std::nullopt) << name;
    EXPECT_EQ(calloutOf(scan, "ttyUSB6"), (machine.dev() / "ttyUSB6").string());
}
