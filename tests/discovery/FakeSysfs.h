#pragma once
// A made-up machine for discovery tests: a sysfs tree, a /dev tree and a
// simulators' folder under one temp folder, laid out as the kernel, udev and
// running simulated boards lay out theirs.

#include "discovery/SerialRegistry.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <optional>
#include <string>

namespace discoverytest {

class FakeSysfs {
public:
    FakeSysfs();

    std::filesystem::path sys() const { return dir_ / "sys"; }
    std::filesystem::path dev() const { return dir_ / "dev"; }
    std::filesystem::path simulators() const { return dir_ / "run"; }
    plovex::DiscoveryRoots roots() const { return {sys(), dev(), simulators()}; }

    // A USB adapter's tty. Its uevent names devname (none when nullopt); its
    // device node is made under dev(). Returns the tty's folder.
    std::filesystem::path addUsbPort(const std::string& name, std::optional<std::string> devname);
    std::filesystem::path addUsbPort(const std::string& name) { return addUsbPort(name, name); }
    // A virtual terminal: a tty without a device link.
    void addVirtualTty(const std::string& name);
    // An 8250 UART line, under the platform device the way current kernels
    // show it (port and controller in between), or directly under it.
    enum class Layout { SerialBase, Direct };
    void add8250Port(const std::string& name, int type, Layout layout = Layout::SerialBase);
    // A UART found by PNP: serial8250 is not its driver.
    void addPnpPort(const std::string& name, int type);
    // dev()/serial/by-id/<link> -> ../../<devname>
    std::filesystem::path addByIdLink(const std::string& link, const std::string& devname);
    // simulators()/<name> -> a pseudo-terminal stand-in, present or not.
    std::filesystem::path addSimulatorLink(const std::string& name, bool live);

private:
    std::filesystem::path addTty(const std::filesystem::path& deviceDir, const std::string& name,
                                 std::optional<std::string> devname, bool withDeviceLink);
    void setDriver(const std::filesystem::path& deviceDir, const std::string& driver);

    testsupport::TempDir temp_;
    std::filesystem::path dir_;
};

// Runs fn with standard output captured; returns what it printed.
template <typename Fn>
std::string printedBy(Fn&& fn)
{
    testsupport::CaptureStdout capture;
    fn();
    return capture.finish();
}

} // namespace discoverytest
