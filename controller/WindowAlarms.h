#pragma once
// The window's alarms, without widgets: the evaluator fed with the
// measurements the window shows and ticked by its timer, and what the window
// makes of it: the banner's text, the readouts that turn red, the limits
// drawn on the dials, the history of raises and clears, and the desktop
// notification of a change.
//
//   WindowAlarms alarms;
//   alarms.setRules(setup.rules);
//   for (const auto& e : alarms.add(measurement, zero)) notify(alarms.message(e));
//   banner->setText(alarms.bannerText());

#include "alarm/Evaluator.h"
#include "controller/TiltReference.h"

#include <string>
#include <vector>

namespace plovex {

// The readouts a rule's alarm turns red: an axis's angle its own, the total
// tilt both angles, the temperature its own, silence none.
struct AlarmReadouts {
    bool x = false, y = false, temperature = false;
    bool operator==(const AlarmReadouts&) const = default;
};
AlarmReadouts readoutsOf(const alarm::Rule& rule);

// A raise or a clear, as the history keeps it.
struct AlarmHistoryEntry {
    platform::RecordTime time;
    alarm::AlarmState state = alarm::AlarmState::Raised;
    std::string rule;  // "x_deg>2.5"
    std::string value; // in the rule's decimals
};
// The history as CSV: "time,state,rule,value", then a row per entry, the
// time local ISO 8601 with milliseconds and UTC offset.
std::string alarmHistoryCsv(const std::vector<AlarmHistoryEntry>& history);

// A desktop notification's summary and body.
struct AlarmMessage {
    std::string summary, body;
};

class WindowAlarms {
public:
    // New rules: each starts again as not yet known; the history stays.
    void setRules(std::vector<alarm::Rule> rules);
    const std::vector<alarm::Rule>& rules() const { return evaluator_.rules(); }

    // A measurement, with the zero the readouts show it after. The changes
    // it made, which the history has taken.
    std::vector<alarm::AlarmEvent> add(const Measurement& m, const TiltReference& reference);
    // Time has passed without a record: the silence rules.
    std::vector<alarm::AlarmEvent> tick(platform::RecordTime now);

    // "x_deg>2.5 raised at 14:03:22.123, value 2.6096", with "(3 alarms
    // raised)" after it when there are more: the latest raised; "" when
    // none is.
    std::string bannerText() const;
    // The readouts of every raised alarm.
    AlarmReadouts redReadouts() const;
    // The raised alarms for a recording's alarms column ("x_deg>2.5;temp_c>60").
    std::string activeText() const { return alarm::activeAlarmsText(evaluator_); }
    // The limits of the rules on an axis's angle, as the needle's angle in
    // degrees (after the zero, as the dial shows it), whatever the rule's unit.
    std::vector<float> limitAngles(Axis axis) const;

    // The notification of a change: summary "Alarm raised: x_deg>2.5" or
    // "Alarm cleared: x_deg>2.5", body "value 2.6096 at 14:03:22.123".
    AlarmMessage message(const alarm::AlarmEvent& event) const;

    const std::vector<AlarmHistoryEntry>& history() const { return history_; }
    void clearHistory() { history_.clear(); }

private:
    std::vector<alarm::AlarmEvent> keep(std::vector<alarm::AlarmEvent> events);

    alarm::Evaluator evaluator_;
    std::vector<AlarmHistoryEntry> history_;
};

} // namespace plovex
