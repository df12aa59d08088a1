#pragma once
// Log entries: one line per entry on standard error, prefixed with the date,
// the time and program[pid], as system log entries usually are.

#include <functional>
#include <string>

namespace platform {

// Writes one entry. Safe from any thread; entries never interleave.
void logEntry(const std::string& message);

// Redirects entries (the message without prefix) to sink; an empty sink
// restores standard error. For tests.
void setLogSink(std::function<void(const std::string&)> sink);

// The prefix for an entry written now, such as "2026-12-06 16:00:00.123 plovex[4711] ".
std::string logPrefix();

} // namespace platform
