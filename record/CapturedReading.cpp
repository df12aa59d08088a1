#include "record/CapturedReading.h"

#include "record/DerivedFields.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace plovex::record {

namespace {

constexpr int kTemperatureDecimals = 2;

std::size_t unitIndex(board::TiltUnit unit)
{
    for (std::size_t i = 0; i < std::size(board::kTiltUnits); ++i)
        if (board::kTiltUnits[i] == unit)
            return i;
    return 0;
}

// One quantity of the written forms: its column stem, figures and decimals.
struct Quantity {
    std::string name;   // x_deg, temp_c
    std::string symbol; // what follows a number in text: "°", " mrad", " °C"
    const stats::RunningStats* figures;
    int decimals;
};

std::vector<Quantity> quantities(const CapturedReading& r, board::TiltUnit unit)
{
    std::vector<board::TiltUnit> units = {board::TiltUnit::Degrees};
    if (unit != board::TiltUnit::Degrees)
        units.push_back(unit);
    std::vector<Quantity> q;
    for (const board::TiltUnit u : units)
        for (int axis = 0; axis < 2; ++axis)
            q.push_back({std::string(axis == 0 ? "x_" : "y_") + std::string(board::tiltUnitSuffix(u)),
                         std::string(board::tiltUnitSymbol(u)), &r.axis(u, axis),
                         board::tiltUnitRecordDecimals(u) + 1});
    q.push_back({"temp_c", " °C", &r.temperature, kTemperatureDecimals});
    return q;
}

constexpr const char* kFigureNames[] = {"_mean", "_sd", "_min", "_max"};

std::array<double, 4> figuresOf(const stats::RunningStats& s)
{
    return {s.mean(), s.stddev(), s.min(), s.max()};
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string secondsText(const CapturedReading& r)
{
    return fixedDecimals(r.length.count(), 3);
}

} // namespace

void CapturedReading::add(const Measurement& m)
{
    const double degrees[2] = {m.xDegrees() - zeroX, m.yDegrees() - zeroY};
    for (std::size_t u = 0; u < tilt.size(); ++u)
        for (std::size_t axis = 0; axis < 2; ++axis) {
            const double v = board::fromDegrees(board::kTiltUnits[u], degrees[axis]);
            if (!std::isnan(v)) // a grade of 90 degrees or more has no value
                tilt[u][axis].add(v);
        }
    temperature.add(m.temperatureC());
    ++count;
}

const stats::RunningStats& CapturedReading::axis(board::TiltUnit unit, int axis) const
{
    return tilt[unitIndex(unit)][axis == 0 ? 0 : 1];
}

std::string csvCell(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

Cells capturedCells(const CapturedReading& r, board::TiltUnit unit, bool withZero)
{
    Cells cells = {{"time", isoLocalTime(r.start)},
                   {"label", r.label},
                   {"seconds", secondsText(r)},
                   {"count", std::to_string(r.count)}};
    for (const auto& q : quantities(r, unit)) {
        const auto figures = figuresOf(*q.figures);
        for (std::size_t i = 0; i < figures.size(); ++i)
            cells.emplace_back(q.name + kFigureNames[i], fixedDecimals(figures[i], q.decimals));
    }
    if (withZero) {
        const int decimals = board::tiltUnitRecordDecimals(board::TiltUnit::Degrees) + 1;
        cells.emplace_back("x_zero_deg", r.zeroed ? fixedDecimals(r.zeroX, decimals) : "");
        cells.emplace_back("y_zero_deg", r.zeroed ? fixedDecimals(r.zeroY, decimals) : "");
    }
    return cells;
}

std::string capturedCsvHeader(board::TiltUnit unit, bool withZero)
{
    std::string line;
    for (const auto& [name, text] : capturedCells(CapturedReading{}, unit, withZero))
        line += (line.empty() ? "" : ",") + name;
    return line + "\n";
}

std::string capturedCsvRow(const CapturedReading& r, board::TiltUnit unit, bool withZero)
{
    std::string line;
    bool first = true;
    for (const auto& [name, text] : capturedCells(r, unit, withZero)) {
        line += (first ? "" : ",") + csvCell(text);
        first = false;
    }
    return line + "\n";
}

std::string capturedJson(const CapturedReading& r, board::TiltUnit unit)
{
    std::string out;
    for (const auto& [name, text] : capturedCells(r, unit, r.zeroed)) {
        // time and label are strings; every other cell is a number, or null when empty.
        const bool string = name == "time" || name == "label";
        out += (out.empty() ? "{\"" : ",\"") + name + "\":" + (string ? jsonString(text) : text.empty() ? "null" : text);
    }
    return out + "}\n";
}

std::string capturedText(const CapturedReading& r, board::TiltUnit unit)
{
    std::string line = isoLocalTime(r.start);
    if (!r.label.empty())
        line += "  " + r.label;
    line += "  " + std::to_string(r.count) + " measurements in " + fixedDecimals(r.length.count(), 1) + " s";
    for (const auto& q : quantities(r, unit)) {
        const auto f = figuresOf(*q.figures);
        const std::string name = q.name == "temp_c" ? "temp" : q.name.substr(0, 1) == "x" ? "X" : "Y";
        if (q.figures->empty()) {
            line += "  " + name + " none";
            continue;
        }
        line += "  " + name + " " + fixedDecimals(f[0], q.decimals) + q.symbol + " sd " +
                fixedDecimals(f[1], q.decimals) + " (" + fixedDecimals(f[2], q.decimals) + " to " +
                fixedDecimals(f[3], q.decimals) + ")";
    }
    return line + "\n";
}

} // namespace plovex::record
