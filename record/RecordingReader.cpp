#include "record/RecordingReader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex::record {

namespace {

constexpr std::size_t kBufferBytes = 1 << 20;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr const char* kFigureSuffixes[] = {"_mean", "_sd", "_min", "_max"};

// Splits line at its commas into cells, up to limit cells (the rest of the
// line stays unread). A cell in double quotes may hold commas; the quotes
// are not part of the cell. One pass over the bytes: cells are short, and a
// search call per cell costs more than it saves.
void splitCells(std::string_view line, std::size_t limit, std::vector<std::string_view>& cells)
{
    cells.clear();
    const char* p = line.data();
    const char* const end = p + line.size();
    while (cells.size() < limit) {
        const char* start = p;
        if (p < end && *p == '"') {
            start = ++p;
            while (p < end && !(*p == '"' && (p + 1 == end || p[1] != '"')))
                p += *p == '"' ? 2 : 1; // a doubled quote inside the cell
            cells.emplace_back(start, static_cast<std::size_t>(p - start));
            while (p < end && *p != ',')
                ++p;
        } else {
            while (p < end && *p != ',')
                ++p;
            cells.emplace_back(start, static_cast<std::size_t>(p - start));
        }
        if (p == end)
            return;
        if (++p == end) { // a comma ends the line: an empty last cell
            if (cells.size() < limit)
                cells.emplace_back();
            return;
        }
    }
}

// A finite number, or nullopt. The plain decimals the files hold
// ("-12.3456") are read here, as a whole number of at most 15 digits divided
// by a power of ten: both are exact doubles, so the one division rounds to
// the nearest double, as from_chars does, which reads everything else.
std::optional<double> number(std::string_view cell)
{
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* p = cell.data();
    const char* const end = p + cell.size();
    const bool negative = p < end && *p == '-';
    p += negative ? 1 : 0;
    uint64_t whole = 0;
    int digits = 0, decimals = 0;
    bool point = false, plain = p < end;
    for (; p < end && plain; ++p) {
        if (*p >= '0' && *p <= '9') {
            whole = whole * 10 + static_cast<uint64_t>(*p - '0');
            ++digits;
            decimals += point ? 1 : 0;
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            plain = false;
        }
    }
    if (plain && digits > 0 && digits <= 15 && !(point && decimals == 0)) {
        const double v = static_cast<double>(whole) / kPowersOfTen[decimals];
        return negative ? -v : v;
    }
    double v = 0;
    const auto [stop, ec] = std::from_chars(cell.data(), end, v);
    if (ec != std::errc() || stop != end || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string quoted(std::string_view cell)
{
    constexpr std::size_t kShown = 40;
    return "'" + std::string(cell.substr(0, kShown)) + (cell.size() > kShown ? "...'" : "'");
}

std::string lineText(uint64_t line)
{
    return "line " + std::to_string(line) + ": ";
}

} // namespace

struct RecordingReader::Columns {
    std::vector<std::string> names; // the header's
    std::size_t time = 0;
    // A recording's.
    std::size_t x = 0, y = 0, temperature = 0, link = 0;
    // An averaged log's: each quantity's mean, sd, min and max.
    std::size_t interval = 0, count = 0, linkUp = 0;
    std::array<std::size_t, 4> xs{}, ys{}, temperatures{};
    std::size_t needed = 0; // the cells a row must have: one past the last used
};

RecordingReader::RecordingReader(platform::UniqueFd fd, uint64_t size)
    : fd_(std::move(fd)), size_(size), columns_(std::make_unique<Columns>()), buffer_(kBufferBytes)
{
}

RecordingReader::~RecordingReader() = default;

std::unique_ptr<RecordingReader> RecordingReader::open(const std::string& path, std::string* error)
{
    platform::UniqueFd fd(platform::retryEintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
    struct stat st{};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        *error = std::string("cannot open it: ") + std::strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = "it is not a file";
        return nullptr;
    }
    std::unique_ptr<RecordingReader> reader(new RecordingReader(std::move(fd), static_cast<uint64_t>(st.st_size)));
    if (!reader->readHeader(error))
        return nullptr;
    return reader;
}

bool RecordingReader::readHeader(std::string* error)
{
    std::string_view line;
    bool complete = false;
    const LineRead read = nextLine(line, complete, error);
    if (read == LineRead::Failed)
        return false;
    if (read == LineRead::End) {
        *error = "the file is empty";
        return false;
    }
    std::vector<std::string_view> cells;
    splitCells(line, std::numeric_limits<std::size_t>::max(), cells);
    Columns& c = *columns_;
    const auto& names = c.names = std::vector<std::string>(cells.begin(), cells.end());
    const bool measurements = names.size() > 1 && names[0] == "time" && names[1] == "elapsed_s";
    const bool averaged = names.size() > 1 && names[0] == "time" && names[1] == "interval_s";
    if (!measurements && !averaged) {
        *error = lineText(1) + "not a plovex recording or averaged log: its header begins " + quoted(line);
        return false;
    }
    kind_ = measurements ? RecordingKind::Measurements : RecordingKind::Averaged;
    std::string missing;
    auto find = [&](const std::string& name) {
        const auto it = std::find(names.begin(), names.end(), name);
        if (it == names.end()) {
            if (missing.empty())
                missing = name;
            return std::size_t{0};
        }
        const auto index = static_cast<std::size_t>(it - names.begin());
        c.needed = std::max(c.needed, index + 1);
        return index;
    };
    auto findFigures = [&](const std::string& stem) {
        std::array<std::size_t, 4> at{};
        for (std::size_t i = 0; i < at.size(); ++i)
            at[i] = find(stem + kFigureSuffixes[i]);
        return at;
    };
    c.time = find("time");
    if (measurements) {
        c.x = find("x_deg");
        c.y = find("y_deg");
        c.temperature = find("temp_c");
        c.link = find("link");
    } else {
        c.interval = find("interval_s");
        c.count = find("count");
        c.xs = findFigures("x_deg");
        c.ys = findFigures("y_deg");
        c.temperatures = findFigures("temp_c");
        c.linkUp = find("link_up");
    }
    if (!missing.empty()) {
        *error = lineText(1) + "the header has no column " + missing;
        return false;
    }
    for (const board::TiltUnit u : board::kTiltUnits) {
        const std::string column = "x_" + std::string(board::tiltUnitSuffix(u)) + (averaged ? "_mean" : "");
        if (u != board::TiltUnit::Degrees && std::find(names.begin(), names.end(), column) != names.end())
            unit_ = u;
    }
    return true;
}

RecordingReader::LineRead RecordingReader::nextLine(std::string_view& line, bool& complete, std::string* error)
{
    for (;;) {
        const char* begin = buffer_.data() + at_;
        const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', end_ - at_));
        if (newline || (eof_ && at_ < end_)) {
            const std::size_t length = newline ? static_cast<std::size_t>(newline - begin) : end_ - at_;
            line = std::string_view(begin, length);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            complete = newline != nullptr;
            at_ += length + (complete ? 1 : 0);
            ++line_;
            return LineRead::Line;
        }
        if (eof_)
            return LineRead::End;
        if (at_ == 0 && end_ == buffer_.size()) {
            *error = lineText(line_ + 1) + "longer than " + std::to_string(kBufferBytes) + " bytes";
            at_ = end_ = 0; // the next call goes on from after the part read
            bufferStart_ += buffer_.size();
            return LineRead::Failed;
        }
        // Keep the start of a line read in part, and fill the rest.
        std::memmove(buffer_.data(), buffer_.data() + at_, end_ - at_);
        bufferStart_ += at_;
        end_ -= at_;
        at_ = 0;
        const ssize_t got = platform::retryEintr(
            [&] { return ::read(fd_.get(), buffer_.data() + end_, buffer_.size() - end_); });
        if (got < 0) {
            *error = lineText(line_ + 1) + "cannot read: " + std::strerror(errno);
            return LineRead::Failed;
        }
        if (got == 0)
            eof_ = true;
        end_ += static_cast<std::size_t>(got);
    }
}

RecordingReader::Next RecordingReader::next(ReviewRow& row, std::string* error)
{
    for (;;) {
        const uint64_t offset = position();
        std::string_view line;
        bool complete = false;
        const LineRead read = nextLine(line, complete, error);
        if (read == LineRead::End)
            return Next::End;
        if (read == LineRead::Failed)
            return Next::Bad;
        if (line.empty())
            continue; // a blank line carries nothing
        row.line = line_;
        row.offset = offset;
        if (auto wrong = parseRow(line, row)) {
            if (!complete) { // a last row cut short: what is whole before it stands
                truncatedTail_ = true;
                return Next::End;
            }
            *error = lineText(line_) + *wrong;
            return Next::Bad;
        }
        return Next::Row;
    }
}

std::optional<std::string> RecordingReader::parseRow(std::string_view line, ReviewRow& row)
{
    const Columns& c = *columns_;
    splitCells(line, c.needed, cells_);
    if (cells_.size() < c.needed)
        return std::to_string(cells_.size()) + " cells where " + std::to_string(c.needed) + " are needed";
    const auto time = parseIsoTime(cells_[c.time]);
    if (!time)
        return "time " + quoted(cells_[c.time]) + " is not a time such as 2026-12-07T14:03:22.123+01:00";
    row.time = *time;

    std::optional<std::string> wrong; // the first cell that is not a number
    auto value = [&](std::size_t index) {
        const auto v = number(cells_[index]);
        if (!v && !wrong)
            wrong = c.names[index] + " " + quoted(cells_[index]) + " is not a number";
        return v.value_or(kNaN);
    };
    if (kind_ == RecordingKind::Measurements) {
        const std::string_view link = cells_[c.link];
        if (link != "up" && link != "down")
            return "link " + quoted(link) + " is neither up nor down";
        row.gap = link == "down";
        row.count = row.gap ? 0 : 1;
        row.intervalSeconds = 0.0;
        row.linkUp = row.gap ? 0.0 : 1.0;
        if (row.gap) {
            row.x = row.y = row.temperature = {kNaN, kNaN, kNaN, kNaN};
            return std::nullopt;
        }
        const double x = value(c.x), y = value(c.y), t = value(c.temperature);
        row.x = {x, 0.0, x, x};
        row.y = {y, 0.0, y, y};
        row.temperature = {t, 0.0, t, t};
        return wrong;
    }

    const std::string_view countCell = cells_[c.count];
    uint64_t count = 0;
    const auto [end, ec] = std::from_chars(countCell.data(), countCell.data() + countCell.size(), count);
    if (ec != std::errc() || end != countCell.data() + countCell.size())
        return "count " + quoted(countCell) + " is not a whole number";
    row.count = count;
    row.gap = count == 0;
    row.intervalSeconds = value(c.interval);
    row.linkUp = value(c.linkUp);
    if (!wrong && !(row.intervalSeconds > 0))
        wrong = "interval_s " + quoted(cells_[c.interval]) + " is not above 0";
    auto figures = [&](const std::array<std::size_t, 4>& at) {
        if (row.gap)
            return RowFigures{kNaN, kNaN, kNaN, kNaN};
        const double mean = value(at[0]), sd = value(at[1]), min = value(at[2]), max = value(at[3]);
        return RowFigures{mean, sd, min, max};
    };
    row.x = figures(c.xs);
    row.y = figures(c.ys);
    row.temperature = figures(c.temperatures);
    return wrong;
}

bool RecordingReader::seek(uint64_t offset, uint64_t line, std::string* error)
{
    if (::lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
        *error = std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    bufferStart_ = offset;
    at_ = end_ = 0;
    eof_ = false;
    line_ = line > 0 ? line - 1 : 0;
    truncatedTail_ = false;
    return true;
}

} // namespace plovex::record
