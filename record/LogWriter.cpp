#include "record/LogWriter.h"

#include "record/LogMaintenance.h"

#include <algorithm>
#include <exception>

namespace plovex::record {

namespace {

using namespace std::chrono;

// Rows go to the file in writes of about this much at most.
constexpr std::size_t kWriteChunk = 256 * 1024;

} // namespace

void LogWriter::Lost::add(Clock::time_point t, uint64_t n)
{
    if (n == 0)
        return;
    if (count == 0)
        first = t;
    last = t;
    count += n;
}

void LogWriter::Lost::add(const Lost& other)
{
    if (other.count == 0)
        return;
    if (count == 0)
        first = other.first;
    last = other.last;
    count += other.count;
}

std::string LogWriter::Lost::text() const
{
    if (count == 1)
        return "1 row, standing for " + isoLocalTime(first);
    return std::to_string(count) + " rows, standing for " + isoLocalTime(first) + " to " + isoLocalTime(last);
}

LogWriter::LogWriter(LogFolder& folder, std::string header, LogWriterSettings settings, LogFolder::Note note,
                     std::shared_ptr<platform::Sleeper> sleeper, std::function<Clock::time_point()> now)
    : folder_(folder), header_(std::move(header)), settings_(settings), note_(std::move(note)),
      sleeper_(sleeper ? std::move(sleeper) : platform::realSleeper()),
      now_(now ? std::move(now) : [] { return Clock::now(); }),
      // Often enough that no row waits longer than settings_.sync for its sync.
      tick_(std::min<Clock::duration>(kWriteInterval, duration_cast<Clock::duration>(settings_.sync) / 5))
{
    if (settings_.compress || settings_.keepDays)
        maintenance_ = std::make_unique<LogMaintenance>(folder_, note_);
    if (settings_.compress) {
        // Every file of this logger is closed before the first is made: what
        // an earlier run left uncompressed is done now.
        for (auto& name : folder_.files(LogFileKind::Csv))
            maintenance_->compress(std::move(name));
    }
    queue_.reserve(256);
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

LogWriter::~LogWriter()
{
    finish();
}

void LogWriter::push(Clock::time_point t, std::string row)
{
    const auto queuedAt = now_();
    std::lock_guard lock(mutex_);
    if (queue_.size() >= kQueueLimit || finished_) {
        queueOverflow_.add(t);
        return;
    }
    queue_.push_back(Row{t, queuedAt, std::move(row)});
}

LogWriterStatus LogWriter::status() const
{
    std::lock_guard lock(mutex_);
    LogWriterStatus s = status_;
    s.rowsLost += queueOverflow_.count;
    return s;
}

LogWriterStatus LogWriter::finish()
{
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    maintenance_.reset(); // does what is queued first
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    return status();
}

void LogWriter::run(std::stop_token stop)
{
    for (;;) {
        const bool more = sleeper_->sleepFor(duration<double>(tick_).count(), stop);
        try {
            cycle(!more);
        } catch (const std::exception& e) {
            try {
                stopWriting(std::string("logging failed: ") + e.what(), now_());
            } catch (...) {
            }
        }
        if (!more)
            return;
    }
}

void LogWriter::cycle(bool last)
{
    const auto now = now_();
    Lost overflow;
    {
        std::lock_guard lock(mutex_);
        batch_.swap(queue_);
        overflow = std::exchange(queueOverflow_, {});
    }
    for (auto& row : batch_)
        place(row, now);
    batch_.clear();
    if (overflow.count > 0) {
        note_("the disk fell behind: " + overflow.text() + ", were dropped");
        lostTotal_ += overflow.count;
    }
    if (writing_ && file_.isOpen()) {
        if (last)
            closeFile(now);
        else if (flush(now) && syncDue(now))
            syncFile(now);
    }
    if (last && !writing_ && lost_.count > 0)
        note_(lost_.text() + ", could not be written");
    dueMaintenance(now);
    std::lock_guard lock(mutex_);
    status_.rowsWritten = written_;
    status_.rowsLost = lostTotal_;
    status_.file = writing_ && file_.isOpen() ? folder_.pathOf(fileName_).string() : std::string();
}

void LogWriter::place(Row& row, Clock::time_point now)
{
    std::string why;
    if (!writing_) {
        if (now >= lastTry_ && now - lastTry_ < kRetryInterval) {
            lose(row.time);
            return;
        }
        lastTry_ = now;
        if (!openFile(row.time, &why)) {
            lose(row.time);
            return; // said when writing stopped
        }
        writing_ = true;
        note_("writing again, to " + folder_.pathOf(fileName_).string() + "; " +
              (lost_.count > 0 ? lost_.text() + ", could not be written" : std::string("no row was lost")));
        lost_ = {};
    } else if (!file_.isOpen() || rotationDue(row)) {
        closeFile(now);
        if (!writing_ || !openFile(row.time, &why)) {
            if (writing_)
                stopWriting(why, now);
            lose(row.time);
            return;
        }
        note_("writing " + folder_.pathOf(fileName_).string());
    }
    pending_ += row.text;
    pendingRows_.add(row.time);
    if (!oldestUnsynced_)
        oldestUnsynced_ = row.queuedAt;
    if (pending_.size() >= kWriteChunk)
        flush(now);
}

void LogWriter::lose(Clock::time_point t)
{
    lost_.add(t);
    ++lostTotal_;
}

int64_t LogWriter::periodOf(Clock::time_point t) const
{
    switch (settings_.rotation.kind) {
    case LogRotation::Kind::Hourly: return floor<hours>(t.time_since_epoch()).count();
    case LogRotation::Kind::Daily: return floor<days>(t.time_since_epoch()).count();
    case LogRotation::Kind::Size: break;
    }
    return 0;
}

bool LogWriter::rotationDue(const Row& row) const
{
    if (settings_.rotation.kind != LogRotation::Kind::Size)
        return periodOf(row.time) != filePeriod_;
    const bool hasRows = fileRows_ + pendingRows_.count > 0;
    const auto size = static_cast<uint64_t>(file_.size()) + pending_.size() + row.text.size();
    return hasRows && size > settings_.rotation.bytes;
}

bool LogWriter::openFile(Clock::time_point start, std::string* error)
{
    auto created = folder_.create(start, error);
    if (!created)
        return false;
    RowFile file(std::move(created->fd));
    std::string why;
    if (!file.append(header_, &why)) {
        *error = "cannot write " + folder_.pathOf(created->name).string() + ": " + why;
        file.close(&why);
        folder_.remove(created->name); // it holds nothing
        return false;
    }
    file_ = std::move(file);
    fileName_ = std::move(created->name);
    filePeriod_ = periodOf(start);
    fileRows_ = 0;
    dirty_ = true;
    return true;
}

bool LogWriter::syncDue(Clock::time_point now) const
{
    // The last turn before the oldest row not yet on the disk would have
    // waited settings_.sync (a row is written one turn after it came at most).
    return oldestUnsynced_ && (now < *oldestUnsynced_ || now - *oldestUnsynced_ + 2 * tick_ > settings_.sync);
}

bool LogWriter::flush(Clock::time_point now)
{
    if (pending_.empty())
        return true;
    std::string why;
    if (!file_.append(pending_, &why)) {
        stopWriting("cannot write " + folder_.pathOf(fileName_).string() + ": " + why, now);
        return false;
    }
    written_ += pendingRows_.count;
    fileRows_ += pendingRows_.count;
    pending_.clear();
    pendingRows_ = {};
    dirty_ = true;
    return true;
}

void LogWriter::syncFile(Clock::time_point now)
{
    std::string why;
    if (dirty_ && !file_.sync(&why)) {
        stopWriting("cannot sync " + folder_.pathOf(fileName_).string() + ": " + why, now);
        return;
    }
    dirty_ = false;
    oldestUnsynced_.reset();
}

void LogWriter::closeFile(Clock::time_point now)
{
    if (!file_.isOpen() || !flush(now))
        return;
    syncFile(now);
    if (file_.isOpen())
        releaseFile();
}

void LogWriter::releaseFile()
{
    std::string why;
    if (!file_.close(&why))
        note_("closing " + folder_.pathOf(fileName_).string() + " reported: " + why);
    if (settings_.compress)
        maintenance_->compress(fileName_);
    fileName_.clear();
    retentionDone_ = false; // a closed file may be the one that makes an old one go
}

void LogWriter::stopWriting(const std::string& reason, Clock::time_point now)
{
    lost_.add(pendingRows_);
    lostTotal_ += pendingRows_.count;
    pending_.clear();
    pendingRows_ = {};
    oldestUnsynced_.reset();
    if (file_.isOpen()) {
        std::string why;
        (void)file_.sync(&why); // what is whole in it, as far as the disk still takes it
        releaseFile();
    }
    if (writing_)
        note_(reason + "; writing stopped, acquisition goes on; a new file is tried every " +
              std::to_string(kRetryInterval.count()) + " s");
    writing_ = false;
    lastTry_ = now;
}

void LogWriter::dueMaintenance(Clock::time_point now)
{
    if (!settings_.keepDays)
        return;
    if (retentionDone_ && now >= lastRetention_ && now - lastRetention_ < kRetentionInterval)
        return;
    maintenance_->removeOlderThan(now - days(*settings_.keepDays), fileName_);
    lastRetention_ = now;
    retentionDone_ = true;
}

} // namespace plovex::record
