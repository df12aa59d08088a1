#pragma once
// The plovex command line, read with the parser plovex-cli's commands use
// (platform/Args.h).
//
//   plovex [--simulate | --port PATH] [--record FILE [--force]] [--units UNIT]
//          [--screenshot FILE [--after SECONDS]] [RECORDING.csv]
//   plovex --help | --version

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plovex {

struct AppOptions {
    bool help = false;
    bool version = false;
    bool simulate = false;
    std::optional<std::string> port;
    std::optional<std::string> record; // a CSV file to record to from the start
    bool force = false;                // ...replacing one that exists
    std::optional<std::string> units;  // deg, mrad, percent or mm-per-m, for this run
    std::optional<std::string> screenshot;
    double after = 2.0; // seconds before the screenshot is taken
    std::optional<std::string> open; // a recording or averaged log to show at the start
};

// Parses the arguments after the program name. Returns nullopt, and the
// reason (one line, no newline) in *error, when they are not valid: an
// unknown option or word, an option without its value (or with an empty
// one), a value out of range, or options that do not go together.
std::optional<AppOptions> parseCommandLine(const std::vector<std::string>& args, std::string* error);

// Whether the file of --record may be written: not when something is there
// already and --force was not given. False, and the reason in *error, when not.
bool recordFileAllowed(const AppOptions& options, std::string* error);

std::string usageText();
std::string versionText();

// True when a window system can be reached or Qt is told which platform to
// use: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set and not empty.
bool displayAvailable(const std::function<const char*(const char*)>& getEnv);

// What to tell the user when there is no display.
std::string noDisplayMessage();

} // namespace plovex
