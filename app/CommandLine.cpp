#include "app/CommandLine.h"

#include "link/TiltUnits.h"
#include "platform/Args.h"

#include <filesystem>
#include <utility>

#ifndef PLOVEX_VERSION
#define PLOVEX_VERSION "unknown"
#endif

namespace plovex {

namespace {

// Seconds to wait before the screenshot: a number from 0 to a day.
std::optional<double> screenshotDelay(const std::string& text)
{
    const auto seconds = platform::parseSeconds(text);
    if (!seconds || *seconds > 86400.0)
        return std::nullopt;
    return seconds;
}

} // namespace

std::optional<AppOptions> parseCommandLine(const std::vector<std::string>& args, std::string* error)
{
    auto refuse = [error](std::string reason) -> std::optional<AppOptions> {
        *error = std::move(reason);
        return std::nullopt;
    };
    const platform::ParsedArgs parsed =
        platform::parseArgs(args, {"port", "record", "units", "screenshot", "after"}, {"version", "simulate", "force"});
    if (!parsed.error.empty())
        return refuse(parsed.error);
    if (parsed.positional.size() > 1)
        return refuse("one file to open at a time, not '" + parsed.positional[1] + "' as well");
    for (const auto& [name, value] : parsed.options)
        if (value.empty())
            return refuse("option --" + name + " needs a value");

    AppOptions o;
    o.help = parsed.has("help");
    o.version = parsed.has("version");
    o.simulate = parsed.has("simulate");
    o.port = parsed.option("port");
    o.record = parsed.option("record");
    o.units = parsed.option("units");
    o.screenshot = parsed.option("screenshot");
    o.force = parsed.has("force");
    if (!parsed.positional.empty())
        o.open = parsed.positional.front();
    if (o.units && !board::parseTiltUnit(*o.units))
        return refuse("--units must be deg, mrad, percent or mm-per-m, not '" + *o.units + "'");
    if (const auto after = parsed.option("after")) {
        const auto seconds = screenshotDelay(*after);
        if (!seconds)
            return refuse("--after takes a number of seconds from 0 to 86400, not '" + *after + "'");
        if (!o.screenshot)
            return refuse("--after is only used with --screenshot");
        o.after = *seconds;
    }
    if (o.simulate && o.port)
        return refuse("--simulate and --port cannot be used together");
    if (o.force && !o.record)
        return refuse("--force is only used with --record");
    return o;
}

bool recordFileAllowed(const AppOptions& options, std::string* error)
{
    std::error_code ec;
    if (!options.record || options.force ||
        std::filesystem::symlink_status(*options.record, ec).type() == std::filesystem::file_type::not_found)
        return true;
    *error = *options.record + ": the file exists; pass --force to replace it";
    return false;
}

std::string usageText()
{
    return "usage: plovex [--simulate | --port PATH] [--record FILE [--force]] [--units deg|mrad|percent|mm-per-m]\n"
           "              [--screenshot FILE [--after SECONDS]] [RECORDING.csv]\n"
           "\n"
           "Shows the tilt, temperature and EEPROM parameters of the inclinometer board\n"
           "on a serial port. Without options it uses the port chosen in Preferences.\n"
           "RECORDING.csv, a file the window's Record… or plovex-cli log wrote, is shown\n"
           "in the chart to look back at (File > Open Recording… does the same).\n"
           "\n"
           "Options:\n"
           "  --simulate          start a simulated board and use it for this run\n"
           "  --port PATH         use the serial port at PATH for this run\n"
           "                      (neither option changes the remembered port)\n"
           "  --record FILE       record every measurement to the CSV file FILE from the\n"
           "                      start (Measure > Record… stops it, or starts another);\n"
           "                      a FILE that exists is refused\n"
           "  --force             with --record: replace FILE if it exists\n"
           "  --units deg|mrad|percent|mm-per-m\n"
           "                      show the tilt in this unit for this run: degrees,\n"
           "                      milliradians, percent grade (100 tan) or mm per metre\n"
           "                      (1000 tan); the needles keep to degrees\n"
           "  --screenshot FILE   save the main window as a PNG image and exit\n"
           "  --after SECONDS     wait this long before the screenshot (default 2)\n"
           "  --help              show this help and exit\n"
           "  --version           show the version and exit\n"
           "\n"
           "Without a display, run it offscreen: QT_QPA_PLATFORM=offscreen plovex ...\n"
           "Exit status: 0 done, 1 failed (no display, no simulated board, no screenshot,\n"
           "the file of --record exists), 2 bad usage.\n";
}

std::string versionText()
{
    return std::string("plovex ") + PLOVEX_VERSION + "\n";
}

bool displayAvailable(const std::function<const char*(const char*)>& getEnv)
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* v = getEnv(name);
        if (v && *v)
            return true;
    }
    return false;
}

std::string noDisplayMessage()
{
    return "plovex: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
           "To run the window without a display, start it offscreen:\n"
           "  QT_QPA_PLATFORM=offscreen plovex --simulate --screenshot plovex.png\n"
           "To watch the board in a terminal instead, use:\n"
           "  plovex-cli monitor\n";
}

} // namespace plovex
