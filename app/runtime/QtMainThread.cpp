#include "app/runtime/QtMainThread.h"

#include "platform/Log.h"

#include <QTimer>

#include <exception>

namespace plovex {

QtMainThread::QtMainThread() = default;

namespace {

// An exception must not unwind through Qt's event loop.
void runGuarded(const std::function<void()>& task)
{
    try {
        task();
    } catch (const std::exception& e) {
        platform::logEntry(std::string("main-thread task failed: ") + e.what());
    } catch (...) {
        platform::logEntry("main-thread task failed with an unknown exception");
    }
}

} // namespace

void QtMainThread::post(std::function<void()> task)
{
    // Queued calls to one receiver are delivered in the order they were posted.
    QMetaObject::invokeMethod(&context_, [task = std::move(task)] { runGuarded(task); }, Qt::QueuedConnection);
}

void QtMainThread::postAfter(std::chrono::milliseconds delay, std::function<void()> task)
{
    QTimer::singleShot(delay, &context_, [task = std::move(task)] { runGuarded(task); });
}

} // namespace plovex
