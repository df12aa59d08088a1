#pragma once
// For the Qt suites: the one offscreen QApplication of a test program, and
// running its event loop until something holds.

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

namespace testsupport {

inline void ensureApplication()
{
    if (QApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen"); // the same pixels on every machine, display or none
    static int argc = 1;
    static char name[] = "plovex_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // never destroyed: at exit Qt's own globals may be gone already
}

// Runs the event loop, as exec() does, until done() holds or timeout passes.
inline bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    QEventLoop loop;
    QTimer poll, deadline;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done && done())
            loop.quit();
    });
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(2);
    deadline.start(static_cast<int>(timeout.count()));
    if (!(done && done()))
        loop.exec();
    return done && done();
}

} // namespace testsupport
