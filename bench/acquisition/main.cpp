// Acquisition throughput: the real commPort against the simulated board,
// paced at the line speed (or not), through the whole record path to the
// observers. Prints figures measured in this one run.
//
//   bench_acquisition [--seconds S | --minutes M] [--unpaced] [--hold S] [--syscalls]
//
// The simulated board runs in a child process, so every figure is the
// host's alone: the link's thread, the hand-over and the main loop.
// --hold S then keeps the queue held for S seconds, as an open write
// confirmation does, and reports the heap each held record costs.
// --syscalls counts the host's system calls for 10 s with strace -c -f.

#include "bench/common/BenchArgs.h"
#include "link/BoardFacts.h"
#include "link/Records.h"
#include "link/commPort.h"
#include "platform/IdleHandOver.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "sim/SimulatedBoard.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <fcntl.h>
#include <malloc.h>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using Clock = std::chrono::steady_clock;

namespace {

// Counts and timestamps every record handed over; the k-th record handed
// over is the k-th delivered, since the path keeps order and merges nothing.
class TimedSink : public platform::RecordSink {
public:
    explicit TimedSink(platform::RecordSink& inner) : inner_(inner) {}
    void handOver(const char* name, platform::RecordPtr record) override
    {
        {
            std::lock_guard lock(mutex_);
            if (stamping_)
                stamps_.push_back({posted_, Clock::now()});
            ++posted_;
        }
        inner_.handOver(name, std::move(record));
    }
    // When the k-th record was handed over, if that was noted.
    std::optional<Clock::time_point> takeStamp(long k)
    {
        std::lock_guard lock(mutex_);
        if (stamps_.empty() || stamps_.front().first != k)
            return std::nullopt;
        const auto t = stamps_.front().second;
        stamps_.pop_front();
        return t;
    }
    // Whether hand-overs are noted (not while the queue holds them, so the
    // notes do not count as heap the held records take).
    void setStamping(bool on)
    {
        std::lock_guard lock(mutex_);
        stamping_ = on;
    }
    long posted()
    {
        std::lock_guard lock(mutex_);
        return posted_;
    }

private:
    platform::RecordSink& inner_;
    std::mutex mutex_;
    std::deque<std::pair<long, Clock::time_point>> stamps_;
    long posted_ = 0;
    bool stamping_ = true;
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

// Heap in use, chunk overhead included, over every arena.
std::size_t heapInUse()
{
    return mallinfo2().uordblks;
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

// The simulated board in a process of its own, started before this one has
// any thread. It ends when this process closes its side of the lifeline.
struct BoardProcess {
    pid_t pid = -1;
    int lifeline = -1;
    std::string error;

    bool start(const plovex::sim::BoardOptions& options)
    {
        int ready[2], life[2];
        if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(life, O_CLOEXEC) != 0) {
            error = "pipe failed";
            return false;
        }
        pid = ::fork();
        if (pid < 0) {
            error = "fork failed";
            return false;
        }
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::close(ready[0]);
            ::close(life[1]);
            plovex::sim::SimulatedBoard board(options);
            const char status = board.start() ? 'y' : 'n';
            [[maybe_unused]] auto w = ::write(ready[1], &status, 1);
            char c;
            while (::read(life[0], &c, 1) > 0) {
            }
            board.stop();
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(life[0]);
        lifeline = life[1];
        char status = 'n';
        const bool ok = ::read(ready[0], &status, 1) == 1 && status == 'y';
        ::close(ready[0]);
        if (!ok)
            error = "the simulated board did not start";
        return ok;
    }
    void stop()
    {
        if (lifeline >= 0)
            ::close(lifeline);
        if (pid > 0)
            ::waitpid(pid, nullptr, 0);
        lifeline = pid = -1;
    }
};

// strace -c -f attached to this process for as long as the object lives.
class SyscallCounter {
public:
    bool start()
    {
        file_ = std::filesystem::temp_directory_path() / ("plovex-bench-strace-" + std::to_string(::getpid()));
        const std::string self = std::to_string(::getpid());
        std::vector<std::string> args = {"strace", "-c", "-f", "-q", "-o", file_.string(), "-p", self};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&pid_, "strace", nullptr, nullptr, argv.data(), environ) != 0)
            return false;
        // Attached once every thread of this process has a tracer.
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < until) {
            if (allTraced())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // Detaches and returns the calls counted.
    std::optional<long> finish()
    {
        ::kill(pid_, SIGINT);
        ::waitpid(pid_, nullptr, 0);
        std::ifstream in(file_);
        std::string line;
        std::optional<long> total;
        while (std::getline(in, line)) {
            std::istringstream f(line);
            std::vector<std::string> w;
            for (std::string x; f >> x;)
                w.push_back(x);
            if (w.size() >= 5 && w.back() == "total")
                total = std::stol(w[3]);
        }
        std::filesystem::remove(file_);
        return total;
    }

private:
    static bool allTraced()
    {
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            std::ifstream status(task.path() / "status");
            std::string line;
            while (std::getline(status, line))
                if (line.rfind("TracerPid:", 0) == 0 && std::stol(line.substr(10)) == 0)
                    return false;
        }
        return true;
    }
    pid_t pid_ = -1;
    std::filesystem::path file_;
};

} // namespace

int main(int argc, char** argv)
{
    using namespace plovex;
    auto args = bench::readArgs(argc, argv, {"seconds", "minutes", "hold"}, {"unpaced", "syscalls"});
    double seconds = 10, hold = 10;
    if (auto s = args.number("seconds", 0.1))
        seconds = *s;
    if (auto m = args.number("minutes", 0.01))
        seconds = 60 * *m;
    if (auto h = args.number("hold", 0))
        hold = *h;
    if (!args.error.empty() || args.has("help")) {
        std::cerr << (args.error.empty() ? "" : "bench_acquisition: " + args.error + "\n")
                  << "usage: bench_acquisition [--seconds S | --minutes M] [--unpaced] [--hold S] [--syscalls]\n";
        return args.error.empty() ? 0 : 2;
    }
    const bool paced = !args.has("unpaced");

    sim::BoardOptions bo;
    bo.paced = paced;
    bo.publish = false;
    bo.frameLogLimit = 64; // the board's record of frames is not what is measured
    bo.linkPath = "/tmp/plovex-bench-" + std::to_string(getpid());
    BoardProcess board;
    if (!board.start(bo)) {
        std::cerr << "bench_acquisition: " << board.error << "\n";
        return 1;
    }

    platform::RunLoop loop;
    platform::NotificationCenter center;
    platform::NotificationQueue queue(center);
    loop.addIdleHandler([&] { queue.deliverWhenIdle(); });
    platform::IdleHandOver handOver(&loop, queue);
    TimedSink sink(handOver);

    long measurements = 0, parameters = 0, delivered = 0;
    bool measuring = false;
    LatencyHistogram latency;
    auto observe = [&](const platform::Notification& n) {
        const auto stamp = sink.takeStamp(delivered++);
        if (!measuring)
            return;
        if (stamp)
            latency.add(std::chrono::duration<double, std::milli>(Clock::now() - *stamp).count());
        if (n.name == records::kInclinoData)
            ++measurements;
        else
            ++parameters;
    };
    center.addObserver(records::kInclinoData, observe);
    center.addObserver(records::kInclinoParameter, observe);

    commPortOptions o;
    o.sink = &sink;
    {
        commPort port(o);
        port.setCommPortPath(bo.linkPath);
        port.setBaudRate(board::kLineSpeed);
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

        // A poll byte and a frame, the 1 ms pause, and a fifth of a 4-byte EEPROM exchange.
        const double byteTime = 10.0 / board::kLineSpeed;
        const double lineLimit = 1.0 / (22 * byteTime + 0.001 + 4 * byteTime / 5);
        const double rate = static_cast<double>(measurements) / elapsed;
        std::printf("acquisition against the simulated board (a process of its own), %s, %.0f s\n",
                    paced ? "paced at the line speed" : "unpaced", elapsed);
        std::printf("  measurement records per second   %.1f\n", rate);
        if (paced)
            std::printf("  ratio to the line limit (%.1f/s)  %.3f\n", lineLimit, rate / lineLimit);
        std::printf("  parameter records per second     %.1f\n", static_cast<double>(parameters) / elapsed);
        std::printf("  latency hand-over to observer    p50 %.3f ms, p99 %.3f ms\n", latency.percentileMs(0.5),
                    latency.percentileMs(0.99));
        std::printf("  CPU per 1000 records             %.3f s (this process: link, hand-over, main loop)\n",
                    measurements ? cpu * 1000.0 / static_cast<double>(measurements + parameters) : 0.0);
        std::printf("  RSS start / end                  %ld / %ld KiB (growth %ld KiB)\n", rssStart, rssEnd,
                    rssEnd - rssStart);
        std::printf("  main-thread wake-ups per record  %.2f\n",
                    static_cast<double>(handOver.wakeUps()) / static_cast<double>(std::max(1L, sink.posted())));
        std::fflush(stdout);

        if (args.has("syscalls")) {
            SyscallCounter strace;
            if (!strace.start()) {
                std::printf("  system calls per measurement     not counted (strace could not attach)\n");
            } else {
                const long before = measurements;
                measuring = true;
                loop.runFor(std::chrono::seconds(10));
                measuring = false;
                const auto calls = strace.finish();
                const long counted = measurements - before;
                if (calls && counted > 0)
                    std::printf("  system calls per measurement     %.1f (%ld calls, %ld records, strace -c -f, 10 s)\n",
                                static_cast<double>(*calls) / static_cast<double>(counted), *calls, counted);
                else
                    std::printf("  system calls per measurement     not counted (no strace summary)\n");
            }
            std::fflush(stdout);
        }

        if (hold > 0) {
            // As while the write confirmation is open: every record waits in the queue.
            sink.setStamping(false);
            loop.runFor(std::chrono::milliseconds(200));
            platform::ModalSession confirmation(queue);
            const std::size_t heapBefore = heapInUse();
            const std::size_t heldBefore = queue.pending();
            loop.runFor(std::chrono::milliseconds(static_cast<long>(hold * 1000)));
            const std::size_t held = queue.pending() - heldBefore;
            const std::size_t heapAfter = heapInUse();
            std::printf("  heap per held record             %.1f bytes (%zu records held %.0f s; the key lists are "
                        "shared)\n",
                        held ? static_cast<double>(heapAfter - heapBefore) / static_cast<double>(held) : 0.0, held,
                        hold);
        }
    } // the loop stops here; what it handed over is then drained below
    loop.runFor(std::chrono::milliseconds(300));
    board.stop();
    std::printf("  handed over / delivered          %ld / %ld (lost %ld)\n", sink.posted(), delivered,
                sink.posted() - delivered);
    return sink.posted() == delivered ? 0 : 1;
}
