// Soak: the real commPort against the simulated board at full rate (paced at
// 38400 baud, the loop's own pauses) for minutes on end, with faults mixed in
// on a schedule. Prints what was handed over and delivered, what was lost,
// how often the link came back, and the process's descriptors and memory at
// start and end. Exits 1 when a record was lost or descriptors grew.
//
//   bench_soak [--minutes M | --seconds S] [--seed N] [--interval-ms MS] [--faults K,K,...]
//
// --faults limits the rotation to some kinds: stray, stray-header, drop,
// flip, flood, silence, unplug, slow, write, reset ("none" for a clean run).

#include "bench/soak/FaultSchedule.h"
#include "bench/soak/ProcessFigures.h"
#include "bench/common/BenchArgs.h"
#include "bench/soak/RecordTally.h"
#include "link/BoardFacts.h"
#include "link/commPort.h"
#include "platform/IdleHandOver.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "sim/SimulatedBoard.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// Counts every record on its way to the main loop.
class CountingSink : public platform::RecordSink {
public:
    explicit CountingSink(platform::RecordSink& inner) : inner_(inner) {}
    void handOver(const char* name, platform::RecordPtr record) override
    {
        ++posted;
        inner_.handOver(name, std::move(record));
    }
    std::atomic<long> posted{0};

private:
    platform::RecordSink& inner_;
};

struct Settings {
    double seconds = 60;
    std::uint64_t seed = 1;
    std::chrono::milliseconds interval{2000};
    std::vector<soak::Fault> kinds; // empty: all
    bool none = false;
};

// "a,b,c" into fault kinds; false on an unknown name.
bool parseFaults(const std::string& list, Settings& s)
{
    if (list == "none") {
        s.none = true;
        return true;
    }
    std::size_t at = 0;
    while (at <= list.size()) {
        const auto comma = std::min(list.find(',', at), list.size());
        const auto word = list.substr(at, comma - at);
        bool known = false;
        for (int i = 0; i < static_cast<int>(soak::Fault::Count); ++i)
            if (word == soak::faultKey(static_cast<soak::Fault>(i))) {
                s.kinds.push_back(static_cast<soak::Fault>(i));
                known = true;
            }
        if (!known)
            return false;
        at = comma + 1;
    }
    return true;
}

int usage(const std::string& error)
{
    std::cerr << (error.empty() ? "" : "bench_soak: " + error + "\n")
              << "usage: bench_soak [--minutes M | --seconds S] [--seed N] [--interval-ms MS] [--faults K,K,...]\n"
              << "  faults: stray, stray-header, drop, flip, flood, silence, unplug, slow, write, reset, or none\n";
    return error.empty() ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace plovex;
    auto args = bench::readArgs(argc, argv, {"seconds", "minutes", "seed", "interval-ms", "faults"}, {});
    if (!args.error.empty() || args.has("help"))
        return usage(args.error);
    Settings s;
    if (auto v = args.number("seconds", 0.001))
        s.seconds = *v;
    if (auto v = args.number("minutes", 0.001))
        s.seconds = 60 * *v;
    if (auto v = args.number("seed", 0))
        s.seed = static_cast<std::uint64_t>(*v);
    if (auto v = args.number("interval-ms", 50))
        s.interval = std::chrono::milliseconds(static_cast<long>(*v));
    if (!args.error.empty())
        return usage(args.error);
    if (auto v = args.value("faults"); v && !parseFaults(*v, s))
        return usage("--faults takes a comma-separated list of fault kinds");

    const int fdsBefore = soak::openDescriptors();
    platform::RunLoop loop;
    platform::NotificationCenter center;
    platform::NotificationQueue queue(center);
    loop.addIdleHandler([&] { queue.deliverWhenIdle(); });
    platform::IdleHandOver handOver(&loop, queue);
    CountingSink main(handOver);
    soak::RecordTally tally(s.seed);
    center.addObserver("inclinoData", [&](const platform::Notification& n) { tally.observe(n); });
    center.addObserver("inclinoParameter", [&](const platform::Notification& n) { tally.observe(n); });

    int fdsStart = 0, fdsEnd = 0;
    long rssStart = 0, rssEnd = 0;
    bool upAtEnd = false;
    sim::BoardCounters board{};
    soak::FaultSchedule::Clock::duration ran{};
    std::array<long, static_cast<std::size_t>(soak::Fault::Count)> applied{};
    long writesIssued = 0;
    double longestWriteMs = 0;
    std::string boardError;
    {
        sim::BoardOptions bo;
        bo.paced = true;
        bo.publish = false;
        bo.seed = s.seed;
        bo.frameLogLimit = 0; // a long run keeps counts, not frames
        bo.linkPath = "/tmp/plovex-soak-" + std::to_string(::getpid());
        sim::SimulatedBoard sim(bo);
        if (!sim.start()) {
            std::cerr << "bench_soak: cannot start the simulated board: " << sim.error() << "\n";
            return 1;
        }
        commPortOptions o;
        o.sink = &main;
        commPort port(o);
        port.setCommPortPath(sim.linkPath());
        port.setBaudRate(board::kLineSpeed);
        port.OpenPort(); // within the loop's 1.0 s start pause, as at launch

        // Past the start pause and the first frames before taking the start figures.
        loop.runFor(2000ms);
        fdsStart = soak::openDescriptors();
        rssStart = soak::rssKiB();

        soak::FaultSchedule schedule(sim, port, s.seed, s.none ? std::chrono::hours(24 * 365) : s.interval, s.kinds);
        const auto start = Clock::now();
        const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s.seconds));
        while (Clock::now() < end) {
            loop.runFor(20ms);
            schedule.tick(Clock::now());
        }
        ran = Clock::now() - start;
        schedule.finish();
        // A fresh measurement once the faults are over: the link comes back
        // within two link-down pauses and one exchange.
        const long framesAtFinish = tally.exactFrames + tally.misreadFrames;
        upAtEnd = loop.runUntil([&] { return tally.exactFrames + tally.misreadFrames > framesAtFinish; }, 5s);
        fdsEnd = soak::openDescriptors();
        rssEnd = soak::rssKiB();
        board = sim.counters();
        boardError = sim.error();
        applied = schedule.applied;
        writesIssued = schedule.writesIssued;
        longestWriteMs = schedule.longestWrite.count() * 1000;
    } // port, then board, stop here; what was handed over is delivered below
    loop.runUntil([&] { return loop.pendingTasks() == 0 && queue.pending() == 0; }, 5s);
    const int fdsAfter = soak::openDescriptors();
    const long posted = main.posted.load();
    const long lost = posted - tally.delivered;

    const double secs = std::chrono::duration<double>(ran).count();
    std::string faults = "no faults";
    if (!s.none) {
        char every[64];
        std::snprintf(every, sizeof every, "a fault every %.1f s", static_cast<double>(s.interval.count()) / 1000.0);
        faults = every;
    }
    std::printf("soak: commPort against the simulated board, paced at 38400 baud, %.0f s, %s, seed %llu\n", secs,
                faults.c_str(), static_cast<unsigned long long>(s.seed));
    std::printf("  records handed over / delivered   %ld / %ld\n", posted, tally.delivered);
    std::printf("  records lost                      %ld\n", lost);
    std::printf("  measurement records               %ld exact, %ld misread, %ld board frames skipped\n",
                tally.exactFrames, tally.misreadFrames, tally.skippedFrames);
    std::printf("  measurements per second           %.1f\n", static_cast<double>(tally.exactFrames) / secs);
    std::printf("  link-down / parameter records     %ld / %ld\n", tally.linkDown, tally.parameters);
    std::printf("  packetCount gaps                  %ld\n", tally.packetGaps);
    std::printf("  reconnects                        %ld (unplugs %llu, resets %ld)\n", tally.reconnects,
                static_cast<unsigned long long>(board.unplugs), applied[static_cast<std::size_t>(soak::Fault::Reset)]);
    std::printf("  faults applied                   ");
    for (std::size_t i = 0; i < applied.size(); ++i)
        std::printf(" %s %ld%s", soak::faultName(static_cast<soak::Fault>(i)), applied[i], i + 1 < applied.size() ? "," : "\n");
    std::printf("  EEPROM writes                     %ld made on an open line, %llu applied by the board, longest %.1f ms\n",
                writesIssued, static_cast<unsigned long long>(board.writesApplied), longestWriteMs);
    std::printf("  board                             %llu polls answered, %llu replies withheld, %llu malformed frames heard\n",
                static_cast<unsigned long long>(board.pollsAnswered), static_cast<unsigned long long>(board.repliesWithheld),
                static_cast<unsigned long long>(board.malformedFrames));
    std::printf("  open descriptors start / end      %d / %d (before set-up %d, after tear-down %d)\n", fdsStart, fdsEnd,
                fdsBefore, fdsAfter);
    std::printf("  RSS start / end / peak            %ld / %ld / %ld KiB\n", rssStart, rssEnd,
                std::max(soak::peakRssKiB(), rssEnd));

    std::string failed;
    if (lost != 0)
        failed += " records lost;";
    if (fdsEnd > fdsStart || fdsAfter > fdsBefore)
        failed += " descriptors grew;";
    if (!upAtEnd)
        failed += " the link was not up at the end;";
    if (tally.exactFrames == 0)
        failed += " no measurement came through;";
    if (tally.packetGaps != 0)
        failed += " packetCount has gaps;";
    if (!boardError.empty())
        failed += " board: " + boardError + ";";
    std::printf("  result                            %s\n", failed.empty() ? "OK" : ("FAILED:" + failed).c_str());
    return failed.empty() ? 0 : 1;
}
