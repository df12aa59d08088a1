#pragma once
// The fault suite's rig: the real commPort over a real pseudo-terminal
// against the simulated board, with the loop's pauses under the test's
// control and an ordered log of what the acquisition thread did.
//
// The 1.0 s pauses of the loop are compressed; the 0.001 s pause between
// exchanges is kept as it is, so that an exchange waiting for the port lock
// gets it the way it does in the application. The line itself (pacing,
// read timeout, hang-ups) is real throughout.

#include "link/commPort.h"
#include "platform/RecordSink.h"
#include "sim/SimulatedBoard.h"
#include "tests/link/LinkTestSupport.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace faulttest {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// One thing the acquisition thread did, or a mark the test set between them.
struct Event {
    enum Kind { ShortPause, LongPause, Resume, HandOver, Mark }; // Resume: a pause ended
    Kind kind;
    std::size_t handOver = 0; // HandOver: 0 for the first record handed over, 1 for the next, ...
    Clock::time_point at;
};

// Events in the order they happened (one lock orders the threads' entries).
class Timeline {
public:
    void add(Event::Kind kind);
    // Adds a mark and returns its position in events().
    std::size_t mark();
    std::vector<Event> events() const;
    std::size_t handOvers() const;

private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
    std::size_t handOvers_ = 0;
};

// Passes records on to the real hand-over and notes each one. The n-th
// hand-over is the n-th delivered record: the path keeps order and drops nothing.
class LoggingSink : public platform::RecordSink {
public:
    LoggingSink(platform::RecordSink& inner, Timeline& timeline) : inner_(inner), timeline_(timeline) {}
    void handOver(const char* name, platform::RecordPtr record) override;

private:
    platform::RecordSink& inner_;
    Timeline& timeline_;
};

// The loop's clock. Running: long pauses last longFactor of their time, short
// ones their full time. Stepping: every pause waits for the test's go, so the
// test knows exactly which cycle comes next and can set a fault up for it.
class LoopClock : public platform::Sleeper {
public:
    LoopClock(Timeline& timeline, double longFactor) : timeline_(timeline), longFactor_(longFactor) {}
    bool sleepFor(double seconds, std::stop_token stop) override;

    void setStepping(bool on);
    // Stepping: lets the loop run n cycles and waits until it is paused after
    // them. False when it did not get there within the time.
    bool cycles(int n, std::chrono::milliseconds timeout = 20s);
    // Waits until the loop has entered a pause and, when stepping, waits in it.
    bool waitPaused(std::chrono::milliseconds timeout = 10s);
    // Pauses entered so far (the start pause is the first).
    std::size_t pauses() const;
    // Stepping, loop paused: the loop's cycle counter in the cycle it runs next.
    int nextCycle() const;
    // Stepping, loop paused: whether the next cycle (port open) reads a parameter before its poll.
    bool nextCycleReads() const { return nextCycle() % 5 == 0; }

    // The next long pause waits, even when running, until releaseHeld().
    void holdNextLongPause();
    bool waitHeld(std::chrono::milliseconds timeout = 10s);
    void releaseHeld();

private:
    Timeline& timeline_;
    const double longFactor_;
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    bool stepping_ = false;
    int permits_ = 0;
    bool waiting_ = false; // stepping and parked in a pause
    std::size_t pauses_ = 0;
    bool holdLong_ = false, held_ = false;
};

struct RigOptions {
    std::uint64_t seed = 7;
    bool paced = true;
    int lineTimeoutDeciseconds = 3;
    double longFactor = 0.005;
    bool stepping = true;
};

// Board, main loop, clock and port, put together as the application has
// them: the port is created, given the board's stable link and 38400 baud,
// and opened within the loop's start pause.
class Rig {
public:
    explicit Rig(RigOptions options = {});
    ~Rig();

    // Starts the board and the port; "" on success, else what failed.
    std::string start();
    // Delivers everything handed over so far on the (test's) main thread.
    void deliver();
    // Delivers until a record satisfying pred arrives at or after position from; bounded.
    bool deliverUntil(std::size_t from, const std::function<bool(const linktest::Delivered&)>& pred,
                      std::chrono::milliseconds timeout = 10s);

    const RigOptions options;
    testsupport::TempDir dir;
    plovex::sim::SimulatedBoard board;
    linktest::MainSide main;
    Timeline timeline;
    LoggingSink handOver{main.handOver, timeline};
    std::shared_ptr<LoopClock> clock;
    std::unique_ptr<plovex::commPort> port; // last: it goes first
};

bool isMeasurement(const linktest::Delivered& d);
bool isLinkDown(const linktest::Delivered& d);
bool isParameter(const linktest::Delivered& d);

} // namespace faulttest
