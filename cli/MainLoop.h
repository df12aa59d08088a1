#pragma once
// The main loop of the commands that receive records: the process's RunLoop
// is the main thread that the link hands its records to, the default
// notification queue delivers them whenever that loop is idle, and the
// observers registered here receive them from the default notification
// centre, as the window's controller does.

#include "platform/IdleHandOver.h"
#include "platform/Notification.h"
#include "platform/NotificationCenter.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class RunLoop;
} // namespace platform

namespace plovex::cli {

class MainLoop {
public:
    MainLoop();
    // Removes the observers.
    ~MainLoop();
    MainLoop(const MainLoop&) = delete;
    MainLoop& operator=(const MainLoop&) = delete;

    // handler receives every notification named name, on this thread.
    void observe(const std::string& name, platform::NotificationCenter::Handler handler);

    // Runs the loop until stop() is called, SIGINT or SIGTERM arrives, or
    // seconds have passed (no limit when none is given). check, when given,
    // is called between turns of the loop, a few times a second at least.
    void run(std::optional<double> seconds, const std::function<void()>& check = {});
    // Makes run() return; from an observer or from check.
    void stop();

    // Where a commPort hands its records over: to this loop, in batches, and
    // into the default queue, which posts them when the loop is idle.
    platform::RecordSink& sink() { return handOver_; }

private:
    platform::RunLoop& loop_;
    platform::IdleHandOver handOver_;
    std::vector<platform::NotificationCenter::Token> observers_;
    bool stopped_ = false;
};

} // namespace plovex::cli
