#include "record/MeasurementRow.h"

#include "link/BoardFacts.h"
#include "link/Records.h"
#include "platform/Record.h"

#include <cmath>
#include <cstdio>

namespace plovex::record {

namespace {

constexpr std::size_t kRawCount = 9;
constexpr std::size_t kXKal = 3, kYKal = 7, kTemp = 8;

} // namespace

MeasurementRow measurementRow(const platform::Record& record, WallClock::time_point time, double elapsedSeconds)
{
    MeasurementRow row;
    row.time = time;
    row.elapsedSeconds = elapsedSeconds;
    const auto& keys = records::measurementKeys();
    for (std::size_t i = 0; i < kRawCount; ++i)
        row.raw[i] = record.intValue(keys[i]);
    row.packetCount = record.intValue("packetCount");
    row.linkUp = record.intValue("commState") != 0;
    return row;
}

std::string csvHeader(board::TiltUnit unit)
{
    std::string line = "time,elapsed_s,x_deg,y_deg,";
    if (unit != board::TiltUnit::Degrees) {
        const std::string suffix(board::tiltUnitSuffix(unit));
        line += "x_" + suffix + ",y_" + suffix + ",";
    }
    line += "temp_c";
    const auto& keys = records::measurementKeys();
    for (std::size_t i = 0; i < kRawCount; ++i)
        line += "," + keys[i];
    return line + ",packetCount,link\n";
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

void appendCsvRow(std::string& out, const MeasurementRow& row, board::TiltUnit unit)
{
    out += isoLocalTime(row.time);
    out += ',';
    out += fixedDecimals(row.elapsedSeconds, 3);
    const bool extra = unit != board::TiltUnit::Degrees;
    if (!row.linkUp) {
        // x_deg, y_deg, the unit's pair, temp_c and the nine raw values.
        out.append(3 + (extra ? 2 : 0) + kRawCount, ',');
    } else {
        const double x = board::countsToDegrees(row.raw[kXKal]);
        const double y = board::countsToDegrees(row.raw[kYKal]);
        const int degDecimals = board::tiltUnitRecordDecimals(board::TiltUnit::Degrees);
        for (const double d : {x, y}) {
            out += ',';
            out += fixedDecimals(d, degDecimals);
        }
        if (extra)
            for (const double d : {x, y}) {
                out += ',';
                out += fixedDecimals(board::fromDegrees(unit, d), board::tiltUnitRecordDecimals(unit));
            }
        out += ',';
        out += fixedDecimals(board::tenthsToDegrees(row.raw[kTemp]), 1);
        for (const int32_t v : row.raw) {
            out += ',';
            out += std::to_string(v);
        }
    }
    out += ',';
    out += std::to_string(row.packetCount);
    out += row.linkUp ? ",up\n" : ",down\n";
}

} // namespace plovex::record
