// The EEPROM parameter table: the last value read back for each parameter,
// the table's cells, the selected row's three fields, and the confirmed write.

#include "controller/plovexController.h"

#include <cstdio>

namespace plovex {

namespace {

// The question the confirmation asks: "Do you really want to write VALUE to
// parameter NUMBER - DESCRIPTION?".
std::string confirmationMessage(int16_t value, int parameter, const std::string& description)
{
    const char* format = "Do you really want to write %d to parameter %d - %s?";
    const int length = std::snprintf(nullptr, 0, format, static_cast<int>(value), parameter, description.c_str());
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format, static_cast<int>(value), parameter, description.c_str());
    return text;
}

} // namespace

void plovexController::parameterFromRell(const platform::Notification& notification)
{
    // A cycle that finds the port closed hands over a link-down measurement
    // and then a parameter record whose value is the loop's cycle counter:
    // a placeholder, never a value of the board (the reader tells it by the
    // order of the records). Every other parameter record is a read-back.
    const auto reading = notification.object ? records_.parameter(*notification.object) : std::nullopt;
    if (!reading || !reading->linkUp)
        return;
    ++boardReads_;
    const int32_t a = reading->address;
    const int32_t d = reading->value;
    if (!validParameter(a))
        return; // the loop reads 0..15 only; anything else has no row
    const ParameterState before = rowState_[a];
    const bool known = everRead_[a];
    everRead_[a] = true;
    settleWrite(a, static_cast<int16_t>(d));
    if (known && d == parameters[a] && rowState_[a] == before)
        return; // unchanged: no reload, so an idle board costs the table nothing
    parameters[a] = static_cast<int16_t>(d);
    parameterTable->reloadData();
}

void plovexController::settleWrite(int p, int16_t d)
{
    ParameterState& state = rowState_[p];
    const bool waiting = state == ParameterState::Waiting || state == ParameterState::NoAnswer;
    if (!waiting) {
        if (state == ParameterState::NotRead)
            state = ParameterState::Current;
        return; // a row not taking a write stays marked until the next write
    }
    if (boardReads_ <= readsBeforeWrite_[p])
        return; // read before the write went out
    const std::string name = "Parameter " + std::to_string(p);
    if (d == written_[p]) {
        state = ParameterState::Current;
        say(name + " now holds " + std::to_string(d) + ".");
    } else {
        state = ParameterState::NotTaken;
        say(name + " did not take the write: the board holds " + std::to_string(d) + ", not " +
            std::to_string(written_[p]) + ".");
    }
}

ParameterState plovexController::parameterState(int p) const
{
    return validParameter(p) ? rowState_[p] : ParameterState::NotRead;
}

std::string plovexController::parameterNote(int p) const
{
    switch (parameterState(p)) {
    case ParameterState::Current:
        return {};
    case ParameterState::NotRead:
        return "Not read from the board since the link came up; the value shown is the last one known.";
    case ParameterState::Waiting:
        return "Written " + std::to_string(written_[p]) + "; waiting for the board to read it back.";
    case ParameterState::NotTaken:
        return "The write of " + std::to_string(written_[p]) + " did not take; the board holds the value shown.";
    case ParameterState::NoAnswer:
        return "Written " + std::to_string(written_[p]) + "; not read back within 3 s.";
    }
    return {};
}

int plovexController::numberOfRowsInTableView() const
{
    return kParameterCount;
}

std::string plovexController::objectValueForTableColumn(const std::string& identifier, int row) const
{
    if (identifier == "Parameter")
        return std::to_string(row);
    if (identifier == "Description")
        return description(row);
    if (identifier == "Value")
        // A parameter not read from this port's board has no value to show, not 0.
        return !validParameter(row) ? std::string() : everRead_[row] ? std::to_string(parameters[row]) : kNoValue;
    return "???";
}

void plovexController::tableViewSelectionDidChange(const TableViewOutlet* sender)
{
    if (sender != parameterTable)
        return;

    // The row is asked anew for each field; without a selection there is no
    // parameter to show, so the three fields are emptied.
    int row = sender->selectedRow();
    if (!validParameter(row))
        return clearSelectionFields();
    selectedParameterNumber->setIntValue(row);

    row = sender->selectedRow();
    if (!validParameter(row))
        return clearSelectionFields();
    selectedParameterDescription->setStringValue(description(row));

    row = sender->selectedRow();
    if (!validParameter(row))
        return clearSelectionFields();
    // Only a value that came from the board is offered for writing.
    if (rowState_[row] == ParameterState::Current || rowState_[row] == ParameterState::NotTaken)
        valueToWrite->setIntValue(parameters[row]);
    else
        valueToWrite->setStringValue("");
}

void plovexController::clearSelectionFields()
{
    selectedParameterNumber->setStringValue("");
    selectedParameterDescription->setStringValue("");
    valueToWrite->setStringValue("");
}

void plovexController::writeParameter()
{
    if (!thePort)
        return;
    if (const std::string why = writeBlock(); !why.empty())
        return say(why); // no question, nothing written

    const int p = selectedParameterNumber->intValue();
    // The board takes 16 bits: the typed value keeps its low 16, read as signed.
    const auto v = static_cast<int16_t>(valueToWrite->intValue());
    if (!validParameter(p))
        return; // no such parameter: no question, nothing written

    AlertText alert;
    alert.messageText = "Write to EEPROM";
    alert.defaultButton = "Write";
    alert.alternateButton = "Cancel";
    alert.informativeText = confirmationMessage(v, p, description(p));
    if (rowState_[p] == ParameterState::Current || rowState_[p] == ParameterState::NotTaken)
        alert.informativeText += "\nThe board holds " + std::to_string(parameters[p]) + " now.";
    if (alert_->runModal(alert) != 1)
        return;
    if (!thePort->portOpenOK())
        return say("The link went down while the question was open; nothing was written.");
    thePort->writeEEPROM(p, v);
    // Checked by the sweep's next read-back of p. The link counts only the
    // sweep's reads, each of which reaches the table as a record: those
    // counted by now came before the write.
    written_[p] = v;
    readsBeforeWrite_[p] = thePort->health().eepromReads;
    waitedUp_[p] = {};
    rowState_[p] = ParameterState::Waiting;
    parameterTable->reloadData();
    say("Wrote " + std::to_string(v) + " to parameter " + std::to_string(p) + "; waiting for the board to read it back.");
}

int16_t plovexController::parameterValue(int p) const
{
    return validParameter(p) ? parameters[p] : 0;
}

std::string plovexController::description(int p) const
{
    return validParameter(p) && static_cast<std::size_t>(p) < descriptions.size() ? descriptions[p] : std::string();
}

} // namespace plovex
