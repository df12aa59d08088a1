// The link's health as the window shows it, driven by the window's timer:
// a board that falls silent while the line stays open, the reason a port
// does not open, whether a write may go out, and writes that were not read
// back in time.

#include "controller/plovexController.h"
#include "platform/Log.h"

namespace plovex {

void plovexController::linkTick()
{
    if (!thePort)
        return;
    const auto now = env_.clock();
    const auto elapsed = now - lastTick_;
    lastTick_ = now;

    // The link's own count says whether the board answers: records held in
    // the queue (while a confirmation is open) do not make it look silent.
    const LinkHealth health = thePort->health();
    if (health.measurementRecords != measurementsSeen_) {
        measurementsSeen_ = health.measurementRecords;
        lastMeasurementAt_ = now;
    }
    if (!linkDown_ && !silent_ && health.open && now - lastMeasurementAt_ >= kSilenceLimit) {
        silent_ = true;
        commStateItem->setStringValue("NO Comms");
        commStateItem->setTextColor(Color::redColor());
        showNotCurrent(); // the last values stand, no longer live
    }

    const bool up = !linkDown_ && !silent_ && health.open;
    for (int p = 0; p < kParameterCount; ++p) {
        if (rowState_[p] != ParameterState::Waiting || !up)
            continue;
        waitedUp_[p] += elapsed;
        if (waitedUp_[p] >= kWriteAnswerLimit) {
            rowState_[p] = ParameterState::NoAnswer;
            parameterTable->reloadData();
            say("Parameter " + std::to_string(p) + " was not read back within 3 s of the write.");
        }
    }
    updateWriteGate();
    showPortProblem();
}

std::string plovexController::writeBlock() const
{
    if (!thePort)
        return "There is no link to the board.";
    if (linkDown_ || !thePort->portOpenOK())
        return "The link is down (NO Comms): a write would reach nothing.";
    if (silent_)
        return "The board does not answer (NO Comms): a write could not be checked.";
    return {};
}

void plovexController::updateWriteGate()
{
    if (!writeGate_)
        return;
    std::pair<bool, std::string> gate{false, writeBlock()};
    gate.first = gate.second.empty();
    if (gateShown_ == gate)
        return;
    gateShown_ = gate;
    writeGate_->setWriteAllowed(gate.first, gate.second);
}

void plovexController::showPortProblem()
{
    if (!thePort)
        return;
    OpenFailure problem = thePort->openFailure();
    if (problem == shownProblem_)
        return; // shown once per change
    shownProblem_ = std::move(problem);
    if (portProblem_)
        portProblem_->setStringValue(shownProblem_.message);
    // Logged too, so that a window started from a terminal says it there.
    if (!shownProblem_.message.empty())
        platform::logEntry(shownProblem_.message);
}

void plovexController::say(const std::string& message)
{
    if (statusLine_)
        statusLine_->setStringValue(message);
}

} // namespace plovex
