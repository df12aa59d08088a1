// bench_influx_wire: the bytes a second of records costs on the wire when
// written to a database, with and without gzip. It reads line protocol (as
// `plovex-cli monitor --format influx` prints it) from standard input, groups
// the lines by their timestamps into the batches the monitor sends by default
// (one a second), and posts each batch twice to the database at --url, as
// sent and gzip-compressed, through the writer's own HTTP client; it prints
// the request bytes (HTTP header and body) per record of each way.
//
//   plovex-cli monitor --simulate --format influx --seconds 60 > lines
//   bench_influx_wire --url 'http://127.0.0.1:8086/write?db=plovex' < lines

#include "bench/common/BenchArgs.h"
#include "fleet/Gzip.h"
#include "fleet/HttpPost.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    auto args = bench::readArgs(argc, argv, {"url"}, {});
    const auto url = args.value("url");
    if (!args.error.empty() || !url || args.has("help")) {
        std::fprintf(stderr, "usage: bench_influx_wire --url WRITE-URL < LINE-PROTOCOL\n%s\n", args.error.c_str());
        return 2;
    }
    std::vector<std::string> batches;
    long long batchSecond = -1;
    std::size_t records = 0;
    for (std::string line; std::getline(std::cin, line);) {
        const long long second = std::stoll(line.substr(line.rfind(' ') + 1)) / 1'000'000'000;
        if (second != batchSecond || batches.empty())
            batches.emplace_back();
        batchSecond = second;
        batches.back() += line + "\n";
        ++records;
    }
    const auto post = plovex::fleet::makeCurlPost(*url, {});
    std::size_t sent[2] = {0, 0}, body[2] = {0, 0};
    for (const auto& batch : batches) {
        for (const bool gzipped : {false, true}) {
            const std::string payload = gzipped ? plovex::fleet::gzip(batch) : batch;
            const auto answer = post->post(payload, gzipped, std::chrono::seconds(10));
            if (answer.status / 100 != 2) {
                std::fprintf(stderr, "bench_influx_wire: the database answered %ld %s\n", answer.status,
                             answer.failure.c_str());
                return 1;
            }
            sent[gzipped] += answer.sentBytes;
            body[gzipped] += payload.size();
        }
    }
    std::printf("%zu records in %zu batches (%.1f records a batch)\n", records, batches.size(),
                static_cast<double>(records) / static_cast<double>(batches.size()));
    for (const bool gzipped : {false, true})
        std::printf("%-5s body %.1f bytes a record, request (header and body) %.1f bytes a record\n",
                    gzipped ? "gzip" : "plain", static_cast<double>(body[gzipped]) / static_cast<double>(records),
                    static_cast<double>(sent[gzipped]) / static_cast<double>(records));
    return 0;
}
