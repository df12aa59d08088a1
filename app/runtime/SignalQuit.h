#pragma once
// Ends the Qt event loop on SIGINT and SIGTERM, so that the application
// closes in order (its threads joined, a simulated board's link removed)
// instead of dying where it stands.

#include "platform/UniqueFd.h"

#include <QObject>

#include <string>

class QSocketNotifier;

namespace plovex {

class SignalQuit final : public QObject {
public:
    // Installs the handlers; made once, on the GUI thread, after the QApplication.
    SignalQuit();
    ~SignalQuit() override;

    SignalQuit(const SignalQuit&) = delete;
    SignalQuit& operator=(const SignalQuit&) = delete;

    // False when the handlers could not be installed; error() says why.
    bool installed() const { return notifier_ != nullptr; }
    const std::string& error() const { return error_; }

private:
    // A self-pipe: the handler writes a byte, the event loop reads it.
    platform::UniqueFd readEnd_;
    platform::UniqueFd writeEnd_;
    QSocketNotifier* notifier_ = nullptr;
    std::string error_;
};

} // namespace plovex
