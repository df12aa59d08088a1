// The EEPROM parameter table: the last value read back for each parameter,
// the table's cells, the selected row's three fields, and the confirmed write.

#include "controller/RecordEntry.h"
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
    const int32_t a = recordEntry(notification, "paddress");
    const int32_t d = recordEntry(notification, "pdata");
    if (!validParameter(a))
        return; // the loop reads 0..15 only; anything else has no row
    if (d == parameters[a])
        return; // unchanged: no reload, so an idle board costs the table nothing
    parameters[a] = static_cast<int16_t>(d);
    parameterTable->reloadData();
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
        return validParameter(row) ? std::to_string(parameters[row]) : std::string();
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
    valueToWrite->setIntValue(parameters[row]);
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
    if (alert_->runModal(alert) == 1)
        thePort->writeEEPROM(p, v);
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
