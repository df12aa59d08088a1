#pragma once
// What waits to be sent to a broker or a database, oldest first, bounded by
// age and by memory. Adding to a full buffer drops the oldest entries; the
// buffer counts them, with the span of record times they stood for, until
// the owner takes the count to say so.
//
// Not locked: its owner holds it under its own lock.

#include "platform/Record.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace plovex::fleet {

// The pace both senders keep while the far end is away: the pause between
// tries doubles up to kLongestBackOff, and what was dropped is said at most
// once every kDropReportInterval.
constexpr std::chrono::seconds kLongestBackOff{30};
constexpr std::chrono::seconds kDropReportInterval{10};

struct BufferLimits {
    std::chrono::milliseconds age{std::chrono::minutes(10)};
    std::size_t bytes = 64u << 20; // 64 MiB: a small computer can spare it
};

class SendBuffer {
public:
    using Clock = std::chrono::steady_clock;

    struct Entry {
        std::string text;
        int kind = 0;                    // the owner's: the MQTT topic, say
        platform::RecordTime recordTime; // the time the record stands for
        Clock::time_point queuedAt;
    };

    // Entries dropped since the last takeDrops, and the record times they spanned.
    struct Drops {
        uint64_t count = 0;
        platform::RecordTime first, last;
    };

    explicit SendBuffer(BufferLimits limits) : limits_(limits) {}

    // Adds entry at the end, then drops from the front what is older than
    // the age limit (by entry's queuedAt) or beyond the byte limit.
    void push(Entry entry);
    // Puts entries taken earlier and not sent back at the front, in their
    // order, then drops as push does.
    void pushFront(std::vector<Entry> entries);
    // Takes up to n entries from the front.
    std::vector<Entry> take(std::size_t n);

    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    // The memory the entries hold: their text and their own bookkeeping.
    std::size_t bytes() const { return bytes_; }
    const BufferLimits& limits() const { return limits_; }

    Drops takeDrops();

    static std::size_t footprint(const Entry& e) { return e.text.size() + sizeof(Entry); }

private:
    void trim(Clock::time_point now);
    void dropFront();

    const BufferLimits limits_;
    std::deque<Entry> entries_;
    std::size_t bytes_ = 0;
    Drops drops_;
};

// "the 12 oldest records, from 20:31:02 to 20:31:40" (local times of day).
std::string describeDrops(const SendBuffer::Drops& drops);

// "600 s or 64 MB": the limits as the user gave them.
std::string describeLimits(const BufferLimits& limits);

} // namespace plovex::fleet
