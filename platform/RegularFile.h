#pragma once
// Reading a small file that a user names (a snapshot, a password file) whole.
// Only a regular file is read: a FIFO, a device, a socket or a folder is
// refused at once and never waited on, since the file is opened without
// blocking and looked at before anything is read from it.

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

// The content of the regular file at path; nullopt and the reason, naming
// the file ("board.json: is a FIFO, not a regular file"), in *error when it
// cannot be read, is no regular file, or holds more than maxSize bytes.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxSize, std::string* error);

} // namespace platform
