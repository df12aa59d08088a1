#pragma once
// Careful reading of the small files and links that describe a device in
// sysfs. Whatever is found there (a missing file, a folder, a pipe, a link
// loop, megabytes of junk) yields "nothing" rather than a hang or a crash.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace plovex {

// Largest attribute accepted: the kernel never writes more than a page, so a
// bigger file is not an attribute.
inline constexpr std::size_t kMaxAttributeBytes = 16384;

// The whole content of a regular file of at most maxBytes, or nullopt when
// the path is not a readable regular file or holds more than that. Opening
// never blocks (a pipe in place of the file is refused).
std::optional<std::string> readAttributeFile(const std::filesystem::path& path,
                                             std::size_t maxBytes = kMaxAttributeBytes);

// An attribute holding one decimal integer, surrounding whitespace allowed
// ("0\n"); nullopt for anything else.
std::optional<long long> readAttributeInteger(const std::filesystem::path& path);

// Where a symbolic link points, as written in the link; nullopt when the
// path is not a link or its target is too long to be a path.
std::optional<std::filesystem::path> readLinkTarget(const std::filesystem::path& path);

} // namespace plovex
