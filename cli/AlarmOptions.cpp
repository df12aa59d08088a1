#include "cli/AlarmOptions.h"

#include "alarm/ProgramRunner.h"
#include "alarm/RuleText.h"

namespace plovex::cli {

namespace {

constexpr double kLongestHold = 24 * 3600.0;
constexpr double kLongestProgramLimit = 3600.0;

} // namespace

std::string alarmOptionsHelp(const char* changes)
{
    return "  --alarm RULE          raise an alarm when RULE holds (repeatable): QUANTITY,\n"
           "                        > or <, a limit, and options after commas, such as\n"
           "                        'x_deg>2.5,hysteresis=0.1,hold=2'. QUANTITY is\n"
           "                        x_UNIT or y_UNIT (the angle, UNIT deg, mrad, percent\n"
           "                        or mm_per_m), tilt_UNIT (the total tilt of the board\n"
           "                        from level, from both axes), temp_c (degrees Celsius)\n"
           "                        or silent (seconds without a measurement, link-down\n"
           "                        time included; > only). hold=S: the condition must\n"
           "                        last S seconds before the alarm is raised;\n"
           "                        hysteresis=V: it clears once the value is back past\n"
           "                        the limit by V. A link-down record is no value: it\n"
           "                        neither raises nor clears an angle or temperature\n"
           "                        alarm, and it restarts a hold. Each raise and clear\n"
           "                        is a line on standard error" +
           std::string(changes) +
           "  --hysteresis V        the hysteresis of the rules that give none (default 0)\n"
           "  --hold S              the hold time of the rules that give none (default 0)\n"
           "  --on-alarm PROGRAM    run PROGRAM (no shell, no arguments) on each raise and\n"
           "                        clear, one at a time, with PLOVEX_ALARM_STATE (raised\n"
           "                        or cleared), PLOVEX_ALARM_RULE, PLOVEX_ALARM_VALUE,\n"
           "                        PLOVEX_ALARM_TIME and PLOVEX_ALARM_PORT in its\n"
           "                        environment and its output on standard error; it never\n"
           "                        holds up the records. A program that fails is reported;\n"
           "                        when 64 changes wait for it the oldest are dropped\n"
           "  --on-alarm-timeout S  stop the program (SIGTERM, SIGKILL 1 s later) when it\n"
           "                        runs longer than S seconds (default 10)\n";
}

std::set<std::string> alarmValueOptions()
{
    return {"alarm", "hysteresis", "hold", "on-alarm", "on-alarm-timeout"};
}

bool readAlarmSettings(const ParsedArgs& args, AlarmSettings& settings, std::string* error)
{
    const auto given = args.repeated.find("alarm");
    if (given == args.repeated.end()) {
        for (const char* name : {"hysteresis", "hold", "on-alarm", "on-alarm-timeout"}) {
            if (args.option(name)) {
                *error = std::string("--") + name + " goes with --alarm";
                return false;
            }
        }
        return true;
    }
    alarm::RuleDefaults defaults;
    if (const auto text = args.option("hysteresis")) {
        const auto v = parseSeconds(*text); // a decimal of 0 or more, like a time
        if (!v) {
            *error = "--hysteresis needs a number of 0 or more, not '" + *text + "'";
            return false;
        }
        defaults.hysteresis = *v;
    }
    if (const auto text = args.option("hold")) {
        const auto v = parseSeconds(*text);
        if (!v || *v > kLongestHold) {
            *error = "--hold needs a number of seconds from 0 to 86400, not '" + *text + "'";
            return false;
        }
        defaults.hold = *v;
    }
    for (const auto& text : given->second) {
        alarm::RuleError e;
        const auto rule = alarm::parseRule(text, defaults, &e);
        if (!rule) {
            *error = "--alarm: " + e.message + "\n" + alarm::pointAt(text, e.column);
            error->pop_back(); // the caller ends the line
            return false;
        }
        for (const auto& other : settings.rules) {
            if (other.name() == rule->name()) {
                *error = "--alarm " + rule->expression() + " is given twice";
                return false;
            }
        }
        settings.rules.push_back(*rule);
    }
    if (const auto program = args.option("on-alarm")) {
        std::string why;
        const auto found = alarm::findProgram(*program, &why);
        if (!found) {
            *error = "--on-alarm " + why;
            return false;
        }
        settings.program = *found;
    }
    if (const auto text = args.option("on-alarm-timeout")) {
        const auto v = parseSeconds(*text);
        if (settings.program.empty()) {
            *error = "--on-alarm-timeout goes with --on-alarm";
            return false;
        }
        if (!v || *v < 0.001 || *v > kLongestProgramLimit) {
            *error = "--on-alarm-timeout needs a number of seconds above 0 (an hour at most), not '" + *text + "'";
            return false;
        }
        settings.programLimit = std::chrono::milliseconds(static_cast<long long>(*v * 1000 + 0.5));
    }
    return true;
}

} // namespace plovex::cli
