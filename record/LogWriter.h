#pragma once
// Writes a logger's rows into its files from a thread of its own, so that
// neither a slow disk nor a full one ever holds up the thread that receives
// the records.
//
//   LogWriter w(folder, header, settings, note);
//   w.push(t, row);       // a row (with its newline) standing for time t; never waits
//   w.finish();           // writes what is queued, syncs, closes, compresses
//
// Rows wait in a bounded queue and go to the file every second; a row is
// synced (fsync) before it has waited settings.sync since it was pushed, and
// when its file is closed.
// A file begins with the header and takes rows until the row's time falls in
// another UTC hour or day, or until the next row would take it past the size
// given: then it is closed (compressed, with settings.compress) and the next
// one begins, named after the time of its first row.
//
// When a write fails (a full disk, a file size limit, an I/O error), the
// rows not written are cut off, the file is closed and writing stops: said
// once through note. Rows that come meanwhile are counted and dropped, and
// every kRetryInterval a new file is tried; once one takes rows, note says
// so and names the time the lost rows stood for. Rows dropped because the
// queue overflowed are reported the same way.
//
// Time (for the sync, the retry and the age of old files) is read from now
// and the thread waits through sleeper, so that tests can drive both.

#include "platform/Sleeper.h"
#include "record/LogFolder.h"
#include "record/RowFile.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace plovex::record {

class LogMaintenance;

struct LogRotation {
    enum class Kind { Hourly, Daily, Size };
    Kind kind = Kind::Daily;
    uint64_t bytes = 0; // Size: the most a file may hold (one row more when a single row is larger)
};

struct LogWriterSettings {
    LogRotation rotation;
    std::chrono::milliseconds sync{5000};
    bool compress = false;
    std::optional<int> keepDays; // remove files last written longer ago than this
};

struct LogWriterStatus {
    uint64_t rowsWritten = 0;
    uint64_t rowsLost = 0; // not written: a write failed, or the queue overflowed
    std::string file;      // the file being written; empty while writing stands still
};

class LogWriter {
public:
    using Clock = WallClock;
    static constexpr std::size_t kQueueLimit = 16384; // nearly two minutes at the full rate
    static constexpr std::chrono::seconds kRetryInterval{10};
    static constexpr std::chrono::seconds kWriteInterval{1};
    static constexpr std::chrono::hours kRetentionInterval{1};

    // With compress, files an earlier run left uncompressed are compressed
    // too. sleeper and now default to real time.
    LogWriter(LogFolder& folder, std::string header, LogWriterSettings settings, LogFolder::Note note,
              std::shared_ptr<platform::Sleeper> sleeper = nullptr, std::function<Clock::time_point()> now = {});
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Queues a row standing for time t; never waits. Rows are expected in
    // the order of their times.
    void push(Clock::time_point t, std::string row);
    // Writes what is queued, syncs and closes the file, finishes compressing
    // and removing, and ends the thread. The status at the end.
    LogWriterStatus finish();
    LogWriterStatus status() const;

private:
    struct Row {
        Clock::time_point time;     // what it stands for
        Clock::time_point queuedAt; // when it was pushed
        std::string text;
    };
    // Rows that did not reach a file: how many, and the times of the first and last.
    struct Lost {
        uint64_t count = 0;
        Clock::time_point first, last;
        void add(Clock::time_point t, uint64_t n = 1);
        void add(const Lost& other);
        std::string text() const; // "N rows, standing for T1 to T2"; count > 0
    };

    void run(std::stop_token stop);
    void cycle(bool last);
    void place(Row& row, Clock::time_point now);
    bool rotationDue(const Row& row) const;
    int64_t periodOf(Clock::time_point t) const;
    bool openFile(Clock::time_point start, std::string* error);
    bool syncDue(Clock::time_point now) const;
    bool flush(Clock::time_point now);
    void syncFile(Clock::time_point now);
    void closeFile(Clock::time_point now);
    void releaseFile();
    void stopWriting(const std::string& reason, Clock::time_point now);
    void lose(Clock::time_point t);
    void dueMaintenance(Clock::time_point now);

    LogFolder& folder_;
    const std::string header_;
    const LogWriterSettings settings_;
    const LogFolder::Note note_;
    const std::shared_ptr<platform::Sleeper> sleeper_;
    const std::function<Clock::time_point()> now_;
    const Clock::duration tick_; // between two turns of the thread
    std::unique_ptr<LogMaintenance> maintenance_;

    // The writer thread's own.
    RowFile file_;
    std::string fileName_;
    int64_t filePeriod_ = 0;
    uint64_t fileRows_ = 0;
    std::string pending_; // rows for the file, not written yet
    Lost pendingRows_;
    bool dirty_ = false; // written since the last sync
    std::optional<Clock::time_point> oldestUnsynced_; // when the oldest row not yet synced was pushed
    Clock::time_point lastRetention_;
    bool retentionDone_ = false;
    bool writing_ = true; // false after a failed write, until a new file takes rows
    Clock::time_point lastTry_;
    Lost lost_; // since writing stopped
    uint64_t written_ = 0, lostTotal_ = 0;
    std::vector<Row> batch_;

    mutable std::mutex mutex_;
    std::vector<Row> queue_;
    Lost queueOverflow_;
    LogWriterStatus status_;
    bool finished_ = false;
    std::jthread thread_; // last: started once the rest is set
};

} // namespace plovex::record
