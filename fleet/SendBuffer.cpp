#include "fleet/SendBuffer.h"

#include <algorithm>
#include <ctime>

namespace plovex::fleet {

void SendBuffer::push(Entry entry)
{
    const auto now = entry.queuedAt;
    bytes_ += footprint(entry);
    entries_.push_back(std::move(entry));
    trim(now);
}

void SendBuffer::pushFront(std::vector<Entry> entries)
{
    if (entries.empty())
        return;
    Clock::time_point newest = entries.back().queuedAt;
    if (!entries_.empty())
        newest = std::max(newest, entries_.back().queuedAt);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        bytes_ += footprint(*it);
        entries_.push_front(std::move(*it));
    }
    trim(newest);
}

std::vector<SendBuffer::Entry> SendBuffer::take(std::size_t n)
{
    std::vector<Entry> out;
    n = std::min(n, entries_.size());
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        bytes_ -= footprint(entries_.front());
        out.push_back(std::move(entries_.front()));
        entries_.pop_front();
    }
    return out;
}

SendBuffer::Drops SendBuffer::takeDrops()
{
    return std::exchange(drops_, Drops{});
}

void SendBuffer::trim(Clock::time_point now)
{
    while (!entries_.empty() && (now - entries_.front().queuedAt > limits_.age || bytes_ > limits_.bytes))
        dropFront();
}

void SendBuffer::dropFront()
{
    const Entry& e = entries_.front();
    // Entries put back at the front may be older than some dropped before.
    if (drops_.count++ == 0)
        drops_.first = drops_.last = e.recordTime;
    drops_.first = std::min(drops_.first, e.recordTime);
    drops_.last = std::max(drops_.last, e.recordTime);
    bytes_ -= footprint(e);
    entries_.pop_front();
}

namespace {

std::string timeOfDay(platform::RecordTime t)
{
    const std::time_t seconds = platform::RecordClock::to_time_t(t);
    std::tm local{};
    char text[16] = "";
    if (::localtime_r(&seconds, &local))
        std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string number(double value)
{
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text;
}

} // namespace

std::string describeDrops(const SendBuffer::Drops& drops)
{
    return "the " + std::to_string(drops.count) + " oldest record" + (drops.count == 1 ? "" : "s") + ", from " +
           timeOfDay(drops.first) + " to " + timeOfDay(drops.last);
}

std::string describeLimits(const BufferLimits& limits)
{
    return number(std::chrono::duration<double>(limits.age).count()) + " s or " +
           number(static_cast<double>(limits.bytes) / (1 << 20)) + " MB";
}

} // namespace plovex::fleet
