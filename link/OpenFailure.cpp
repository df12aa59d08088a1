#include "link/OpenFailure.h"

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <sys/stat.h>
#include <vector>

namespace plovex {

namespace {

// The group that owns path; "dialout" (the serial group on Debian and its
// derivatives) when the device or its group cannot be looked up.
std::string owningGroup(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return "dialout";
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return "dialout";
    return found->gr_name;
}

OpenProblem kindOf(int err, bool setUp)
{
    if (setUp)
        return OpenProblem::Refused;
    switch (err) {
    case EACCES:
    case EPERM:
        return OpenProblem::PermissionDenied;
    case EBUSY:
        return OpenProblem::Busy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return OpenProblem::Missing;
    default:
        return OpenProblem::Other;
    }
}

} // namespace

OpenFailure describeOpenFailure(const std::string& path, int err, bool setUp)
{
    OpenFailure f;
    f.kind = kindOf(err, setUp);
    f.error = err;
    f.path = path;
    const std::string why = std::strerror(err);
    switch (f.kind) {
    case OpenProblem::PermissionDenied: {
        const std::string group = owningGroup(path);
        f.message = "No permission to open " + path + "; it belongs to the group " + group +
                    ". Join the group with 'sudo usermod -aG " + group + " $USER', then log out and in again.";
        break;
    }
    case OpenProblem::Busy:
        f.message = path + " is in use by another program; close it there and the port opens within a second.";
        break;
    case OpenProblem::Missing:
        f.message = path + " is not present; waiting for it to be plugged in.";
        break;
    case OpenProblem::Refused:
        f.message = path + " opened but refused its line settings (" + why + "); it may not be a serial port.";
        break;
    case OpenProblem::Other:
        f.message = "Cannot open " + path + ": " + why + ".";
        break;
    case OpenProblem::None:
        break;
    }
    return f;
}

} // namespace plovex
