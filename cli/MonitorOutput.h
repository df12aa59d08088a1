#pragma once
// What plovex-cli monitor does with the readings it is delivered: each of
// its outputs (a format on standard output, publishing to MQTT, ...) is a
// MonitorOutput, made by a factory in the one list of MonitorOutputs.cpp
// from the monitor's settings, and handed every reading in delivery order.
//
// An output takes the typed view: a measurement (Measurement::linkUp false
// for a link-down cycle's record, whose values are placeholders) or a
// parameter (ParameterReading::linkUp false for the placeholder a link-down
// cycle makes, whose value is the loop's cycle counter). With --average an
// output is given intervals of measurements (stats::IntervalSummary, its
// figures those of record/AveragedRow.h) in place of the measurements. With
// --alarm it is also handed each alarm event in the order it happened: a
// raise or a clear, or a rule's first known state (AlarmEvent::initial),
// which changes nothing but is the state to keep where one is kept.

#include "alarm/Evaluator.h"
#include "cli/FleetOptions.h"
#include "cli/InfluxOptions.h"
#include "link/Measurement.h"
#include "link/TiltUnits.h"
#include "record/DerivedFields.h"
#include "stats/IntervalAverager.h"
#include "stats/Stability.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plovex::cli {

enum class OutputFormat { Text, Csv, Jsonl, Influx };

// "text", "csv", "jsonl", "influx"; nullopt for anything else.
std::optional<OutputFormat> parseOutputFormat(const std::string& name);

// What the outputs are made from.
struct MonitorSetup {
    const char* command = "monitor";         // names the messages on standard error
    OutputFormat format = OutputFormat::Text; // what standard output carries
    board::TiltUnit unit = board::TiltUnit::Degrees;
    std::vector<record::DerivedField> fields; // the derived fields for unit, in the monitor's order
    FleetSettings fleet;                      // --tag, --mqtt and its options
    std::optional<InfluxOptions> influx;      // --influx and its options
    std::string portName;                     // the port's stable name (its last part)
    bool terminal = false;                    // standard output is a terminal
    // --average: the measurements are averaged over intervals of this length
    // and the outputs given the intervals in their place (record/AveragedRow.h).
    std::optional<std::chrono::milliseconds> average;
    // When the tilt counts as stable (the window's settings).
    stats::StabilitySettings stability;
};

class MonitorOutput {
public:
    virtual ~MonitorOutput() = default;
    // Once, before the first reading (the csv header).
    virtual void begin() {}
    virtual void measurement(const Measurement& m) = 0;
    virtual void parameter(const ParameterReading& p) = 0;
    // What the monitor tells about the link besides the readings (silence,
    // why the port does not open). True when the output showed it, so that
    // it is not written on standard error as well.
    virtual bool showNotice(const std::string& /*text*/) { return false; }
    // A turn of the monitor's loop, a few times a second at least: an
    // output that keeps a display up to date brings it up to now.
    virtual void tick() {}
    virtual void alarm(const alarm::Rule& /*rule*/, const alarm::AlarmEvent& /*event*/) {}
    // With --average, an interval of measurements, given in place of them.
    virtual void interval(const stats::IntervalSummary& s) = 0;
    // True once the output has failed for good; the monitor then ends.
    virtual bool failed() const { return false; }
    // At the end: finishes what is under way. The exit code, after saying
    // why when it is not kExitOk.
    virtual int finish() { return 0; }
};

// Every output the setup asks for, in the order of the list. Throws
// std::runtime_error, with the reason, when one cannot start (no client for
// its broker or database could be made).
std::vector<std::unique_ptr<MonitorOutput>> makeMonitorOutputs(const MonitorSetup& setup);

} // namespace plovex::cli
