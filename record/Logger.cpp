#include "record/Logger.h"

#include "record/AveragedRow.h"
#include "record/MeasurementRow.h"

namespace plovex::record {

Logger::Logger(LogFolder& folder, LoggerSettings settings, Clock::time_point start, LogFolder::Note note,
               std::shared_ptr<platform::Sleeper> sleeper, std::function<Clock::time_point()> now)
    : settings_(std::move(settings)), start_(start)
{
    folder.recover(note);
    writer_ = std::make_unique<LogWriter>(folder, header(settings_), settings_.files, std::move(note),
                                          std::move(sleeper), std::move(now));
    if (settings_.average)
        averager_.emplace(*settings_.average, settings_.unit, start, [this](const stats::IntervalSummary& s) {
            std::string row;
            appendAveragedCsvRow(row, s, settings_.unit);
            writer_->push(s.start, std::move(row));
        });
}

std::string Logger::header(const LoggerSettings& settings)
{
    return settings.average ? averagedCsvHeader(settings.unit) : csvHeader(settings.unit);
}

void Logger::add(const Measurement& m)
{
    if (averager_) {
        averager_->add(m);
        return;
    }
    const MeasurementRow row{m.time, std::chrono::duration<double>(m.time - start_).count(), m.linkUp, m.raw,
                             m.packetCount};
    std::string text;
    appendCsvRow(text, row, settings_.unit);
    writer_->push(m.time, std::move(text));
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
