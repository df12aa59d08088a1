#pragma once
// The options of plovex-cli monitor for a site with many boards: --tag for
// the InfluxDB line protocol (InfluxLine.h), on standard output (--format
// influx) and to a database (--influx, InfluxOptions.h), and --mqtt with its
// options for publishing every reading to an MQTT broker (MqttOutput.cpp).
// A tag the databases would read back differently, or keep for themselves,
// is refused here, before anything is sent.

#include "fleet/LineProtocol.h"
#include "fleet/MqttPublisher.h"
#include "platform/Args.h"

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
bool readFleetSettings(const platform::ParsedArgs& args, FleetSettings& settings, std::string* error);

} // namespace plovex::cli
