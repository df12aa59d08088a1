#pragma once
// The options with which a command writes its records to a time-series
// database (--influx URL and those that go with it): their help, their
// names for parseArgs, and reading them. Any command that makes line
// protocol takes the same set; the lines themselves come from InfluxLine.h
// and go to the database through InfluxDatabase.h.

#include "fleet/HttpPost.h"
#include "fleet/InfluxUrl.h"
#include "fleet/InfluxWriter.h"
#include "platform/Args.h"

#include <optional>
#include <set>
#include <string>

namespace plovex::cli {

struct InfluxOptions {
    fleet::InfluxUrl url;
    fleet::HttpCredentials credentials;
    fleet::InfluxWriterSettings writer;
};

// The help lines of the options.
std::string influxOptionsHelp();
// Their names, for parseArgs.
std::set<std::string> influxValueOptions();
// Takes the options from args and reads the token file into options (left
// empty without --influx). False, and the reason in *error, when they are
// not usable.
bool readInfluxOptions(const platform::ParsedArgs& args, std::optional<InfluxOptions>& options, std::string* error);

} // namespace plovex::cli
