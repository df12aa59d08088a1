// plovex-cli capture: takes one reading, the average of the next T seconds
// (once the tilt is stable, when asked), prints it as one row and exits.

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/MainLoop.h"
#include "cli/PortSession.h"
#include "link/BoardFacts.h"
#include "link/Measurement.h"
#include "link/Records.h"
#include "platform/Args.h"
#include "platform/Console.h"
#include "platform/Preferences.h"
#include "record/Capture.h"

#include <cstring>
#include <optional>

namespace plovex::cli {

namespace capturecommand {

constexpr const char* kName = "capture";
// The acquisition loop waits 1 s before its first cycle; a record comes
// within the line's timeout after that, a link-down one included.
constexpr double kFirstRecordLimit = 5.0;

int run(const Words& words);

} // namespace capturecommand

const Command captureCommand{
    .name = capturecommand::kName,
    .synopsis = "--seconds T [--wait-stable [--wait-limit S]] [--label TEXT]",
    .summary = "average the next T seconds into one reading",
    .usage = " [--format text|csv|json]\n"
             "                          [--units deg|mrad|percent|mm-per-m] [--port PATH | --simulate]\n"
             "\n"
             "Polls the board as monitor does, averages the measurements of the next T\n"
             "seconds and prints one reading: the time it began, the label, the seconds\n"
             "and the number of measurements, then the mean, standard deviation, minimum\n"
             "and maximum of X and Y in degrees (and in the unit of --units) and of the\n"
             "temperature.\n"
             "\n"
             "  --seconds T       average over T seconds (T > 0, fractions allowed)\n"
             "  --wait-stable     first wait until the tilt is stable: the spread of each\n"
             "                    angle over the last N seconds below the threshold, both as\n"
             "                    set in the window's preferences (default 2 s and 0.05\n"
             "                    degrees)\n"
             "  --wait-limit S    give up waiting after S seconds (default 60)\n"
             "  --label TEXT      a label carried in the reading, such as where it was taken\n"
             "  --format F        text (default): one line; csv: a header line and one row\n"
             "                    (time, label, seconds, count, then x_deg_mean, x_deg_sd,\n"
             "                    x_deg_min, x_deg_max and the same for y_deg, the unit's\n"
             "                    x_<unit> and y_<unit>, and temp_c); json: one object with\n"
             "                    the csv's names as keys\n"
             "  --units U         also give X and Y in this unit: deg (default), mrad,\n"
             "                    percent (100 tan) or mm-per-m (1000 tan)\n" +
             portOptionsHelp() +
             "\n"
             "Exit status: 0 the reading was printed, 1 no reading (the link was down or\n"
             "the board silent during the capture, it was not stable within the limit,\n"
             "the simulated board did not start, or a signal ended it), 2 bad usage.\n",
    .run = capturecommand::run,
};

namespace capturecommand {

enum class Format { Text, Csv, Json };

struct CaptureOptions {
    PortChoice port;
    record::CaptureSettings capture;
    Format format = Format::Text;
};

bool readOptions(const ParsedArgs& args, CaptureOptions& o, std::string* error)
{
    const auto seconds = args.option("seconds");
    const auto value = seconds ? parseSeconds(*seconds) : std::nullopt;
    if (!value || *value <= 0) {
        *error = seconds ? "--seconds needs a number of seconds above 0, not '" + *seconds + "'"
                         : "--seconds is missing: how long to average";
        return false;
    }
    o.capture.seconds = std::chrono::duration<double>(*value);
    o.capture.waitStable = args.has("wait-stable");
    if (const auto text = args.option("wait-limit")) {
        const auto limit = parseSeconds(*text);
        if (!o.capture.waitStable) {
            *error = "--wait-limit goes with --wait-stable";
            return false;
        }
        if (!limit || *limit <= 0) {
            *error = "--wait-limit needs a number of seconds above 0, not '" + *text + "'";
            return false;
        }
        o.capture.waitLimit = std::chrono::duration<double>(*limit);
    }
    o.capture.label = args.option("label").value_or("");
    if (const auto text = args.option("format")) {
        if (*text == "text" || *text == "csv" || *text == "json") {
            o.format = *text == "csv" ? Format::Csv : *text == "json" ? Format::Json : Format::Text;
        } else {
            *error = "--format must be text, csv or json, not '" + *text + "'";
            return false;
        }
    }
    if (const auto text = args.option("units")) {
        const auto unit = board::parseTiltUnit(*text);
        if (!unit) {
            *error = "--units must be deg, mrad, percent or mm-per-m, not '" + *text + "'";
            return false;
        }
        o.capture.unit = *unit;
    }
    const auto& prefs = platform::FilePreferences::standardUserDefaults();
    o.capture.stability = stats::StabilitySettings::fromText(prefs.objectForKey(board::kPrefStableSeconds),
                                                             prefs.objectForKey(board::kPrefStableSpread));
    return true;
}

std::string written(const record::CapturedReading& r, const CaptureOptions& o)
{
    switch (o.format) {
    case Format::Csv: return record::capturedCsvHeader(o.capture.unit) + record::capturedCsvRow(r, o.capture.unit);
    case Format::Json: return record::capturedJson(r, o.capture.unit);
    case Format::Text: break;
    }
    return record::capturedText(r, o.capture.unit);
}

int run(const Words& words)
{
    ParsedArgs args;
    CaptureOptions options;
    if (auto done = beginPortCommand(captureCommand,
                                     {{}, {"seconds", "wait-limit", "label", "format", "units"}, {"wait-stable"}},
                                     words, args, options.port))
        return *done;
    if (std::string error; !readOptions(args, options, &error))
        return usageError(kName, error);
    platform::setConsoleStream(stderr); // standard output is for the reading alone

    MainLoop main;
    std::optional<record::Capture> capture;
    bool announcedStable = false;
    main.observe(records::kInclinoData, [&](const platform::Notification& n) {
        const auto m = n.object ? measurementOf(*n.object) : std::nullopt;
        if (!m)
            return;
        // The capture begins with the first record the loop delivers (the
        // loop waits a second before its first cycle) and takes it in.
        if (!capture)
            capture.emplace(options.capture, m->time - std::chrono::nanoseconds(1));
        capture->add(*m);
        if (options.capture.waitStable && !announcedStable && capture->state() != record::Capture::State::WaitingForStable) {
            announcedStable = true;
            if (capture->state() == record::Capture::State::Averaging)
                notice(kName, "stable; averaging " + args.option("seconds").value_or("") + " s");
        }
        if (capture->finished())
            main.stop();
    });

    commPortOptions portOptions;
    portOptions.loop = LoopKind::Acquisition;
    portOptions.sink = &main.sink();
    std::string error;
    auto session = PortSession::create(options.port, portOptions, &error);
    if (!session)
        return report(kName, error, kExitFailed);
    session->open(&error); // the loop tries again once a second meanwhile
    const auto started = std::chrono::steady_clock::now();

    main.run(std::nullopt, [&] {
        if (capture) {
            capture->tick(record::WallClock::now());
            if (capture->finished())
                main.stop();
        } else if (std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() > kFirstRecordLimit) {
            main.stop();
        }
    });

    if (!capture)
        return report(kName, "the board sent nothing for " + std::to_string(static_cast<int>(kFirstRecordLimit)) + " s",
                      kExitFailed);
    if (capture->state() == record::Capture::State::Done) {
        writeOut(written(capture->reading(), options));
        return kExitOk;
    }
    std::string why = capture->finished() ? capture->failure() : "stopped before the capture was complete";
    // The open failure's message is written for one who waits (the loop
    // tries again); this command has ended, so it names the error alone.
    if (const OpenFailure problem = session->port().openFailure(); problem.kind != OpenProblem::None)
        why += " (the port " + problem.path + " does not open: " + std::strerror(problem.error) + ")";
    return report(kName, why, kExitFailed);
}

} // namespace capturecommand

} // namespace plovex::cli
