#pragma once
// An alarm rule: a quantity (Quantity.h), a direction and a limit, with a
// hysteresis and a hold time so that noise and vibration do not make the
// alarm chatter.
//
// A rule `x_deg>2.5,hysteresis=0.1,hold=2` is raised once the X angle has
// stayed above 2.5 degrees for 2 s, and cleared once it is back at 2.4 or
// below. With `<` the same holds below the limit.

#include "alarm/Quantity.h"

#include <string>

namespace plovex::alarm {

enum class Direction { Above, Below }; // '>' and '<'

struct Rule {
    Quantity quantity;
    Direction direction = Direction::Above;
    double limit = 0;
    // How far past the limit the value must come back before the alarm
    // clears, in the quantity's unit (seconds for silent); 0 or more.
    double hysteresis = 0;
    // How long, in seconds, the value must stay beyond the limit before the
    // alarm is raised; 0 or more.
    double hold = 0;

    bool operator==(const Rule&) const = default;

    // Whether a value is beyond the limit: the condition the alarm is raised on.
    bool beyond(double value) const { return direction == Direction::Above ? value > limit : value < limit; }
    // Whether a value has come back past the limit by the hysteresis: the
    // condition a raised alarm clears on.
    bool back(double value) const
    {
        return direction == Direction::Above ? value <= limit - hysteresis : value >= limit + hysteresis;
    }

    // "x_deg>2.5": how the rule is named in messages and records.
    std::string expression() const;
    // "x_deg>2.5,hysteresis=0.1,hold=2": the expression with the options
    // that are not 0; parseRule reads it back as this rule.
    std::string text() const;
    // "x_deg_gt_2.5", "y_mrad_lt_-3": only letters, digits and _ . -, so it
    // can be a level of an MQTT topic or part of a file name.
    std::string name() const;
};

// A number as rules write it: the shortest decimal that reads back as the
// same double, never in exponent form ("2.5", "60", "-0.001").
std::string ruleNumber(double v);

} // namespace plovex::alarm
