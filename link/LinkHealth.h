#pragma once
// What the link counts about itself while it runs: records, abandoned
// frames, reopenings and bytes on the line. The acquisition thread counts
// with relaxed atomic additions (no lock on the hot path); any thread may
// take a snapshot.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace plovex {

struct LinkHealth {
    uint64_t measurementRecords = 0; // measurement records from completed frames
    // When the last of them was handed over; none yet when empty.
    std::optional<std::chrono::steady_clock::time_point> lastMeasurementAt;
    uint64_t framesAbandoned = 0; // polls without a complete reply (timeouts, noise, errors)
    uint64_t reconnects = 0;      // opens of the line after the first
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
    // Parameters the acquisition loop's sweep read (readEEPROM), each handed
    // over as a parameter record: the reads that reach the table. Verified
    // reads (whole sets, read-backs) make no record and are not counted.
    uint64_t eepromReads = 0;
    bool open = false;
};

// The counters behind a LinkHealth snapshot.
class LinkCounters {
public:
    void measurement(std::chrono::steady_clock::time_point at)
    {
        lastMeasurementNs_.store(at.time_since_epoch().count(), std::memory_order_relaxed);
        measurements_.fetch_add(1, std::memory_order_release);
    }
    void abandoned() { abandoned_.fetch_add(1, std::memory_order_relaxed); }
    void opened() { opens_.fetch_add(1, std::memory_order_relaxed); }
    void sent(std::size_t n) { sent_.fetch_add(n, std::memory_order_relaxed); }
    void received(std::size_t n) { received_.fetch_add(n, std::memory_order_relaxed); }
    void eepromRead() { eepromReads_.fetch_add(1, std::memory_order_relaxed); }

    LinkHealth snapshot(bool open) const
    {
        LinkHealth h;
        h.measurementRecords = measurements_.load(std::memory_order_acquire);
        if (h.measurementRecords > 0)
            h.lastMeasurementAt = std::chrono::steady_clock::time_point(
                std::chrono::steady_clock::duration(lastMeasurementNs_.load(std::memory_order_relaxed)));
        h.framesAbandoned = abandoned_.load(std::memory_order_relaxed);
        const uint64_t opens = opens_.load(std::memory_order_relaxed);
        h.reconnects = opens > 0 ? opens - 1 : 0;
        h.bytesSent = sent_.load(std::memory_order_relaxed);
        h.bytesReceived = received_.load(std::memory_order_relaxed);
        h.eepromReads = eepromReads_.load(std::memory_order_relaxed);
        h.open = open;
        return h;
    }

private:
    std::atomic<uint64_t> measurements_{0};
    std::atomic<std::chrono::steady_clock::rep> lastMeasurementNs_{0};
    std::atomic<uint64_t> abandoned_{0};
    std::atomic<uint64_t> opens_{0};
    std::atomic<uint64_t> sent_{0};
    std::atomic<uint64_t> received_{0};
    std::atomic<uint64_t> eepromReads_{0};
};

} // namespace plovex
