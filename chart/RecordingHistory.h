#pragma once
// A recording or an averaged log as the chart looks back at it. Opening
// reads the file once, row by row, into an overview: a SpanReduction of at
// most kOverviewColumns columns, some 9 MB however long the file. When the
// chart zooms in past the overview's columns, detail() reads the span shown
// again from the file, from the overview's note of where that span begins,
// into columns as fine as the pixels: the finer level of the zoom, down to
// single rows. rowNear() reads the row under a cursor.
//
// The line breaks where the link was down (a recording's link=down row, an
// averaged log's interval without a measurement) and where time jumps by
// more than the gap: for a recording, the silence that breaks the live
// chart's line; for an averaged log, one and a half intervals.
//
// Times are seconds since the file's first row (origin()), as doubles:
// exact to far below a microsecond over years, where seconds since 1970
// would leave a quarter of one.

#include "chart/SpanReduction.h"
#include "record/RecordingReader.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace plovex::chart {

struct HistorySummary {
    std::string path;
    record::RecordingKind kind = record::RecordingKind::Measurements;
    board::TiltUnit unit = board::TiltUnit::Degrees; // the file's unit beside degrees
    uint64_t rows = 0;       // rows read
    uint64_t emptyRows = 0;  // rows without values: the link down, an empty interval
    uint64_t measurements = 0; // measurements the rows stand for
    uint64_t breaks = 0;     // where the line breaks after a value: gaps and silences
    uint64_t timeWentBack = 0; // rows earlier than the row before (a clock set back)
    record::WallClock::time_point origin; // the first row's time: 0 s
    double last = 0.0;                    // the last row's time
    bool truncatedTail = false; // the last row was cut short and left out
};

class RecordingHistory {
public:
    static constexpr std::size_t kOverviewColumns = std::size_t{1} << 17;
    static constexpr std::size_t kDetailColumns = std::size_t{1} << 14;
    // An averaged log breaks where rows are this many intervals apart.
    static constexpr double kAveragedGapIntervals = 1.5;

    // Reads path whole. gapSeconds: a recording's silence. progress, when
    // given, is told the share of the file read (0 to 1) every few thousand
    // rows, and cancels the reading by returning false. Null, and *error
    // naming the line and what is wrong, when the file cannot be read or is
    // not one of the two kinds; "cancelled" when cancelled.
    static std::unique_ptr<RecordingHistory> open(const std::string& path, double gapSeconds, std::string* error,
                                                  const std::function<bool(double)>& progress = {});

    const HistorySummary& summary() const { return summary_; }
    const SpanReduction& overview() const { return overview_; }

    // [from, to) read again into columns of columnSeconds (wider when it
    // would take more than kDetailColumns). Reads with a reader of its own,
    // so it may run on another thread while this object is otherwise only
    // read. nullopt, with *error, when the file cannot be read again.
    std::optional<SpanReduction> detail(double from, double to, double columnSeconds, std::string* error) const;
    // The row whose time is nearest t; nullopt with *error when the file
    // cannot be read again (the same threads as detail()).
    std::optional<record::ReviewRow> rowNear(double t, std::string* error) const;

    // Seconds since the origin, and back.
    double secondsOf(record::WallClock::time_point t) const;
    record::WallClock::time_point timeOf(double seconds) const;

private:
    RecordingHistory(HistorySummary summary, double gapSeconds, SpanReduction overview);
    // Reopens the file at the row where t's column begins.
    std::unique_ptr<record::RecordingReader> readerAt(double t, std::string* error) const;

    HistorySummary summary_;
    double gapSeconds_;
    SpanReduction overview_;
};

} // namespace plovex::chart
