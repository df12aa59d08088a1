#pragma once
// Ends the Qt event loop on SIGINT and SIGTERM, so that the application
// closes in order (its threads joined, a simulated board's link removed)
// instead of dying where it stands.

#include "platform/UniqueFd.h"

#include <QObject>

class QSocketNotifier;

namespace plovex {

class SignalQuit final : public QObject {
public:
    // Installs the handlers; made once, on the GUI thread, after the QApplication.
    SignalQuit();
    ~SignalQuit() override;

    SignalQuit(const SignalQuit&) = delete;
    SignalQuit& operator=(const SignalQuit&) = delete;

    // False when the handlers could not be installed (the reason was printed).
    bool installed() const { return notifier_ != nullptr; }

private:
    // A self-pipe: the handler writes a byte, the event loop reads it.
    platform::UniqueFd readEnd_;
    platform::UniqueFd writeEnd_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace plovex
