#pragma once
// What plovex-cli monitor does for a site with many boards: InfluxDB line
// protocol on standard output (--format influx, with --tag) and publishing
// every record to an MQTT broker (--mqtt and its options). Both carry the
// time the record was delivered, the one the other formats print.

#include "cli/CommandSupport.h"
#include "cli/RecordFormat.h"
#include "fleet/LineProtocol.h"
#include "fleet/MqttPublisher.h"

#include <atomic>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace plovex::cli {

struct FleetSettings {
    fleet::Tags tags;                        // --tag KEY=VALUE, in the order given
    std::optional<fleet::MqttSettings> mqtt; // --mqtt URL and the options that go with it
};

// The help lines of the options, for the monitor's usage text.
std::string fleetOptionsHelp();
// Their names, for parseArgs.
std::set<std::string> fleetValueOptions();
// Takes the options from args and reads the password file. False, and the
// reason in *error, when they are not usable.
bool readFleetSettings(const ParsedArgs& args, FleetSettings& settings, std::string* error);

class FleetOutput {
public:
    // portName: the port's stable name, the "port" tag. Starts publishing
    // when settings ask for it; command names the messages on standard error.
    FleetOutput(const char* command, FleetSettings settings, std::string portName);

    // The record as a line of InfluxDB line protocol (with its newline): the
    // record's entries, then a measurement's derived fields in the context's
    // unit, stamped with the context's time in nanoseconds.
    std::string influxLine(RecordKind kind, const platform::Record& record, const LineContext& context) const;
    // Queues the record for the broker: the line --format jsonl prints for
    // it in this context, without the newline.
    void publish(RecordKind kind, const platform::Record& record, const LineContext& context);
    // Queues a state for the broker to keep on PREFIX/leaf (an alarm's).
    void publishRetained(const std::string& leaf, std::string payload);
    // True once publishing has ended for good (the broker refused the login).
    bool failed() const { return failed_; }
    // Sends what is left (a few seconds at most) and disconnects. The exit
    // code: kExitFailed, after saying why, when publishing ended for good.
    int finish();

private:
    const char* command_;
    fleet::Tags tags_; // type first, then port, then the user's
    std::atomic<bool> failed_{false};
    std::unique_ptr<fleet::MqttPublisher> publisher_;
};

} // namespace plovex::cli
