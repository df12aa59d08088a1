#include "link/PortHolder.h"

#include <dirent.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace plovex {

namespace {

// Whether st is the file of device (the same device, for a device node).
bool sameFile(const struct stat& st, const struct stat& device)
{
    if (S_ISCHR(device.st_mode))
        return S_ISCHR(st.st_mode) && st.st_rdev == device.st_rdev;
    return st.st_dev == device.st_dev && st.st_ino == device.st_ino;
}

// The process holding a lock on the device's file, from lines such as
// "1: FLOCK  ADVISORY  WRITE 4711 00:05:123 0 EOF" (waiters, "1: -> FLOCK
// ...", are passed over).
std::optional<long> lockHolder(const struct stat& device)
{
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, file;
        long pid = 0;
        if (!(fields >> number >> kind) || kind == "->" || !(fields >> mode >> access >> pid >> file))
            continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &inode) == 3 && pid > 0 &&
            inode == device.st_ino && major == ::major(device.st_dev) && minor == ::minor(device.st_dev))
            return pid;
    }
    return std::nullopt;
}

// The first process that has the device open, among those whose descriptors
// this process may look at.
std::optional<long> openedBy(const struct stat& device)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc)
        return std::nullopt;
    while (const dirent* process = ::readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(process->d_name, &end, 10);
        if (pid <= 0 || *end)
            continue;
        const std::string fds = std::string("/proc/") + process->d_name + "/fd";
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(fds.c_str()), ::closedir);
        if (!dir)
            continue; // gone, or not ours to see
        while (const dirent* fd = ::readdir(dir.get())) {
            struct stat st{};
            if (fd->d_name[0] != '.' && ::stat((fds + "/" + fd->d_name).c_str(), &st) == 0 && sameFile(st, device))
                return pid;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> portHolder(const std::string& path)
{
    struct stat device{};
    if (::stat(path.c_str(), &device) != 0)
        return std::nullopt;
    auto pid = lockHolder(device);
    if (!pid)
        pid = openedBy(device);
    if (!pid)
        return std::nullopt;
    std::string name;
    std::getline(std::ifstream("/proc/" + std::to_string(*pid) + "/comm"), name);
    if (name.empty())
        name = "a program";
    return name + " (pid " + std::to_string(*pid) + ")";
}

} // namespace plovex
