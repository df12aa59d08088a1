#pragma once
// The values worked out from a measurement, as recordings and plovex-cli
// monitor's csv, jsonl and influx carry them beside the raw values. Each is
// defined once, in derivedFields(): its name, how it is worked out from a
// measurement and the chosen unit, and its decimals. A field added there
// shows in all of them: in a recording after the ones before it (before the
// raw values), in the monitor's formats after the ones before it.
//
//   const auto fields = derivedFields(board::TiltUnit::Milliradians);
//   for (const auto& f : fields) line += f.name + "=" + f.text(measurement);

#include "link/Measurement.h"
#include "link/TiltUnits.h"

#include <string>
#include <vector>

namespace plovex::record {

struct DerivedField {
    std::string name; // "x_deg", "x_mrad", "temp_c"
    int decimals = 0;
    // The value; NaN where the measurement gives none (a grade of 90 degrees or more).
    double (*compute)(const Measurement& m, board::TiltUnit unit) = nullptr;
    board::TiltUnit unit = board::TiltUnit::Degrees;
    // Present only because a unit other than degrees was chosen: the
    // monitor's formats put these after the rest, so that the columns
    // before them are the same whatever the unit.
    bool chosenUnitOnly = false;

    double value(const Measurement& m) const { return compute(m, unit); }
    // The value with the field's decimals; "" while the link is down (the
    // record's values are placeholders then) and where there is no value.
    std::string text(const Measurement& m) const;
};

// The fields for a unit, in a recording's order: x_deg, y_deg (90 degrees
// per 16383 counts of xKal and yKal), then x_<unit> and y_<unit> when the
// unit is not degrees, then temp_c (temp / 10).
std::vector<DerivedField> derivedFields(board::TiltUnit unit);

// The same fields in the monitor's order: those present whatever the unit
// first, then the chosen unit's.
std::vector<DerivedField> monitorOrder(std::vector<DerivedField> fields);

// value with the given decimals ("-0.0000" shown as "0.0000"); "" for NaN.
std::string fixedDecimals(double value, int decimals);

} // namespace plovex::record
