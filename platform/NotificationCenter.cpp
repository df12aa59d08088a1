#include "platform/NotificationCenter.h"

#include <algorithm>

namespace platform {

NotificationCenter::Token NotificationCenter::addObserver(std::string name, Handler handler)
{
    std::lock_guard lock(mutex_);
    entries_.push_back({next_, std::move(name), std::move(handler)});
    return next_++;
}

void NotificationCenter::removeObserver(Token token)
{
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::post(const Notification& n)
{
    std::vector<Handler> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_)
            if (e.name == n.name)
                targets.push_back(e.handler);
    }
    for (auto& h : targets)
        h(n);
}

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

} // namespace platform
