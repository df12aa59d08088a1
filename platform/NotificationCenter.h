#pragma once
// Observers registered by notification name, called synchronously, in
// registration order, on the thread that posts (the main thread).

#include "platform/Notification.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;
    using Token = unsigned long;

    // Handler is called for every notification posted under name.
    Token addObserver(std::string name, Handler handler);
    void removeObserver(Token token);

    // Calls the observers of n.name, one after the other, before returning.
    // An observer may add or remove observers; the change applies to the next
    // post. An observer that throws is reported in the log, and the others
    // still receive the notification: no observer misses a record because
    // another one failed.
    void post(const Notification& n);

    static NotificationCenter& defaultCenter();

private:
    struct Entry {
        Token token;
        std::string name;
        Handler handler;
    };
    using Entries = std::vector<Entry>;
    std::mutex mutex_;
    // Replaced, never changed, when observers come and go: a post walks the
    // list it took without copying it.
    std::shared_ptr<const Entries> entries_ = std::make_shared<const Entries>();
    Token next_ = 1;
};

} // namespace platform
