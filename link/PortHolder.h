#pragma once
// Which program holds a serial device, as /proc tells it: the holder of the
// device's advisory lock (/proc/locks), or else a process with the device
// open (/proc/PID/fd, readable for one's own processes, or for root).

#include <optional>
#include <string>

namespace plovex {

// "PROGRAM (pid N)" for the program that holds the device at path; nullopt
// when /proc does not tell.
std::optional<std::string> portHolder(const std::string& path);

} // namespace plovex
