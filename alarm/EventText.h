#pragma once
// An alarm event in words, the same for the window and plovex-cli: its state
// and its value as lines, records and messages write them.

#include "alarm/Evaluator.h"

#include <string>

namespace plovex::alarm {

// A value in the rule's decimals; "inf" or "-inf" for a grade of 90 degrees
// or more.
std::string valueText(const Rule& rule, double value);
// "raised" or "cleared".
const char* stateText(AlarmState state);

} // namespace plovex::alarm
