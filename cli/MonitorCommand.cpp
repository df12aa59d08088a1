// plovex-cli monitor: the headless monitor. It runs the link and the
// notification path of the window and prints every record it is delivered,
// in delivery order.

#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/MainLoop.h"
#include "cli/MonitorHealth.h"
#include "cli/PortSession.h"
#include "cli/RecordFormat.h"
#include "link/Console.h"
#include "discovery/SerialRegistry.h"
#include "link/Records.h"
#include "link/TiltUnits.h"

#include <cstdio>
#include <iostream>
#include <limits>

namespace plovex::cli {

namespace {

const std::string kUsage =
    "usage: plovex-cli monitor [--port PATH | --simulate] [--count N] [--seconds S]\n"
    "                          [--format text|csv|jsonl] [--units deg|mrad|percent|mm-per-m]\n"
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
    "  --format F    text (default): the time of day, then a line per measurement\n"
    "                with X and Y in degrees, the temperature, the link state and the\n"
    "                packet count, and a line per parameter with its address,\n"
    "                description and value;\n"
    "                csv: a header line, then one row per record; the columns are\n"
    "                type, the eleven measurement keys, paddress and pdata, and a\n"
    "                cell is empty where the record has no such entry; then time\n"
    "                (local, ISO 8601 with milliseconds and UTC offset), x_deg,\n"
    "                y_deg and temp_c (empty while the link is down);\n"
    "                jsonl: one JSON object per record, \"type\" first, then the\n"
    "                record's entries in record order, then the same added fields\n"
    "                (null while the link is down).\n"
    "  --units U     csv and jsonl also carry X and Y in this unit: deg (default),\n"
    "                mrad, percent (100 tan) or mm-per-m (1000 tan), named\n"
    "                x_mrad, x_percent, x_mm_per_m and the same for y\n"
    "                With csv and jsonl standard output carries records only; the\n"
    "                link's console lines go to standard error. The text format\n"
    "                shows a link-down measurement as \"link down\", and every 5 s a\n"
    "                status line: records a second, time since the last one,\n"
    "                timeouts, reconnects, bytes sent and received, the port.\n"
    "\n"
    "On standard error it says when the board has sent no data for 2 s with the\n"
    "port open, and when data comes again; and why the port does not open, once\n"
    "each time the reason changes, with what to do about it.\n" +
    portOptionsHelp();

struct MonitorSettings {
    PortChoice port;
    std::optional<long long> count;
    std::optional<double> seconds;
    OutputFormat format = OutputFormat::Text;
    board::TiltUnit unit = board::TiltUnit::Degrees;
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
            *error = "--format must be text, csv or jsonl, not '" + *text + "'";
            return false;
        }
        s.format = *format;
    }
    if (const auto text = args.option("units")) {
        const auto unit = board::parseTiltUnit(*text);
        if (!unit) {
            *error = "--units must be deg, mrad, percent or mm-per-m, not '" + *text + "'";
            return false;
        }
        s.unit = *unit;
    }
    return true;
}

} // namespace

int monitorCommand(const Words& words)
{
    const char* const name = "monitor";
    ParsedArgs args;
    MonitorSettings settings;
    if (auto done = beginPortCommand({name, kUsage, {}, {"count", "seconds", "format", "units"}}, words, args, settings.port))
        return *done;
    if (std::string error; !readSettings(args, settings, &error))
        return usageError(name, error);

    // Standard output is for records alone in the machine-readable formats.
    if (settings.format != OutputFormat::Text)
        setConsoleStream(stderr);

    MainLoop main;
    long long printed = 0;
    bool afterLinkDown = false;
    auto print = [&](const platform::Notification& n) {
        const auto kind = recordKindOf(n.name);
        if (!kind || !n.object || (settings.count && printed >= *settings.count))
            return; // the queue may hold more than the count asked for
        // In the text format a parameter record that follows a link-down
        // measurement is named as the placeholder it is.
        const bool placeholder = afterLinkDown && *kind == RecordKind::Parameter;
        afterLinkDown = *kind == RecordKind::Measurement && n.object->intValue("commState") == 0;
        const LineContext context{record::WallClock::now(), settings.unit};
        if (placeholder && settings.format == OutputFormat::Text)
            writeOut(record::localTimeOfDay(context.time) + "  parameter " +
                     std::to_string(n.object->intValue("paddress")) + "  link down\n");
        else
            writeOut(formatRecord(settings.format, *kind, *n.object, context));
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

    if (settings.format == OutputFormat::Csv)
        writeOut(csvHeader(settings.unit));
    // As at the application's launch, the outcome is not acted on: the
    // acquisition loop tries again once a second and shows the link as down
    // meanwhile. The user is told why, on standard error, by the health
    // check, once per reason.
    session->open(&error);
    MonitorHealth health(name, session->port(), stablePortName(session->path()),
                         settings.format == OutputFormat::Text);
    health.check(std::chrono::steady_clock::now());

    main.run(settings.seconds, [&] { health.check(std::chrono::steady_clock::now()); });
    return kExitOk;
}

} // namespace plovex::cli
