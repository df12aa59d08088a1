#include "cli/TerminalOutput.h"

#include "cli/CommandSupport.h"
#include "link/BoardFacts.h"
#include "record/LocalTime.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace plovex::cli {

namespace {

// Back to the start of the line and clear it.
constexpr const char* kClearLine = "\r\x1b[K";

} // namespace

TerminalIo standardOutputTerminal()
{
    TerminalIo io;
    io.write = writeOut;
    io.columns = [] {
        winsize size{};
        return ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? static_cast<int>(size.ws_col) : 80;
    };
    io.now = [] { return std::chrono::steady_clock::now(); };
    io.wallClock = [] { return platform::RecordClock::now(); };
    return io;
}

TerminalOutput::TerminalOutput(StatusLine line, TerminalIo io) : line_(std::move(line)), io_(std::move(io)) {}

void TerminalOutput::measurement(const Measurement& m)
{
    if (linkUp_ != m.linkUp) {
        if (linkUp_.has_value() || !m.linkUp) // the first measurement with the link up is no news
            event(m.time, m.linkUp ? "link up  Comms OK" : "link down  NO Comms");
        linkUp_ = m.linkUp;
    }
    line_.measurement(m, io_.now());
    changed_ = true;
    redraw(false);
}

void TerminalOutput::parameter(const ParameterReading& p)
{
    line_.parameter(p, io_.now());
    if (!p.linkUp || p.address < 0 || p.address >= static_cast<int32_t>(parameters_.size()))
        return; // a link-down cycle's placeholder is no value
    auto& known = parameters_[static_cast<std::size_t>(p.address)];
    if (known == p.value)
        return;
    char text[128];
    const std::string description(board::parameterDescription(p.address));
    if (known)
        std::snprintf(text, sizeof text, "parameter %2d  %-23s  %6d  (was %d)", p.address, description.c_str(), p.value,
                      *known);
    else
        std::snprintf(text, sizeof text, "parameter %2d  %-23s  %6d", p.address, description.c_str(), p.value);
    known = p.value;
    event(p.time, text);
}

void TerminalOutput::interval(const stats::IntervalSummary& s)
{
    // The text format's line, as an event.
    std::string text = textIntervalLine(s);
    text.pop_back();
    io_.write(std::string(drawn_.empty() ? "" : kClearLine) + text + "\n");
    drawn_.clear();
    changed_ = true;
    redraw(false);
}

bool TerminalOutput::showNotice(const std::string& text)
{
    event(io_.wallClock(), text);
    return true;
}

void TerminalOutput::tick()
{
    // Silence shows on the line without a reading to draw it.
    changed_ = true;
    redraw(false);
}

int TerminalOutput::finish()
{
    redraw(true);
    io_.write("\n");
    return kExitOk;
}

void TerminalOutput::event(platform::RecordTime time, const std::string& text)
{
    // The event takes the status line's place, and the line is drawn under it.
    io_.write(std::string(drawn_.empty() ? "" : kClearLine) + record::localTimeOfDay(time) + "  " + text + "\n");
    drawn_.clear();
    changed_ = true;
    redraw(false);
}

void TerminalOutput::redraw(bool force)
{
    const SteadyTime now = io_.now();
    if (!changed_ || (!force && drawnAt_ && now - *drawnAt_ < kRedrawInterval))
        return;
    changed_ = false;
    // One column spare: a line that fills the last column would move the
    // cursor to the next line on some terminals.
    std::string text = line_.text(now, io_.columns() - 1);
    if (text == drawn_)
        return;
    io_.write(kClearLine + text);
    drawn_ = std::move(text);
    drawnAt_ = now;
}

std::unique_ptr<MonitorOutput> makeTerminalOutput(const MonitorSetup& setup)
{
    if (setup.format != OutputFormat::Text || !setup.terminal || setup.average)
        return nullptr;
    return std::make_unique<TerminalOutput>(makeStatusLine(setup), standardOutputTerminal());
}

} // namespace plovex::cli
