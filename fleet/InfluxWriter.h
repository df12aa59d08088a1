#pragma once
// Writes line protocol to a time-series database over HTTP, from a thread
// of its own, so that the monitor never waits for the database.
//
// write() puts a line at the end of a buffer and returns. The thread sends
// what waits in batches: once batchInterval has passed since the last batch
// (once a second by default), or at once when batchLines (5,000) wait; each
// batch one POST, its body gzip-compressed. A batch leaves the buffer when
// the database has taken it.
//
// When the database cannot be reached or answers that it cannot take the
// lines now (5xx, 408, 429), the batch goes back to the front of the buffer
// and the thread tries again after 1 s, then 2, 4, ... up to 30 s (or after
// the server's Retry-After), saying so; the buffer keeps the lines of the
// last buffer.age within buffer.bytes, drops the oldest beyond that and says
// which. When the database takes lines again that is said too. An answer
// that refuses the writer itself (a bad token, no such database) ends the
// writing: onFatal is called and finish() returns the reason. A partial
// write (some lines refused for good) is said and not sent again.
//
// The pauses, the batch interval's and the back-off's, go through the
// sleeper, so that tests can step them.

#include "fleet/HttpPost.h"
#include "fleet/SendBuffer.h"
#include "platform/Sleeper.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace plovex::fleet {

struct InfluxWriterSettings {
    std::size_t batchLines = 5000;
    std::chrono::milliseconds batchInterval{1000};
    BufferLimits buffer;
    bool gzip = true; // compress each body
};

// What the writer has done so far, for the benchmarks.
struct InfluxWriterCounts {
    uint64_t lines = 0;     // lines the database took
    uint64_t posts = 0;     // requests answered
    uint64_t bodyBytes = 0; // the lines before compression
    uint64_t sentBytes = 0; // the requests as sent (header and body)
};

class InfluxWriter {
public:
    // A line for the user, without the program's name; called on the writer's thread.
    using Notify = std::function<void(const std::string&)>;

    // Starts the thread. name says which database in messages ("host:port").
    InfluxWriter(std::string name, InfluxWriterSettings settings, std::unique_ptr<HttpPost> post,
                 std::shared_ptr<platform::Sleeper> sleeper, Notify notify, std::function<void()> onFatal);
    // finish() with no time to send what is left, unless it was called.
    ~InfluxWriter();
    InfluxWriter(const InfluxWriter&) = delete;
    InfluxWriter& operator=(const InfluxWriter&) = delete;

    // Queues one line (with its newline) of a record of the given time, and
    // returns; never waits for the database.
    void write(std::string line, platform::RecordTime recordTime);

    // Sends what is waiting, for at most drain, says how many lines were
    // left unsent and ends the thread. Returns why the writing ended for good
    // before, or "" when it did not.
    std::string finish(std::chrono::milliseconds drain);

    InfluxWriterCounts counts() const;

private:
    using Clock = SendBuffer::Clock;
    enum class Step { Again, Stop };

    void threadMain() noexcept;
    void run();
    Step sendOneBatch();
    void backOff(std::chrono::seconds pause);
    void reportDrops(bool now);
    void endFatally(const std::string& reason);

    const std::string name_;
    const InfluxWriterSettings settings_;
    const std::unique_ptr<HttpPost> post_;
    const std::shared_ptr<platform::Sleeper> sleeper_;
    const Notify notify_;
    const std::function<void()> onFatal_;

    // Shared with the writer's thread.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    SendBuffer buffer_;
    std::stop_source gathering_; // ends the batch interval's pause early (a full batch, finish)
    std::stop_source finishing_; // ends any pause early
    Clock::time_point drainUntil_;
    std::string fatal_;
    InfluxWriterCounts counts_;

    // The writer's thread alone.
    std::chrono::seconds backOff_{1};
    bool troubled_ = false; // a failure was said and no success since
    Clock::time_point troubleSince_;
    Clock::time_point lastDropReport_;

    std::thread thread_;
};

} // namespace plovex::fleet
