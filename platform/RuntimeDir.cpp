#include "platform/RuntimeDir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::filesystem::path simulatorLinkDir()
{
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg == '/')
        return std::filesystem::path(xdg) / "plovex";
    return std::filesystem::path("/tmp") / ("plovex-" + std::to_string(::getuid()));
}

bool ensureSimulatorLinkDir(std::string* error)
{
    const auto dir = simulatorLinkDir();
    auto fail = [&](const std::string& why) {
        if (error)
            *error = dir.string() + ": " + why;
        return false;
    };
    std::error_code ec;
    std::filesystem::create_directories(dir.parent_path(), ec);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return fail(std::strerror(errno));
    struct stat st{};
    if (::lstat(dir.c_str(), &st) != 0)
        return fail(std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        return fail("not a folder");
    if (st.st_uid != ::getuid())
        return fail("belongs to another user");
    return true;
}

std::filesystem::path simulatorLockFile(const std::filesystem::path& link)
{
    // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string
    // for an overlapping copy (-Wrestrict).
    std::string name = ".";
    name += link.filename().native();
    name += ".lock";
    return link.parent_path() / name;
}

UniqueFd lockSimulatorLink(const std::filesystem::path& link, std::string* error, bool* held)
{
    const auto lockFile = simulatorLockFile(link);
    auto fail = [&](bool byBoard) {
        if (held)
            *held = byBoard;
        if (error)
            *error = byBoard ? "a running simulated board holds it" : lockFile.string() + ": " + std::strerror(errno);
        return UniqueFd();
    };
    for (;;) {
        UniqueFd fd(retryEintr([&] { return ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600); }));
        if (!fd)
            return fail(false);
        if (retryEintr([&] { return ::flock(fd.get(), LOCK_EX | LOCK_NB); }) != 0)
            return fail(errno == EWOULDBLOCK);
        // A board that stops removes its lock file before it lets go of the
        // lock: a lock taken on a file no longer at the path holds nothing,
        // so it is taken again on the file there now.
        struct stat locked{}, named{};
        if (::fstat(fd.get(), &locked) != 0)
            return fail(false);
        if (::lstat(lockFile.c_str(), &named) == 0) {
            if (locked.st_dev == named.st_dev && locked.st_ino == named.st_ino)
                return fd;
        } else if (errno != ENOENT) {
            return fail(false);
        }
    }
}

std::optional<bool> simulatorLinkHeld(const std::filesystem::path& link)
{
    const auto lockFile = simulatorLockFile(link);
    // Closing the descriptor at the end also drops the lock taken to test.
    const UniqueFd fd(retryEintr([&] { return ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK); }));
    if (!fd)
        return errno == ENOENT ? std::nullopt : std::optional<bool>(true);
    const bool free = retryEintr([&] { return ::flock(fd.get(), LOCK_SH | LOCK_NB); }) == 0;
    return !free;
}

} // namespace platform
