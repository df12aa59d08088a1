#pragma once
// What the commands that watch measurements do with alarms (AlarmOptions.h):
// the evaluator fed with every measurement and ticked a few times a second,
// and each raise and clear told as a line on standard error, as a record for
// the command's records (the jsonl line), as the retained state of its rule
// for MQTT (PREFIX/alarm/NAME) and to the --on-alarm program. Nothing here
// waits: the program runs on the runner's thread and MQTT on the
// publisher's.

#include "alarm/Evaluator.h"
#include "alarm/ProgramRunner.h"
#include "cli/AlarmOptions.h"

#include <functional>
#include <memory>
#include <string>

namespace plovex::cli {

// Where alarm changes go besides standard error; an empty function: nowhere.
struct AlarmOutlets {
    // The alarm record, a jsonl line with its newline.
    std::function<void(const std::string& line)> record;
    // A rule's state, to be kept: the topic below the prefix and the record
    // without its newline. Also given a rule's first known state.
    std::function<void(const std::string& leaf, std::string payload)> retained;
};

// {"type":"alarm","state":"raised","rule":"x_deg>2.5","value":2.6096,"time":"..."}
// with its newline; the value in the rule's decimals, null when infinite.
std::string alarmRecord(const alarm::Rule& rule, const alarm::AlarmEvent& event);
// "alarm/x_deg_gt_2.5": where the rule's state is published.
std::string alarmTopic(const alarm::Rule& rule);

class AlarmOutput {
public:
    // command names the lines on standard error; port is PLOVEX_ALARM_PORT.
    AlarmOutput(const char* command, AlarmSettings settings, std::string port, AlarmOutlets outlets);
    ~AlarmOutput();
    AlarmOutput(const AlarmOutput&) = delete;
    AlarmOutput& operator=(const AlarmOutput&) = delete;

    bool empty() const { return evaluator_.rules().empty(); }
    void measurement(const Measurement& m);
    void tick(platform::RecordTime now);
    // Lets the program of the last changes run (within its time limit, at
    // most) and ends the runner.
    void finish();

    const alarm::Evaluator& evaluator() const { return evaluator_; }

private:
    void tell(const std::vector<alarm::AlarmEvent>& events);

    const char* command_;
    std::string port_;
    AlarmOutlets outlets_;
    alarm::Evaluator evaluator_;
    std::chrono::milliseconds programLimit_;
    std::unique_ptr<alarm::ProgramRunner> runner_;
};

} // namespace plovex::cli
