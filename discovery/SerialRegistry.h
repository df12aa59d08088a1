#pragma once
// The machine's serial ports as the kernel describes them in sysfs, followed
// by the simulated boards that are running. This is the only code that looks
// at sysfs; every root it reads is a parameter so that a test can lay out a
// tree of its own.
//
// A port is an entry of <sysfs>/class/tty/ that has a "device" link (virtual
// terminals and pseudo-terminals have none). Ports of the serial8250 driver
// whose "type" is 0 have no UART behind them and are left out. The port's
// name is the entry's name; its callout path is <dev>/ plus the DEVNAME of
// the entry's uevent, or the link under <dev>/serial/by-id/ that leads to the
// same node, which keeps naming the same adapter after a replug. Ports come
// in natural order of their names. Then each live link in the simulators'
// folder (a symbolic link whose target exists) is a port named after the
// link, with the link's full path as its callout path.

#include "platform/RuntimeDir.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace plovex {

struct DiscoveryRoots {
    std::filesystem::path sysfs = "/sys";
    std::filesystem::path dev = "/dev";
    std::filesystem::path simulators = platform::simulatorLinkDir();
};

// One serial service. Either string may be absent: a port whose uevent names
// no usable device node has no callout path.
struct SerialService {
    std::optional<std::string> name;
    std::optional<std::string> calloutPath;
};

// A folder that could not be listed, with the system's error number.
struct RegistryProblem {
    std::filesystem::path folder;
    int error = 0;
};

struct RegistryScan {
    std::vector<SerialService> services;
    // Set when <sysfs>/class/tty could not be listed; services then holds
    // the simulated boards alone.
    std::optional<RegistryProblem> failure;
    // Folders of stable links or simulated boards that exist but could not
    // be listed; the scan went on without them.
    std::vector<RegistryProblem> skipped;
};

RegistryScan scanSerialServices(const DiscoveryRoots& roots);

// The name under which the port at path stays the same across replugs: the
// link under <dev>/serial/by-id/ that leads to the same device, else path.
std::string stablePortName(const std::string& path, const DiscoveryRoots& roots = {});

} // namespace plovex
