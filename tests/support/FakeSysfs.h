#pragma once
// A made-up machine for port discovery: a sysfs tree, a /dev folder and a
// folder of simulated boards' links, in a temporary folder. With
// XDG_RUNTIME_DIR set to runtime(), the boards a test starts list
// themselves in simulators().

#include "discovery/SerialRegistry.h"
#include "tests/support/TestSupport.h"

#include <optional>
#include <string>

namespace testsupport {

class FakeSysfs {
public:
    FakeSysfs();
    plovex::DiscoveryRoots roots() const { return {sys(), dev(), simulators()}; }
    std::filesystem::path sys() const { return dir_ / "sys"; }
    std::filesystem::path dev() const { return dir_ / "dev"; }
    std::filesystem::path simulators() const { return dir_ / "plovex"; }
    const std::filesystem::path& runtime() const { return dir_; }

    // A serial port: a tty with a device whose driver is driver. devname:
    // the uevent's DEVNAME (none: no callout path); its node under dev() is a
    // link to nodeTarget when given, else an empty file. type: the tty's
    // "type" attribute, when not negative. Returns the tty's folder.
    std::filesystem::path addPort(const std::string& name, std::optional<std::string> devname = "",
                                  const std::string& driver = "ftdi_sio", int type = -1,
                                  const std::string& nodeTarget = "");
    // A tty without a device (a console, a virtual terminal).
    void addVirtualTty(const std::string& name);
    // A simulated board's link; live: its target exists.
    std::filesystem::path addSimulatorLink(const std::string& name, bool live);

private:
    TempDir temp_;
    std::filesystem::path dir_ = temp_.path();
};

} // namespace testsupport
