#include "chart/RecordingHistory.h"

#include <algorithm>
#include <cmath>

namespace plovex::chart {

namespace {

constexpr uint64_t kProgressRows = 1 << 16;
// The overview's finest column, before it widens to fit the file.
constexpr double kFinestColumnSeconds = 0.001;

Extent extentOf(const record::RowFigures& f, uint64_t count)
{
    Extent e;
    e.min = static_cast<float>(f.min);
    e.max = static_cast<float>(f.max);
    e.sum = f.mean * static_cast<double>(count);
    e.count = static_cast<uint32_t>(count);
    return e;
}

double secondsBetween(record::WallClock::time_point origin, record::WallClock::time_point t)
{
    return std::chrono::duration<double>(t - origin).count();
}

// Feeds rows into a reduction, breaking the line where the file says so.
class Feeder {
public:
    Feeder(record::RecordingKind kind, double gapSeconds, record::WallClock::time_point origin)
        : kind_(kind), gapSeconds_(gapSeconds), origin_(origin)
    {
    }

    void add(SpanReduction& r, const record::ReviewRow& row, HistorySummary* summary)
    {
        const double t = secondsBetween(origin_, row.time);
        bool jumped = false;
        if (hasLast_) {
            const double gap = kind_ == record::RecordingKind::Averaged
                                   ? RecordingHistory::kAveragedGapIntervals * lastInterval_
                                   : gapSeconds_;
            jumped = t - last_ > gap;
            if (t < last_ && summary)
                ++summary->timeWentBack;
        }
        last_ = t;
        hasLast_ = true;
        lastInterval_ = row.intervalSeconds;
        if (row.gap || jumped) {
            if (!broken_ && summary)
                ++summary->breaks;
            broken_ = true;
            r.breakLine();
        }
        if (row.gap)
            return;
        r.add(t, extentOf(row.x, row.count), extentOf(row.y, row.count), {row.offset, row.line});
        broken_ = false;
    }

private:
    record::RecordingKind kind_;
    double gapSeconds_;
    record::WallClock::time_point origin_;
    // The row before's time (a plain pair: GCC at -O2 takes an optional's
    // value for one that may be read before it is set).
    double last_ = 0.0;
    bool hasLast_ = false;
    double lastInterval_ = 0.0;
    bool broken_ = true;
};

} // namespace

double RecordingHistory::secondsOf(record::WallClock::time_point t) const
{
    return secondsBetween(summary_.origin, t);
}

record::WallClock::time_point RecordingHistory::timeOf(double seconds) const
{
    return summary_.origin +
           std::chrono::duration_cast<record::WallClock::duration>(std::chrono::duration<double>(seconds));
}

RecordingHistory::RecordingHistory(HistorySummary summary, double gapSeconds, SpanReduction overview)
    : summary_(std::move(summary)), gapSeconds_(gapSeconds), overview_(std::move(overview))
{
}

std::unique_ptr<RecordingHistory> RecordingHistory::open(const std::string& path, double gapSeconds,
                                                         std::string* error,
                                                         const std::function<bool(double)>& progress)
{
    auto reader = record::RecordingReader::open(path, error);
    if (!reader)
        return nullptr;
    HistorySummary summary;
    summary.path = path;
    summary.kind = reader->kind();
    summary.unit = reader->unit();
    SpanReduction overview(0.0, kFinestColumnSeconds, kOverviewColumns);
    std::optional<Feeder> feeder;
    record::ReviewRow row;
    for (;;) {
        const auto next = reader->next(row, error);
        if (next == record::RecordingReader::Next::Bad)
            return nullptr;
        if (next == record::RecordingReader::Next::End)
            break;
        if (!feeder) {
            summary.origin = row.time;
            feeder.emplace(reader->kind(), gapSeconds, row.time);
        }
        feeder->add(overview, row, &summary);
        summary.last = std::max(summary.last, secondsBetween(summary.origin, row.time));
        ++summary.rows;
        summary.emptyRows += row.gap ? 1 : 0;
        summary.measurements += row.count;
        if (progress && summary.rows % kProgressRows == 0 &&
            !progress(static_cast<double>(reader->position()) / static_cast<double>(std::max<uint64_t>(reader->fileSize(), 1)))) {
            *error = "cancelled";
            return nullptr;
        }
    }
    summary.truncatedTail = reader->truncatedTail();
    return std::unique_ptr<RecordingHistory>(new RecordingHistory(std::move(summary), gapSeconds, std::move(overview)));
}

std::unique_ptr<record::RecordingReader> RecordingHistory::readerAt(double t, std::string* error) const
{
    auto reader = record::RecordingReader::open(summary_.path, error);
    if (!reader)
        return nullptr;
    // The file may have grown or changed since: a row that no longer reads
    // there is reported by the caller's next().
    if (const auto at = overview_.positionAt(t); at && !reader->seek(at->offset, at->line, error))
        return nullptr;
    return reader;
}

std::optional<SpanReduction> RecordingHistory::detail(double from, double to, double columnSeconds,
                                                      std::string* error) const
{
    // From the column before, so that a break just before from is seen.
    auto reader = readerAt(from - overview_.columnSeconds(), error);
    if (!reader)
        return std::nullopt;
    SpanReduction detail(from, std::max(columnSeconds, (to - from) / kDetailColumns), kDetailColumns);
    Feeder feeder(summary_.kind, gapSeconds_, summary_.origin);
    record::ReviewRow row;
    for (;;) {
        const auto next = reader->next(row, error);
        if (next == record::RecordingReader::Next::Bad)
            return std::nullopt;
        if (next == record::RecordingReader::Next::End || secondsOf(row.time) >= to)
            break;
        if (secondsOf(row.time) >= from) // the detail's first value starts its line
            feeder.add(detail, row, nullptr);
    }
    return detail;
}

std::optional<record::ReviewRow> RecordingHistory::rowNear(double t, std::string* error) const
{
    // Two columns back: the row just before t may begin the column before.
    auto reader = readerAt(std::min(t, overview_.last()) - 2 * overview_.columnSeconds(), error);
    if (!reader)
        return std::nullopt;
    std::optional<record::ReviewRow> best;
    record::ReviewRow row;
    for (;;) {
        const auto next = reader->next(row, error);
        if (next == record::RecordingReader::Next::Bad)
            return std::nullopt;
        if (next == record::RecordingReader::Next::End)
            break;
        const double distance = std::fabs(secondsOf(row.time) - t);
        if (!best || distance < std::fabs(secondsOf(best->time) - t))
            best = row;
        if (secondsOf(row.time) > t)
            break;
    }
    if (!best)
        *error = "the file has no rows";
    return best;
}

} // namespace plovex::chart
