#pragma once
// What a logger does to its closed files, on a thread of its own at a low
// priority, so that neither the rows being written nor the acquisition ever
// wait for it: compressing them (gzip) and removing old ones. Tasks run in
// the order given; a compression that failed (a full disk) is tried again
// before the next task.

#include "record/LogFolder.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plovex::record {

class LogMaintenance {
public:
    LogMaintenance(LogFolder& folder, LogFolder::Note note);
    // Does what is queued, then ends the thread.
    ~LogMaintenance();
    LogMaintenance(const LogMaintenance&) = delete;
    LogMaintenance& operator=(const LogMaintenance&) = delete;

    // Compresses the closed file name.
    void compress(std::string name);
    // Removes the logger's files last written before cutoff, except the one named except.
    void removeOlderThan(WallClock::time_point cutoff, std::string except);
    // Waits until every task queued so far is done.
    void wait();

private:
    void run(std::stop_token stop);
    void compressNow(const std::string& name);

    LogFolder& folder_;
    LogFolder::Note note_;
    std::vector<std::string> failed_; // compressions to try again (worker thread only)

    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<std::function<void()>> tasks_;
    bool busy_ = false;
    std::jthread thread_; // last: started once the rest is set
};

} // namespace plovex::record
