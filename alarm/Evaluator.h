#pragma once
// Watches measurements against a set of alarm rules and says when an alarm
// is raised and when it clears. It reads no clock: the time is each
// measurement's own (when the board's reply was complete) and the time given
// to tick(), so tests and replays drive it as they like.
//
//   alarm::Evaluator alarms(rules);
//   for (const auto& e : alarms.add(measurement)) tell(e);   // each record
//   for (const auto& e : alarms.tick(now)) tell(e);          // a few times a second
//
// Never raised without cause: a link-down record carries placeholders, not
// values, so it neither raises nor clears an alarm on a value, and it ends a
// hold in progress (what the value did meanwhile is not known). A raised
// alarm stays raised until a value comes back past the limit by the
// hysteresis.
// Never missed: the hold is measured between the measurements' times, so a
// value that stays beyond the limit is raised at the first measurement at
// least the hold time after the one that crossed, however far apart they
// are; silence is measured at every tick and every record, so it is raised
// without a record coming, and a long gap seen only when the next
// measurement comes is raised (and cleared) then.

#include "alarm/Rule.h"
#include "link/Measurement.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace plovex::alarm {

enum class AlarmState { Cleared, Raised };

struct AlarmEvent {
    std::size_t rule = 0; // its place in the evaluator's rules
    AlarmState state = AlarmState::Cleared;
    double value = 0;     // the value that made the change (silent: seconds)
    platform::RecordTime time;
    // A rule's first known state, when that is no alarm: nothing changed,
    // but it is the state to show where the state of each rule is kept (a
    // retained MQTT topic, a list of rules).
    bool initial = false;
};

// A raised alarm: the value and the time it was raised with.
struct ActiveAlarm {
    std::size_t rule = 0;
    double value = 0;
    platform::RecordTime since;
};

class Evaluator {
public:
    explicit Evaluator(std::vector<Rule> rules = {});

    // New rules: every rule starts again as not yet known.
    void setRules(std::vector<Rule> rules);
    const std::vector<Rule>& rules() const { return rules_; }
    // The zero the angle rules see the angles after (the window's zero).
    void setZero(const Zero& zero) { zero_ = zero; }

    // A measurement record, link up or down, at its time.
    std::vector<AlarmEvent> add(const Measurement& m);
    // Time has passed without a record, up to now: the silence rules.
    std::vector<AlarmEvent> tick(platform::RecordTime now);

    bool raised(std::size_t rule) const { return states_.at(rule).phase == Phase::Raised; }
    // The alarms raised now, in rule order.
    std::vector<ActiveAlarm> active() const;

private:
    enum class Phase { Unknown, Clear, Pending, Raised };
    struct RuleState {
        Phase phase = Phase::Unknown;
        bool told = false;             // a state has been reported
        platform::RecordTime since{};  // Pending: since when beyond; Raised: when raised
        double value = 0;              // Raised: the value raised with
    };

    // The rule's value v at time t.
    void see(std::size_t i, double v, platform::RecordTime t, std::vector<AlarmEvent>& out);
    void silence(platform::RecordTime now, std::vector<AlarmEvent>& out);

    std::vector<Rule> rules_;
    std::vector<RuleState> states_;
    Zero zero_;
    // The last measurement with the link up, or the first time the
    // evaluator was given: what silence counts from.
    std::optional<platform::RecordTime> heard_;
};

// The alarms raised now, by their rules' expressions in rule order, joined
// by ';', which no expression holds: "x_deg>2.5;temp_c>60"; "" for none.
std::string activeAlarmsText(const Evaluator& evaluator);

} // namespace plovex::alarm
