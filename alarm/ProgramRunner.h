#pragma once
// Runs a program of the user's for each alarm change (plovex-cli's
// --on-alarm), from a thread of its own, so that whoever hands it a change
// never waits for the program.
//
// run() queues a change and returns. The thread runs the program for each
// change in turn, without a shell: the program alone, no arguments, the
// change's details added to the environment, standard input from /dev/null,
// standard output to standard error (standard output may carry records), no
// other descriptor, in a process group of its own. A program still running
// after the time limit is sent SIGTERM, and SIGKILL a grace period later
// (its whole group both times). A program that cannot start, fails or
// overruns is reported through the line callback; the changes that wait
// are bounded, and when a slow program lets them pile up past the bound the
// oldest are dropped and their number reported.
//
//   ProgramRunner runner({.program = path, .limit = 10s}, [](auto& line) { say(line); });
//   runner.run({{"PLOVEX_ALARM_STATE", "raised"}, ...}, "alarm raised: x_deg>2.5");

#include "platform/UniqueFd.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace plovex::alarm {

class ProgramRunner {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;
    // A line for the user, with no program name in front; called on the
    // runner's thread.
    using Report = std::function<void(const std::string&)>;

    struct Settings {
        std::string program;                         // a path (findProgram)
        std::chrono::milliseconds limit{10000};      // then SIGTERM
        std::chrono::milliseconds grace{1000};       // then SIGKILL
        std::size_t queueLimit = 64;                 // changes waiting, at most
    };

    ProgramRunner(Settings settings, Report report);
    // finish() with no time to run what waits, unless it was called.
    ~ProgramRunner();
    ProgramRunner(const ProgramRunner&) = delete;
    ProgramRunner& operator=(const ProgramRunner&) = delete;

    // Queues a run with these variables added to the environment; what
    // names the change in reports. Never waits.
    void run(Environment environment, std::string what);

    // Runs what waits for at most drain, stops a program still running then
    // (as at its limit), says how many changes were not passed on, and ends
    // the thread.
    void finish(std::chrono::milliseconds drain);

private:
    using Clock = std::chrono::steady_clock;
    struct Job {
        Environment environment;
        std::string what;
    };

    void threadMain() noexcept;
    void runOne(const Job& job);
    // Waits for the child to end until deadline (or, with drainEnds, until
    // the drain ends); true when it ended, with its wait status.
    bool waitForExit(int pid, int pidFd, Clock::time_point deadline, bool drainEnds, int& status);
    std::optional<Clock::time_point> drainEnd();

    const Settings settings_;
    const Report report_;
    platform::UniqueFd wakeFd_; // an eventfd: finish() wakes a wait for a child

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    std::size_t dropped_ = 0;
    bool finishing_ = false;
    Clock::time_point drainUntil_;

    std::thread thread_;
};

// Where program is to be run from: as it is when it holds a '/', else the
// first executable file of that name in the folders of PATH. nullopt, with
// the reason in *error, when there is none or it is no executable file.
std::optional<std::string> findProgram(const std::string& program, std::string* error);

} // namespace plovex::alarm
