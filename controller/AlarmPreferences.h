#pragma once
// The window's alarm rules in the user's preferences: the rules as their
// text (alarm/RuleText.h: "x_deg>2.5,hold=2; temp_c>60") under alarmRules,
// and the hysteresis and hold the rules without their own take under
// alarmHysteresis and alarmHold. Each rule is stored with its own options
// written out, so the defaults apply to rules as they are entered.

#include "alarm/RuleText.h"

#include <string>
#include <vector>

namespace platform {
class Preferences;
}

namespace plovex {

inline constexpr const char* kPrefAlarmRules = "alarmRules";
inline constexpr const char* kPrefAlarmHysteresis = "alarmHysteresis";
inline constexpr const char* kPrefAlarmHold = "alarmHold";

struct AlarmSetup {
    std::vector<alarm::Rule> rules;
    alarm::RuleDefaults defaults;
    bool operator==(const AlarmSetup&) const = default;
};

// What the preferences hold; no rules when they hold none. A stored text
// that is not rules (edited by hand) gives no rules and *problem says why,
// with the text and a caret under the fault.
AlarmSetup loadAlarmSetup(const platform::Preferences& prefs, std::string* problem);
// Writes the setup and stores the preferences.
void saveAlarmSetup(platform::Preferences& prefs, const AlarmSetup& setup);

} // namespace plovex
