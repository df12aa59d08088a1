#include "cli/MainLoop.h"

#include "cli/StopSignals.h"
#include "platform/MainThread.h"
#include "platform/NotificationQueue.h"

#include <chrono>

namespace plovex::cli {

namespace {

// The queue delivers when the loop is idle; one handler serves the process.
void deliverQueueWhenIdle(platform::RunLoop& loop)
{
    static const bool installed = [&loop] {
        loop.addIdleHandler([] { platform::NotificationQueue::defaultQueue().deliverWhenIdle(); });
        return true;
    }();
    (void)installed;
}

} // namespace

MainLoop::MainLoop()
    : loop_(platform::defaultRunLoop()), handOver_(&loop_, platform::NotificationQueue::defaultQueue())
{
    deliverQueueWhenIdle(loop_);
}

MainLoop::~MainLoop()
{
    for (const auto token : observers_)
        platform::NotificationCenter::defaultCenter().removeObserver(token);
}

void MainLoop::observe(const std::string& name, platform::NotificationCenter::Handler handler)
{
    observers_.push_back(platform::NotificationCenter::defaultCenter().addObserver(name, std::move(handler)));
}

void MainLoop::run(std::optional<double> seconds, const std::function<void()>& check)
{
    using namespace std::chrono;
    StopSignals signals;
    stopped_ = false;
    const auto start = steady_clock::now();
    // Beyond some thirty years a limit is no limit (and would overflow the clock).
    const bool limited = seconds && *seconds < 1e9;
    const auto deadline = limited ? start + duration_cast<steady_clock::duration>(duration<double>(*seconds))
                                  : steady_clock::time_point::max();
    auto finished = [&] {
        if (check && !stopped_)
            check();
        return stopped_ || StopSignals::requested();
    };
    // runUntil returns at the latest after each slice, so the deadline is
    // kept however long the whole run is.
    while (!finished()) {
        const auto now = steady_clock::now();
        if (now >= deadline)
            break;
        const auto slice = std::min<steady_clock::duration>(deadline - now, duration_cast<steady_clock::duration>(hours(1)));
        loop_.runUntil(finished, ceil<milliseconds>(slice));
    }
}

void MainLoop::stop()
{
    stopped_ = true;
    loop_.stop();
}

} // namespace plovex::cli
