#pragma once
// The main-thread hand-over of the desktop application: tasks posted from
// any thread run on the GUI thread, in posting order, as queued calls of the
// Qt event loop. post() never waits.

#include "platform/MainThread.h"

#include <QObject>

namespace plovex {

class QtMainThread final : public platform::MainThread {
public:
    // Made on the GUI thread, whose event loop will run the tasks. It must
    // outlive every object that posts to it (the commPort in particular).
    QtMainThread();

    void post(std::function<void()> task) override;
    void postAfter(std::chrono::milliseconds delay, std::function<void()> task) override;

private:
    QObject context_;
};

} // namespace plovex
