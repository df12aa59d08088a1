#pragma once
// One measurement as a recording keeps it, and its CSV form.
//
// The columns: time (the time of the measurement, local, ISO 8601 with
// milliseconds and UTC offset), elapsed_s (seconds since the recording
// began), the derived fields (DerivedFields.h: x_deg, y_deg, x_<unit> and
// y_<unit> when the recording's unit is not degrees, temp_c), the nine raw
// values by their record keys, packetCount and link ("up" or "down"). A row
// of a record with the link down leaves every value column empty
// (packetCount excepted), so the gap shows. A grade of a tilt of 90 degrees
// or more has no value: its cell is empty too.

#include "link/Measurement.h"
#include "record/DerivedFields.h"

#include <string>
#include <vector>

namespace plovex::record {

struct MeasurementRow {
    Measurement measurement; // its time is the row's
    double elapsedSeconds = 0.0;
};

// The header line, with its newline.
std::string csvHeader(const std::vector<DerivedField>& fields);

// Appends the row's line, with its newline.
void appendCsvRow(std::string& out, const MeasurementRow& row, const std::vector<DerivedField>& fields);

} // namespace plovex::record
