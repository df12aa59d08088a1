#include "record/MeasurementRow.h"

#include "link/Records.h"
#include "record/LocalTime.h"

namespace plovex::record {

std::string csvHeader(const std::vector<DerivedField>& fields)
{
    std::string line = "time,elapsed_s";
    for (const auto& f : fields)
        line += "," + f.name;
    const auto& keys = records::measurementKeys();
    for (std::size_t i = 0; i < Measurement::kRawCount; ++i)
        line += "," + keys[i];
    return line + ",packetCount,link\n";
}

void appendCsvRow(std::string& out, const MeasurementRow& row, const std::vector<DerivedField>& fields)
{
    const Measurement& m = row.measurement;
    out += isoLocalTime(m.time);
    out += ',';
    out += fixedDecimals(row.elapsedSeconds, 3);
    for (const auto& f : fields) {
        out += ',';
        out += f.text(m);
    }
    for (const int32_t v : m.raw) {
        out += ',';
        if (m.linkUp)
            out += std::to_string(v);
    }
    out += ',';
    out += std::to_string(m.packetCount);
    out += m.linkUp ? ",up\n" : ",down\n";
}

} // namespace plovex::record
