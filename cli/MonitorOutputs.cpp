// The monitor's outputs, in one list. An output is a file of its own that
// defines its factory; the factory returns null when the setup does not ask
// for that output.

#include "cli/MonitorOutput.h"

namespace plovex::cli {

using OutputFactory = std::unique_ptr<MonitorOutput> (*)(const MonitorSetup&);

std::unique_ptr<MonitorOutput> makeTextOutput(const MonitorSetup& setup);   // TextOutput.cpp
std::unique_ptr<MonitorOutput> makeTerminalOutput(const MonitorSetup& setup); // TerminalOutput.cpp
std::unique_ptr<MonitorOutput> makeCsvOutput(const MonitorSetup& setup);    // CsvOutput.cpp
std::unique_ptr<MonitorOutput> makeJsonlOutput(const MonitorSetup& setup);  // JsonlOutput.cpp
std::unique_ptr<MonitorOutput> makeInfluxOutput(const MonitorSetup& setup); // InfluxOutput.cpp
std::unique_ptr<MonitorOutput> makeDatabaseOutput(const MonitorSetup& setup); // DatabaseOutput.cpp
std::unique_ptr<MonitorOutput> makeMqttOutput(const MonitorSetup& setup);   // MqttOutput.cpp

namespace {

// Standard output's format first, so that its line for a reading is
// written before the reading is sent anywhere.
constexpr OutputFactory kOutputs[] = {
    makeTextOutput, makeTerminalOutput, makeCsvOutput, makeJsonlOutput, makeInfluxOutput, makeDatabaseOutput, makeMqttOutput,
};

} // namespace

std::optional<OutputFormat> parseOutputFormat(const std::string& name)
{
    if (name == "text")
        return OutputFormat::Text;
    if (name == "csv")
        return OutputFormat::Csv;
    if (name == "jsonl")
        return OutputFormat::Jsonl;
    if (name == "influx")
        return OutputFormat::Influx;
    return std::nullopt;
}

std::vector<std::unique_ptr<MonitorOutput>> makeMonitorOutputs(const MonitorSetup& setup)
{
    std::vector<std::unique_ptr<MonitorOutput>> outputs;
    for (const OutputFactory make : kOutputs)
        if (auto output = make(setup))
            outputs.push_back(std::move(output));
    return outputs;
}

} // namespace plovex::cli
