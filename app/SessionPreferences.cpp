#include "app/SessionPreferences.h"

namespace plovex {

void SessionPreferences::overlay(const std::string& key, std::string value)
{
    session_[key] = std::move(value);
}

std::optional<std::string> SessionPreferences::objectForKey(const std::string& key) const
{
    if (auto it = session_.find(key); it != session_.end())
        return it->second;
    return stored_.objectForKey(key);
}

void SessionPreferences::setObject(const std::string& value, const std::string& key)
{
    session_.erase(key);
    stored_.setObject(value, key);
}

bool SessionPreferences::synchronize()
{
    return stored_.synchronize();
}

} // namespace plovex
