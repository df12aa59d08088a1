#pragma once
// Writes a recording to its CSV file on a thread of its own, so that a slow
// or full disk never holds the thread that receives the records.
//
//   RecordingWriter w("/home/me/plovex-20261207-140322.csv", TiltUnit::Degrees);
//   w.push({measurement, elapsedSeconds}); // never waits for the disk
//   w.status();           // rows written, or why it stopped
//   w.stop();             // returns at once; the thread writes what is queued and closes
//
// Rows wait in a bounded queue and go to the file at least once a second
// (every kFlushInterval), each batch with one write. The file is created
// (or emptied) by the thread; the header comes first. When the file cannot
// be created, a write fails (a full disk) or the queue overflows because
// the disk fell that far behind, the recording stops with the reason in
// status().error; what was written before stays, and a row that went out
// only in part is cut off, so the file ends with a whole row.

#include "link/TiltUnits.h"
#include "platform/UniqueFd.h"
#include "record/MeasurementRow.h"
#include "record/RowFile.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace plovex::record {

struct RecordingStatus {
    std::string file;           // the path it writes to
    uint64_t rowsWritten = 0;   // rows whole in the file
    bool finished = false;      // the thread is done: stopped, or failed
    std::string error;          // why it stopped on its own; empty otherwise
};

class RecordingWriter {
public:
    static constexpr std::size_t kQueueLimit = 16384; // nearly two minutes at the full rate
    static constexpr std::chrono::milliseconds kFlushInterval{250};

    RecordingWriter(std::string path, board::TiltUnit unit);
    // Writes to fd, already open, and names it file in status and messages.
    RecordingWriter(platform::UniqueFd fd, std::string file, board::TiltUnit unit);
    // Stops, waits for the thread to write what is queued, and closes.
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Queues a row. False, with nothing queued, once the recording stopped.
    bool push(const MeasurementRow& row);
    // Asks the thread to write what is queued and close the file; returns at once.
    void stop();
    RecordingStatus status() const;

private:
    void run();
    void fail(std::string reason);

    const std::vector<DerivedField> fields_; // the derived columns, in the recording's unit
    std::optional<std::string> path_; // opened by the thread when set
    RowFile file_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<MeasurementRow> queue_;
    bool stopRequested_ = false;
    bool accepting_ = true;
    RecordingStatus status_;
    std::jthread thread_; // last: started once the rest is set
};

} // namespace plovex::record
