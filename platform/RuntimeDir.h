#pragma once
// The per-user runtime folder where running simulated boards publish their
// stable links, so that port discovery can offer them:
// $XDG_RUNTIME_DIR/plovex/, or /tmp/plovex-<uid>/ when that is not set.

#include "platform/UniqueFd.h"

#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// The folder's path (not created).
std::filesystem::path simulatorLinkDir();

// Creates the folder if needed, owned by this user and private (0700).
// False, and the reason in *error when given, on failure (such as a fallback
// folder that belongs to somebody else).
bool ensureSimulatorLinkDir(std::string* error);

// A board holds a lock on a file beside each link it publishes (".NAME.lock")
// for as long as the link is its own, so that a link left behind by a board
// that died is known as stale even when its target, a reused pseudo-terminal,
// exists again.
std::filesystem::path simulatorLockFile(const std::filesystem::path& link);
// Takes that lock for the link; the descriptor to keep open while the link is
// in use (closing it releases the lock), or none when it cannot be had, with
// the reason in *error when given (*held: whether a running board has it).
UniqueFd lockSimulatorLink(const std::filesystem::path& link, std::string* error = nullptr, bool* held = nullptr);
// Whether a running board holds the link's lock; nullopt when the link has no
// lock file at all.
std::optional<bool> simulatorLinkHeld(const std::filesystem::path& link);

} // namespace platform
