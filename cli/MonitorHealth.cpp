#include "cli/MonitorHealth.h"

#include "cli/CommandSupport.h"

namespace plovex::cli {

MonitorHealth::MonitorHealth(const char* command, const commPort& port, std::string portName, bool statusLines,
                             std::function<void(const std::string&)> tell)
    : port_(port), portName_(std::move(portName)), statusLines_(statusLines),
      tell_(std::move(tell)), lastMeasurementAt_(std::chrono::steady_clock::now()),
      nextStatusAt_(lastMeasurementAt_ + kStatusInterval)
{
    if (!tell_)
        tell_ = [command](const std::string& text) { notice(command, text); };
}

void MonitorHealth::check(std::chrono::steady_clock::time_point now)
{
    const LinkHealth health = port_.health();
    if (OpenFailure problem = port_.openFailure(); !(problem == shownProblem_)) {
        if (problem.kind != OpenProblem::None)
            tell_(problem.message + " Trying again once a second.");
        else if (health.open)
            tell_("the port " + shownProblem_.path + " is open");
        shownProblem_ = std::move(problem);
    }

    // Silence counts from the last record, or from when the line opened.
    if (health.open && !wasOpen_)
        lastMeasurementAt_ = now;
    wasOpen_ = health.open;
    if (health.measurementRecords != measurementsSeen_) {
        measurementsSeen_ = health.measurementRecords;
        lastMeasurementAt_ = now;
        if (silent_)
            tell_("data from the board again");
        silent_ = false;
    } else if (!silent_ && health.open && now - lastMeasurementAt_ >= kSilenceLimit) {
        silent_ = true;
        tell_("no data from the board for 2 s");
    }

    if (statusLines_ && now >= nextStatusAt_) {
        nextStatusAt_ = now + kStatusInterval;
        writeOut("status: " + line_.update(health, now, portName_) + "\n");
    } else {
        line_.update(health, now, portName_); // keeps the rate's sample current
    }
}

} // namespace plovex::cli
