#include "platform/RuntimeDir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

std::optional<std::string> ensureSimulatorLinkDir()
{
    const auto dir = simulatorLinkDir();
    std::error_code ec;
    std::filesystem::create_directories(dir.parent_path(), ec);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return dir.string() + ": " + std::strerror(errno);
    struct stat st{};
    if (::lstat(dir.c_str(), &st) != 0)
        return dir.string() + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode))
        return dir.string() + ": not a folder";
    if (st.st_uid != ::getuid())
        return dir.string() + ": belongs to another user";
    return std::nullopt;
}

} // namespace platform
