#pragma once
// The board's outgoing bytes, released on a schedule: with a time per byte
// set, byte i of a burst is due at start + i * perByte (the start being now,
// or when the line finishes the previous burst), and every byte that is due
// goes out together. A late wake-up sends what has fallen due, so the rate
// holds without a sleep per byte; lateness beyond a few milliseconds is
// forgiven rather than caught up in one rush. Without a time per byte,
// everything is due at once.
//
// The sender wakes at most every so often (nextWake), but always at the due
// time of the last byte queued: a reply ends exactly when the line would end
// it, whatever the steps it went out in.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace plovex::sim {

class LinePacer {
public:
    using Clock = std::chrono::steady_clock;

    void setPerByte(std::chrono::nanoseconds perByte) { perByte_ = perByte; }
    std::chrono::nanoseconds perByte() const { return perByte_; }

    void push(std::span<const std::uint8_t> bytes, Clock::time_point now);
    // Copies the bytes due at now into out (cleared first).
    void due(Clock::time_point now, std::vector<std::uint8_t>& out);
    // n of the bytes last reported due have gone out.
    void sent(std::size_t n);
    // When the next byte falls due (nothing when empty).
    std::optional<Clock::time_point> nextDue() const;
    // When to send next, sending at most every minGap: the next byte's due
    // time, or minGap from now, but never after the last byte's due time.
    std::optional<Clock::time_point> nextWake(Clock::time_point now, std::chrono::nanoseconds minGap) const;

    bool empty() const { return queue_.empty(); }
    std::size_t size() const { return queue_.size(); }
    void clear() { queue_.clear(); }

private:
    std::deque<std::uint8_t> queue_;
    std::chrono::nanoseconds perByte_{0};
    Clock::time_point nextDue_{};
    Clock::time_point lineFree_{};
};

} // namespace plovex::sim
