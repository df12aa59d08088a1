#pragma once
// The typed view of the link's records: what every consumer of a measurement
// (the display, recordings, the monitor's formats, the fleet outputs, the
// chart, statistics, alarms) reads, decoded once here from the string-keyed
// records the link hands over.
//
//   if (const auto m = measurementOf(*record)) {
//       if (m->linkUp) use(m->time, m->xDegrees(), m->yDegrees(), m->temperatureC());
//   }
//
// A consumer of both kinds reads them through a RecordReader, in delivery
// order, which alone tells a link-down cycle's parameter record from a value
// read from the board.

#include "link/BoardFacts.h"
#include "platform/Record.h"

#include <array>
#include <cstdint>
#include <optional>

namespace plovex {

// One measurement record. While the link is down the record's values are
// placeholders (Records.h): linkUp tells, and nothing derived from raw is a
// reading then.
struct Measurement {
    // The nine values in frame order (RawIndex), widened with their sign.
    enum RawIndex : std::size_t {
        kXGravityRaw, kXGravityKal, kXRaw, kXKal, kYGravityRaw, kYGravityKal, kYRaw, kYKal, kTemp, kRawCount
    };

    platform::RecordTime time; // when the reply was complete (link down: when the cycle found the port closed)
    bool linkUp = false;       // commState not 0 (absent reads as 0)
    std::array<int32_t, kRawCount> raw{};
    int32_t packetCount = 0;

    // The tilt the window shows (90 degrees per 16383 counts of the filtered
    // value) and the temperature; meaningful only when linkUp.
    double xDegrees() const { return board::countsToDegrees(raw[kXKal]); }
    double yDegrees() const { return board::countsToDegrees(raw[kYKal]); }
    double temperatureC() const { return board::tenthsToDegrees(raw[kTemp]); }
};

// One parameter record. One made in a link-down cycle carries the loop's
// cycle counter in place of a value; the order of records tells it: it is
// the parameter record that follows a link-down measurement.
struct ParameterReading {
    platform::RecordTime time;
    int32_t address = 0;
    int32_t value = 0;
    // False for the link-down cycle's placeholder, whose value is no reading.
    // Only a RecordReader knows; parameterOf alone says true.
    bool linkUp = true;
};

// The view of a measurement record; nullopt for a record of another kind
// (one without xKal, such as a parameter record).
std::optional<Measurement> measurementOf(const platform::Record& record);
// The view of a parameter record; nullopt for a record without paddress.
std::optional<ParameterReading> parameterOf(const platform::Record& record);

// Reads the link's records in the order they are delivered, so that a
// parameter record that follows a link-down measurement is known for the
// placeholder it is (linkUp false). One reader per consumer, fed every
// record of both kinds that the consumer is delivered.
class RecordReader {
public:
    // The view of a measurement record; nullopt for a record of another kind.
    std::optional<Measurement> measurement(const platform::Record& record);
    // The view of a parameter record, with its link state; nullopt for a
    // record without paddress.
    std::optional<ParameterReading> parameter(const platform::Record& record);

private:
    bool afterLinkDown_ = false;
};

} // namespace plovex
