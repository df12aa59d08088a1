#include "cli/AlarmWatch.h"

#include "alarm/EventText.h"
#include "cli/CommandSupport.h"
#include "record/LocalTime.h"

#include <cmath>
#include <cstdio>

namespace plovex::cli {

namespace {

// The program's grace after its limit.
constexpr std::chrono::milliseconds kGrace{1000};

} // namespace

AlarmWatch::AlarmWatch(const char* command, AlarmSettings settings, std::string port, Forward forward)
    : command_(command),
      port_(std::move(port)),
      forward_(std::move(forward)),
      evaluator_(std::move(settings.rules)),
      programLimit_(settings.programLimit)
{
    if (!settings.program.empty()) {
        runner_ = std::make_unique<alarm::ProgramRunner>(
            alarm::ProgramRunner::Settings{.program = settings.program, .limit = settings.programLimit, .grace = kGrace},
            [command](const std::string& line) { notice(command, "--on-alarm " + line); });
    }
}

AlarmWatch::~AlarmWatch() = default;

void AlarmWatch::measurement(const Measurement& m)
{
    tell(evaluator_.add(m));
}

void AlarmWatch::tick(platform::RecordTime now)
{
    tell(evaluator_.tick(now));
}

void AlarmWatch::finish()
{
    if (runner_)
        runner_->finish(programLimit_ + kGrace);
}

void AlarmWatch::tell(const std::vector<alarm::AlarmEvent>& events)
{
    for (const auto& e : events) {
        const alarm::Rule& rule = evaluator_.rules()[e.rule];
        if (!e.initial) {
            const std::string value = alarm::valueText(rule, e.value);
            const std::string change = std::string("alarm ") + alarm::stateText(e.state) + ": " + rule.expression();
            notice(command_, change + " at " + record::localTimeOfDay(e.time) + ", value " + value);
            if (runner_) {
                runner_->run({{"PLOVEX_ALARM_STATE", alarm::stateText(e.state)},
                              {"PLOVEX_ALARM_RULE", rule.expression()},
                              {"PLOVEX_ALARM_VALUE", value},
                              {"PLOVEX_ALARM_TIME", record::isoLocalTime(e.time)},
                              {"PLOVEX_ALARM_PORT", port_}},
                             change);
            }
        }
        if (forward_)
            forward_(rule, e);
    }
}

} // namespace plovex::cli
