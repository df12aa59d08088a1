#pragma once
// Ordering of port names as a person reads them: runs of digits compare as
// numbers, so ttyS2 comes before ttyS10 and ttyUSB9 before ttyUSB10.

#include <string_view>

namespace plovex {

// A strict total order: names that only differ in leading zeros ("ttyS01",
// "ttyS1") are told apart by plain byte order.
bool naturalLess(std::string_view a, std::string_view b);

} // namespace plovex
