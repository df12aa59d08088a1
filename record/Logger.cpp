#include "record/Logger.h"

#include "record/AveragedRow.h"
#include "record/MeasurementRow.h"

namespace plovex::record {

Logger::Logger(LogFolder& folder, LoggerSettings settings, Clock::time_point start, LogFolder::Note note,
               std::shared_ptr<platform::Sleeper> sleeper, std::function<Clock::time_point()> now)
    : settings_(std::move(settings)), fields_(derivedFields(settings_.unit)), start_(start)
{
    folder.recover(note);
    writer_ = std::make_unique<LogWriter>(folder, header(settings_), settings_.files, std::move(note),
                                          std::move(sleeper), std::move(now));
    if (settings_.average)
        averager_.emplace(*settings_.average, settings_.unit, start,
                          [this](const stats::IntervalSummary& s) {
                              writer_->push(s.start, intervalRow(s));
                              if (settings_.alsoIntervals)
                                  settings_.alsoIntervals(s);
                          });
}

// The columns and rows of the log, in one place: a column added to both
// kinds of row is added here.

std::string Logger::header(const LoggerSettings& settings)
{
    return settings.average ? averagedCsvHeader(settings.unit) : csvHeader(derivedFields(settings.unit));
}

std::string Logger::measurementRow(const Measurement& m) const
{
    const MeasurementRow row{m, std::chrono::duration<double>(m.time - start_).count()};
    std::string text;
    appendCsvRow(text, row, fields_);
    return text;
}

std::string Logger::intervalRow(const stats::IntervalSummary& s) const
{
    std::string text;
    appendAveragedCsvRow(text, s, settings_.unit);
    return text;
}

void Logger::add(const Measurement& m)
{
    if (averager_)
        averager_->add(m);
    else
        writer_->push(m.time, measurementRow(m));
}

void Logger::tick(Clock::time_point now)
{
    if (averager_)
        averager_->closeUntil(now);
}

LogWriterStatus Logger::finish(Clock::time_point now)
{
    if (averager_)
        averager_->finish(now);
    return writer_->finish();
}

} // namespace plovex::record
