#include "stats/WindowStats.h"

namespace plovex::stats {

void WindowStats::setSpan(std::chrono::duration<double> span)
{
    span_ = span;
}

void WindowStats::add(Clock::time_point t, double value)
{
    values_.emplace_back(t, value);
    trim(t);
}

void WindowStats::trim(Clock::time_point now)
{
    const auto oldest = now - std::chrono::duration_cast<Clock::duration>(span_);
    while (!values_.empty() && values_.front().first <= oldest)
        values_.pop_front();
}

RunningStats WindowStats::at(Clock::time_point now)
{
    trim(now);
    RunningStats s;
    for (const auto& [t, v] : values_)
        if (t <= now)
            s.add(v);
    return s;
}

std::chrono::duration<double> WindowStats::covered(Clock::time_point now) const
{
    if (values_.empty())
        return std::chrono::duration<double>(0);
    return now - values_.front().first;
}

} // namespace plovex::stats
