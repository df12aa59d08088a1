#pragma once
// Log entries: one line per entry on standard error, prefixed with the date,
// the time and program[pid], as system log entries usually are. They go
// through the console channel (platform/Console.h), where a caller can send
// them elsewhere (setLogSink, ConsoleRedirect).

#include "platform/Console.h"

#include <string>

namespace platform {

// Writes one entry. Safe from any thread; entries never interleave.
void logEntry(const std::string& message);

// The prefix for an entry written now, such as "2026-12-06 16:00:00.123 plovex[4711] ".
std::string logPrefix();

} // namespace platform
