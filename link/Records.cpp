#include "link/Records.h"

namespace plovex::records {

namespace {

// The diagnostic loop's record: the first ten measurement keys, no commState.
const platform::KeyList& diagnosticKeys()
{
    static const platform::KeyList& keys = []() -> const platform::KeyList& {
        const auto& all = measurementKeys();
        return platform::internKeys(platform::KeyList(all.begin(), all.begin() + 10));
    }();
    return keys;
}

} // namespace

const platform::KeyList& measurementKeys()
{
    static const platform::KeyList& keys =
        platform::internKeys({"xGravityRaw", "xGravityKal", "xRaw", "xKal", "yGravityRaw", "yGravityKal", "yRaw", "yKal",
                              "temp", "packetCount", "commState"});
    return keys;
}

const platform::KeyList& parameterKeys()
{
    static const platform::KeyList& keys = platform::internKeys({"paddress", "pdata"});
    return keys;
}

platform::RecordPtr measurementRecord(const wire::MeasurementValues& v, int32_t packetCount, RecordTime time)
{
    // The nine readings widened with their sign, then the counter and the link state.
    const int32_t values[11] = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], packetCount, 1};
    return platform::Record::make(measurementKeys(), values, time);
}

platform::RecordPtr linkDownRecord(int32_t packetCount, RecordTime time)
{
    return platform::Record::make(measurementKeys(), {0, 1, 2, 3, 4, 5, 6, 7, packetCount, packetCount, 0}, time);
}

platform::RecordPtr diagnosticLinkDownRecord(int32_t attempts, RecordTime time)
{
    return platform::Record::make(diagnosticKeys(), {0, 1, 2, 3, 4, 5, 6, 7, attempts, attempts}, time);
}

platform::RecordPtr parameterRecord(int32_t paddress, int32_t pdata, RecordTime time)
{
    return platform::Record::make(parameterKeys(), {paddress, pdata}, time);
}

} // namespace plovex::records
