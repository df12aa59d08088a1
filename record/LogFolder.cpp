#include "record/LogFolder.h"

#include "record/Gzip.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex::record {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kGzipSuffix = ".gz", kPartSuffix = ".part";
constexpr std::size_t kTailBlock = 64 * 1024;

std::string reason()
{
    return std::strerror(errno);
}

// The offset after the last line break of the open file of size bytes (0
// when it holds none); nullopt when it cannot be read.
std::optional<off_t> endOfLastLine(int fd, off_t size)
{
    std::vector<char> block(kTailBlock);
    for (off_t end = size; end > 0;) {
        const off_t begin = end > static_cast<off_t>(kTailBlock) ? end - static_cast<off_t>(kTailBlock) : 0;
        const auto want = static_cast<std::size_t>(end - begin);
        const ssize_t n = platform::retryEintr([&] { return ::pread(fd, block.data(), want, begin); });
        if (n != static_cast<ssize_t>(want))
            return std::nullopt;
        for (std::size_t i = want; i > 0; --i)
            if (block[i - 1] == '\n')
                return begin + static_cast<off_t>(i);
        end = begin;
    }
    return 0;
}

} // namespace

LogFolder::LogFolder(fs::path path, std::string port, platform::UniqueFd dir, platform::UniqueFd lock)
    : path_(std::move(path)), port_(std::move(port)), dir_(std::move(dir)), lock_(std::move(lock))
{
}

std::unique_ptr<LogFolder> LogFolder::open(const fs::path& dir, const std::string& port, std::string* error)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        *error = "cannot make the folder " + dir.string() + ": " + ec.message();
        return nullptr;
    }
    platform::UniqueFd dirFd(platform::retryEintr([&] { return ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!dirFd) {
        *error = "cannot open the folder " + dir.string() + ": " + reason();
        return nullptr;
    }
    // A second logger of the same port would cut the first one's rows off as
    // a crash's leftovers: one of them runs per port and folder.
    const std::string lockName = "." + port + ".lock";
    platform::UniqueFd lock(platform::retryEintr(
        [&] { return ::openat(dirFd.get(), lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644); }));
    if (!lock) {
        *error = "cannot write in the folder " + dir.string() + ": " + reason();
        return nullptr;
    }
    if (platform::retryEintr([&] { return ::flock(lock.get(), LOCK_EX | LOCK_NB); }) != 0) {
        *error = errno == EWOULDBLOCK ? "another logger of " + port + " writes to " + dir.string()
                                      : "cannot lock " + (dir / lockName).string() + ": " + reason();
        return nullptr;
    }
    return std::unique_ptr<LogFolder>(new LogFolder(dir, port, std::move(dirFd), std::move(lock)));
}

std::vector<std::string> LogFolder::files(LogFileKind kind) const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path_, ec)) {
        const std::string name = entry.path().filename().string();
        const auto parsed = parseLogFileName(port_, name);
        if (parsed && parsed->kind == kind && entry.is_regular_file(ec))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool LogFolder::renameNoReplace(const std::string& from, const std::string& to) const
{
    if (::renameat2(dir_.get(), from.c_str(), dir_.get(), to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: only this logger makes names of its
    // pattern here (the lock), so a name free now is free when renamed to.
    if (exists(to)) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(dir_.get(), from.c_str(), dir_.get(), to.c_str()) == 0;
}

bool LogFolder::exists(const std::string& name) const
{
    struct stat st {};
    return ::fstatat(dir_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

void LogFolder::recover(const Note& note)
{
    bool changed = false;
    for (const auto& part : files(LogFileKind::PartialGzip)) {
        if (::unlinkat(dir_.get(), part.c_str(), 0) == 0) {
            note("removed " + part + ", a compression that did not finish");
            changed = true;
        }
    }
    for (const auto& name : files(LogFileKind::Csv)) {
        if (exists(name + std::string(kGzipSuffix))) {
            // The compressed copy is renamed into place only when complete.
            if (::unlinkat(dir_.get(), name.c_str(), 0) == 0) {
                note("removed " + name + ", which " + name + std::string(kGzipSuffix) + " holds whole");
                changed = true;
            }
            continue;
        }
        platform::UniqueFd fd(platform::retryEintr([&] { return ::openat(dir_.get(), name.c_str(), O_RDWR | O_CLOEXEC); }));
        struct stat st {};
        if (!fd || ::fstat(fd.get(), &st) != 0) {
            note("cannot check " + name + " for a partly written row: " + reason());
            continue;
        }
        const auto end = endOfLastLine(fd.get(), st.st_size);
        if (!end) {
            note("cannot check " + name + " for a partly written row: " + reason());
        } else if (*end == 0) {
            if (::unlinkat(dir_.get(), name.c_str(), 0) == 0) {
                note("removed " + name + ", which held no whole row");
                changed = true;
            }
        } else if (*end < st.st_size) {
            if (::ftruncate(fd.get(), *end) != 0 || ::fsync(fd.get()) != 0) {
                note("cannot cut the partly written last row off " + name + ": " + reason());
                continue;
            }
            note(name + " ended in a partly written row: cut off " + std::to_string(st.st_size - *end) +
                 " bytes after its last whole row");
        }
    }
    std::string why;
    if (changed && !sync(&why))
        note("cannot sync the folder " + path_.string() + ": " + why);
}

std::optional<LogFolder::NewFile> LogFolder::create(WallClock::time_point start, std::string* error)
{
    for (int sequence = 1; sequence < 100000; ++sequence) {
        std::string name = logFileName(port_, start, sequence);
        const std::string gz = name + std::string(kGzipSuffix);
        if (exists(gz + std::string(kPartSuffix)) || exists(gz))
            continue; // a file of that name was closed and compressed
        platform::UniqueFd fd(platform::retryEintr([&] {
            return ::openat(dir_.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        }));
        if (!fd && errno == EEXIST)
            continue;
        if (!fd) {
            *error = "cannot create " + pathOf(name).string() + ": " + reason();
            return std::nullopt;
        }
        if (!sync(error)) {
            remove(name);
            return std::nullopt;
        }
        return NewFile{std::move(fd), std::move(name)};
    }
    *error = "no free name for a file in " + path_.string();
    return std::nullopt;
}

void LogFolder::remove(const std::string& name)
{
    ::unlinkat(dir_.get(), name.c_str(), 0);
}

bool LogFolder::compress(const std::string& name, std::string* error)
{
    const std::string gz = name + std::string(kGzipSuffix), part = gz + std::string(kPartSuffix);
    platform::UniqueFd in(platform::retryEintr([&] { return ::openat(dir_.get(), name.c_str(), O_RDONLY | O_CLOEXEC); }));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0) {
        *error = "cannot read " + name + ": " + reason();
        return false;
    }
    platform::UniqueFd out(platform::retryEintr([&] {
        return ::openat(dir_.get(), part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }));
    if (!out) {
        *error = "cannot create " + part + ": " + reason();
        return false;
    }
    // The copy is whole on the disk, with the time of the rows it holds,
    // before it takes its name.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    std::string why;
    auto step = [&](bool done, const std::string& what) {
        if (!done)
            why = what + ": " + reason();
        return done;
    };
    const bool ok = gzipFile(in.get(), out.get(), &why) && step(::fsync(out.get()) == 0, "fsync") &&
                    step(::futimens(out.get(), times) == 0, "futimens") && step(::close(out.release()) == 0, "close") &&
                    step(renameNoReplace(part, gz), "rename to " + gz);
    if (!ok) {
        out.reset();
        remove(part);
        *error = "cannot compress " + name + ": " + why;
        return false;
    }
    // Both names durable before the uncompressed one goes, and after.
    if (!sync(error))
        return false;
    if (::unlinkat(dir_.get(), name.c_str(), 0) != 0) {
        *error = "cannot remove " + name + " after compressing it: " + reason();
        return false;
    }
    return sync(error);
}

void LogFolder::removeOlderThan(WallClock::time_point cutoff, const std::string& except, const Note& note)
{
    const auto cutoffSeconds = WallClock::to_time_t(cutoff);
    bool changed = false;
    for (const auto kind : {LogFileKind::Csv, LogFileKind::Gzip}) {
        for (const auto& name : files(kind)) {
            struct stat st {};
            if (name == except || ::fstatat(dir_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                st.st_mtim.tv_sec >= cutoffSeconds)
                continue;
            if (::unlinkat(dir_.get(), name.c_str(), 0) != 0) {
                note("cannot remove the old file " + name + ": " + reason());
                continue;
            }
            note("removed " + name + ", last written " + isoLocalTime(WallClock::from_time_t(st.st_mtim.tv_sec)));
            changed = true;
        }
    }
    std::string why;
    if (changed && !sync(&why))
        note("cannot sync the folder " + path_.string() + ": " + why);
}

bool LogFolder::sync(std::string* error)
{
    if (platform::retryEintr([&] { return ::fsync(dir_.get()); }) == 0)
        return true;
    *error = "cannot sync the folder " + path_.string() + ": " + reason();
    return false;
}

} // namespace plovex::record
