#include "tests/support/FakeSysfs.h"

namespace testsupport {

namespace fs = std::filesystem;

FakeSysfs::FakeSysfs()
{
    fs::create_directories(sys() / "class" / "tty");
    fs::create_directories(dev());
    fs::create_directories(simulators());
}

fs::path FakeSysfs::addPort(const std::string& name, std::optional<std::string> devname, const std::string& driver,
                            int type, const std::string& nodeTarget)
{
    if (devname && devname->empty())
        devname = name;
    const fs::path device = sys() / "devices" / driver / name;
    const fs::path drivers = sys() / "bus" / "drivers" / driver;
    fs::create_directories(drivers);
    fs::create_directories(device / "tty" / name);
    fs::create_directory_symlink("../../../bus/drivers/" + driver, device / "driver");
    const fs::path tty = device / "tty" / name;
    fs::create_directory_symlink("../..", tty / "device");
    writeFile(tty / "uevent", "MAJOR=188\nMINOR=0\n" + (devname ? "DEVNAME=" + *devname + "\n" : std::string()));
    if (type >= 0)
        writeFile(tty / "type", std::to_string(type) + "\n");
    if (devname) {
        fs::create_directories((dev() / *devname).parent_path());
        if (!nodeTarget.empty())
            fs::create_symlink(nodeTarget, dev() / *devname);
        else
            writeFile(dev() / *devname, "");
    }
    fs::create_directory_symlink("../../devices/" + driver + "/" + name + "/tty/" + name, sys() / "class" / "tty" / name);
    return tty;
}

void FakeSysfs::addVirtualTty(const std::string& name)
{
    const fs::path tty = sys() / "devices" / "virtual" / "tty" / name;
    fs::create_directories(tty);
    writeFile(tty / "uevent", "DEVNAME=" + name + "\n");
    fs::create_directory_symlink("../../devices/virtual/tty/" + name, sys() / "class" / "tty" / name);
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

} // namespace testsupport
