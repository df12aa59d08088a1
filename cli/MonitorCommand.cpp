// plovex-cli monitor: the headless monitor. It runs the link and the
// notification path of the window and prints every record it is delivered,
// in delivery order.

#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/FleetOutput.h"
#include "cli/MainLoop.h"
#include "cli/PortSession.h"
#include "cli/RecordFormat.h"
#include "link/Console.h"
#include "link/Records.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>

namespace plovex::cli {

namespace {

const std::string kUsage =
    "usage: plovex-cli monitor [--port PATH | --simulate] [--count N] [--seconds S]\n"
    "                          [--format text|csv|jsonl|influx] [--tag KEY=VALUE]...\n"
    "                          [--mqtt URL [--qos 0|1] [--client-id ID] [--username NAME\n"
    "                          [--password-file FILE]] [--cafile FILE] [--mqtt-buffer SECONDS]]\n"
    "\n"
    "Polls the board as the window does and prints every record delivered, one\n"
    "line each, in delivery order: measurements and EEPROM parameters 0..15.\n"
    "Runs until N records or S seconds (whichever comes first), or until\n"
    "interrupted (SIGINT, SIGTERM); then exits with status 0. While the port\n"
    "cannot be opened it is tried again once a second, and each try shows as a\n"
    "link-down measurement (NO Comms, commState 0).\n"
    "\n"
    "  --count N     stop after N records of either kind (N >= 1)\n"
    "  --seconds S   stop after S seconds (S > 0, fractions allowed)\n"
    "  --format F    text (default): a line per measurement with X and Y in degrees,\n"
    "                the temperature, the link state and the packet count, and a line\n"
    "                per parameter with its address, description and value;\n"
    "                csv: a header line, then one row per record; the columns are\n"
    "                type, the eleven measurement keys, paddress and pdata, and a\n"
    "                cell is empty where the record has no such entry;\n"
    "                jsonl: one JSON object per record, \"type\" first, then the\n"
    "                record's entries in record order;\n"
    "                influx: InfluxDB line protocol, measurement plovex, tags type,\n"
    "                port (the port's name) and --tag, the entries as integer fields\n"
    "                and x_deg, y_deg, temp_c as float fields, nanosecond timestamp.\n"
    "                With csv, jsonl and influx standard output carries records only;\n"
    "                the link's console lines go to standard error.\n" +
    fleetOptionsHelp() + portOptionsHelp() +
    "\n"
    "Exit status: 0 done (also when ended by a signal), 1 failed (the simulated\n"
    "board did not start, or the MQTT broker refused the login), 2 bad usage.\n";

struct MonitorSettings {
    PortChoice port;
    std::optional<long long> count;
    std::optional<double> seconds;
    OutputFormat format = OutputFormat::Text;
    FleetSettings fleet;
};

// Reads the monitor's own options. False, and the reason in *error, when they
// are not usable.
bool readSettings(const ParsedArgs& args, MonitorSettings& s, std::string* error)
{
    if (const auto text = args.option("count")) {
        s.count = parseInteger(*text, 1, std::numeric_limits<long long>::max());
        if (!s.count) {
            *error = "--count needs a whole number of at least 1, not '" + *text + "'";
            return false;
        }
    }
    if (const auto text = args.option("seconds")) {
        s.seconds = parseSeconds(*text);
        if (!s.seconds || *s.seconds <= 0) {
            *error = "--seconds needs a number of seconds above 0, not '" + *text + "'";
            return false;
        }
    }
    if (const auto text = args.option("format")) {
        const auto format = parseOutputFormat(*text);
        if (!format) {
            *error = "--format must be text, csv, jsonl or influx, not '" + *text + "'";
            return false;
        }
        s.format = *format;
    }
    return readFleetSettings(args, s.fleet, error);
}

} // namespace

int monitorCommand(const Words& words)
{
    const char* const name = "monitor";
    ParsedArgs args;
    MonitorSettings settings;
    auto valueOptions = fleetValueOptions();
    valueOptions.insert({"count", "seconds", "format"});
    if (auto done = beginPortCommand({name, kUsage, {}, valueOptions}, words, args, settings.port))
        return *done;
    if (std::string error; !readSettings(args, settings, &error))
        return usageError(name, error);

    // Standard output is for records alone in the machine-readable formats.
    if (settings.format != OutputFormat::Text)
        setConsoleStream(stderr);

    MainLoop main;
    std::unique_ptr<FleetOutput> fleet;
    long long printed = 0;
    auto print = [&](const platform::Notification& n) {
        const auto kind = recordKindOf(n.name);
        if (!kind || !n.object || (settings.count && printed >= *settings.count))
            return; // the queue may hold more than the count asked for
        const auto time = std::chrono::system_clock::now();
        writeOut(settings.format == OutputFormat::Influx ? fleet->influxLine(*kind, *n.object, time)
                                                         : formatRecord(settings.format, *kind, *n.object));
        fleet->publish(*kind, *n.object, time);
        if (settings.count && ++printed >= *settings.count)
            main.stop();
    };
    main.observe(records::kInclinoData, print);
    main.observe(records::kInclinoParameter, print);

    commPortOptions options;
    options.loop = LoopKind::Acquisition;
    options.sink = &main.sink();
    std::string error;
    auto session = PortSession::create(settings.port, options, &error);
    if (!session)
        return report(name, error, kExitFailed);
    const auto portName = settings.port.name.empty() ? std::filesystem::path(session->path()).filename().string()
                                                     : settings.port.name;
    fleet = std::make_unique<FleetOutput>(name, std::move(settings.fleet), portName);

    if (settings.format == OutputFormat::Csv)
        writeOut(csvHeader());
    // As at the application's launch, the outcome is not acted on: the
    // acquisition loop tries again once a second and shows the link as down
    // meanwhile. The user is told why, on standard error.
    if (!session->open(&error))
        notice(name, error + "; trying again once a second");

    main.run(settings.seconds, [&] {
        if (fleet->failed())
            main.stop();
    });
    return fleet->finish();
}

} // namespace plovex::cli
