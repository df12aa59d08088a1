#include "record/LogMaintenance.h"

#include <exception>
#include <sys/resource.h>
#include <unistd.h>

namespace plovex::record {

namespace {

// Below the acquisition and the writer, which run at the process's own priority.
constexpr int kNiceness = 10;

} // namespace

LogMaintenance::LogMaintenance(LogFolder& folder, LogFolder::Note note)
    : folder_(folder), note_(std::move(note)), thread_([this](std::stop_token stop) { run(stop); })
{
}

LogMaintenance::~LogMaintenance()
{
    wait();
    thread_.request_stop();
    changed_.notify_all();
}

void LogMaintenance::compress(std::string name)
{
    std::lock_guard lock(mutex_);
    tasks_.emplace_back([this, name = std::move(name)] {
        compressNow(name);
    });
    changed_.notify_all();
}

void LogMaintenance::removeOlderThan(WallClock::time_point cutoff, std::string except)
{
    std::lock_guard lock(mutex_);
    tasks_.emplace_back([this, cutoff, except = std::move(except)] { folder_.removeOlderThan(cutoff, except, note_); });
    changed_.notify_all();
}

void LogMaintenance::wait()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return tasks_.empty() && !busy_; });
}

void LogMaintenance::compressNow(const std::string& name)
{
    std::string why;
    if (folder_.compress(name, &why))
        return;
    note_(why + "; tried again with the next file");
    failed_.push_back(name);
}

void LogMaintenance::run(std::stop_token stop)
{
    // Linux gives each thread a niceness of its own.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kNiceness);
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, stop, [this] { return !tasks_.empty(); });
        if (tasks_.empty())
            return; // stopped with nothing left to do
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        busy_ = true;
        lock.unlock();
        try {
            for (auto retry = std::exchange(failed_, {}); const auto& name : retry)
                compressNow(name);
            task();
        } catch (const std::exception& e) {
            note_(std::string("file maintenance failed: ") + e.what());
        }
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

} // namespace plovex::record
