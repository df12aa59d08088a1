// plovex-cli monitor --mqtt: every reading published to the broker,
// measurements to PREFIX/measurement, parameters to PREFIX/parameter and
// intervals (--average) to PREFIX/interval, as
// the JSON line --format jsonl prints for it (JsonLine.h) but without the
// values a link-down cycle only fills in. The publisher works from a thread
// of its own (fleet/MqttPublisher.h); this side only queues.

#include "cli/CommandSupport.h"
#include "cli/JsonLine.h"
#include "cli/MonitorOutput.h"

#include <atomic>
#include <chrono>

namespace plovex::cli {

namespace {

class MqttOutput final : public MonitorOutput {
public:
    MqttOutput(const char* command, fleet::MqttSettings settings, std::vector<record::DerivedField> fields,
               board::TiltUnit unit)
        : command_(command), fields_(std::move(fields)), unit_(unit)
    {
        publisher_ = std::make_unique<fleet::MqttPublisher>(
            std::move(settings), [command](const std::string& line) { notice(command, line); },
            [this] { failed_ = true; });
    }

    void measurement(const Measurement& m) override
    {
        publisher_->publish(fleet::MqttTopic::Measurement, jsonLine(m, fields_, Placeholders::LeaveOut), m.time);
    }

    void parameter(const ParameterReading& p) override
    {
        publisher_->publish(fleet::MqttTopic::Parameter, jsonLine(p, Placeholders::LeaveOut), p.time);
    }

    void interval(const stats::IntervalSummary& s) override
    {
        publisher_->publish(fleet::MqttTopic::Interval, jsonLine(s, unit_), s.start);
    }

    bool failed() const override { return failed_; }

    // Sends what is left (a few seconds at most) and disconnects.
    int finish() override
    {
        const std::string fatal = publisher_->finish(std::chrono::seconds(5));
        publisher_.reset();
        return fatal.empty() ? kExitOk : report(command_, fatal, kExitFailed);
    }

private:
    const char* command_;
    std::vector<record::DerivedField> fields_;
    board::TiltUnit unit_;
    std::atomic<bool> failed_{false};
    std::unique_ptr<fleet::MqttPublisher> publisher_;
};

} // namespace

std::unique_ptr<MonitorOutput> makeMqttOutput(const MonitorSetup& setup)
{
    if (!setup.fleet.mqtt)
        return nullptr;
    return std::make_unique<MqttOutput>(setup.command, *setup.fleet.mqtt, setup.fields, setup.unit);
}

} // namespace plovex::cli
