// Acquisition throughput: the real commPort against the simulated board,
// paced at the line speed (or not), through the whole record path to the
// observers. Prints figures measured in this one run.
//
//   bench_acquisition [--seconds S | --minutes M] [--unpaced]

#include "cli/Args.h"
#include "link/commPort.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "sim/SimulatedBoard.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {

// Counts and timestamps every hand-over; the k-th hand-over is the k-th
// delivered record, since the path keeps order and merges nothing.
class TimedMainThread : public platform::MainThread {
public:
    explicit TimedMainThread(platform::RunLoop& loop) : loop_(loop) {}
    void post(std::function<void()> task) override
    {
        {
            std::lock_guard lock(mutex_);
            stamps_.push_back(Clock::now());
            ++posted_;
        }
        loop_.post(std::move(task));
    }
    Clock::time_point takeStamp()
    {
        std::lock_guard lock(mutex_);
        auto t = stamps_.front();
        stamps_.pop_front();
        return t;
    }
    long posted()
    {
        std::lock_guard lock(mutex_);
        return posted_;
    }

private:
    platform::RunLoop& loop_;
    std::mutex mutex_;
    std::deque<Clock::time_point> stamps_;
    long posted_ = 0;
};

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long rssKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE) / 1024;
}

long peakRssKiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Latencies in microsecond bins up to 100 ms (the last bin takes the rest),
// allocated up front so that measuring does not grow the process.
class LatencyHistogram {
public:
    LatencyHistogram() : bins_(100001, 0) {}
    void add(double ms)
    {
        const auto us = static_cast<std::size_t>(std::max(0.0, ms * 1000.0));
        ++bins_[std::min(us, bins_.size() - 1)];
        ++count_;
    }
    double percentileMs(double p) const
    {
        const auto want = static_cast<unsigned long>(p * static_cast<double>(count_));
        unsigned long seen = 0;
        for (std::size_t us = 0; us < bins_.size(); ++us)
            if ((seen += bins_[us]) > want)
                return static_cast<double>(us) / 1000.0;
        return 0;
    }

private:
    std::vector<unsigned long> bins_;
    unsigned long count_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    using namespace plovex;
    const auto args = cli::parseArgs({argv + 1, argv + argc}, {"seconds", "minutes"}, {"unpaced"});
    if (!args.error.empty() || args.has("help")) {
        std::cerr << (args.error.empty() ? "" : args.error + "\n")
                  << "usage: bench_acquisition [--seconds S | --minutes M] [--unpaced]\n";
        return args.error.empty() ? 0 : 2;
    }
    double seconds = 10;
    if (auto s = args.option("seconds"))
        seconds = cli::parseSeconds(*s).value_or(-1);
    if (auto m = args.option("minutes"))
        seconds = 60 * cli::parseSeconds(*m).value_or(-1);
    if (seconds <= 0) {
        std::cerr << "bench_acquisition: the duration must be a positive number\n";
        return 2;
    }
    const bool paced = !args.has("unpaced");

    sim::BoardOptions bo;
    bo.paced = paced;
    bo.publish = false;
    bo.frameLogLimit = 64; // the board's record of frames is not what is measured
    bo.linkPath = "/tmp/plovex-bench-" + std::to_string(getpid());
    sim::SimulatedBoard board(bo);
    if (!board.start()) {
        std::cerr << "bench_acquisition: cannot start the simulated board: " << board.error() << "\n";
        return 1;
    }

    platform::RunLoop loop;
    platform::NotificationCenter center;
    platform::NotificationQueue queue(center);
    loop.addIdleHandler([&] { queue.deliverWhenIdle(); });
    TimedMainThread main(loop);

    long measurements = 0, parameters = 0, delivered = 0;
    bool measuring = false;
    LatencyHistogram latency;
    auto observe = [&](const platform::Notification& n) {
        const auto stamp = main.takeStamp();
        ++delivered;
        if (!measuring)
            return;
        latency.add(std::chrono::duration<double, std::milli>(Clock::now() - stamp).count());
        if (n.name == "inclinoData")
            ++measurements;
        else
            ++parameters;
    };
    center.addObserver("inclinoData", observe);
    center.addObserver("inclinoParameter", observe);

    commPortOptions o;
    o.mainThread = &main;
    o.queue = &queue;
    {
        commPort port(o);
        port.setCommPortPath(board.linkPath());
        port.setBaudRate(38400);
        port.OpenPort();
        // Past the 1 s start pause and the first frames before measuring.
        loop.runFor(std::chrono::milliseconds(1500));
        measuring = true;
        const long rssStart = rssKiB();
        const double cpuStart = cpuSeconds();
        const auto start = Clock::now();
        loop.runFor(std::chrono::milliseconds(static_cast<long>(seconds * 1000)));
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = cpuSeconds() - cpuStart;
        const long rssEnd = rssKiB();
        measuring = false;

        const double lineLimit = 1.0 / (22 * 10 / 38400.0 + 0.001 + 4 * 10 / 38400.0 / 5);
        const double rate = static_cast<double>(measurements) / elapsed;
        std::printf("acquisition against the simulated board, %s, %.0f s\n", paced ? "paced at 38400 baud" : "unpaced",
                    elapsed);
        std::printf("  measurement records per second   %.1f\n", rate);
        if (paced)
            std::printf("  ratio to the line limit (%.1f/s)  %.3f\n", lineLimit, rate / lineLimit);
        std::printf("  parameter records per second     %.1f\n", static_cast<double>(parameters) / elapsed);
        std::printf("  latency hand-over to observer    p50 %.3f ms, p99 %.3f ms\n", latency.percentileMs(0.5),
                    latency.percentileMs(0.99));
        std::printf("  CPU per 1000 records             %.3f s (whole process, simulated board included)\n",
                    measurements ? cpu * 1000.0 / static_cast<double>(measurements + parameters) : 0.0);
        std::printf("  RSS start / end / peak           %ld / %ld / %ld KiB (growth %ld KiB)\n", rssStart, rssEnd,
                    std::max(peakRssKiB(), rssEnd), rssEnd - rssStart);
    } // the loop stops here; what it handed over is then drained below
    loop.runFor(std::chrono::milliseconds(300));
    std::printf("  handed over / delivered          %ld / %ld (lost %ld)\n", main.posted(), delivered,
                main.posted() - delivered);
    return main.posted() == delivered ? 0 : 1;
}
