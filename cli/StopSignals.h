#pragma once
// Lets a command that runs until it is interrupted end cleanly: while an
// instance lives, SIGINT and SIGTERM only raise a flag that the command's
// main loop polls; the previous handlers come back when it goes.

#include <csignal>

namespace plovex::cli {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // True once SIGINT or SIGTERM arrived.
    static bool requested();

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

} // namespace plovex::cli
