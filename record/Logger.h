#pragma once
// The unattended logger behind plovex-cli log: measurements in, CSV files
// out. Without averaging a file holds a recording's rows (MeasurementRow.h),
// one per measurement record, elapsed_s counting from the logger's start;
// with it, one averaged row (AveragedRow.h) per interval. This is the one
// place that chooses the log's columns and builds its rows.
//
//   Logger log(*folder, settings, now, note);   // repairs what a crash left, then writes
//   log.add(measurement);                       // on the thread that receives the records
//   log.tick(now);                              // a few times a second
//   log.finish(now);                            // the last interval, synced and closed

#include "link/Measurement.h"
#include "record/LogWriter.h"
#include "record/MeasurementAverager.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace plovex::record {

struct LoggerSettings {
    board::TiltUnit unit = board::TiltUnit::Degrees;
    std::optional<WallClock::duration> average; // the averaging interval; none: every record
    LogWriterSettings files;
    // Given each averaged interval as its row is queued (with average), so
    // that another output (a database) carries the very same figures.
    std::function<void(const stats::IntervalSummary&)> alsoIntervals;
};

class Logger {
public:
    using Clock = WallClock;

    // Repairs the files an earlier run of this port's logger left in the
    // folder (LogFolder::recover), then starts writing. start: when logging
    // began. sleeper and now go to the writer (LogWriter.h).
    Logger(LogFolder& folder, LoggerSettings settings, Clock::time_point start, LogFolder::Note note,
           std::shared_ptr<platform::Sleeper> sleeper = nullptr, std::function<Clock::time_point()> now = {});
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void add(const Measurement& m);
    // Closes the intervals that a silent link left open.
    void tick(Clock::time_point now);
    // Closes the interval running at now, writes what is left and closes the
    // file. The writer's status at the end.
    LogWriterStatus finish(Clock::time_point now);
    LogWriterStatus status() const { return writer_->status(); }

    // The files' header line, with its newline.
    static std::string header(const LoggerSettings& settings);

private:
    std::string measurementRow(const Measurement& m) const;
    std::string intervalRow(const stats::IntervalSummary& s) const;

    const LoggerSettings settings_;
    const std::vector<DerivedField> fields_; // of a row per measurement
    const Clock::time_point start_;
    std::unique_ptr<LogWriter> writer_;
    std::optional<MeasurementAverager> averager_;
};

} // namespace plovex::record
