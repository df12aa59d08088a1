#include "cli/IntervalFormat.h"

#include "record/AveragedRow.h"
#include "record/LocalTime.h"

#include <chrono>
#include <cstdio>

namespace plovex::cli {

namespace {

std::string textLine(const stats::IntervalSummary& s)
{
    char text[200];
    const double length = std::chrono::duration<double>(s.length).count();
    if (s.count == 0)
        std::snprintf(text, sizeof text, "%.3f s  no measurement", length);
    else // the series: x_deg, y_deg, ..., temp_c
        std::snprintf(text, sizeof text, "%.3f s  %llu measurements  X %8.2f° sd %.4f  Y %8.2f° sd %.4f  %6.2f°C",
                      length, static_cast<unsigned long long>(s.count), s.series[0].mean(), s.series[0].stddev(),
                      s.series[1].mean(), s.series[1].stddev(), s.series.back().mean());
    char link[48];
    std::snprintf(link, sizeof link, "  link up %.1f %%\n", 100.0 * s.linkUp);
    return record::localTimeOfDay(s.start) + "  " + text + link;
}

std::string jsonLine(const record::Cells& cells)
{
    std::string line = "{\"type\":\"interval\"";
    for (std::size_t i = 0; i < cells.size(); ++i) {
        line += ",\"";
        line += cells[i].first;
        line += "\":";
        if (i == 0)
            line += '"' + cells[i].second + '"'; // the time: digits and signs only
        else
            line += cells[i].second.empty() ? std::string("null") : cells[i].second;
    }
    return line + "}\n";
}

} // namespace

std::string intervalCsvHeader(board::TiltUnit unit)
{
    std::string header = record::averagedCsvHeader(unit);
    header.pop_back();
    return "type," + header + ",paddress,pdata\n";
}

std::string formatInterval(OutputFormat format, const stats::IntervalSummary& s, board::TiltUnit unit)
{
    switch (format) {
    case OutputFormat::Text:
        return textLine(s);
    case OutputFormat::Csv: {
        std::string line = "interval,";
        record::appendAveragedCsvRow(line, s, unit);
        line.pop_back();
        return line + ",,\n";
    }
    case OutputFormat::Jsonl:
        return jsonLine(record::averagedCells(s, unit));
    case OutputFormat::Influx:
        break;
    }
    return {};
}

std::string averagedParameterCsvLine(const platform::Record& r, const LineContext& c)
{
    // Every averaged column but time stays empty.
    const std::size_t empty = record::averagedCells({}, c.unit).size() - 1;
    return "parameter," + record::isoLocalTime(c.time) + std::string(empty, ',') + "," +
           std::to_string(r.intValue("paddress")) + "," + std::to_string(r.intValue("pdata")) + "\n";
}

} // namespace plovex::cli
