#include "link/HealthLine.h"

#include <cstdio>

namespace plovex {

std::string byteCount(uint64_t bytes)
{
    char text[32];
    if (bytes < 1000)
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else if (bytes < 1000 * 1000)
        std::snprintf(text, sizeof text, "%.1f kB", static_cast<double>(bytes) / 1e3);
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

std::string HealthLine::update(const LinkHealth& h, std::chrono::steady_clock::time_point now, const std::string& port)
{
    using Seconds = std::chrono::duration<double>;
    if (!sampled_) {
        sampled_ = true;
        sampledAt_ = now;
        countAt_ = h.measurementRecords;
    } else if (const double span = Seconds(now - sampledAt_).count(); span >= 1.0) {
        rate_ = static_cast<double>(h.measurementRecords - countAt_) / span;
        sampledAt_ = now;
        countAt_ = h.measurementRecords;
    }

    char since[48];
    if (h.lastMeasurementAt)
        std::snprintf(since, sizeof since, "last %.1f s ago", Seconds(now - *h.lastMeasurementAt).count());
    else
        std::snprintf(since, sizeof since, "none yet");
    char line[160];
    std::snprintf(line, sizeof line, "%.1f records/s, %s, %llu timeouts, %llu reconnects, sent %s, received %s", rate_,
                  since, static_cast<unsigned long long>(h.framesAbandoned),
                  static_cast<unsigned long long>(h.reconnects), byteCount(h.bytesSent).c_str(),
                  byteCount(h.bytesReceived).c_str());
    return std::string(line) + ", port " + (port.empty() ? std::string("none") : port) + (h.open ? "" : " (closed)");
}

} // namespace plovex
