#include "app/QtMainThread.h"

#include "platform/Log.h"

#include <exception>

namespace plovex {

QtMainThread::QtMainThread() = default;

void QtMainThread::post(std::function<void()> task)
{
    // Queued calls to one receiver are delivered in the order they were posted.
    QMetaObject::invokeMethod(
        &context_,
        [task = std::move(task)] {
            // An exception must not unwind through Qt's event loop.
            try {
                task();
            } catch (const std::exception& e) {
                platform::logEntry(std::string("main-thread task failed: ") + e.what());
            } catch (...) {
                platform::logEntry("main-thread task failed with an unknown exception");
            }
        },
        Qt::QueuedConnection);
}

} // namespace plovex
