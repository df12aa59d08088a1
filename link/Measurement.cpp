#include "link/Measurement.h"

#include "link/Records.h"

namespace plovex {

std::optional<Measurement> measurementOf(const platform::Record& record)
{
    const auto& keys = records::measurementKeys();
    if (&record.keys() != &keys) {
        // Another list of keys: the diagnostic loop's record, or one made by
        // hand. Read it by name; it must at least carry the filtered values.
        if (!record.contains("xKal") || !record.contains("yKal"))
            return std::nullopt;
        Measurement m;
        m.time = record.time();
        for (std::size_t i = 0; i < Measurement::kRawCount; ++i)
            m.raw[i] = record.intValue(keys[i]);
        m.packetCount = record.intValue("packetCount");
        m.linkUp = record.intValue("commState") != 0;
        return m;
    }
    // The link's own records: every key at its place.
    Measurement m;
    m.time = record.time();
    for (std::size_t i = 0; i < Measurement::kRawCount; ++i)
        m.raw[i] = record.value(i);
    m.packetCount = record.value(9);
    m.linkUp = record.value(10) != 0;
    return m;
}

std::optional<ParameterReading> parameterOf(const platform::Record& record)
{
    if (!record.contains("paddress"))
        return std::nullopt;
    return ParameterReading{record.time(), record.intValue("paddress"), record.intValue("pdata")};
}

std::optional<Measurement> RecordReader::measurement(const platform::Record& record)
{
    auto m = measurementOf(record);
    if (m)
        afterLinkDown_ = !m->linkUp;
    return m;
}

std::optional<ParameterReading> RecordReader::parameter(const platform::Record& record)
{
    auto p = parameterOf(record);
    if (p)
        p->linkUp = !afterLinkDown_;
    afterLinkDown_ = false;
    return p;
}

} // namespace plovex
