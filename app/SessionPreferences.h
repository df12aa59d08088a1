#pragma once
// Preferences as seen by the controller during one run: the stored
// preferences, with a port chosen for this run only (from the command line)
// laid over them for reading. Writing goes to the stored preferences, and a
// key once written reads from them again; nothing is written unless the
// controller stores a value (the user applies a port).

#include "platform/Preferences.h"

#include <map>

namespace plovex {

class SessionPreferences final : public platform::Preferences {
public:
    explicit SessionPreferences(platform::Preferences& stored) : stored_(stored) {}

    // Reads of key answer value until the key is written.
    void overlay(const std::string& key, std::string value);

    std::optional<std::string> objectForKey(const std::string& key) const override;
    void setObject(const std::string& value, const std::string& key) override;
    bool synchronize() override;

private:
    platform::Preferences& stored_;
    std::map<std::string, std::string> session_;
};

} // namespace plovex
