#pragma once
// Writing a file so that its name always holds either what was there before
// or the whole new content, never a part: the data goes to a temporary file
// beside it, is synced, and only then takes the name.

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace platform {

// Writes data to path with the given permission bits. With replace false an
// existing file at path is left alone and the write fails (errno EEXIST).
// False on failure with errno set, the temporary file removed, and in *error
// the step that failed and the system's reason ("rename: Permission denied").
bool writeFileAtomically(const std::filesystem::path& path, std::string_view data, mode_t mode, bool replace,
                         std::string* error);

} // namespace platform
