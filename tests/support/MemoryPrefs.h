#pragma once
// A preferences store in memory, for the controller and the window.

#include "platform/Preferences.h"

#include <functional>
#include <map>

namespace testsupport {

class MemoryPrefs final : public platform::Preferences {
public:
    std::optional<std::string> objectForKey(const std::string& key) const override
    {
        const auto it = values.find(key);
        return it == values.end() ? std::nullopt : std::optional(it->second);
    }
    void setObject(const std::string& value, const std::string& key) override
    {
        values[key] = value;
        ++writes;
    }
    bool synchronize() override
    {
        ++synchronizations;
        if (onSynchronize)
            onSynchronize();
        return true;
    }

    std::map<std::string, std::string> values;
    int writes = 0, synchronizations = 0;
    std::function<void()> onSynchronize; // sees the world as it is when the values are written out
};

} // namespace testsupport
