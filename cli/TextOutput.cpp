// plovex-cli monitor's text format (the default) into a pipe or a file, one
// line per reading: the local time of day of the reading with milliseconds,
// then
//   a measurement as the window shows it: X and Y in degrees (two
//   decimals), the temperature (one decimal, in °C), "Comms OK" and the
//   packet count; a link-down measurement as "link down", "NO Comms" and
//   the packet count, since its other values are placeholders;
//   a parameter as its address, its description and its value; the
//   link-down cycle's placeholder as its address and "link down";
//   an interval (--average) as its length, its count, the mean and
//   standard deviation of X and Y, the mean temperature and the share of
//   it the link was up.

#include "cli/CommandSupport.h"
#include "cli/TerminalOutput.h"
#include "link/BoardFacts.h"
#include "record/LocalTime.h"

#include <chrono>
#include <cstdio>

namespace plovex::cli {

namespace {

class TextOutput final : public MonitorOutput {
public:
    void measurement(const Measurement& m) override
    {
        char line[160];
        if (!m.linkUp)
            std::snprintf(line, sizeof line, "link down  NO Comms  packet %d\n", m.packetCount);
        else
            std::snprintf(line, sizeof line, "X %8.2f°  Y %8.2f°  %7.1f°C  Comms OK  packet %d\n", m.xDegrees(),
                          m.yDegrees(), m.temperatureC(), m.packetCount);
        writeOut(record::localTimeOfDay(m.time) + "  " + line);
    }

    void parameter(const ParameterReading& p) override
    {
        char line[160];
        if (!p.linkUp) {
            std::snprintf(line, sizeof line, "parameter %d  link down\n", p.address);
        } else {
            const std::string description(board::parameterDescription(p.address));
            std::snprintf(line, sizeof line, "parameter %2d  %-23s  %6d\n", p.address, description.c_str(), p.value);
        }
        writeOut(record::localTimeOfDay(p.time) + "  " + line);
    }

    void interval(const stats::IntervalSummary& s) override { writeOut(textIntervalLine(s)); }
};

} // namespace

// The series: x_deg, y_deg, ..., temp_c (record/AveragedRow.h).
std::string textIntervalLine(const stats::IntervalSummary& s)
{
    char line[200];
    const double length = std::chrono::duration<double>(s.length).count();
    if (s.count == 0)
        std::snprintf(line, sizeof line, "%.3f s  no measurement", length);
    else
        std::snprintf(line, sizeof line, "%.3f s  %llu measurements  X %8.2f° sd %.4f  Y %8.2f° sd %.4f  %6.2f°C",
                      length, static_cast<unsigned long long>(s.count), s.series[0].mean(), s.series[0].stddev(),
                      s.series[1].mean(), s.series[1].stddev(), s.series.back().mean());
    char link[48];
    std::snprintf(link, sizeof link, "  link up %.1f %%\n", 100.0 * s.linkUp);
    return record::localTimeOfDay(s.start) + "  " + line + link;
}

std::unique_ptr<MonitorOutput> makeTextOutput(const MonitorSetup& setup)
{
    // A terminal gets the status line instead (TerminalOutput.cpp), unless
    // the readings are averaged: an interval a line reads at human speed.
    return setup.format == OutputFormat::Text && (!setup.terminal || setup.average) ? std::make_unique<TextOutput>()
                                                                                     : nullptr;
}

} // namespace plovex::cli
