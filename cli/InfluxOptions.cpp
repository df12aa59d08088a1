#include "cli/InfluxOptions.h"

#include "cli/CommandSupport.h"
#include "cli/SecretFile.h"

#include <chrono>
#include <limits>

namespace plovex::cli {

namespace {

constexpr double kLongestBuffer = 7 * 24 * 3600.0; // a week
constexpr long long kLargestBufferMb = 64 * 1024;
constexpr long long kLargestBatch = 1'000'000;

std::chrono::milliseconds milliseconds(double seconds)
{
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

// The credentials in the token file: for /api/v2/write an API token; for
// /write USER:PASSWORD (InfluxDB 1.x, a proxy's Basic login) or a token
// (InfluxDB 2.x's 1.x-compatible endpoint).
bool readCredentials(const std::string& path, fleet::InfluxApi api, fleet::HttpCredentials& credentials,
                     std::string* error)
{
    if (!readSecretFile(path, "the token file", credentials.secret, error))
        return false;
    const bool basic = api == fleet::InfluxApi::V1 && credentials.secret.find(':') != std::string::npos;
    credentials.kind = basic ? fleet::HttpCredentials::Kind::Basic : fleet::HttpCredentials::Kind::Token;
    return true;
}

} // namespace

std::string influxOptionsHelp()
{
    return "  --influx URL          also write every line of line protocol (as --format\n"
           "                        influx prints it) to a time-series database over HTTP:\n"
           "                        http://HOST:8086/write?db=NAME (InfluxDB 1.x),\n"
           "                        http://HOST:8086/api/v2/write?org=ORG&bucket=NAME\n"
           "                        (InfluxDB 2.x), http://HOST:8428/write (VictoriaMetrics);\n"
           "                        https too. Batches are gzip-compressed. A database that\n"
           "                        refuses the writes (a bad token, no such database) ends\n"
           "                        the command with status 1; one that cannot be reached\n"
           "                        or answers 5xx is tried again after 1 s, doubling up to\n"
           "                        30 s, the records kept meanwhile\n"
           "  --influx-token-file FILE\n"
           "                        the credentials, the first line of FILE: InfluxDB 2.x's\n"
           "                        API token, or USER:PASSWORD for /write\n"
           "  --influx-batch LINES  lines in one request at most (default 5000)\n"
           "  --influx-interval SECONDS\n"
           "                        send what has come at most this often (default 1)\n"
           "  --influx-buffer SECONDS\n"
           "                        while the database cannot take them, keep the records of\n"
           "                        the last SECONDS (default 600); older ones are dropped and\n"
           "                        said on standard error\n"
           "  --influx-buffer-mb MB keep at most MB megabytes of them (default 64)\n";
}

std::set<std::string> influxValueOptions()
{
    return {"influx", "influx-token-file", "influx-batch", "influx-interval", "influx-buffer", "influx-buffer-mb"};
}

bool readInfluxOptions(const ParsedArgs& args, std::optional<InfluxOptions>& options, std::string* error)
{
    const auto url = args.option("influx");
    if (!url) {
        for (const auto& name : influxValueOptions()) {
            if (args.option(name)) {
                *error = "--" + name + " goes with --influx";
                return false;
            }
        }
        return true;
    }
    InfluxOptions o;
    auto parsed = fleet::parseInfluxUrl(*url, error);
    if (!parsed)
        return false;
    o.url = std::move(*parsed);
    if (const auto file = args.option("influx-token-file")) {
        if (!readCredentials(*file, o.url.api, o.credentials, error))
            return false;
    }
    if (const auto text = args.option("influx-batch")) {
        const auto lines = parseInteger(*text, 1, kLargestBatch);
        if (!lines) {
            *error = "--influx-batch needs a whole number of lines from 1 to 1000000, not '" + *text + "'";
            return false;
        }
        o.writer.batchLines = static_cast<std::size_t>(*lines);
    }
    if (const auto text = args.option("influx-interval")) {
        const auto seconds = parseSeconds(*text);
        if (!seconds || *seconds <= 0 || *seconds > 3600) {
            *error = "--influx-interval needs a number of seconds above 0 (an hour at most), not '" + *text + "'";
            return false;
        }
        o.writer.batchInterval = milliseconds(*seconds);
    }
    if (const auto text = args.option("influx-buffer")) {
        const auto seconds = parseSeconds(*text);
        if (!seconds || *seconds <= 0 || *seconds > kLongestBuffer) {
            *error = "--influx-buffer needs a number of seconds above 0 (a week at most), not '" + *text + "'";
            return false;
        }
        o.writer.buffer.age = milliseconds(*seconds);
    }
    if (const auto text = args.option("influx-buffer-mb")) {
        const auto mb = parseInteger(*text, 1, kLargestBufferMb);
        if (!mb) {
            *error = "--influx-buffer-mb needs a whole number of megabytes from 1 to 65536, not '" + *text + "'";
            return false;
        }
        o.writer.buffer.bytes = static_cast<std::size_t>(*mb) << 20;
    }
    options = std::move(o);
    return true;
}

} // namespace plovex::cli
