#include "params/SnapshotFolder.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace plovex::params {

std::filesystem::path snapshotFolder()
{
    const char* xdg = std::getenv("XDG_STATE_HOME");
    std::filesystem::path base;
    if (xdg && *xdg == '/') // a relative value is to be ignored
        base = xdg;
    else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "state";
    }
    return base / "plovex" / "snapshots";
}

bool saveInFolder(const Snapshot& snapshot, const std::filesystem::path& folder, std::string* savedPath,
                  std::string* error)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        if (error)
            *error = "cannot make the folder " + folder.string() + ": " + ec.message();
        return false;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int n = 1; n < 100; ++n) {
        const std::string name =
            std::string("parameters-") + stamp + (n > 1 ? "-" + std::to_string(n) : std::string()) + ".json";
        const std::string path = (folder / name).string();
        if (saveSnapshot(path, snapshot, false, error)) {
            if (savedPath)
                *savedPath = path;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    if (error)
        *error = "no free file name in " + folder.string();
    return false;
}

} // namespace plovex::params
