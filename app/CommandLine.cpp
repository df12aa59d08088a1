#include "app/CommandLine.h"

#include "link/TiltUnits.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

#ifndef PLOVEX_VERSION
#define PLOVEX_VERSION "unknown"
#endif

namespace plovex {

namespace {

// "--name=value" or "--name value"; advances i past what it used.
bool takeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name, std::string& value,
               std::string* error)
{
    const std::string& a = args[i];
    if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
        value = a.substr(name.size() + 1);
    } else if (i + 1 < args.size()) {
        value = args[++i];
    } else {
        *error = name + " needs a value";
        return false;
    }
    if (value.empty()) {
        *error = name + " needs a value";
        return false;
    }
    return true;
}

bool is(const std::string& arg, const std::string& name)
{
    return arg == name || (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 && arg[name.size()] == '=');
}

bool parseSeconds(const std::string& text, double& seconds)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(v) || v < 0.0 || v > 86400.0)
        return false;
    seconds = v;
    return true;
}

} // namespace

std::optional<AppOptions> parseCommandLine(const std::vector<std::string>& args, std::string* error)
{
    AppOptions o;
    bool afterGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--simulate") {
            o.simulate = true;
        } else if (is(a, "--port")) {
            if (!takeValue(args, i, "--port", value, error))
                return std::nullopt;
            o.port = value;
        } else if (is(a, "--record")) {
            if (!takeValue(args, i, "--record", value, error))
                return std::nullopt;
            o.record = value;
        } else if (a == "--force") {
            o.force = true;
        } else if (is(a, "--units")) {
            if (!takeValue(args, i, "--units", value, error))
                return std::nullopt;
            if (!board::parseTiltUnit(value)) {
                *error = "--units must be deg, mrad, percent or mm-per-m, not '" + value + "'";
                return std::nullopt;
            }
            o.units = value;
        } else if (is(a, "--screenshot")) {
            if (!takeValue(args, i, "--screenshot", value, error))
                return std::nullopt;
            o.screenshot = value;
        } else if (is(a, "--after")) {
            if (!takeValue(args, i, "--after", value, error))
                return std::nullopt;
            if (!parseSeconds(value, o.after)) {
                *error = "--after takes a number of seconds from 0 to 86400, not '" + value + "'";
                return std::nullopt;
            }
            afterGiven = true;
        } else {
            *error = "unknown argument '" + a + "'";
            return std::nullopt;
        }
    }
    if (o.simulate && o.port) {
        *error = "--simulate and --port cannot be used together";
        return std::nullopt;
    }
    if (afterGiven && !o.screenshot) {
        *error = "--after is only used with --screenshot";
        return std::nullopt;
    }
    if (o.force && !o.record) {
        *error = "--force is only used with --record";
        return std::nullopt;
    }
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
           "              [--screenshot FILE [--after SECONDS]]\n"
           "\n"
           "Shows the tilt, temperature and EEPROM parameters of the inclinometer board\n"
           "on a serial port. Without options it uses the port chosen in Preferences.\n"
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
