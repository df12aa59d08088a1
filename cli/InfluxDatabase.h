#pragma once
// A command's records written to a time-series database (--influx): the
// lines go to an InfluxWriter, which sends them from a thread of its own;
// what it has to say goes to standard error as "plovex-cli COMMAND: ...".

#include "cli/InfluxOptions.h"

#include <atomic>
#include <memory>
#include <string>

namespace plovex::cli {

class InfluxDatabase {
public:
    // Starts the writer. Throws std::runtime_error when no HTTP client can be made.
    InfluxDatabase(const char* command, const InfluxOptions& options);

    // Queues one line of line protocol (with its newline) for a record of that time.
    void write(std::string line, platform::RecordTime recordTime);
    // True once the database has refused the writes for good.
    bool failed() const { return failed_; }
    // Sends what is left (5 s at most). The exit code: kExitFailed, after
    // saying why, when the database refused the writes.
    int finish();

private:
    const char* command_;
    std::atomic<bool> failed_{false};
    std::unique_ptr<fleet::InfluxWriter> writer_;
};

} // namespace plovex::cli
