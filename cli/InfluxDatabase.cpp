#include "cli/InfluxDatabase.h"

#include "cli/CommandSupport.h"

#include <chrono>

namespace plovex::cli {

namespace {

// What is left is sent for this long at the end.
constexpr std::chrono::seconds kDrain{5};

} // namespace

InfluxDatabase::InfluxDatabase(const char* command, const InfluxOptions& options) : command_(command)
{
    writer_ = std::make_unique<fleet::InfluxWriter>(
        "database " + options.url.hostPort, options.writer, fleet::makeCurlPost(options.url.url, options.credentials),
        platform::realSleeper(), [command](const std::string& line) { notice(command, line); },
        [this] { failed_ = true; });
}

void InfluxDatabase::write(std::string line, platform::RecordTime recordTime)
{
    writer_->write(std::move(line), recordTime);
}

int InfluxDatabase::finish()
{
    if (!writer_)
        return kExitOk;
    const std::string fatal = writer_->finish(kDrain);
    writer_.reset();
    return fatal.empty() ? kExitOk : report(command_, fatal, kExitFailed);
}

} // namespace plovex::cli
