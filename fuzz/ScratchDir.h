#pragma once
// A private folder for targets that need files, made once per process (on
// /dev/shm when it can, so writing and syncing costs no disk time) and
// removed with its contents when the process exits normally; one left behind
// by a process that ended otherwise is removed by the next that starts.

#include <filesystem>

namespace plovex::fuzz {

const std::filesystem::path& scratchDir();

} // namespace plovex::fuzz
