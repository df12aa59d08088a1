#pragma once
// The folder a logger writes its files to (LogFileName.h), and what it does
// there besides writing rows: the lock that keeps a second logger of the same
// port out of the folder, the repair after a crash, names never used before,
// compression of closed files and removal of old ones. Only this port's
// logger files are ever touched; whatever else the folder holds stays.
//
// Every name created, renamed or removed is made durable with an fsync of
// the folder. The methods may be called from two threads (the writer's and
// the maintenance worker's).

#include "platform/UniqueFd.h"
#include "record/LogFileName.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plovex::record {

class LogFolder {
public:
    // A line for the user: what was repaired or removed, what failed.
    using Note = std::function<void(const std::string&)>;

    // Makes dir (with its parents) when missing and takes the lock of port's
    // logger there. nullptr, with the reason in *error, when the folder
    // cannot be made or used, or another logger of this port holds it.
    static std::unique_ptr<LogFolder> open(const std::filesystem::path& dir, const std::string& port,
                                           std::string* error);

    const std::filesystem::path& path() const { return path_; }
    const std::string& port() const { return port_; }
    // The path of the file named name in the folder.
    std::filesystem::path pathOf(const std::string& name) const { return path_ / name; }

    // This logger's files of the given kind, by name (so by time).
    std::vector<std::string> files(LogFileKind kind) const;

    // After a crash or a power cut: each uncompressed file that ends in a
    // partly written row is cut back to its last whole row (one that holds
    // none is removed), unfinished compressions are removed, and a file whose
    // compressed copy was finished is removed. Each step is told to note.
    void recover(const Note& note);

    // A new empty file for rows from start, under a name that no file of
    // this logger has had (a "_N" is added when needed).
    struct NewFile {
        platform::UniqueFd fd;
        std::string name;
    };
    std::optional<NewFile> create(WallClock::time_point start, std::string* error);
    // Removes a file this logger created and could not write.
    void remove(const std::string& name);

    // Compresses the closed file name to name.gz with the same modification
    // time, then removes name. False with the reason (name left as it was).
    bool compress(const std::string& name, std::string* error);

    // Removes this logger's files last modified before cutoff, except the
    // one named except (the file being written); each told to note.
    void removeOlderThan(WallClock::time_point cutoff, const std::string& except, const Note& note);

    // Makes the names created, renamed and removed so far durable.
    bool sync(std::string* error);

private:
    LogFolder(std::filesystem::path path, std::string port, platform::UniqueFd dir, platform::UniqueFd lock);
    bool exists(const std::string& name) const;
    // Renames from to to, which must not exist. False with errno set.
    bool renameNoReplace(const std::string& from, const std::string& to) const;

    const std::filesystem::path path_;
    const std::string port_;
    platform::UniqueFd dir_;  // for fsync and the *at calls
    platform::UniqueFd lock_; // flock held while the logger runs
};

} // namespace plovex::record
