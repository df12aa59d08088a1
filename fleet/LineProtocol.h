#pragma once
// InfluxDB line protocol for the board's readings, one line each:
//
//   plovex,type=measurement,port=ttyUSB0,site=bridge xGravityRaw=12i,...,commState=1i,x_deg=0.5,y_deg=-1.25,temp_c=23.4 1700000000000000000
//
// The measurement is "plovex". The tags are the ones given, in the order
// given (the caller puts "type" and "port" first); a tag with an empty key
// or value is left out, since the format has no empty tags. Then come the
// integer fields given, then the float fields given, as decimal text (the
// caller works them out); one without a value ("") is left out, as the
// format has no empty fields. The timestamp is in nanoseconds since the
// epoch. Commas, equals signs, blanks and backslashes in tag keys, tag
// values and field keys are escaped with a backslash; a line break, which
// the format cannot carry, becomes a blank.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plovex::fleet {

using Tags = std::vector<std::pair<std::string, std::string>>;
using IntegerFields = std::vector<std::pair<std::string, int64_t>>;
using FloatFields = std::vector<std::pair<std::string, std::string>>; // name, decimal text

std::string influxLine(const Tags& tags, const IntegerFields& integers, const FloatFields& floats, int64_t timeNs);

} // namespace plovex::fleet
