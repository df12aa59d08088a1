#include "controller/WindowAlarms.h"

#include "alarm/EventText.h"
#include "record/LocalTime.h"

#include <algorithm>

namespace plovex {

AlarmReadouts readoutsOf(const alarm::Rule& rule)
{
    switch (rule.quantity.measure) {
    case alarm::Measure::XAngle: return {true, false, false};
    case alarm::Measure::YAngle: return {false, true, false};
    case alarm::Measure::TotalTilt: return {true, true, false};
    case alarm::Measure::Temperature: return {false, false, true};
    case alarm::Measure::Silence: break;
    }
    return {};
}

std::string alarmHistoryCsv(const std::vector<AlarmHistoryEntry>& history)
{
    // A rule's expression and a number hold no comma or quote: no field needs quoting.
    std::string out = "time,state,rule,value\n";
    for (const auto& e : history)
        out += record::isoLocalTime(e.time) + "," + alarm::stateText(e.state) + "," + e.rule + "," + e.value + "\n";
    return out;
}

void WindowAlarms::setRules(std::vector<alarm::Rule> rules)
{
    evaluator_.setRules(std::move(rules));
}

std::vector<alarm::AlarmEvent> WindowAlarms::add(const Measurement& m, const TiltReference& reference)
{
    evaluator_.setZero({reference.zero(Axis::X), reference.zero(Axis::Y)});
    return keep(evaluator_.add(m));
}

std::vector<alarm::AlarmEvent> WindowAlarms::tick(platform::RecordTime now)
{
    return keep(evaluator_.tick(now));
}

std::vector<alarm::AlarmEvent> WindowAlarms::keep(std::vector<alarm::AlarmEvent> events)
{
    // A rule's first known state changes nothing: neither history nor message.
    std::erase_if(events, [](const alarm::AlarmEvent& e) { return e.initial; });
    for (const auto& e : events) {
        const alarm::Rule& rule = evaluator_.rules()[e.rule];
        history_.push_back({e.time, e.state, rule.expression(), alarm::valueText(rule, e.value)});
    }
    return events;
}

std::string WindowAlarms::bannerText() const
{
    const auto active = evaluator_.active();
    if (active.empty())
        return {};
    // The latest raised; of two raised together, the later rule.
    auto latest = active.begin();
    for (auto it = active.begin(); it != active.end(); ++it)
        if (it->since >= latest->since)
            latest = it;
    const alarm::Rule& rule = evaluator_.rules()[latest->rule];
    std::string text = rule.expression() + " raised at " + record::localTimeOfDay(latest->since) + ", value " +
                       alarm::valueText(rule, latest->value);
    if (active.size() > 1)
        text += " (" + std::to_string(active.size()) + " alarms raised)";
    return text;
}

AlarmReadouts WindowAlarms::redReadouts() const
{
    AlarmReadouts red;
    for (const auto& a : evaluator_.active()) {
        const AlarmReadouts r = readoutsOf(evaluator_.rules()[a.rule]);
        red.x = red.x || r.x;
        red.y = red.y || r.y;
        red.temperature = red.temperature || r.temperature;
    }
    return red;
}

std::vector<float> WindowAlarms::limitAngles(Axis axis) const
{
    const auto measure = axis == Axis::X ? alarm::Measure::XAngle : alarm::Measure::YAngle;
    std::vector<float> angles;
    for (const auto& rule : evaluator_.rules())
        if (rule.quantity.measure == measure)
            angles.push_back(static_cast<float>(board::toDegrees(rule.quantity.unit, rule.limit)));
    return angles;
}

AlarmMessage WindowAlarms::message(const alarm::AlarmEvent& event) const
{
    const alarm::Rule& rule = evaluator_.rules()[event.rule];
    return {std::string(event.state == alarm::AlarmState::Raised ? "Alarm raised: " : "Alarm cleared: ") +
                rule.expression(),
            "value " + alarm::valueText(rule, event.value) + " at " + record::localTimeOfDay(event.time)};
}

} // namespace plovex
