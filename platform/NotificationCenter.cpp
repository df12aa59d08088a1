#include "platform/NotificationCenter.h"

#include "platform/Log.h"

#include <algorithm>
#include <exception>

namespace platform {

NotificationCenter::Token NotificationCenter::addObserver(std::string name, Handler handler)
{
    std::lock_guard lock(mutex_);
    auto next = std::make_shared<Entries>(*entries_);
    next->push_back({next_, std::move(name), std::move(handler)});
    entries_ = std::move(next);
    return next_++;
}

void NotificationCenter::removeObserver(Token token)
{
    std::lock_guard lock(mutex_);
    auto next = std::make_shared<Entries>(*entries_);
    std::erase_if(*next, [token](const Entry& e) { return e.token == token; });
    entries_ = std::move(next);
}

void NotificationCenter::post(const Notification& n)
{
    std::shared_ptr<const Entries> entries;
    {
        std::lock_guard lock(mutex_);
        entries = entries_;
    }
    for (const Entry& e : *entries) {
        if (e.name != n.name)
            continue;
        try {
            e.handler(n);
        } catch (const std::exception& ex) {
            logEntry("observer of " + n.name + " failed: " + ex.what());
        } catch (...) {
            logEntry("observer of " + n.name + " failed with an unknown exception");
        }
    }
}

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

} // namespace platform
