#pragma once
// Reading a sysfs uevent text: lines of KEY=VALUE, such as
//   MAJOR=188
//   MINOR=0
//   DEVNAME=ttyUSB0

#include <optional>
#include <string>
#include <string_view>

namespace plovex {

// The value of key in the text, or nullopt when no line carries it. The
// first line with that key counts; a last line without a newline counts too.
std::optional<std::string> ueventValue(std::string_view text, std::string_view key);

// Whether a DEVNAME can name a node under the device root: a relative path of
// non-empty parts, none of them "." or "..", and no control characters.
bool isUsableDevName(std::string_view devname);

} // namespace plovex
