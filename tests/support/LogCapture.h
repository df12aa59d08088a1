#pragma once
// Takes the log's entries (the messages, without their prefix) for the
// scope, from whichever thread writes them.

#include "platform/Log.h"

#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

class LogCapture {
public:
    LogCapture()
    {
        platform::setLogSink([this](const std::string& e) {
            std::lock_guard lock(mutex_);
            entries_.push_back(e);
        });
    }
    ~LogCapture() { platform::setLogSink({}); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    std::vector<std::string> entries() const
    {
        std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

} // namespace testsupport
