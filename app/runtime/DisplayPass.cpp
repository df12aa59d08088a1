#include "app/runtime/DisplayPass.h"

#include <QEvent>
#include <QWindow>

#include <algorithm>

namespace plovex {

DisplayPass::DisplayPass(std::chrono::milliseconds interval) : interval_(interval)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &DisplayPass::run);
}

void DisplayPass::watch(QWidget* window)
{
    window_ = window;
    window->installEventFilter(this);
}

bool DisplayPass::held() const
{
    if (!window_)
        return false;
    if (!window_->isVisible() || window_->isMinimized())
        return true;
    const QWindow* handle = window_->windowHandle();
    return handle && !handle->isExposed();
}

bool DisplayPass::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
        // The window's QWindow exists from its first show; exposure is told there.
        if (!windowHandle_ && window_ && window_->windowHandle()) {
            windowHandle_ = window_->windowHandle();
            windowHandle_->installEventFilter(this);
        }
        [[fallthrough]];
    case QEvent::WindowStateChange:
    case QEvent::Expose:
        if (!deferred_.empty())
            arm(); // back in sight: one pass shows what waited
        // Out of sight or back (a hidden window is unexposed too): told once
        // the event has done its work on the window's state.
        if (inSight_ && !sightCheckDue_) {
            sightCheckDue_ = true;
            QMetaObject::invokeMethod(this, &DisplayPass::checkSight, Qt::QueuedConnection);
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void DisplayPass::onSightChanged(std::function<void(bool inSight)> inSight)
{
    inSight_ = std::move(inSight);
    toldInSight_ = true;
    checkSight();
}

void DisplayPass::checkSight()
{
    sightCheckDue_ = false;
    const bool inSight = !held();
    if (inSight == toldInSight_ || !inSight_)
        return;
    toldInSight_ = inSight;
    inSight_(inSight);
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
    if (timer_.isActive() || held())
        return;
    // Right away when the last pass is an interval back, else when it will be.
    const qint64 since = sinceLast_.isValid() ? sinceLast_.elapsed() : interval_.count();
    timer_.start(static_cast<int>(std::max<qint64>(0, interval_.count() - since)));
}

void DisplayPass::run()
{
    if (held())
        return; // what waits is shown once the window is back
    ++passes_;
    sinceLast_.start();
    std::vector<std::pair<const void*, std::function<void()>>> shows;
    shows.swap(deferred_);
    for (const auto& s : shows)
        s.second();
    // Keeps the vector's room for the next pass.
    shows.clear();
    if (deferred_.empty())
        deferred_.swap(shows);
}

} // namespace plovex
