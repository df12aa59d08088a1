#pragma once
// What each EEPROM parameter of the board is, as the monitor's parameter
// table names it: 0..7 have a description, 8..15 and every higher address
// have the empty one.

#include <string>

namespace plovex::cli {

// The description of the parameter at address; "" when it has none.
const std::string& parameterDescription(int address);

} // namespace plovex::cli
