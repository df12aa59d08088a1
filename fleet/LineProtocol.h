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
// epoch. Commas, equals signs and blanks in tag keys, tag values and field
// keys are escaped with a backslash; a line break, which the format cannot
// carry, becomes a blank. A backslash stands as it is: InfluxDB keeps "\\"
// as two backslashes where VictoriaMetrics reads one, so a backslash is left
// unescaped, and a text in which that is ambiguous is refused beforehand
// (tagProblem).

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plovex::fleet {

using Tags = std::vector<std::pair<std::string, std::string>>;
using IntegerFields = std::vector<std::pair<std::string, int64_t>>;
using FloatFields = std::vector<std::pair<std::string, std::string>>; // name, decimal text

std::string influxLine(const Tags& tags, const IntegerFields& integers, const FloatFields& floats, int64_t timeNs);

// Why text cannot be a tag key or value that every database reads back as
// it was, or "": a backslash at its end or before a comma, an equals sign, a
// blank or another backslash, which InfluxDB and VictoriaMetrics read
// differently (InfluxDB cannot store the first at all).
std::string tagProblem(std::string_view text);

} // namespace plovex::fleet
