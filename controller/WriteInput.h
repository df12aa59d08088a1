#pragma once
// What the window accepts in the two fields of a write: whole numbers in
// range, checked as typed, each with a short message when it is not.

#include <optional>
#include <string>

namespace plovex {

struct FieldCheck {
    std::optional<int> value; // set when the text is acceptable
    std::string message;      // why not; "" when acceptable
};

// A parameter number, 0 to 15.
FieldCheck checkParameterNumber(const std::string& text);
// A value for the board, -32768 to 32767.
FieldCheck checkWriteValue(const std::string& text);

} // namespace plovex
