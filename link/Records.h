#pragma once
// The two records the link hands to the main thread, and the names of the
// notifications that carry them.

#include "link/Protocol.h"
#include "platform/Record.h"


namespace plovex::records {

inline constexpr const char* kInclinoData = "inclinoData";
inline constexpr const char* kInclinoParameter = "inclinoParameter";

// The eleven measurement keys, in record order: the one list every
// measurement record shares.
const platform::KeyList& measurementKeys();
// The two parameter keys: "paddress", "pdata".
const platform::KeyList& parameterKeys();

// Every record stands for a time (platform::Record::time): when the reply it
// carries was complete, or when the cycle that made it found the port closed.
using platform::RecordClock;
using platform::RecordTime;

// From a received frame: the nine values, packetCount, commState 1.
platform::RecordPtr measurementRecord(const wire::MeasurementValues& values, int32_t packetCount,
                                      RecordTime time = RecordClock::now());
// Made in a cycle that found the port closed: axis entries 0..7, temp and
// packetCount both the packet counter, commState 0.
platform::RecordPtr linkDownRecord(int32_t packetCount, RecordTime time = RecordClock::now());
// The diagnostic loop's record: the first ten entries of the link-down
// record (no commState), with its attempt counter under temp and packetCount.
platform::RecordPtr diagnosticLinkDownRecord(int32_t attempts, RecordTime time = RecordClock::now());
platform::RecordPtr parameterRecord(int32_t paddress, int32_t pdata, RecordTime time = RecordClock::now());

} // namespace plovex::records
