#include "record/AveragedRow.h"

#include "record/LocalTime.h"

#include <chrono>

namespace plovex::record {

namespace {

constexpr const char* kStatistics[] = {"_mean", "_sd", "_min", "_max"};

std::vector<std::string> columnNames(const std::vector<DerivedField>& fields)
{
    std::vector<std::string> names = {"time", "interval_s", "count"};
    for (const auto& f : fields)
        for (const char* s : kStatistics)
            names.push_back(f.name + s);
    names.emplace_back("link_up");
    return names;
}

} // namespace

std::vector<DerivedField> averagedFields(board::TiltUnit unit)
{
    auto fields = derivedFields(unit);
    for (auto& f : fields)
        ++f.decimals;
    return fields;
}

Cells averagedCells(const stats::IntervalSummary& s, board::TiltUnit unit)
{
    const auto fields = averagedFields(unit);
    const auto names = columnNames(fields);
    std::vector<std::string> text = {isoLocalTime(s.start),
                                     fixedDecimals(std::chrono::duration<double>(s.length).count(), 3),
                                     std::to_string(s.count)};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const stats::RunningStats none;
        const auto& st = i < s.series.size() ? s.series[i] : none;
        // fixedDecimals leaves NaN empty: the figures of no values.
        for (const double v : {st.mean(), st.stddev(), st.min(), st.max()})
            text.push_back(fixedDecimals(v, fields[i].decimals));
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
    for (const auto& name : columnNames(averagedFields(unit))) {
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
