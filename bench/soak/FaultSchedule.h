#pragma once
// The faults a soak mixes into the run, one every interval in a fixed
// rotation, with random details: stray bytes (with and without a header byte
// among them), a dropped reply byte, a flipped reply byte, a short noise
// flood, a silence, an unplug with a later replug, a slow board, an EEPROM
// write and a port reset as the preferences window does it. Runs on the main
// thread, between turns of its loop.

#include "link/commPort.h"
#include "sim/SimulatedBoard.h"

#include <array>
#include <chrono>
#include <random>
#include <vector>

namespace soak {

enum class Fault { Stray, StrayHeader, Drop, Flip, Flood, Silence, Unplug, Slow, Write, Reset, Count };
// The name in the report, and the short name --faults takes.
const char* faultName(Fault f);
const char* faultKey(Fault f);

class FaultSchedule {
public:
    using Clock = std::chrono::steady_clock;
    // Rotates through the kinds in `kinds` (all when empty).
    FaultSchedule(plovex::sim::SimulatedBoard& board, plovex::commPort& port, std::uint64_t seed,
                  std::chrono::milliseconds interval, std::vector<Fault> kinds = {});

    // Applies what is due by now: the next fault, the end of a silence or slow spell, a replug.
    void tick(Clock::time_point now);
    // Ends every fault in progress and plugs the board back in.
    void finish();

    std::array<long, static_cast<std::size_t>(Fault::Count)> applied{};
    long writesIssued = 0;                        // EEPROM writes made while the line was open
    std::chrono::duration<double> longestWrite{}; // longest time a write waited and took

private:
    void apply(Fault f, Clock::time_point now);

    plovex::sim::SimulatedBoard& board_;
    plovex::commPort& port_;
    std::mt19937_64 random_;
    const std::chrono::milliseconds interval_;
    Clock::time_point nextFault_;
    Clock::time_point replugAt_{}, speakAt_{}, quickenAt_{};
    bool unplugged_ = false, silent_ = false, slow_ = false;
    std::vector<Fault> kinds_;
    std::size_t turn_ = 0;
};

} // namespace soak
