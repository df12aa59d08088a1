// plovex-cli monitor: the headless monitor. It runs the link and the
// notification path of the window and hands every record it is delivered,
// in delivery order and in its typed view, to each of its outputs
// (MonitorOutput.h): the format on standard output, and MQTT and a
// time-series database when asked.
// With --alarm it watches the measurements (AlarmWatch.h) and hands each
// alarm event to the outputs as well.

#include "cli/AlarmOptions.h"
#include "cli/AlarmWatch.h"
#include "cli/AverageOption.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/MainLoop.h"
#include "cli/MonitorHealth.h"
#include "cli/MonitorOutput.h"
#include "cli/PortSession.h"
#include "discovery/SerialRegistry.h"
#include "link/BoardFacts.h"
#include "link/Measurement.h"
#include "link/Records.h"
#include "link/TiltUnits.h"
#include "platform/Args.h"
#include "platform/Console.h"
#include "platform/Preferences.h"
#include "stats/Stability.h"
#include "record/LocalTime.h"
#include "record/MeasurementAverager.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace plovex::cli {

namespace monitorcommand {

constexpr const char* kName = "monitor";

int run(const Words& words);

} // namespace monitorcommand

const Command monitorCommand{
    .name = monitorcommand::kName,
    .synopsis = "[--format text|csv|jsonl|influx]",
    .summary = "print the board's records as they are delivered",
    .usage = " [--units deg|mrad|percent|mm-per-m]\n"
             "                          [--port PATH | --simulate] [--count N] [--seconds S]\n"
             "                          [--average SECONDS]\n"
             "                          [--tag KEY=VALUE]...\n"
             "                          [--mqtt URL [--qos 0|1] [--client-id ID] [--username NAME\n"
             "                          [--password-file FILE]] [--cafile FILE] [--mqtt-buffer SECONDS]\n"
             "                          [--mqtt-buffer-mb MB]]\n"
             "                          [--influx URL [--influx-token-file FILE] [--influx-batch LINES]\n"
             "                          [--influx-interval SECONDS] [--influx-buffer SECONDS]\n"
             "                          [--influx-buffer-mb MB]]\n"
             "                          [--alarm RULE... [--hysteresis V] [--hold S]\n"
             "                          [--on-alarm PROGRAM [--on-alarm-timeout S]]]\n"
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
             "  --format F    every record carries the time it stands for: when the board's\n"
             "                reply was complete (or the cycle found the port closed).\n"
             "                text (default), into a pipe or a file: the time of day, then a\n"
             "                line per measurement with X and Y in degrees, the temperature,\n"
             "                the link state and the packet count, and a line per parameter\n"
             "                with its address, description and value; on a terminal, one\n"
             "                status line redrawn in place at most ten times a second (the\n"
             "                last measurement, whether the tilt is stable: the spread of X\n"
             "                and Y over the stability span set in the window, below its\n"
             "                threshold, and the link state), and a line for each event: the\n"
             "                link down and up, a parameter's first value and each change,\n"
             "                what is said about the link (below)\n"
             "                (with --average a line per interval, on a terminal too);\n"
             "                csv: a header line, then one row per record; the columns are\n"
             "                type, the eleven measurement keys, paddress and pdata, and a\n"
             "                cell is empty where the record has no such entry; then time\n"
             "                (local, ISO 8601 with milliseconds and UTC offset), x_deg,\n"
             "                y_deg, temp_c and tilt_deg (the total tilt from both axes;\n"
             "                empty while the link is down), and link (up\n"
             "                or down: a parameter row marked down is a link-down cycle's\n"
             "                placeholder, its pdata the loop's counter);\n"
             "                jsonl: one JSON object per record, \"type\" first, then the\n"
             "                record's entries in record order, then time, the same added\n"
             "                fields (null while the link is down) and link;\n"
             "                influx: InfluxDB line protocol, measurement plovex, tags type,\n"
             "                port (its stable name) and --tag, the entries as integer fields\n"
             "                and the same added fields as float fields, the time in\n"
             "                nanoseconds; while the link is down only packetCount and\n"
             "                commState, or paddress: no placeholder as a reading.\n"
             "                With csv, jsonl and influx standard output carries records only;\n"
             "                the link's console lines go to standard error. The text format\n"
             "                shows a link-down measurement as \"link down\", and into a pipe\n"
             "                every 5 s a status line: records a second, time since the last\n"
             "                one, timeouts, reconnects, bytes sent and received, the port.\n"
             "  --units U     csv, jsonl and influx also carry X, Y and the total tilt in\n"
             "                this unit: deg (default), mrad, percent (100 tan) or mm-per-m\n"
             "                (1000 tan), named x_mrad, x_percent, x_mm_per_m and the same\n"
             "                for y and tilt.\n"
             "  --average SECONDS\n"
             "                one record per interval of SECONDS (0.1 to 86400), aligned to\n"
             "                multiples of it in UTC, in place of the measurements in it\n"
             "                (parameters still come as they are read), with the columns of\n"
             "                plovex-cli log --average: time (the interval's start),\n"
             "                interval_s, count, the mean, sd, min and max of x_deg, y_deg,\n"
             "                the pair of --units, temp_c, tilt_deg and its pair, and\n"
             "                link_up (0 to 1). csv\n"
             "                gives type (interval or parameter), those columns, paddress,\n"
             "                pdata and link; jsonl an object of type interval; influx and\n"
             "                --influx type interval, count as an integer field; --mqtt\n"
             "                publishes the jsonl line to PREFIX/interval; text the time,\n"
             "                length, count, mean and sd of X and Y, the mean temperature\n"
             "                and link up in %.\n" +
             fleetOptionsHelp() + influxOptionsHelp() +
             alarmOptionsHelp(", and with --format jsonl\n"
                              "                        a record {\"type\":\"alarm\",\"state\":\"raised\"|\"cleared\",\n"
                              "                        \"rule\",\"value\",\"time\"}; with --mqtt each rule's state\n"
                              "                        is published retained to PREFIX/alarm/NAME, NAME the\n"
                              "                        rule with > as _gt_ and < as _lt_ (x_deg_gt_2.5)\n") +
             portOptionsHelp() +
             "\n"
             "On standard error (on a terminal with the text format: as event lines) it\n"
             "says when the board has sent no data for 2 s with the port open, and when\n"
             "data comes again; and why the port does not open, once each time the reason\n"
             "changes, with what to do about it.\n"
             "\n"
             "Exit status: 0 done (also when ended by a signal), 1 failed (the simulated\n"
             "board did not start, the MQTT broker refused the login, or the database\n"
             "refused the writes), 2 bad usage.\n",
    .run = monitorcommand::run,
};

namespace monitorcommand {

struct MonitorSettings {
    PortChoice port;
    std::optional<long long> count;
    std::optional<double> seconds;
    OutputFormat format = OutputFormat::Text;
    board::TiltUnit unit = board::TiltUnit::Degrees;
    std::optional<std::chrono::milliseconds> average;
    FleetSettings fleet;
    std::optional<InfluxOptions> influx;
    AlarmSettings alarms;
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
    if (const auto text = args.option("units")) {
        const auto unit = board::parseTiltUnit(*text);
        if (!unit) {
            *error = "--units must be deg, mrad, percent or mm-per-m, not '" + *text + "'";
            return false;
        }
        s.unit = *unit;
    }
    return readAverage(args, s.average, error) && readFleetSettings(args, s.fleet, error) &&
           readInfluxOptions(args, s.influx, error) && readAlarmSettings(args, s.alarms, error);
}

int run(const Words& words)
{
    ParsedArgs args;
    MonitorSettings settings;
    auto valueOptions = fleetValueOptions();
    valueOptions.merge(alarmValueOptions());
    valueOptions.merge(influxValueOptions());
    valueOptions.insert({"count", "seconds", "format", "units", "average"});
    if (auto done = beginPortCommand(monitorCommand, {{}, valueOptions}, words, args, settings.port))
        return *done;
    if (std::string error; !readSettings(args, settings, &error))
        return usageError(kName, error);

    // Standard output is for records alone in the machine-readable formats.
    if (settings.format != OutputFormat::Text)
        platform::setConsoleStream(stderr);

    MainLoop main;
    std::vector<std::unique_ptr<MonitorOutput>> outputs;
    std::unique_ptr<AlarmWatch> alarms;
    RecordReader reader; // sees both kinds, in delivery order
    long long delivered = 0;
    // Hands a reading to every output; false when it is beyond the count
    // asked for, which the queue may still hold.
    auto deliver = [&](const std::function<void(MonitorOutput&)>& give) {
        if (settings.count && delivered >= *settings.count)
            return false;
        for (const auto& output : outputs)
            give(*output);
        if (settings.count && ++delivered >= *settings.count)
            main.stop();
        return true;
    };
    // With --average the measurements go into intervals, and the outputs
    // are given each interval in their place.
    std::optional<record::MeasurementAverager> averager;
    if (settings.average)
        averager.emplace(*settings.average, settings.unit, record::WallClock::now(), [&](const stats::IntervalSummary& s) {
            deliver([&](MonitorOutput& output) { output.interval(s); });
        });
    main.observe(records::kInclinoData, [&](const platform::Notification& n) {
        const auto m = n.object ? reader.measurement(*n.object) : std::nullopt;
        if (!m)
            return;
        // The alarms watch every measurement, averaged or not.
        if (averager) {
            averager->add(*m);
            alarms->measurement(*m);
        } else if (deliver([&](MonitorOutput& output) { output.measurement(*m); })) {
            alarms->measurement(*m);
        }
    });
    main.observe(records::kInclinoParameter, [&](const platform::Notification& n) {
        if (const auto p = n.object ? reader.parameter(*n.object) : std::nullopt)
            deliver([&](MonitorOutput& output) { output.parameter(*p); });
    });

    commPortOptions options;
    options.loop = LoopKind::Acquisition;
    options.sink = &main.sink();
    std::string error;
    auto session = PortSession::create(settings.port, options, &error);
    if (!session)
        return report(kName, error, kExitFailed);
    // The name that stays the same across replugs: the health lines show it,
    // and its last part is the "port" tag of the line protocol.
    const std::string stableName = stablePortName(session->path());
    MonitorSetup setup;
    setup.command = kName;
    setup.format = settings.format;
    setup.unit = settings.unit;
    setup.fields = record::monitorOrder(record::derivedFields(settings.unit));
    setup.fleet = std::move(settings.fleet);
    setup.influx = std::move(settings.influx);
    setup.portName = std::filesystem::path(stableName).filename().string();
    setup.terminal = stdoutIsTerminal();
    setup.average = settings.average;
    // The terminal's status line says whether the tilt is stable, by the
    // window's settings.
    const auto& prefs = platform::FilePreferences::standardUserDefaults();
    setup.stability = stats::StabilitySettings::fromText(prefs.objectForKey(board::kPrefStableSeconds),
                                                         prefs.objectForKey(board::kPrefStableSpread));
    try {
        outputs = makeMonitorOutputs(setup);
    } catch (const std::exception& e) { // a client that could not be made
        return report(kName, e.what(), kExitFailed);
    }
    for (const auto& output : outputs)
        output->begin();
    alarms = std::make_unique<AlarmWatch>(kName, std::move(settings.alarms), stableName,
                                          [&](const alarm::Rule& rule, const alarm::AlarmEvent& event) {
                                              for (const auto& output : outputs)
                                                  output->alarm(rule, event);
                                          });
    // Silence counts from here: the monitor has heard nothing yet.
    alarms->tick(platform::RecordClock::now());

    // As at the application's launch, the outcome is not acted on: the
    // acquisition loop tries again once a second and shows the link as down
    // meanwhile. The user is told why, on standard error, by the health
    // check, once per reason.
    session->open(&error);
    // The path is set and the line open: the loop need not wait out its
    // first second, so the first record comes at once.
    session->port().endFirstPause();
    // What it tells goes to an output that shows it (the terminal's), else
    // to standard error. On a terminal the status line is redrawn in place
    // and takes the place of the status lines every few seconds.
    const auto tell = [&](const std::string& text) {
        bool shown = false;
        for (const auto& output : outputs)
            shown = output->showNotice(text) || shown;
        if (!shown)
            notice(kName, text);
    };
    MonitorHealth health(kName, session->port(), stableName,
                         settings.format == OutputFormat::Text && !setup.terminal, tell);
    health.check(std::chrono::steady_clock::now());

    main.run(settings.seconds, [&] {
        health.check(std::chrono::steady_clock::now());
        alarms->tick(platform::RecordClock::now());
        if (averager)
            averager->closeUntil(record::WallClock::now());
        for (const auto& output : outputs) {
            output->tick();
            if (output->failed())
                main.stop();
        }
    });
    if (averager)
        averager->finish(record::WallClock::now()); // the interval running at the end, as far as it got
    alarms->finish();
    int status = kExitOk;
    for (const auto& output : outputs)
        if (const int code = output->finish(); status == kExitOk)
            status = code;
    return status;
}

} // namespace monitorcommand

} // namespace plovex::cli
