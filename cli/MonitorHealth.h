#pragma once
// What plovex-cli monitor says about the link besides the records: on
// standard error, one line when the board falls silent for 2 s with the line
// open and one when data comes back, and the reason the port does not open,
// once per change of reason, with a line when it opens at last; in the text
// format, a status line with the link's figures every few seconds.

#include "link/HealthLine.h"
#include "link/OpenFailure.h"
#include "link/commPort.h"

#include <chrono>
#include <functional>
#include <string>

namespace plovex::cli {

class MonitorHealth {
public:
    static constexpr std::chrono::seconds kSilenceLimit{2};
    static constexpr std::chrono::seconds kStatusInterval{5};

    // portName: the port as the status line names it. statusLines: write
    // them (on standard output). tell: where the lines about silence and
    // the port go; by default standard error, "plovex-cli COMMAND: ...".
    MonitorHealth(const char* command, const commPort& port, std::string portName, bool statusLines,
                  std::function<void(const std::string&)> tell = {});

    // Looks at the link now; a few times a second.
    void check(std::chrono::steady_clock::time_point now);

private:
    const commPort& port_;
    std::string portName_;
    bool statusLines_;
    std::function<void(const std::string&)> tell_;
    HealthLine line_;
    uint64_t measurementsSeen_ = 0;
    std::chrono::steady_clock::time_point lastMeasurementAt_;
    std::chrono::steady_clock::time_point nextStatusAt_;
    bool silent_ = false;
    bool wasOpen_ = false;
    OpenFailure shownProblem_;
};

} // namespace plovex::cli
