#include "sim/BoardLinks.h"

#include "platform/RuntimeDir.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex::sim {

namespace {

namespace fs = std::filesystem;

std::atomic<unsigned> boardNumber{0};

std::string uniqueSuffix()
{
    // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string
    // for an overlapping copy (-Wrestrict).
    std::string suffix = "-";
    suffix += std::to_string(::getpid());
    suffix += '-';
    suffix += std::to_string(++boardNumber);
    return suffix;
}

bool isLink(const std::string& path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool exists(const std::string& path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0;
}

bool isLive(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

std::string readLink(const std::string& path)
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
    return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n));
}

// Makes path a symbolic link to target, replacing a link already there in one step.
bool pointLink(const std::string& path, const std::string& target, std::string* error)
{
    const std::string tmp = path + ".tmp" + uniqueSuffix();
    if (::symlink(target.c_str(), tmp.c_str()) != 0) {
        if (error)
            *error = path + ": cannot create a link: " + std::strerror(errno);
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int e = errno;
        ::unlink(tmp.c_str());
        if (error)
            *error = path + ": cannot create a link: " + std::strerror(e);
        return false;
    }
    return true;
}

} // namespace

bool BoardLinks::prepare(const std::string& requested, bool publish, std::string* error)
{
    auto fail = [&](std::string why) {
        if (error)
            *error = std::move(why);
        return false;
    };
    const fs::path runtime = platform::simulatorLinkDir().lexically_normal();
    fs::path stable;
    if (requested.empty()) {
        name_ = "plovex-sim" + uniqueSuffix();
        stable = runtime / name_;
    } else {
        stable = fs::absolute(fs::path(requested)).lexically_normal();
        if (!stable.has_filename())
            return fail(requested + ": not a file name");
        if (exists(stable.string()) && !isLink(stable.string()))
            return fail(requested + ": exists and is not a symbolic link");
        std::error_code ec;
        if (!fs::is_directory(stable.parent_path(), ec))
            return fail(requested + ": no such folder " + stable.parent_path().string());
        name_ = stable.filename().string();
    }
    const bool inRuntime = stable.parent_path() == runtime;
    if (inRuntime || publish) {
        if (std::string err; !platform::ensureSimulatorLinkDir(&err))
            return fail("cannot make the runtime folder: " + err);
    }
    // From here on the path is this board's: one that another running board
    // holds is refused, never taken over.
    std::string why;
    stableLock_ = platform::lockSimulatorLink(stable, &why);
    if (!stableLock_)
        return fail((requested.empty() ? stable.string() : requested) + ": " + why);
    stable_ = stable.string();
    published_.clear();
    if (inRuntime) {
        published_ = stable_;
    } else if (publish) {
        // Another live board may already go by this name.
        published_ = (runtime / name_).string();
        if (exists(published_) && (!isLink(published_) ||
                                   (isLive(published_) && platform::simulatorLinkHeld(published_) != false)))
            published_ += uniqueSuffix();
    }
    return true;
}

bool BoardLinks::point(const std::string& target, std::string* error)
{
    if (!pointLink(stable_, target, error))
        return false;
    if (!published_.empty() && published_ != stable_ && !pointLink(published_, target, error)) {
        ::unlink(stable_.c_str());
        return false;
    }
    if (!published_.empty() && published_ != stable_ && !publishedLock_)
        publishedLock_ = platform::lockSimulatorLink(published_);
    target_ = target;
    return true;
}

namespace {

// Removes a lock file before letting go of its lock, so that nobody takes
// the lock on a file that is about to go.
void unlock(platform::UniqueFd& lock, const std::string& link)
{
    if (!lock)
        return;
    ::unlink(platform::simulatorLockFile(link).c_str());
    lock.reset();
}

} // namespace

void BoardLinks::remove()
{
    unlock(publishedLock_, published_);
    if (target_.empty())
        return;
    for (const auto* path : {&stable_, &published_})
        if (!path->empty() && readLink(*path) == target_)
            ::unlink(path->c_str());
    target_.clear();
}

void BoardLinks::release()
{
    remove();
    unlock(stableLock_, stable_);
}

} // namespace plovex::sim
