#pragma once
// Desktop notifications through org.freedesktop.Notifications on the session
// D-Bus. Without a session bus it says so once in the log and sends nothing;
// a send never waits for the desktop's answer.

#include <string>

namespace plovex {

class DesktopNotifier {
public:
    void notify(const std::string& summary, const std::string& body);

private:
    bool toldNoBus_ = false;
};

} // namespace plovex
