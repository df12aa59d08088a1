#pragma once
// A reading as one line of InfluxDB line protocol (fleet/LineProtocol.h),
// the same whether plovex-cli monitor prints it (--format influx) or writes
// it to a database (--influx): measurement "plovex", tags type
// ("measurement" or "parameter"), port (the port's stable name) and the
// user's (--tag), the record's entries as integer fields (RecordEntries.h)
// and a measurement's derived fields as float fields, stamped with the time
// of the reading in nanoseconds, never the time it was delivered. What a
// link-down cycle only fills in is left out, so that no placeholder is
// stored as a reading: a link-down measurement keeps packetCount and
// commState, its parameter record paddress alone. With --average an
// interval is a line of type interval: its count an integer field, the
// averaged row's other figures float fields, its start the time.

#include "fleet/LineProtocol.h"
#include "link/Measurement.h"
#include "record/DerivedFields.h"
#include "stats/IntervalAverager.h"

#include <string>
#include <vector>

namespace plovex::cli {

class InfluxLines {
public:
    // portName: the "port" tag; tags: the user's, after it, in their order;
    // fields: a measurement's derived fields, in their order; unit: the
    // chosen unit's columns of an interval.
    InfluxLines(std::string portName, const fleet::Tags& tags, std::vector<record::DerivedField> fields,
                board::TiltUnit unit);

    // The line with its newline.
    std::string line(const Measurement& m);
    std::string line(const ParameterReading& p);
    std::string line(const stats::IntervalSummary& s);

private:
    std::string make(const char* type, const fleet::IntegerFields& integers, const fleet::FloatFields& floats,
                     platform::RecordTime time);

    fleet::Tags tags_; // type first, then port, then the user's
    std::vector<record::DerivedField> fields_;
    board::TiltUnit unit_;
};

} // namespace plovex::cli
