#include "discovery/SerialRegistry.h"

#include "platform/RuntimeDir.h"

#include "discovery/AttributeFile.h"
#include "discovery/NaturalOrder.h"
#include "discovery/Uevent.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace plovex {

namespace fs = std::filesystem;

namespace {

// How far up from a tty's device to look for the serial8250 driver: the
// device itself (older kernels), or the port's controller and its platform
// device (kernels with the serial-base bus).
constexpr int kDriverSearchDepth = 3;

struct FolderListing {
    std::vector<std::string> names; // natural order
    int error = 0;                  // errno; 0 when listed
};

FolderListing listFolder(const fs::path& folder)
{
    FolderListing out;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
        out.names.push_back(it->path().filename().string());
    if (ec) {
        out.names.clear();
        out.error = ec.value() != 0 ? ec.value() : EIO;
        return out;
    }
    std::sort(out.names.begin(), out.names.end(),
              [](const std::string& a, const std::string& b) { return naturalLess(a, b); });
    return out;
}

bool isAbsentFolder(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

bool isPresent(const fs::path& p)
{
    struct stat st{};
    return ::lstat(p.c_str(), &st) == 0;
}

bool isWithin(const fs::path& p, const fs::path& root)
{
    auto [rootEnd, pEnd] = std::mismatch(root.begin(), root.end(), p.begin(), p.end());
    return rootEnd == root.end();
}

bool hasDriver(const fs::path& device, const std::string& driver)
{
    const auto target = readLinkTarget(device / "driver");
    return target && target->filename() == driver;
}

bool drivenBySerial8250(const fs::path& deviceLink, const fs::path& sysfsRoot)
{
    std::error_code ec;
    fs::path device = fs::canonical(deviceLink, ec);
    if (ec)
        return false; // a dangling or looping link leads to no driver
    for (int level = 0; level < kDriverSearchDepth; ++level) {
        if (device == sysfsRoot || !isWithin(device, sysfsRoot))
            break;
        if (hasDriver(device, "serial8250"))
            return true;
        device = device.parent_path();
    }
    return false;
}

// A port the kernel lists for an 8250 line that has no UART behind it.
bool isPhantom(const fs::path& entry, const fs::path& sysfsRoot)
{
    return drivenBySerial8250(entry / "device", sysfsRoot) && readAttributeInteger(entry / "type") == 0;
}

struct NodeId {
    dev_t device;
    ino_t inode;
    bool operator==(const NodeId&) const = default;
};

std::optional<NodeId> nodeOf(const fs::path& p)
{
    struct stat st{};
    if (::stat(p.c_str(), &st) != 0)
        return std::nullopt;
    return NodeId{st.st_dev, st.st_ino};
}

// The links of <dev>/serial/by-id, each with the node it leads to.
class StableLinks {
public:
    StableLinks(const fs::path& devRoot, std::vector<RegistryProblem>& skipped)
    {
        const fs::path folder = devRoot / "serial" / "by-id";
        const FolderListing listing = listFolder(folder);
        if (listing.error != 0 && !isAbsentFolder(listing.error))
            skipped.push_back({folder, listing.error});
        for (const auto& name : listing.names) {
            const fs::path link = folder / name;
            const auto target = readLinkTarget(link);
            if (!target)
                continue;
            const fs::path lexical = (target->is_absolute() ? *target : folder / *target).lexically_normal();
            links_.push_back({link, lexical, nodeOf(link)});
        }
    }

    // The first link (in natural order) that leads to the node at path.
    std::optional<fs::path> linkTo(const fs::path& node) const
    {
        const auto id = nodeOf(node);
        const fs::path lexical = node.lexically_normal();
        for (const auto& l : links_) {
            if ((id && l.node && *id == *l.node) || l.lexicalTarget == lexical)
                return l.link;
        }
        return std::nullopt;
    }

private:
    struct Link {
        fs::path link;
        fs::path lexicalTarget;
        std::optional<NodeId> node;
    };
    std::vector<Link> links_;
};

std::optional<std::string> calloutPathOf(const fs::path& entry, const DiscoveryRoots& roots,
                                          const StableLinks& stable)
{
    const auto uevent = readAttributeFile(entry / "uevent");
    if (!uevent)
        return std::nullopt;
    const auto devname = ueventValue(*uevent, "DEVNAME");
    if (!devname || !isUsableDevName(*devname))
        return std::nullopt;
    const fs::path node = roots.dev / *devname;
    if (auto link = stable.linkTo(node))
        return link->string();
    return node.string();
}

void addSimulatedBoards(const fs::path& folder, RegistryScan& scan)
{
    const FolderListing listing = listFolder(folder);
    if (listing.error != 0 && !isAbsentFolder(listing.error))
        scan.skipped.push_back({folder, listing.error});
    for (const auto& name : listing.names) {
        const fs::path link = folder / name;
        struct stat st{};
        if (::lstat(link.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            continue;
        if (::stat(link.c_str(), &st) != 0)
            continue; // stale: the board that made it is gone
        if (platform::simulatorLinkHeld(link) == false)
            continue; // stale too: its board died, and its old pty number is in use again
        scan.services.push_back({name, link.string()});
    }
}

void addMachinePorts(const DiscoveryRoots& roots, RegistryScan& scan)
{
    const fs::path ttyClass = roots.sysfs / "class" / "tty";
    const FolderListing ttys = listFolder(ttyClass);
    if (ttys.error != 0) {
        scan.failure = RegistryProblem{ttyClass, ttys.error};
        return;
    }

    std::error_code ec;
    fs::path sysfsRoot = fs::canonical(roots.sysfs, ec);
    if (ec)
        sysfsRoot = fs::absolute(roots.sysfs, ec).lexically_normal();

    const StableLinks stable(roots.dev, scan.skipped);
    for (const auto& name : ttys.names) {
        const fs::path entry = ttyClass / name;
        if (!isPresent(entry / "device") || isPhantom(entry, sysfsRoot))
            continue;
        scan.services.push_back({name, calloutPathOf(entry, roots, stable)});
    }
}

} // namespace

std::string stablePortName(const std::string& path, const DiscoveryRoots& roots)
{
    std::vector<RegistryProblem> ignored;
    const StableLinks stable(roots.dev, ignored);
    if (auto link = stable.linkTo(path))
        return link->string();
    return path;
}

RegistryScan scanSerialServices(const DiscoveryRoots& roots)
{
    RegistryScan scan;
    // The simulated boards do not depend on sysfs: they are listed even when
    // the machine's own ports cannot be.
    addMachinePorts(roots, scan);
    addSimulatedBoards(roots.simulators, scan);
    return scan;
}

} // namespace plovex
