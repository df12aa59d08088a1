#pragma once
// The one line that tells how the link is doing, as the window's health
// strip and the monitor's status line both show it: measurement records a
// second, time since the last one, abandoned frames, reconnects, bytes each
// way and the port in use.

#include "link/LinkHealth.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace plovex {

class HealthLine {
public:
    // The line for snapshot h taken at now, on port. The rate is worked out
    // over at least a second between snapshots; before that it shows as 0.
    std::string update(const LinkHealth& h, std::chrono::steady_clock::time_point now, const std::string& port);

    // Records a second at the last update.
    double rate() const { return rate_; }

private:
    uint64_t countAt_ = 0;
    std::chrono::steady_clock::time_point sampledAt_{};
    bool sampled_ = false;
    double rate_ = 0.0;
};

// A byte count for people: "812 B", "12.4 kB", "3.1 MB".
std::string byteCount(uint64_t bytes);

} // namespace plovex
