#include "record/AveragedRow.h"

#include "record/LocalTime.h"
#include "record/MeasurementRow.h"

#include <chrono>

namespace plovex::record {

namespace {

constexpr int kTemperatureDecimals = 2;
constexpr const char* kStatistics[] = {"_mean", "_sd", "_min", "_max"};

double xInUnit(const Measurement& m, board::TiltUnit unit)
{
    return board::fromDegrees(unit, m.xDegrees());
}

double yInUnit(const Measurement& m, board::TiltUnit unit)
{
    return board::fromDegrees(unit, m.yDegrees());
}

std::vector<std::string> columnNames(board::TiltUnit unit)
{
    std::vector<std::string> names = {"time", "interval_s", "count"};
    for (const auto& q : averagedQuantities(unit))
        for (const char* s : kStatistics)
            names.push_back(q.name + s);
    names.emplace_back("link_up");
    return names;
}

} // namespace

std::vector<AveragedQuantity> averagedQuantities(board::TiltUnit unit)
{
    const int degrees = board::tiltUnitRecordDecimals(board::TiltUnit::Degrees) + 1;
    std::vector<AveragedQuantity> q = {
        {"x_deg", degrees, [](const Measurement& m, board::TiltUnit) { return m.xDegrees(); }},
        {"y_deg", degrees, [](const Measurement& m, board::TiltUnit) { return m.yDegrees(); }},
    };
    if (unit != board::TiltUnit::Degrees) {
        const std::string suffix(board::tiltUnitSuffix(unit));
        const int decimals = board::tiltUnitRecordDecimals(unit) + 1;
        q.push_back({"x_" + suffix, decimals, xInUnit});
        q.push_back({"y_" + suffix, decimals, yInUnit});
    }
    q.push_back({"temp_c", kTemperatureDecimals, [](const Measurement& m, board::TiltUnit) { return m.temperatureC(); }});
    return q;
}

Cells averagedCells(const stats::IntervalSummary& s, board::TiltUnit unit)
{
    const auto names = columnNames(unit);
    std::vector<std::string> text = {isoLocalTime(s.start),
                                     fixedDecimals(std::chrono::duration<double>(s.length).count(), 3),
                                     std::to_string(s.count)};
    const auto quantities = averagedQuantities(unit);
    for (std::size_t i = 0; i < quantities.size(); ++i) {
        const stats::RunningStats none;
        const auto& st = i < s.series.size() ? s.series[i] : none;
        const int d = quantities[i].decimals;
        // fixedDecimals leaves NaN empty: the figures of no values.
        for (const double v : {st.mean(), st.stddev(), st.min(), st.max()})
            text.push_back(fixedDecimals(v, d));
    }
    text.push_back(fixedDecimals(s.linkUp, 3));
    Cells cells;
    cells.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        cells.emplace_back(names[i], std::move(text[i]));
    return cells;
}

std::string averagedCsvHeader(board::TiltUnit unit)
{
    std::string line;
    for (const auto& name : columnNames(unit)) {
        if (!line.empty())
            line += ',';
        line += name;
    }
    return line + "\n";
}

void appendAveragedCsvRow(std::string& out, const stats::IntervalSummary& s, board::TiltUnit unit)
{
    bool first = true;
    for (const auto& cell : averagedCells(s, unit)) {
        if (!first)
            out += ',';
        first = false;
        out += cell.second;
    }
    out += '\n';
}

} // namespace plovex::record
