#pragma once
// Where plovex-cli writes line protocol over HTTP: the write URL of the
// database, as its own documentation gives it. The path says which API:
//
//   http://HOST:8086/write?db=NAME                     InfluxDB 1.x (rp= too)
//   http://HOST:8086/api/v2/write?org=ORG&bucket=NAME  InfluxDB 2.x
//   http://HOST:8428/write                             VictoriaMetrics (db= adds a db label)
//
// Any path that ends in /write is taken (a proxy's /influx/write, a
// VictoriaMetrics cluster's /insert/0/influx/write); https works as well.
// Credentials never come in the URL: a user or password in it, or the query
// parameters u, p and token, are refused (without repeating the URL) in
// favour of a file. The timestamps are nanoseconds, so a precision other
// than that is refused.

#include <optional>
#include <string>

namespace plovex::fleet {

enum class InfluxApi {
    V1, // .../write: InfluxDB 1.x and VictoriaMetrics
    V2, // .../api/v2/write: InfluxDB 2.x, which needs org and bucket
};

struct InfluxUrl {
    std::string url;      // as given
    std::string hostPort; // "host:port", for messages
    InfluxApi api = InfluxApi::V1;
};

// nullopt, and the reason in *error, for a URL that cannot be written to.
std::optional<InfluxUrl> parseInfluxUrl(const std::string& text, std::string* error);

} // namespace plovex::fleet
