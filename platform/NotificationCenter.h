#pragma once
// Observers registered by notification name, called synchronously, in
// registration order, on the thread that posts (the main thread).

#include "platform/Notification.h"

#include <functional>
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
    // An observer may add or remove observers; the change applies to the next post.
    void post(const Notification& n);

    static NotificationCenter& defaultCenter();

private:
    struct Entry {
        Token token;
        std::string name;
        Handler handler;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
    Token next_ = 1;
};

} // namespace platform
