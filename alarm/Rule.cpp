#include "alarm/Rule.h"

#include <charconv>

namespace plovex::alarm {

std::string ruleNumber(double v)
{
    char text[400]; // room for the longest fixed form of a double
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed);
    return std::string(text, r.ptr);
}

std::string Rule::expression() const
{
    return quantityName(quantity) + (direction == Direction::Above ? ">" : "<") + ruleNumber(limit);
}

std::string Rule::text() const
{
    std::string t = expression();
    if (hysteresis != 0)
        t += ",hysteresis=" + ruleNumber(hysteresis);
    if (hold != 0)
        t += ",hold=" + ruleNumber(hold);
    return t;
}

std::string Rule::name() const
{
    return quantityName(quantity) + (direction == Direction::Above ? "_gt_" : "_lt_") + ruleNumber(limit);
}

} // namespace plovex::alarm
