#pragma once
// The board's names in the file system: a stable link that hosts open, and a
// link in the per-user runtime folder (platform::simulatorLinkDir()) through
// which port discovery lists the running board. Both point at the current
// pseudo-terminal slave; they are repointed (atomically) when the board is
// replugged and removed when it is unplugged or stops.
//
// The stable link is the path the caller asked for, or else the runtime-folder
// link itself, named "plovex-sim-<pid>-<n>". The runtime-folder link is named
// after the board (the stable link's base name); if a live link of another
// board already has that name there, "-<pid>-<n>" is added to it. A stale
// link (its target gone) is replaced. A path the caller gave that exists and
// is not a symbolic link is refused, never overwritten; so is one that
// another running board holds. The board holds the lock of
// platform::lockSimulatorLink on its stable link from prepare() until
// release(), unplugged or not, and on the runtime-folder link while that is
// its own, so that discovery can tell it from a link a dead board left behind.

#include "platform/UniqueFd.h"

#include <string>

namespace plovex::sim {

class BoardLinks {
public:
    BoardLinks() = default;
    BoardLinks(const BoardLinks&) = delete;
    BoardLinks& operator=(const BoardLinks&) = delete;
    // Works out the paths and takes the stable link's lock. With publish
    // false and a path given, no runtime-folder link is made. False and
    // *error when unusable or held by another running board.
    bool prepare(const std::string& requested, bool publish, std::string* error);
    // Creates or repoints the links at target.
    bool point(const std::string& target, std::string* error);
    // Removes the links that still point at the last target (an unplug).
    void remove();
    // Removes them and lets go of the stable link (the board's end).
    void release();

    const std::string& stablePath() const { return stable_; }
    const std::string& publishedPath() const { return published_; }
    const std::string& displayName() const { return name_; }

    ~BoardLinks() { release(); }

private:
    std::string stable_, published_, name_, target_;
    platform::UniqueFd stableLock_;    // held from prepare() to release()
    platform::UniqueFd publishedLock_; // held while a runtime-folder link of another name is ours
};

} // namespace plovex::sim
