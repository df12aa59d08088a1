#pragma once
// plovex-cli monitor's text format on a terminal: rather than some 175 lines
// a second, one status line (StatusLine) redrawn in place at most ten times a
// second, and above it a line for each event worth reading: the link going
// down and coming up, a parameter's first value and each change of it, and
// what the monitor tells about the link (silence, the port's problem).
// Into a pipe or a file the text format stays one line per reading
// (TextOutput.cpp), and so it does on a terminal with --average: an interval
// a line reads well enough.

#include "cli/MonitorOutput.h"
#include "cli/StatusLine.h"

#include <array>
#include <functional>
#include <optional>

namespace plovex::cli {

// Where the output goes and the time it goes by; a test gives its own.
struct TerminalIo {
    std::function<void(const std::string&)> write;   // written at once
    std::function<int()> columns;                     // the terminal's width now
    std::function<SteadyTime()> now;
    std::function<platform::RecordTime()> wallClock; // the time an event line shows
};

// The text format's line for an interval, ending in a newline (TextOutput.cpp).
std::string textIntervalLine(const stats::IntervalSummary& s);

// Standard output, its width, and the real clocks.
TerminalIo standardOutputTerminal();

class TerminalOutput final : public MonitorOutput {
public:
    static constexpr std::chrono::milliseconds kRedrawInterval{100};

    TerminalOutput(StatusLine line, TerminalIo io);

    void measurement(const Measurement& m) override;
    void parameter(const ParameterReading& p) override;
    void interval(const stats::IntervalSummary& s) override;
    bool showNotice(const std::string& text) override;
    void tick() override;
    // Leaves the last status on screen and the cursor on a line of its own.
    int finish() override;

private:
    // A line above the status line, which is drawn again at the next chance.
    void event(platform::RecordTime time, const std::string& text);
    // Draws the status line when it changed and the last drawing is an interval back.
    void redraw(bool force);

    StatusLine line_;
    TerminalIo io_;
    std::optional<bool> linkUp_;                             // of the last measurement
    std::array<std::optional<int32_t>, 16> parameters_{};   // the last value of each
    bool changed_ = false;                                   // since the line was drawn
    std::optional<SteadyTime> drawnAt_;
    std::string drawn_;                                      // what the line shows
};

} // namespace plovex::cli
