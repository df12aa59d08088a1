#include "platform/Log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <unistd.h>

extern char* program_invocation_short_name; // glibc

namespace platform {

namespace {
std::mutex& logMutex()
{
    static std::mutex m;
    return m;
}
std::function<void(const std::string&)>& sinkRef()
{
    static std::function<void(const std::string&)> sink;
    return sink;
}
} // namespace

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
    std::lock_guard lock(logMutex());
    if (auto& sink = sinkRef()) {
        sink(message);
        return;
    }
    const std::string line = logPrefix() + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void setLogSink(std::function<void(const std::string&)> sink)
{
    std::lock_guard lock(logMutex());
    sinkRef() = std::move(sink);
}

} // namespace platform
