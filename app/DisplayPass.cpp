#include "app/DisplayPass.h"

#include <algorithm>

namespace plovex {

DisplayPass::DisplayPass(std::chrono::milliseconds interval) : interval_(interval)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &DisplayPass::run);
}

void DisplayPass::setNeedsDisplay(QWidget* widget, const QRect& area)
{
    auto it = std::find_if(pending_.begin(), pending_.end(), [widget](const Pending& p) { return p.widget == widget; });
    if (it == pending_.end())
        pending_.push_back({widget, QRegion(area)});
    else
        it->region += area;
    arm();
}

void DisplayPass::defer(const void* key, std::function<void()> show)
{
    auto it = std::find_if(deferred_.begin(), deferred_.end(), [key](const auto& d) { return d.first == key; });
    if (it == deferred_.end())
        deferred_.emplace_back(key, std::move(show));
    else
        it->second = std::move(show);
    arm();
}

void DisplayPass::arm()
{
    if (timer_.isActive())
        return;
    // Right away when the last pass is an interval back, else when it will be.
    const qint64 since = sinceLast_.isValid() ? sinceLast_.elapsed() : interval_.count();
    timer_.start(static_cast<int>(std::max<qint64>(0, interval_.count() - since)));
}

void DisplayPass::run()
{
    ++passes_;
    sinceLast_.start();
    std::vector<Pending> due;
    due.swap(pending_);
    std::vector<std::pair<const void*, std::function<void()>>> shows;
    shows.swap(deferred_);
    for (const auto& s : shows)
        s.second();
    for (const Pending& p : due)
        if (p.widget)
            p.widget->update(p.region);
}

} // namespace plovex
