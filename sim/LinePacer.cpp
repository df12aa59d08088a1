#include "sim/LinePacer.h"

#include <algorithm>

namespace plovex::sim {

namespace {
constexpr auto kForgivenLateness = std::chrono::milliseconds(5);
}

void LinePacer::push(std::span<const std::uint8_t> bytes, Clock::time_point now)
{
    if (bytes.empty())
        return;
    if (queue_.empty())
        nextDue_ = std::max(now, lineFree_);
    queue_.insert(queue_.end(), bytes.begin(), bytes.end());
}

void LinePacer::due(Clock::time_point now, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (queue_.empty())
        return;
    std::size_t n = queue_.size();
    if (perByte_.count() > 0) {
        if (now < nextDue_)
            return;
        nextDue_ = std::max(nextDue_, now - kForgivenLateness);
        n = std::min<std::size_t>(n, 1 + static_cast<std::size_t>((now - nextDue_) / perByte_));
    }
    out.assign(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
}

void LinePacer::sent(std::size_t n)
{
    n = std::min(n, queue_.size());
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
    if (perByte_.count() > 0) {
        nextDue_ += perByte_ * static_cast<long>(n);
        lineFree_ = nextDue_;
    }
}

std::optional<LinePacer::Clock::time_point> LinePacer::nextDue() const
{
    if (queue_.empty())
        return std::nullopt;
    if (perByte_.count() == 0)
        return Clock::time_point{};
    return nextDue_;
}

std::optional<LinePacer::Clock::time_point> LinePacer::nextWake(Clock::time_point now,
                                                               std::chrono::nanoseconds minGap) const
{
    const auto next = nextDue();
    if (!next || perByte_.count() == 0)
        return next;
    const auto last = nextDue_ + perByte_ * static_cast<long>(queue_.size() - 1);
    return std::min(std::max(*next, now + minGap), std::max(last, *next));
}

} // namespace plovex::sim
