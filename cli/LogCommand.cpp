// plovex-cli log: the unattended logger. It runs the link and the
// notification path of the window, as monitor does, and writes the
// measurements it is delivered to CSV files (record/Logger.h). With --alarm
// it watches them as monitor does (AlarmWatch.h), and each row per
// measurement names the alarms raised at it.

#include "cli/AlarmOptions.h"
#include "cli/AlarmWatch.h"
#include "cli/AverageOption.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/InfluxDatabase.h"
#include "cli/InfluxLine.h"
#include "cli/InfluxOptions.h"
#include "cli/MainLoop.h"
#include "cli/MonitorHealth.h"
#include "cli/PortSession.h"
#include "discovery/SerialRegistry.h"
#include "link/Measurement.h"
#include "link/Records.h"
#include "platform/Args.h"
#include "platform/Console.h"
#include "record/LogFolder.h"
#include "record/Logger.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <limits>

namespace plovex::cli {

namespace logcommand {

constexpr const char* kName = "log";

int run(const Words& words);

} // namespace logcommand

const Command logCommand{
    .name = logcommand::kName,
    .synopsis = "--dir DIR [--average SECONDS]",
    .summary = "write the board's measurements to CSV files, unattended",
    .usage = " [--port PATH | --simulate] [--seconds S]\n"
             "                      [--units deg|mrad|percent|mm-per-m] [--rotate hourly|daily|SIZE]\n"
             "                      [--keep DAYS] [--compress] [--sync SECONDS] [--influx URL ...]\n"
             "                      [--alarm RULE... [--hysteresis V] [--hold S]\n"
             "                      [--on-alarm PROGRAM [--on-alarm-timeout S]]]\n"
             "\n"
             "Polls the board as monitor does and writes its measurements to CSV files in\n"
             "DIR, unattended, until interrupted (SIGINT, SIGTERM) or S seconds have gone;\n"
             "then exits with status 0. A file is named after the port's stable name and\n"
             "the UTC time of its first row (ttyUSB0-20261207T101500Z.csv) and begins with\n"
             "a header line; no file is ever written over. Each row is a recording's:\n"
             "time (local, ISO 8601 with milliseconds and UTC offset), elapsed_s (since the\n"
             "logger started), x_deg, y_deg, the pair of --units, temp_c, tilt_deg (the\n"
             "total tilt from both axes) and its --units pair, the nine raw\n"
             "values, packetCount and link (up or down); while the link is down the values\n"
             "are left empty. With --alarm a last column, alarms, names the alarms raised\n"
             "at each row's measurement (x_deg>2.5;temp_c>60, empty for none).\n"
             "\n"
             "  --dir DIR          the folder for the files, made when missing; one logger\n"
             "                     of a port writes there at a time\n"
             "  --seconds S        stop after S seconds (S > 0, fractions allowed)\n"
             "  --units U          also X, Y and the total tilt in this unit: deg (default),\n"
             "                     mrad, percent (100 tan) or mm-per-m (1000 tan)\n"
             "  --average SECONDS  one row per interval of SECONDS (0.1 to 86400), aligned\n"
             "                     to multiples of it in UTC, instead of one per record:\n"
             "                     time (the interval's start), interval_s, count, then the\n"
             "                     mean, sd (sample standard deviation), min and max of\n"
             "                     x_deg, y_deg, the pair of --units, temp_c, tilt_deg and\n"
             "                     its pair (empty when\n"
             "                     count is 0), and link_up, the share of the interval the\n"
             "                     link was up (0 to 1)\n"
             "  --rotate R         a new file at each UTC hour (hourly), each UTC day\n"
             "                     (daily, the default), or before a file would grow past\n"
             "                     SIZE bytes (with K, M or G: 100M, 1G; at least 1K)\n"
             "  --keep DAYS        remove this logger's files last written more than DAYS\n"
             "                     days ago, at the start and every hour\n"
             "  --compress         gzip each file once it is closed (NAME.csv.gz), on a\n"
             "                     thread of low priority\n"
             "  --sync SECONDS     put the rows on the disk (fsync) at least every SECONDS\n"
             "                     (default 5; 0.1 to 3600), and when a file is closed\n" +
             alarmOptionsHelp(", and each row\n"
                              "                        names the alarms raised at its measurement (the\n"
                              "                        last column, alarms; not the averaged rows)\n") +
             influxOptionsHelp() + portOptionsHelp() +
             "\n"
             "After a crash or a power cut the next start cuts a partly written last row\n"
             "off and says so. When a write fails (a full disk) writing stops, not the\n"
             "logger: it says so once on standard error, goes on acquiring and averaging,\n"
             "tries a new file every 10 s and, once one takes rows, names the time the\n"
             "rows it could not write stood for. Standard error also tells of each new\n"
             "file, of the board's silence and of a port that does not open, as monitor's.\n"
             "\n"
             "Exit status: 0 done (also when ended by a signal), 1 failed (DIR cannot be\n"
             "used or another logger of the port writes there, the simulated board did not\n"
             "start, rows could not be written, or the database refused the writes), 2 bad\n"
             "usage. With --influx the rows (or with --average the intervals) also go to\n"
             "the database as monitor --influx writes them.\n",
    .run = logcommand::run,
};

namespace logcommand {

constexpr uint64_t kMinimumRotationSize = 1024;

// "hourly", "daily" or a size with an optional K, M or G (powers of 1024).
std::optional<record::LogRotation> parseRotation(const std::string& text)
{
    using Kind = record::LogRotation::Kind;
    if (text == "hourly")
        return record::LogRotation{Kind::Hourly, 0};
    if (text == "daily")
        return record::LogRotation{Kind::Daily, 0};
    std::string digits = text;
    uint64_t scale = 1;
    if (!digits.empty()) {
        switch (digits.back()) {
        case 'K': case 'k': scale = 1ull << 10; break;
        case 'M': case 'm': scale = 1ull << 20; break;
        case 'G': case 'g': scale = 1ull << 30; break;
        default: break;
        }
        if (scale > 1)
            digits.pop_back();
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const auto n = parseInteger(digits, 1, std::numeric_limits<long long>::max() / static_cast<long long>(scale));
    if (!n || static_cast<uint64_t>(*n) * scale < kMinimumRotationSize)
        return std::nullopt;
    return record::LogRotation{Kind::Size, static_cast<uint64_t>(*n) * scale};
}

// Seconds in [min, max] as whole milliseconds; nullopt otherwise.
std::optional<std::chrono::milliseconds> parseSpan(const std::string& text, double min, double max)
{
    const auto s = parseSeconds(text);
    if (!s || *s < min || *s > max)
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<long long>(*s * 1000.0 + 0.5));
}

struct LogSettings {
    PortChoice port;
    std::filesystem::path dir;
    std::optional<double> seconds;
    record::LoggerSettings logger;
    AlarmSettings alarms;
    std::optional<InfluxOptions> influx;
};

bool readSettings(const ParsedArgs& args, LogSettings& s, std::string* error)
{
    const auto dir = args.option("dir");
    if (!dir || dir->empty()) {
        *error = "--dir DIR is needed: the folder the files go to";
        return false;
    }
    s.dir = *dir;
    if (const auto text = args.option("seconds")) {
        s.seconds = parseSeconds(*text);
        if (!s.seconds || *s.seconds <= 0) {
            *error = "--seconds needs a number of seconds above 0, not '" + *text + "'";
            return false;
        }
    }
    if (const auto text = args.option("units")) {
        const auto unit = board::parseTiltUnit(*text);
        if (!unit) {
            *error = "--units must be deg, mrad, percent or mm-per-m, not '" + *text + "'";
            return false;
        }
        s.logger.unit = *unit;
    }
    std::optional<std::chrono::milliseconds> average;
    if (!readAverage(args, average, error))
        return false;
    if (average)
        s.logger.average = *average;
    if (const auto text = args.option("rotate")) {
        const auto rotation = parseRotation(*text);
        if (!rotation) {
            *error = "--rotate must be hourly, daily or a size of at least 1K (such as 100M or 1G), not '" + *text + "'";
            return false;
        }
        s.logger.files.rotation = *rotation;
    }
    if (const auto text = args.option("keep")) {
        const auto days = parseInteger(*text, 1, 36500);
        if (!days) {
            *error = "--keep needs a whole number of days from 1 to 36500, not '" + *text + "'";
            return false;
        }
        s.logger.files.keepDays = static_cast<int>(*days);
    }
    if (const auto text = args.option("sync")) {
        const auto span = parseSpan(*text, 0.1, 3600);
        if (!span) {
            *error = "--sync needs a number of seconds from 0.1 to 3600, not '" + *text + "'";
            return false;
        }
        s.logger.files.sync = *span;
    }
    s.logger.files.compress = args.has("compress");
    if (!readAlarmSettings(args, s.alarms, error))
        return false;
    s.logger.alarms = !s.alarms.rules.empty();
    return readInfluxOptions(args, s.influx, error);
}

int run(const Words& words)
{
    const char* const name = kName;
    ParsedArgs args;
    LogSettings settings;
    std::set<std::string> valueOptions = influxValueOptions();
    valueOptions.merge(alarmValueOptions());
    valueOptions.insert({"dir", "seconds", "units", "average", "rotate", "keep", "sync"});
    const PortSyntax syntax{{}, valueOptions, {"compress"}};
    if (auto done = beginPortCommand(logCommand, syntax, words, args, settings.port))
        return *done;
    if (std::string error; !readSettings(args, settings, &error))
        return usageError(name, error);

    // Standard output carries nothing; what the link says goes with the rest
    // to standard error (the journal, under systemd).
    platform::setConsoleStream(stderr);
    // A file size limit shows as a failed write, which the logger outlives,
    // not as the end of the process.
    std::signal(SIGXFSZ, SIG_IGN);

    MainLoop main;
    commPortOptions options;
    options.loop = LoopKind::Acquisition;
    options.sink = &main.sink();
    std::string error;
    auto session = PortSession::create(settings.port, options, &error);
    if (!session)
        return report(name, error, kExitFailed);
    const std::string stableName = stablePortName(session->path());
    const std::string port = record::logFilePortName(std::filesystem::path(stableName).filename().string());
    auto folder = record::LogFolder::open(settings.dir, port, &error);
    if (!folder)
        return report(name, error, kExitFailed);

    // With --influx, what goes to the files also goes to the database: each
    // measurement, or each interval the logger averaged.
    std::unique_ptr<InfluxDatabase> database;
    std::optional<InfluxLines> lines;
    if (settings.influx) {
        try {
            database = std::make_unique<InfluxDatabase>(name, *settings.influx);
        } catch (const std::exception& e) { // no HTTP client could be made
            return report(name, e.what(), kExitFailed);
        }
        lines.emplace(stableName, fleet::Tags{}, record::derivedFields(settings.logger.unit), settings.logger.unit);
        if (settings.logger.average)
            settings.logger.alsoIntervals = [&](const stats::IntervalSummary& s) { database->write(lines->line(s), s.start); };
    }
    record::Logger logger(*folder, settings.logger, record::WallClock::now(),
                          [name](const std::string& line) { notice(name, line); });
    AlarmWatch alarms(name, std::move(settings.alarms), stableName, nullptr);
    // Silence counts from here: the logger has heard nothing yet.
    alarms.tick(platform::RecordClock::now());
    main.observe(records::kInclinoData, [&](const platform::Notification& n) {
        if (!n.object)
            return;
        if (const auto m = measurementOf(*n.object)) {
            alarms.measurement(*m); // first, so that the row names what it raised
            logger.add(*m, alarm::activeAlarmsText(alarms.evaluator()));
            if (database && !settings.logger.average)
                database->write(lines->line(*m), m->time);
        }
    });

    // As at the application's launch, the outcome is not acted on: the loop
    // tries again once a second, the health check says why.
    session->open(&error);
    MonitorHealth health(name, session->port(), stableName, false);
    main.run(settings.seconds, [&] {
        health.check(std::chrono::steady_clock::now());
        logger.tick(record::WallClock::now());
        alarms.tick(platform::RecordClock::now());
        if (database && database->failed())
            main.stop();
    });
    session->closePort();
    alarms.finish();
    const auto status = logger.finish(record::WallClock::now());
    const int sent = database ? database->finish() : kExitOk;
    if (status.rowsLost > 0)
        return report(name, std::to_string(status.rowsLost) + " rows of this run could not be written", kExitFailed);
    return sent;
}

} // namespace logcommand

} // namespace plovex::cli
