// plovex-cli monitor's text format (the default): the local time of day of
// the reading with milliseconds, then
//   a measurement as the window shows it: X and Y in degrees (two
//   decimals), the temperature (one decimal, in °C), "Comms OK" and the
//   packet count; a link-down measurement as "link down", "NO Comms" and
//   the packet count, since its other values are placeholders;
//   a parameter as its address, its description and its value; the
//   link-down cycle's placeholder as its address and "link down".

#include "cli/CommandSupport.h"
#include "cli/MonitorOutput.h"
#include "link/BoardFacts.h"
#include "record/LocalTime.h"

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
};

} // namespace

std::unique_ptr<MonitorOutput> makeTextOutput(const MonitorSetup& setup)
{
    return setup.format == OutputFormat::Text ? std::make_unique<TextOutput>() : nullptr;
}

} // namespace plovex::cli
