// The sysfs reading of port discovery. Input: a mode byte, pieces (a key, a
// device name, three port names, two numbers, an attribute text), then the
// rest as a uevent text. Checked against plain readings: ueventValue;
// isUsableDevName, a usable name never leading out of /dev; naturalLess, a
// strict order that sorts digit runs by value; readAttributeInteger; and a
// scan of a small tree whose one port has the uevent (mode bit 1: driven by
// serial8250; bit 2: with the attribute text as its "type") lists that port
// with the path its DEVNAME gives, or leaves it out as a phantom 8250 line.

#include "discovery/AttributeFile.h"
#include "discovery/NaturalOrder.h"
#include "discovery/SerialRegistry.h"
#include "discovery/Uevent.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzTargets.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace plovex::fuzz {

namespace {

namespace fs = std::filesystem;

std::optional<std::string> plainValue(const std::string& text, const std::string& key)
{
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return std::nullopt;
}

bool plainUsable(const std::string& name)
{
    if (name.empty() || name.back() == '/' ||
        std::any_of(name.begin(), name.end(), [](char c) { return static_cast<uint8_t>(c) < 0x20 || c == 0x7F; }))
        return false;
    std::istringstream parts(name);
    for (std::string part; std::getline(parts, part, '/');)
        if (part.empty() || part == "." || part == "..")
            return false;
    return true;
}

std::optional<long long> plainInteger(std::string t)
{
    const char* blank = " \t\n\r\v\f";
    if (t.size() > 64)
        return std::nullopt;
    t.erase(0, t.find_first_not_of(blank));
    t.erase(t.find_last_not_of(blank) + 1);
    const std::size_t sign = !t.empty() && (t[0] == '+' || t[0] == '-');
    if (t.size() == sign || t.find_first_not_of("0123456789", sign) != std::string::npos)
        return std::nullopt;
    errno = 0;
    const long long v = std::strtoll(t.c_str(), nullptr, 10);
    return errno == ERANGE ? std::nullopt : std::optional(v);
}

void write(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

} // namespace

int fuzzUevent(const uint8_t* data, std::size_t size)
{
    ByteReader in(data, size);
    const uint8_t mode = in.byte();
    const std::string key = in.sized(16), devname = in.sized(64), a = in.sized(12), b = in.sized(12), c = in.sized(12);
    const unsigned n1 = in.byte() * 1000u + in.byte(), n2 = in.byte() * 1000u + in.byte();
    const std::string attribute = in.sized(80), uevent = in.rest();

    for (const std::string& k : {key, std::string("DEVNAME")})
        PLOVEX_FUZZ_REQUIRE(ueventValue(uevent, k) == plainValue(uevent, k), "key " + hex(k) + "in " + hex(uevent));
    for (const std::string& name : {devname, plainValue(uevent, "DEVNAME").value_or("")}) {
        PLOVEX_FUZZ_REQUIRE(isUsableDevName(name) == plainUsable(name), hex(name));
        PLOVEX_FUZZ_REQUIRE(!isUsableDevName(name) || (fs::path("/dev") / name).lexically_normal().string().rfind("/dev/", 0) == 0,
                            hex(name));
    }
    for (const std::string* x : {&a, &b, &c})
        for (const std::string* y : {&a, &b, &c}) {
            PLOVEX_FUZZ_REQUIRE(naturalLess(*x, *y) + naturalLess(*y, *x) == (*x != *y), hex(*x) + "vs " + hex(*y));
            for (const std::string* z : {&a, &b, &c})
                PLOVEX_FUZZ_REQUIRE(!naturalLess(*x, *y) || !naturalLess(*y, *z) || naturalLess(*x, *z), "not transitive");
        }
    if (a.empty() || a.back() < '0' || a.back() > '9')
        PLOVEX_FUZZ_REQUIRE(naturalLess(a + std::to_string(n1), a + std::to_string(n2)) == (n1 < n2), hex(a));

    // <scratch>/tree: sys/class/tty/ttyFZ0 -> a device of its own; dev; sim.
    const fs::path root = scratchDir() / "tree", port = root / "sys/class/tty/ttyFZ0", device = root / "sys/devices/fz0";
    if (!fs::exists(port)) {
        fs::create_directories(port);
        fs::create_directories(device);
        fs::create_directories(root / "dev");
        fs::create_symlink("../../../devices/fz0", port / "device");
    }
    write(root / "attribute", attribute);
    PLOVEX_FUZZ_REQUIRE(readAttributeInteger(root / "attribute") == plainInteger(attribute), hex(attribute));
    write(port / "uevent", uevent);
    std::error_code ec;
    fs::remove(device / "driver", ec);
    fs::remove(port / "type", ec);
    if (mode & 2)
        fs::create_symlink("../../bus/platform/drivers/serial8250", device / "driver");
    if (mode & 4)
        write(port / "type", attribute);
    const auto scan = scanSerialServices({root / "sys", root / "dev", root / "sim"});
    const bool phantom = (mode & 2) && (mode & 4) && plainInteger(attribute) == 0;
    const auto path = plainValue(uevent, "DEVNAME");
    PLOVEX_FUZZ_REQUIRE(!scan.failure && scan.services.size() == (phantom ? 0u : 1u), hex(uevent));
    if (!phantom)
        PLOVEX_FUZZ_REQUIRE(scan.services[0].name == "ttyFZ0" &&
                                scan.services[0].calloutPath ==
                                    (path && plainUsable(*path) ? std::optional((root / "dev" / *path).string()) : std::nullopt),
                            hex(uevent));
    return 0;
}

} // namespace plovex::fuzz
