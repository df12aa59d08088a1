#include "record/DerivedFields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace plovex::record {

std::string DerivedField::text(const Measurement& m) const
{
    return m.linkUp ? fixedDecimals(value(m), decimals) : std::string();
}

std::vector<DerivedField> derivedFields(board::TiltUnit unit)
{
    using board::TiltUnit;
    const int degrees = board::tiltUnitRecordDecimals(TiltUnit::Degrees);
    std::vector<DerivedField> fields = {
        {"x_deg", degrees, [](const Measurement& m, TiltUnit) { return m.xDegrees(); }},
        {"y_deg", degrees, [](const Measurement& m, TiltUnit) { return m.yDegrees(); }},
    };
    if (unit != TiltUnit::Degrees) {
        const std::string suffix(board::tiltUnitSuffix(unit));
        const int decimals = board::tiltUnitRecordDecimals(unit);
        fields.push_back({"x_" + suffix, decimals,
                          [](const Measurement& m, TiltUnit u) { return board::fromDegrees(u, m.xDegrees()); }, unit,
                          true});
        fields.push_back({"y_" + suffix, decimals,
                          [](const Measurement& m, TiltUnit u) { return board::fromDegrees(u, m.yDegrees()); }, unit,
                          true});
    }
    fields.push_back({"temp_c", 1, [](const Measurement& m, TiltUnit) { return m.temperatureC(); }});
    return fields;
}

std::vector<DerivedField> monitorOrder(std::vector<DerivedField> fields)
{
    std::stable_partition(fields.begin(), fields.end(), [](const DerivedField& f) { return !f.chosenUnitOnly; });
    return fields;
}

std::string fixedDecimals(double value, int decimals)
{
    if (std::isnan(value))
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-')
        s.erase(0, 1);
    return s;
}

} // namespace plovex::record
