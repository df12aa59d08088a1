#include "link/Records.h"

namespace plovex::records {

const std::vector<std::string>& measurementKeys()
{
    static const std::vector<std::string> keys = {"xGravityRaw", "xGravityKal", "xRaw", "xKal", "yGravityRaw", "yGravityKal",
                                                  "yRaw",        "yKal",        "temp", "packetCount", "commState"};
    return keys;
}

const std::vector<std::string>& parameterKeys()
{
    static const std::vector<std::string> keys = {"paddress", "pdata"};
    return keys;
}

platform::RecordPtr measurementRecord(const wire::MeasurementValues& v, int32_t packetCount)
{
    std::vector<int32_t> values(v.begin(), v.end()); // widened with their sign
    values.push_back(packetCount);
    values.push_back(1);
    return platform::makeRecord(measurementKeys(), std::move(values));
}

platform::RecordPtr linkDownRecord(int32_t packetCount)
{
    return platform::makeRecord(measurementKeys(), {0, 1, 2, 3, 4, 5, 6, 7, packetCount, packetCount, 0});
}

platform::RecordPtr diagnosticLinkDownRecord(int32_t attempts)
{
    const auto& all = measurementKeys();
    std::vector<std::string> keys(all.begin(), all.begin() + 10);
    return platform::makeRecord(std::move(keys), {0, 1, 2, 3, 4, 5, 6, 7, attempts, attempts});
}

platform::RecordPtr parameterRecord(int32_t paddress, int32_t pdata)
{
    return platform::makeRecord(parameterKeys(), {paddress, pdata});
}

} // namespace plovex::records
