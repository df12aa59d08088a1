#pragma once
// Reads back the files plovex writes of its measurements, one row at a time:
//
//   a recording (the window's Record…, plovex-cli log): time, elapsed_s,
//       x_deg, y_deg, [x_<unit>, y_<unit>,] temp_c, the raw values,
//       packetCount, link; a row with the link down has no values;
//   an averaged log (plovex-cli log --average): time, interval_s, count, the
//       mean, sd, min and max of x_deg, y_deg, [x_<unit>, y_<unit>,] temp_c,
//       then link_up; an interval with count 0 has no statistics.
//
// Columns are found by their names in the header, so columns added after
// the known ones (an alarms column) are passed over. A cell may be quoted as
// CSV quotes it. A row that does not read (too few cells, a time or number
// that is none, a link that is neither up nor down) stops the reading with a
// message that names its line; only a last line cut short (a file still
// being written, or a crash) is left out quietly, and truncatedTail() says so.
//
//   std::string error;
//   auto reader = RecordingReader::open("day.csv", &error);   // null: error says why
//   ReviewRow row;
//   while (reader->next(row, &error) == RecordingReader::Next::Row) use(row);
//
// It reads through a buffer of its own (1 MiB), parses only the cells it
// uses and keeps nothing of the rows it has read, so a file of any size
// streams in constant memory. seek() goes back to a row read before, by
// the offset and line the row carried.

#include "link/TiltUnits.h"
#include "platform/UniqueFd.h"
#include "record/LocalTime.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plovex::record {

enum class RecordingKind { Measurements, Averaged };

// One quantity of a row. A recording's value is its mean, minimum and
// maximum at once (sd 0); NaN where the row gives none.
struct RowFigures {
    double mean = 0, sd = 0, min = 0, max = 0;
};

struct ReviewRow {
    WallClock::time_point time; // the measurement's, or the interval's start
    uint64_t line = 0;          // its line in the file, from 1 (the header)
    uint64_t offset = 0;        // where its line begins in the file
    // No values: the link was down, or an interval without a measurement.
    bool gap = false;
    uint64_t count = 0;           // measurements it stands for (a recording's row: 1, 0 in a gap)
    double intervalSeconds = 0.0; // an averaged row's length; 0 in a recording
    double linkUp = 0.0;          // the share of its time the link was up: 0 or 1 in a recording
    RowFigures x, y, temperature; // degrees, degrees, degrees Celsius
};

class RecordingReader {
public:
    enum class Next { Row, End, Bad };

    // Opens path and reads its header. Null, and *error (naming the line),
    // when it cannot be read or is not one of the two files.
    static std::unique_ptr<RecordingReader> open(const std::string& path, std::string* error);
    ~RecordingReader();
    RecordingReader(const RecordingReader&) = delete;
    RecordingReader& operator=(const RecordingReader&) = delete;

    RecordingKind kind() const { return kind_; }
    // The unit the file carries beside degrees; degrees when none.
    board::TiltUnit unit() const { return unit_; }
    uint64_t fileSize() const { return size_; }
    // Bytes read so far (from the start, or from where seek() put it).
    uint64_t position() const { return bufferStart_ + static_cast<uint64_t>(at_); }

    // The next row (Row), the end of the file (End), or a row that does not
    // read (Bad, with *error "line N: ..."). After Bad, next() goes on with
    // the row after it.
    Next next(ReviewRow& row, std::string* error);
    // Goes to a row read before: its offset and line. False, with *error, when
    // the file cannot be read there.
    bool seek(uint64_t offset, uint64_t line, std::string* error);
    // The file's last line was cut short and left out.
    bool truncatedTail() const { return truncatedTail_; }

private:
    struct Columns; // where each cell this reader uses is
    RecordingReader(platform::UniqueFd fd, uint64_t size);
    bool readHeader(std::string* error);
    // The next line, without its newline; false at the end. complete: it ended with a newline.
    enum class LineRead { Line, End, Failed };
    LineRead nextLine(std::string_view& line, bool& complete, std::string* error);
    // What is wrong with the row; nullopt when it reads.
    std::optional<std::string> parseRow(std::string_view line, ReviewRow& row);

    platform::UniqueFd fd_;
    uint64_t size_;
    RecordingKind kind_ = RecordingKind::Measurements;
    board::TiltUnit unit_ = board::TiltUnit::Degrees;
    std::unique_ptr<Columns> columns_;
    std::vector<char> buffer_;
    uint64_t bufferStart_ = 0; // the file offset of buffer_[0]
    std::size_t at_ = 0, end_ = 0;
    bool eof_ = false;
    uint64_t line_ = 0; // the last line read
    bool truncatedTail_ = false;
    std::vector<std::string_view> cells_;
};

} // namespace plovex::record
