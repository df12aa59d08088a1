// FindModems, getNextModemName, GetModemPath and listPorts as the monitor
// uses them, over made-up machines.

#include "discovery/PortDiscovery.h"
#include "tests/discovery/FakeSysfs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

using namespace plovex;
using discoverytest::FakeSysfs;
using discoverytest::printedBy;

namespace {

constexpr int kSize = kPortStringSize;

ScopedModemIterator find(const FakeSysfs& machine, int* status = nullptr)
{
    ModemIterator raw = nullptr;
    const int s = FindModems(&raw, machine.roots());
    if (status)
        *status = s;
    return ScopedModemIterator(raw);
}

ScopedModemIterator iteratorOver(std::vector<SerialService> services)
{
    return ScopedModemIterator(makeModemIterator(std::move(services)));
}

} // namespace

TEST(ModemEnumeration, NoPortsGivesAnEmptyIterator)
{
    FakeSysfs machine;
    machine.addVirtualTty("tty0");
    int status = -1;
    const std::string out = printedBy([&] {
        auto it = find(machine, &status);
        char name[kSize] = "untouched", path[kSize] = "untouched";
        EXPECT_EQ(getNextModemName(it.get(), name, path, kSize), 5);
        EXPECT_STREQ(name, "untouched");
        EXPECT_STREQ(path, "untouched");
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "");
}

TEST(ModemEnumeration, ThreePortsInNaturalOrderThenFive)
{
    FakeSysfs machine;
    machine.addUsbPort("ttyS10");
    machine.addUsbPort("ttyUSB0");
    machine.addUsbPort("ttyS2");
    const std::string d = machine.dev().string();

    std::vector<std::string> names, paths;
    int last = 0;
    const std::string out = printedBy([&] {
        auto it = find(machine);
        char name[kSize], path[kSize];
        while ((last = getNextModemName(it.get(), name, path, kSize)) == 0) {
            names.push_back(name);
            paths.push_back(path);
        }
    });
    EXPECT_EQ(last, 5);
    EXPECT_EQ(names, (std::vector<std::string>{"ttyS2", "ttyS10", "ttyUSB0"}));
    EXPECT_EQ(paths, (std::vector<std::string>{d + "/ttyS2", d + "/ttyS10", d + "/ttyUSB0"}));
    // The line carries the path, not the name.
    EXPECT_EQ(out, "Port Name: " + d + "/ttyS2\nPort Name: " + d + "/ttyS10\nPort Name: " + d + "/ttyUSB0\n");
}

TEST(ModemEnumeration, APortWithoutDevNameEndsTheListing)
{
    FakeSysfs machine;
    machine.addUsbPort("ttyUSB0");
    machine.addUsbPort("ttyUSB1", std::nullopt);
    machine.addUsbPort("ttyUSB2");

    const auto ports = [&] {
        std::vector<PortEntry> p;
        printedBy([&] { p = listPorts(machine.roots()); });
        return p;
    }();
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].name, "ttyUSB0");

    // The nameless-path port itself yields 5 with its name already written.
    printedBy([&] {
        auto it = find(machine);
        char name[kSize], path[kSize];
        ASSERT_EQ(getNextModemName(it.get(), name, path, kSize), 0);
        EXPECT_EQ(getNextModemName(it.get(), name, path, kSize), 5);
        EXPECT_STREQ(name, "ttyUSB1");
        EXPECT_EQ(getNextModemName(it.get(), name, path, kSize), 0); // the walk itself could go on
    });
}

TEST(ModemEnumeration, NameAndPathConversion)
{
    char name[kSize] = "previous";
    char path[kSize] = "";
    std::string out = printedBy([&] {
        auto it = iteratorOver({{std::nullopt, "/dev/ttyX"}, {"caf\xc3\xa9", "/dev/ttyY"}, {"ttyZ", "/dev/tty\xc3\xa9"}});
        // No name: result 0, the slot keeps what it held.
        EXPECT_EQ(getNextModemName(it.get(), name, path, kSize), 0);
        EXPECT_STREQ(name, "previous");
        EXPECT_STREQ(path, "/dev/ttyX");
        // A name that is not ASCII leaves the slot empty; the path still counts.
        EXPECT_EQ(getNextModemName(it.get(), name, path, kSize), 0);
        EXPECT_STREQ(name, "");
        EXPECT_STREQ(path, "/dev/ttyY");
        // A path that is not ASCII is not delivered.
        EXPECT_EQ(getNextModemName(it.get(), name, path, kSize), 5);
        EXPECT_STREQ(name, "ttyZ");
    });
    EXPECT_EQ(out, "Port Name: /dev/ttyX\nPort Name: /dev/ttyY\n");
}

TEST(ModemEnumeration, PathOfSizeMinusOneFitsOneMoreDoesNot)
{
    FakeSysfs machine;
    machine.addUsbPort("ttyUSB0");
    machine.addUsbPort("ttyUSB10");
    machine.addUsbPort("ttyUSB11");
    const std::string fits = machine.dev().string() + "/ttyUSB0";
    const int size = static_cast<int>(fits.size()) + 1;

    std::vector<char> name(size), path(size);
    std::string out = printedBy([&] {
        auto it = find(machine);
        EXPECT_EQ(getNextModemName(it.get(), name.data(), path.data(), size), 0);
        EXPECT_EQ(std::string(path.data()), fits);
        EXPECT_EQ(getNextModemName(it.get(), name.data(), path.data(), size), 5); // one character longer
    });
    EXPECT_EQ(out, "Port Name: " + fits + "\n");

    // Nothing fits a buffer of size 0 or 1, and nothing is written there.
    char tiny[1] = {'x'};
    printedBy([&] {
        auto it = iteratorOver({{"", ""}, {"a", "b"}});
        EXPECT_EQ(getNextModemName(it.get(), tiny, tiny, 0), 5);
        EXPECT_EQ(tiny[0], 'x');
        EXPECT_EQ(getNextModemName(it.get(), tiny, tiny, 1), 5);
    });
}

TEST(ModemEnumeration, GetModemPathLeavesTheLastStringDelivered)
{
    char buf[kSize] = "old";
    std::string out = printedBy([&] {
        auto it = iteratorOver({{"ttyS0", "/dev/ttyS0"}, {"ttyUSB0", "/dev/ttyUSB0"}});
        EXPECT_EQ(GetModemPath(it.get(), buf, kSize), 0);
        EXPECT_EQ(GetModemPath(it.get(), buf, kSize), 5); // exhausted; buffer emptied
    });
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(out, "Port Name: ttyS0\nBSD path: /dev/ttyS0\nPort Name: ttyUSB0\nBSD path: /dev/ttyUSB0\n");

    out = printedBy([&] {
        auto it = iteratorOver({{"ttyS0", "/dev/ttyS0"}, {"ttyNoPath", std::nullopt}, {std::nullopt, "/dev/\xff"}});
        EXPECT_EQ(GetModemPath(it.get(), buf, kSize), 0);
    });
    EXPECT_STREQ(buf, "ttyNoPath"); // a later name-only service wins; failed conversions change nothing
    EXPECT_EQ(out, "Port Name: ttyS0\nBSD path: /dev/ttyS0\nPort Name: ttyNoPath\n");

    out = printedBy([&] {
        auto it = iteratorOver({{std::nullopt, std::nullopt}, {"\x80", "/dev/\x80"}});
        EXPECT_EQ(GetModemPath(it.get(), buf, kSize), 5);
        EXPECT_EQ(GetModemPath(nullptr, buf, kSize), 5);
    });
    EXPECT_EQ(out, "");
}

TEST(ModemEnumeration, ListingStopsAtTheMonitorsTableSize)
{
    FakeSysfs machine;
    for (int i = 0; i < kMaxPorts + 2; ++i)
        machine.addUsbPort("ttyUSB" + std::to_string(i));
    std::vector<PortEntry> ports;
    const std::string out = printedBy([&] { ports = listPorts(machine.roots()); });
    ASSERT_EQ(ports.size(), static_cast<std::size_t>(kMaxPorts));
    EXPECT_EQ(ports.front().name, "ttyUSB0");
    EXPECT_EQ(ports.back().name, "ttyUSB127");
    EXPECT_EQ(ports.back().path, machine.dev().string() + "/ttyUSB127");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), kMaxPorts);
}

TEST(ModemEnumeration, AnUnreadableTreeGivesOneLineAndStillTheSimulatedBoards)
{
    FakeSysfs machine;
    const std::string board = machine.addSimulatorLink("board", true).string();
    std::filesystem::remove_all(machine.sys() / "class");
    int status = 0;
    std::string out = printedBy([&] {
        auto it = find(machine, &status);
        char name[kSize] = "", path[kSize] = "";
        EXPECT_EQ(getNextModemName(it.get(), name, path, kSize), 0);
        EXPECT_STREQ(name, "board");
        EXPECT_EQ(path, board);
        EXPECT_EQ(getNextModemName(it.get(), name, path, kSize), 5);
    });
    EXPECT_EQ(status, ENOENT);
    EXPECT_EQ(out, "Error listing serial ports in " + (machine.sys() / "class" / "tty").string() +
                       " - No such file or directory(2).\nPort Name: " + board + "\n");

    testsupport::writeFile(machine.sys() / "class", "not a folder");
    std::vector<PortEntry> ports = {{"stale", "entry"}};
    out = printedBy([&] { ports = listPorts(machine.roots(), &status); });
    EXPECT_EQ(status, ENOTDIR);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].path, board);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);

    EXPECT_NE(FindModems(nullptr, machine.roots()), 0);
}
