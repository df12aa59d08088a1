#include "cli/AlarmOutput.h"

#include "cli/CommandSupport.h"
#include "record/LocalTime.h"

#include <cmath>
#include <cstdio>

namespace plovex::cli {

namespace {

// The program's grace after its limit, and a little more, at the end.
constexpr std::chrono::milliseconds kGrace{1000};

const char* stateName(alarm::AlarmState s)
{
    return s == alarm::AlarmState::Raised ? "raised" : "cleared";
}

std::string valueText(const alarm::Rule& rule, double v)
{
    if (!std::isfinite(v))
        return v > 0 ? "inf" : "-inf";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", alarm::valueDecimals(rule.quantity), v);
    return text;
}

} // namespace

std::string alarmRecord(const alarm::Rule& rule, const alarm::AlarmEvent& event)
{
    const std::string value = std::isfinite(event.value) ? valueText(rule, event.value) : "null";
    return std::string("{\"type\":\"alarm\",\"state\":\"") + stateName(event.state) + "\",\"rule\":\"" +
           rule.expression() + "\",\"value\":" + value + ",\"time\":\"" + record::isoLocalTime(event.time) + "\"}\n";
}

std::string alarmTopic(const alarm::Rule& rule)
{
    return "alarm/" + rule.name();
}

AlarmOutput::AlarmOutput(const char* command, AlarmSettings settings, std::string port, AlarmOutlets outlets)
    : command_(command),
      port_(std::move(port)),
      outlets_(std::move(outlets)),
      evaluator_(std::move(settings.rules)),
      programLimit_(settings.programLimit)
{
    if (!settings.program.empty()) {
        runner_ = std::make_unique<alarm::ProgramRunner>(
            alarm::ProgramRunner::Settings{.program = settings.program, .limit = settings.programLimit, .grace = kGrace},
            [command](const std::string& line) { notice(command, "--on-alarm " + line); });
    }
}

AlarmOutput::~AlarmOutput() = default;

void AlarmOutput::measurement(const Measurement& m)
{
    tell(evaluator_.add(m));
}

void AlarmOutput::tick(platform::RecordTime now)
{
    tell(evaluator_.tick(now));
}

void AlarmOutput::finish()
{
    if (runner_)
        runner_->finish(programLimit_ + kGrace);
}

void AlarmOutput::tell(const std::vector<alarm::AlarmEvent>& events)
{
    for (const auto& e : events) {
        const alarm::Rule& rule = evaluator_.rules()[e.rule];
        const std::string line = alarmRecord(rule, e);
        if (outlets_.retained)
            outlets_.retained(alarmTopic(rule), line.substr(0, line.size() - 1));
        if (e.initial)
            continue; // a state to keep, no change to announce
        const std::string value = valueText(rule, e.value);
        notice(command_, std::string("alarm ") + stateName(e.state) + ": " + rule.expression() + " at " +
                             record::localTimeOfDay(e.time) + ", value " + value);
        if (outlets_.record)
            outlets_.record(line);
        if (runner_) {
            runner_->run({{"PLOVEX_ALARM_STATE", stateName(e.state)},
                          {"PLOVEX_ALARM_RULE", rule.expression()},
                          {"PLOVEX_ALARM_VALUE", value},
                          {"PLOVEX_ALARM_TIME", record::isoLocalTime(e.time)},
                          {"PLOVEX_ALARM_PORT", port_}},
                         std::string("alarm ") + stateName(e.state) + ": " + rule.expression());
        }
    }
}

} // namespace plovex::cli
