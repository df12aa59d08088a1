#pragma once
// The per-user runtime folder where running simulated boards publish their
// stable links, so that port discovery can offer them:
// $XDG_RUNTIME_DIR/plovex/, or /tmp/plovex-<uid>/ when that is not set.

#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// The folder's path (not created).
std::filesystem::path simulatorLinkDir();

// Creates the folder if needed, owned by this user and private (0700).
// Returns the reason on failure (such as a fallback folder that belongs to
// somebody else).
std::optional<std::string> ensureSimulatorLinkDir();

} // namespace platform
