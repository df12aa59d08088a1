#include "cli/RecordEntries.h"

#include "link/Records.h"

namespace plovex::cli {

Entries entriesOf(const Measurement& m, Placeholders placeholders)
{
    const auto& keys = records::measurementKeys();
    Entries out;
    out.reserve(keys.size());
    if (m.linkUp || placeholders == Placeholders::Keep)
        for (std::size_t i = 0; i < Measurement::kRawCount; ++i)
            out.emplace_back(keys[i], m.raw[i]);
    out.emplace_back(keys[Measurement::kRawCount], m.packetCount);
    out.emplace_back(keys[Measurement::kRawCount + 1], m.linkUp ? 1 : 0);
    return out;
}

Entries entriesOf(const ParameterReading& p, Placeholders placeholders)
{
    const auto& keys = records::parameterKeys();
    Entries out = {{keys[0], p.address}};
    if (p.linkUp || placeholders == Placeholders::Keep)
        out.emplace_back(keys[1], p.value);
    return out;
}

const char* linkText(bool up)
{
    return up ? "up" : "down";
}

} // namespace plovex::cli
