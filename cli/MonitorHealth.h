#pragma once
// What plovex-cli monitor says about the link besides the records: on
// standard error, one line when the board falls silent for 2 s with the line
// open and one when data comes back, and the reason the port does not open,
// once per change of reason, with a line when it opens at last; in the text
// format, a status line with the link's figures and the tilt's stability
// every few seconds.

#include "link/HealthLine.h"
#include "link/OpenFailure.h"
#include "link/commPort.h"
#include "stats/Stability.h"

#include <chrono>
#include <string>

namespace plovex::cli {

class MonitorHealth {
public:
    static constexpr std::chrono::seconds kSilenceLimit{2};
    static constexpr std::chrono::seconds kStatusInterval{5};

    // portName: the port as the status line names it. statusLines: write
    // them (on standard output). stability, when given, is fed the
    // measurements by the caller; the status line says what it sees.
    MonitorHealth(const char* command, const commPort& port, std::string portName, bool statusLines,
                  stats::StabilityWatch* stability = nullptr);

    // Looks at the link now; a few times a second.
    void check(std::chrono::steady_clock::time_point now);

private:
    const char* command_;
    const commPort& port_;
    std::string portName_;
    bool statusLines_;
    stats::StabilityWatch* stability_;
    HealthLine line_;
    uint64_t measurementsSeen_ = 0;
    std::chrono::steady_clock::time_point lastMeasurementAt_;
    std::chrono::steady_clock::time_point nextStatusAt_;
    bool silent_ = false;
    bool wasOpen_ = false;
    OpenFailure shownProblem_;
};

} // namespace plovex::cli
