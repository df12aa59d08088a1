#include "alarm/EventText.h"

#include <cmath>
#include <cstdio>

namespace plovex::alarm {

std::string valueText(const Rule& rule, double value)
{
    if (!std::isfinite(value))
        return value > 0 ? "inf" : "-inf";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", valueDecimals(rule.quantity), value);
    return text;
}

const char* stateText(AlarmState state)
{
    return state == AlarmState::Raised ? "raised" : "cleared";
}

} // namespace plovex::alarm
