#pragma once
// The folder where snapshots are kept without being asked for (before an
// upload): $XDG_STATE_HOME/plovex/snapshots/, by default
// ~/.local/state/plovex/snapshots/.

#include "params/Snapshot.h"

#include <filesystem>
#include <string>

namespace plovex::params {

std::filesystem::path snapshotFolder();

// Saves snapshot in folder (made when missing) under a name from the time,
// "parameters-20261207-140312.json", with "-2", "-3" ... added when a file of
// that name exists; never replaces a file. The path in *savedPath, or false
// and the reason in *error.
bool saveInFolder(const Snapshot& snapshot, const std::filesystem::path& folder, std::string* savedPath,
                  std::string* error);

} // namespace plovex::params
