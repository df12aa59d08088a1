#pragma once
// What the commands that watch measurements do with their alarm options
// (AlarmOptions.h): the evaluator fed with every measurement and ticked a
// few times a second; each raise and clear said as a line on standard error
// and passed to the --on-alarm program; and every change, and each rule's
// first known state, handed on to the command's outputs (the monitor's jsonl
// record and retained MQTT state). Nothing here waits: the program runs on
// the runner's thread.

#include "alarm/Evaluator.h"
#include "alarm/ProgramRunner.h"
#include "cli/AlarmOptions.h"

#include <functional>
#include <memory>
#include <string>

namespace plovex::cli {

class AlarmWatch {
public:
    // Called for each event, changes and first known states (event.initial) alike.
    using Forward = std::function<void(const alarm::Rule& rule, const alarm::AlarmEvent& event)>;

    // command names the lines on standard error; port is PLOVEX_ALARM_PORT.
    AlarmWatch(const char* command, AlarmSettings settings, std::string port, Forward forward);
    ~AlarmWatch();
    AlarmWatch(const AlarmWatch&) = delete;
    AlarmWatch& operator=(const AlarmWatch&) = delete;

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
    Forward forward_;
    alarm::Evaluator evaluator_;
    std::chrono::milliseconds programLimit_;
    std::unique_ptr<alarm::ProgramRunner> runner_;
};

} // namespace plovex::cli
