#pragma once
// Pieces the desktop-application suites share: the one offscreen
// QApplication, running the Qt event loop until a condition holds, an
// in-memory preferences store, a scripted confirmation alert, and a helper
// that answers the next QMessageBox.

#include "controller/Outlets.h"
#include "platform/Preferences.h"

#include <QString>

class QWidget;

#include <chrono>
#include <functional>
#include <map>
#include <vector>

namespace apptest {

void ensureApplication();

// Runs the Qt event loop (as exec() does) until cond holds or the time is
// up; returns cond's last answer.
bool spinUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout);
void spinFor(std::chrono::milliseconds duration);

class MemoryPreferences final : public platform::Preferences {
public:
    std::optional<std::string> objectForKey(const std::string& key) const override;
    void setObject(const std::string& value, const std::string& key) override;
    bool synchronize() override;

    std::map<std::string, std::string> values;
    int writes = 0;
    int synchronizations = 0;
};

class ScriptedAlert final : public plovex::AlertOutlet {
public:
    explicit ScriptedAlert(int answer) : answer(answer) {}
    int runModal(const plovex::AlertText& alert) override;

    int answer;
    std::vector<plovex::AlertText> shown;
};

// Once a QMessageBox is the active modal widget, calls inspect (if given)
// with it and clicks its button titled buttonText (or, when that is empty,
// rejects it with Escape). Gives up after timeout.
void answerNextMessageBox(const QString& buttonText, std::function<void(QWidget*)> inspect = {},
                          std::chrono::milliseconds timeout = std::chrono::seconds(5));

} // namespace apptest
