// The sysfs reading of port discovery. Input layout: a mode byte, then
// length-prefixed pieces (key, device name, three port names, attribute
// text), then the rest as a uevent text. Checked:
//  - ueventValue against a plain line-by-line reading of the text;
//  - isUsableDevName against its rule, and a usable name never leads out of
//    the device folder;
//  - naturalLess is a strict total order, and orders digit runs by value;
//  - readAttributeFile / readAttributeInteger on a file holding the
//    attribute text against a plain reading of it;
//  - a scan of a small fake sysfs tree whose one port has the input as its
//    uevent (mode bit 1: the port is driven by serial8250; mode bit 2: it has
//    a "type" attribute with the attribute text) lists exactly that port, or
//    leaves it out when it is a phantom 8250 line, with the callout path the
//    uevent's DEVNAME gives.

#include "discovery/AttributeFile.h"
#include "discovery/NaturalOrder.h"
#include "discovery/SerialRegistry.h"
#include "discovery/Uevent.h"
#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/FuzzText.h"
#include "fuzz/ScratchDir.h"

#include <climits>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace plovex::fuzz {

namespace {

namespace fs = std::filesystem;

std::vector<std::string_view> split(std::string_view text, char sep)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == sep) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

std::optional<std::string> plainUeventValue(std::string_view text, std::string_view key)
{
    const std::string prefix = std::string(key) + "=";
    for (const auto line : split(text, '\n'))
        if (line.substr(0, prefix.size()) == prefix)
            return std::string(line.substr(prefix.size()));
    return std::nullopt;
}

bool plainUsableDevName(std::string_view name)
{
    if (name.empty())
        return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f)
            return false;
    }
    for (const auto part : split(name, '/'))
        if (part.empty() || part == "." || part == "..")
            return false;
    return true;
}

void checkDevName(std::string_view name)
{
    const bool usable = isUsableDevName(name);
    PLOVEX_FUZZ_REQUIRE(usable == plainUsableDevName(name), printable(name) + (usable ? " usable" : " refused"));
    if (!usable)
        return;
    const fs::path root = "/dev";
    const std::string node = (root / std::string(name)).lexically_normal().string();
    PLOVEX_FUZZ_REQUIRE(node.size() > 5 && node.compare(0, 5, "/dev/") == 0, printable(name) + " leads to " + printable(node));
}

void checkUevent(std::string_view text, std::string_view key)
{
    const auto got = ueventValue(text, key);
    const auto expected = plainUeventValue(text, key);
    PLOVEX_FUZZ_REQUIRE(got == expected, "key " + printable(key) + " in " + printable(text) + ": got " +
                                             (got ? printable(*got) : "nullopt") + ", expected " +
                                             (expected ? printable(*expected) : "nullopt"));
    if (got)
        PLOVEX_FUZZ_REQUIRE(got->find('\n') == std::string::npos, printable(*got));
}

bool endsInDigit(std::string_view s)
{
    return !s.empty() && s.back() >= '0' && s.back() <= '9';
}

void checkNaturalOrder(const std::string& a, const std::string& b, const std::string& c, unsigned n1, unsigned n2)
{
    const std::string* names[] = {&a, &b, &c};
    for (const auto* x : names) {
        PLOVEX_FUZZ_REQUIRE(!naturalLess(*x, *x), printable(*x) + " before itself");
        for (const auto* y : names) {
            const bool xy = naturalLess(*x, *y), yx = naturalLess(*y, *x);
            if (*x == *y)
                PLOVEX_FUZZ_REQUIRE(!xy && !yx, printable(*x));
            else
                PLOVEX_FUZZ_REQUIRE(xy != yx, printable(*x) + " and " + printable(*y) + ": not exactly one before the other");
            for (const auto* z : names)
                if (xy && naturalLess(*y, *z))
                    PLOVEX_FUZZ_REQUIRE(naturalLess(*x, *z),
                                        printable(*x) + " < " + printable(*y) + " < " + printable(*z) + " but not transitive");
        }
    }
    if (!endsInDigit(a)) {
        const std::string x = a + std::to_string(n1), y = a + std::to_string(n2);
        PLOVEX_FUZZ_REQUIRE(naturalLess(x, y) == (n1 < n2), printable(x) + " vs " + printable(y));
    }
}

void writeText(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::optional<long long> plainInteger(const std::string& text)
{
    if (text.size() > 64)
        return std::nullopt;
    std::size_t begin = 0, end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    bool negative = false;
    if (begin < end && (text[begin] == '+' || text[begin] == '-'))
        negative = text[begin++] == '-';
    if (begin == end)
        return std::nullopt;
    // Accumulated as a negative number, whose range is the larger one.
    long long value = 0;
    for (std::size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        const int digit = text[i] - '0';
        if (value < (LLONG_MIN + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == LLONG_MIN)
            return std::nullopt;
        value = -value;
    }
    return value;
}

void checkAttribute(const fs::path& file, const std::string& text)
{
    writeText(file, text);
    PLOVEX_FUZZ_REQUIRE(readAttributeFile(file) == text, printable(text));
    PLOVEX_FUZZ_REQUIRE(readAttributeFile(file, text.size()) == text, printable(text));
    if (!text.empty())
        PLOVEX_FUZZ_REQUIRE(!readAttributeFile(file, text.size() - 1), "longer than the limit: " + printable(text));
    const auto got = readAttributeInteger(file);
    const auto expected = plainInteger(text);
    PLOVEX_FUZZ_REQUIRE(got == expected, printable(text) + " read as " + (got ? std::to_string(*got) : "nullopt") +
                                             ", expected " + (expected ? std::to_string(*expected) : "nullopt"));
}

// <scratch>/tree: sys/class/tty/{tty0, ttyFZ0}, sys/devices/fz0, dev/, sim/.
struct FakeTree {
    fs::path root = scratchDir() / "tree";
    fs::path port = root / "sys/class/tty/ttyFZ0";
    fs::path device = root / "sys/devices/fz0";

    FakeTree()
    {
        fs::create_directories(root / "sys/class/tty/tty0");
        writeText(root / "sys/class/tty/tty0/uevent", "MAJOR=4\nMINOR=0\nDEVNAME=tty0\n");
        fs::create_directories(port);
        fs::create_directories(device);
        fs::create_symlink("../../../devices/fz0", port / "device");
        fs::create_directories(root / "dev");
        fs::create_directories(root / "sim");
    }

    DiscoveryRoots roots() const { return {root / "sys", root / "dev", root / "sim"}; }
};

void checkScan(const std::string& uevent, bool serial8250, std::optional<std::string> type)
{
    static const FakeTree tree;
    writeText(tree.port / "uevent", uevent);
    std::error_code ec;
    fs::remove(tree.device / "driver", ec);
    if (serial8250)
        fs::create_symlink("../../bus/platform/drivers/serial8250", tree.device / "driver");
    fs::remove(tree.port / "type", ec);
    if (type)
        writeText(tree.port / "type", *type);

    const RegistryScan scan = scanSerialServices(tree.roots());
    PLOVEX_FUZZ_REQUIRE(!scan.failure && scan.skipped.empty(), "the fake tree could not be read");

    const bool phantom = serial8250 && type && plainInteger(*type) == 0;
    if (phantom) {
        PLOVEX_FUZZ_REQUIRE(scan.services.empty(), "a phantom 8250 line was listed");
        return;
    }
    PLOVEX_FUZZ_REQUIRE(scan.services.size() == 1, std::to_string(scan.services.size()) + " services listed");
    const SerialService& s = scan.services.front();
    PLOVEX_FUZZ_REQUIRE(s.name == "ttyFZ0", "name " + (s.name ? printable(*s.name) : "nullopt"));

    const auto devname = plainUeventValue(uevent, "DEVNAME");
    std::optional<std::string> expected;
    if (devname && plainUsableDevName(*devname))
        expected = (tree.roots().dev / *devname).string();
    PLOVEX_FUZZ_REQUIRE(s.calloutPath == expected, "uevent " + printable(uevent) + " gave callout path " +
                                                       (s.calloutPath ? printable(*s.calloutPath) : "nullopt"));
}

} // namespace

int fuzzUevent(const uint8_t* data, std::size_t size)
{
    ByteReader in(data, size);
    const uint8_t mode = in.byte();
    const std::string key = in.sized(16);
    const std::string devname = in.sized(64);
    const std::string a = in.sized(12), b = in.sized(12), c = in.sized(12);
    unsigned n1 = in.byte() * 1000u;
    n1 += in.byte();
    unsigned n2 = in.byte() * 1000u;
    n2 += in.byte();
    const std::string attribute = in.sized(80);
    const std::string uevent = in.rest();

    checkUevent(uevent, key);
    checkUevent(uevent, "DEVNAME");
    checkDevName(devname);
    if (const auto value = ueventValue(uevent, "DEVNAME"))
        checkDevName(*value);
    checkNaturalOrder(a, b, c, n1, n2);
    checkAttribute(scratchDir() / "attribute", attribute);
    checkScan(uevent, (mode & 2) != 0, (mode & 4) ? std::optional(attribute) : std::nullopt);
    return 0;
}

} // namespace plovex::fuzz
