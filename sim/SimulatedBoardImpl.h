#pragma once
// The inside of SimulatedBoard: the line, the links and the board's thread.
// Everything here is guarded by m; the thread holds it except while it waits
// for the line (BoardLoop.cpp).

#include "sim/BoardLinks.h"
#include "sim/LinePacer.h"
#include "sim/PseudoTerminal.h"
#include "sim/SimulatedBoard.h"
#include "platform/UniqueFd.h"

#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace plovex::sim {

struct SimulatedBoard::Impl {
    explicit Impl(BoardOptions o)
        : options(std::move(o)), core(options.seed, options.timings, options.frameLogLimit), paced(options.paced)
    {
        core.setImageOut(options.imageOut);
        for (int address : options.readOnly)
            core.setReadOnly(address);
        core.setSilent(options.silent);
        core.setMotion(options.motion);
        core.faults().setStrayBeforeEach(options.strayBeforeReplies);
        core.faults().setReplyCut(options.replyCut);
        if (options.mode == BoardMode::DiagnosticPeer)
            peer.emplace(options.seed, options.peer, core);
    }

    void run(std::stop_token stop);
    void service(BoardClock::time_point now);
    void sendDue(BoardClock::time_point now);
    void readLine(BoardClock::time_point now);
    void hostGone(BoardClock::time_point now);
    std::chrono::nanoseconds waitFrom(BoardClock::time_point now) const;
    void readLineSpeed();
    std::chrono::nanoseconds perByte() const;
    void wake() const;
    void fail(const std::string& why);
    std::unique_ptr<PseudoTerminal> newLine(std::string* err);

    const BoardOptions options;
    mutable std::mutex m;
    BoardCore core;
    std::optional<DiagnosticPeer> peer;
    std::unique_ptr<PseudoTerminal> pty;
    BoardLinks links;
    LinePacer pacer;
    std::jthread thread;
    platform::UniqueFd wakeFd; // an eventfd: a write wakes the thread from its wait
    std::uint64_t generation = 0; // changes with every unplug and replug
    bool started = false;
    bool paced;
    std::chrono::milliseconds slow{0};
    std::chrono::nanoseconds lineByte{0}; // one byte at the host's speed, read at each reply
    bool hostPresent = true;
    BoardClock::time_point lookAgainAt{};
    BoardClock::time_point noiseNextAt{};
    bool outputBlocked = false;
    std::string error;
    std::vector<std::uint8_t> scratch;
};

} // namespace plovex::sim
