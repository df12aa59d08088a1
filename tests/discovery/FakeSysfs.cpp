#include "tests/discovery/FakeSysfs.h"

namespace discoverytest {

namespace fs = std::filesystem;
using testsupport::writeFile;

FakeSysfs::FakeSysfs() : dir_(temp_.path())
{
    fs::create_directories(sys() / "class" / "tty");
    fs::create_directories(dev());
    fs::create_directories(simulators());
}

fs::path FakeSysfs::addTty(const fs::path& deviceDir, const std::string& name, std::optional<std::string> devname,
                           bool withDeviceLink)
{
    const fs::path tty = deviceDir / "tty" / name;
    fs::create_directories(tty);
    if (withDeviceLink)
        fs::create_directory_symlink("../..", tty / "device");
    std::string uevent = "MAJOR=188\nMINOR=0\n";
    if (devname) {
        uevent += "DEVNAME=" + *devname + "\n";
        fs::create_directories((dev() / *devname).parent_path());
        writeFile(dev() / *devname, "");
    }
    writeFile(tty / "uevent", uevent);
    fs::create_directory_symlink(fs::relative(tty, sys() / "class" / "tty"), sys() / "class" / "tty" / name);
    return tty;
}

void FakeSysfs::setDriver(const fs::path& deviceDir, const std::string& driver)
{
    fs::create_directories(deviceDir);
    fs::create_symlink(fs::relative(sys() / "bus" / "any" / "drivers" / driver, deviceDir), deviceDir / "driver");
}

fs::path FakeSysfs::addUsbPort(const std::string& name, std::optional<std::string> devname)
{
    const fs::path device = sys() / "devices" / "pci0000:00" / "usb1" / ("1-1:" + name);
    setDriver(device, "ftdi_sio");
    return addTty(device, name, std::move(devname), true);
}

void FakeSysfs::addVirtualTty(const std::string& name)
{
    addTty(sys() / "devices" / "virtual", name, name, false);
}

void FakeSysfs::add8250Port(const std::string& name, int type, Layout layout)
{
    const fs::path platform = sys() / "devices" / "platform" / "serial8250";
    if (!fs::is_symlink(platform / "driver"))
        setDriver(platform, "serial8250");
    fs::path device = platform;
    if (layout == Layout::SerialBase) {
        const fs::path ctrl = platform / "serial8250:0";
        if (!fs::is_symlink(ctrl / "driver"))
            setDriver(ctrl, "ctrl");
        device = ctrl / ("serial8250:0." + name);
        setDriver(device, "port");
    }
    const fs::path tty = addTty(device, name, name, true);
    writeFile(tty / "type", std::to_string(type) + "\n");
}

void FakeSysfs::addPnpPort(const std::string& name, int type)
{
    const fs::path device = sys() / "devices" / "pnp0" / ("00:0" + name);
    setDriver(device, "serial");
    const fs::path tty = addTty(device, name, name, true);
    writeFile(tty / "type", std::to_string(type) + "\n");
}

fs::path FakeSysfs::addByIdLink(const std::string& link, const std::string& devname)
{
    const fs::path folder = dev() / "serial" / "by-id";
    fs::create_directories(folder);
    fs::create_symlink(fs::path("../..") / devname, folder / link);
    return folder / link;
}

fs::path FakeSysfs::addSimulatorLink(const std::string& name, bool live)
{
    const fs::path pts = dir_ / "pts" / name;
    fs::create_directories(pts.parent_path());
    if (live)
        writeFile(pts, "");
    fs::create_symlink(pts, simulators() / name);
    return simulators() / name;
}

} // namespace discoverytest
