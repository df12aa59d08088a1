#include "link/OpenFailure.h"

#include "link/PortHolder.h"

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <vector>

namespace plovex {

namespace {

constexpr const char* kUdevAdvice =
    " A udev rule can let your user open it: see the example rule the README points to "
    "(packaging/udev/60-plovex.rules).";

std::string groupName(gid_t gid)
{
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::to_string(gid); // usermod takes the number as well
    return found->gr_name;
}

std::string userName(uid_t uid)
{
    std::vector<char> buffer(4096);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return "user " + std::to_string(uid);
    return found->pw_name;
}

// Who may open the device at path, and what to do: join its group when a
// group other than root's may read and write it; otherwise who may, and the
// udev rule. Never a group without that access, nor root's own.
std::string permissionMessage(const std::string& path)
{
    const std::string start = "No permission to open " + path;
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return start + "." + kUdevAdvice;
    auto readWrite = [&](mode_t bits) { return (st.st_mode & bits) == bits; };
    if (readWrite(S_IRGRP | S_IWGRP) && st.st_gid != 0) {
        const std::string group = groupName(st.st_gid);
        return start + "; it belongs to the group " + group + ". Join the group with 'sudo usermod -aG " + group +
               " $USER', then log out and in again.";
    }
    if (readWrite(S_IROTH | S_IWOTH))
        return start + "; its mode lets everyone open it, so the folder it is in or a security policy refuses it.";
    std::string who;
    if (readWrite(S_IRUSR | S_IWUSR))
        who = "its owner " + userName(st.st_uid);
    if (readWrite(S_IRGRP | S_IWGRP))
        who += (who.empty() ? "" : " and ") + std::string("the group root");
    return start + "; only " + (who.empty() ? "root" : who) + " may open it." + kUdevAdvice;
}

} // namespace

OpenProblem openProblemOf(int err, bool setUp)
{
    if (setUp)
        return OpenProblem::Refused;
    switch (err) {
    case EACCES:
    case EPERM:
        return OpenProblem::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK: // the line's advisory lock is another program's
        return OpenProblem::Busy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return OpenProblem::Missing;
    default:
        return OpenProblem::Other;
    }
}

OpenFailure describeOpenFailure(const std::string& path, int err, bool setUp)
{
    OpenFailure f;
    f.kind = openProblemOf(err, setUp);
    f.error = err;
    f.path = path;
    const std::string why = std::strerror(err);
    switch (f.kind) {
    case OpenProblem::PermissionDenied:
        f.reason = f.message = permissionMessage(path);
        break;
    case OpenProblem::Busy: {
        const std::string inUse = path + " is in use by " + portHolder(path).value_or("another program");
        f.message = inUse + "; close it there and the port opens within a second.";
        f.reason = inUse + "; close it there first.";
        break;
    }
    case OpenProblem::Missing:
        f.message = path + " is not present; waiting for it to be plugged in.";
        f.reason = path + " is not present.";
        break;
    case OpenProblem::Refused:
        f.reason = f.message = path + " opened but refused its line settings (" + why + "); it may not be a serial port.";
        break;
    case OpenProblem::Other:
        f.reason = f.message = "Cannot open " + path + ": " + why + ".";
        break;
    case OpenProblem::None:
        break;
    }
    return f;
}

} // namespace plovex
