#include "platform/Log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <unistd.h>

extern char* program_invocation_short_name; // glibc

namespace platform {

std::string logPrefix()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char buf[96];
    const size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    std::snprintf(buf + n, sizeof buf - n, ".%03d %s[%d] ", static_cast<int>(ms), program_invocation_short_name,
                  static_cast<int>(::getpid()));
    return buf;
}

void logEntry(const std::string& message)
{
    consoleWrite(ConsoleKind::LogEntry, message);
}

} // namespace platform
