#include "stats/IntervalAverager.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace plovex::stats {

IntervalAverager::IntervalAverager(Clock::duration interval, std::size_t series, Clock::time_point start, Sink sink)
    : interval_(interval), seriesCount_(series), sink_(std::move(sink)), series_(series)
{
    if (interval_ <= Clock::duration::zero())
        throw std::invalid_argument("an averaging interval must be longer than zero");
    restartAt(start);
}

IntervalAverager::Clock::time_point IntervalAverager::alignedStart(Clock::time_point t) const
{
    const auto since = t.time_since_epoch();
    auto whole = since / interval_;
    if (since % interval_ < Clock::duration::zero())
        --whole; // toward minus infinity
    return Clock::time_point(whole * interval_);
}

void IntervalAverager::restartAt(Clock::time_point t)
{
    start_ = t;
    end_ = alignedStart(t) + interval_;
    accounted_ = t;
    upTime_ = {};
    count_ = 0;
    series_.assign(seriesCount_, RunningStats());
    linkUp_ = false; // nothing known yet
}

void IntervalAverager::accountTo(Clock::time_point t)
{
    t = std::min(t, end_);
    if (t <= accounted_)
        return;
    if (linkUp_) {
        const auto upEnd = std::min(t, lastUpAt_ + kUpHold);
        if (upEnd > accounted_)
            upTime_ += upEnd - accounted_;
    }
    accounted_ = t;
}

void IntervalAverager::close(Clock::time_point end)
{
    accountTo(end);
    if (end > start_) {
        IntervalSummary s;
        s.start = start_;
        s.length = end - start_;
        s.count = count_;
        s.series = std::move(series_);
        s.linkUp = std::clamp(std::chrono::duration<double>(upTime_) / std::chrono::duration<double>(s.length), 0.0, 1.0);
        sink_(s);
    }
    start_ = end;
    end_ = alignedStart(end) + interval_;
    accounted_ = end;
    upTime_ = {};
    count_ = 0;
    series_.assign(seriesCount_, RunningStats());
}

void IntervalAverager::moveTo(Clock::time_point t)
{
    if (t < start_) {
        if (start_ - t > kClockStepTolerance) {
            // The clock was set back: what was open ends where it got to,
            // and the intervals begin again from the new time.
            close(std::max(accounted_, start_));
            restartAt(t);
        }
        return; // late: counted in the open interval
    }
    while (t >= end_) {
        if ((t - end_) / interval_ > kMaxEmptyIntervals) {
            // The clock leapt ahead: the open interval as it is, then one
            // empty summary over the gap.
            close(end_);
            end_ = alignedStart(t);
            close(end_);
        } else {
            close(end_);
        }
    }
}

void IntervalAverager::add(Clock::time_point t, bool linkUp, std::span<const double> values)
{
    moveTo(t);
    accountTo(t);
    linkUp_ = linkUp;
    if (!linkUp)
        return;
    lastUpAt_ = std::max(t, accounted_);
    ++count_;
    const std::size_t n = std::min(values.size(), series_.size());
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isnan(values[i]))
            series_[i].add(values[i]);
}

void IntervalAverager::closeUntil(Clock::time_point now)
{
    const auto before = now - std::chrono::duration_cast<Clock::duration>(kCloseDelay);
    if (before >= end_ && before >= start_)
        moveTo(before);
}

void IntervalAverager::finish(Clock::time_point now)
{
    if (now >= end_)
        moveTo(now);
    if (now > start_)
        close(now);
}

} // namespace plovex::stats
