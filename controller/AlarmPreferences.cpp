#include "controller/AlarmPreferences.h"

#include "platform/Preferences.h"

#include <cmath>
#include <cstdlib>

namespace plovex {

namespace {

// A default of 0 or more as stored; 0 when it is absent or unreadable.
double storedDefault(const platform::Preferences& prefs, const char* key)
{
    const auto text = prefs.objectForKey(key);
    if (!text || text->empty())
        return 0;
    char* end = nullptr;
    const double v = std::strtod(text->c_str(), &end);
    return *end == '\0' && std::isfinite(v) && v >= 0 ? v : 0;
}

// The rules with both options written out, even when 0: read back with
// other defaults, each rule stays as it was.
std::string storedRulesText(const std::vector<alarm::Rule>& rules)
{
    std::string t;
    for (const auto& r : rules)
        t += (t.empty() ? "" : "; ") + r.expression() + ",hysteresis=" + alarm::ruleNumber(r.hysteresis) +
             ",hold=" + alarm::ruleNumber(r.hold);
    return t;
}

} // namespace

AlarmSetup loadAlarmSetup(const platform::Preferences& prefs, std::string* problem)
{
    AlarmSetup setup;
    setup.defaults.hysteresis = storedDefault(prefs, kPrefAlarmHysteresis);
    setup.defaults.hold = storedDefault(prefs, kPrefAlarmHold);
    const std::string text = prefs.objectForKey(kPrefAlarmRules).value_or("");
    alarm::RuleError error;
    if (auto rules = alarm::parseRules(text, setup.defaults, &error))
        setup.rules = std::move(*rules);
    else if (problem)
        *problem = "the stored alarm rules are not readable: " + error.message + "\n" + alarm::pointAt(text, error.column);
    return setup;
}

void saveAlarmSetup(platform::Preferences& prefs, const AlarmSetup& setup)
{
    prefs.setObject(storedRulesText(setup.rules), kPrefAlarmRules);
    prefs.setObject(alarm::ruleNumber(setup.defaults.hysteresis), kPrefAlarmHysteresis);
    prefs.setObject(alarm::ruleNumber(setup.defaults.hold), kPrefAlarmHold);
    prefs.synchronize();
}

} // namespace plovex
