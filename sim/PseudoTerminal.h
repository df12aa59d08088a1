#pragma once
// The board's end of the line: a pseudo-terminal master. The line is put in
// raw mode once, when it is made, before any host can open the slave; after
// that the master's settings are only read (on Linux a tcsetattr on the
// master changes the settings the host gave its side).

#include "platform/UniqueFd.h"

#include <memory>
#include <string>

namespace plovex::sim {

class PseudoTerminal {
public:
    // A new master (non-blocking, close-on-exec, not a controlling terminal)
    // with its slave unlocked and raw. nullptr and *error on failure.
    static std::unique_ptr<PseudoTerminal> open(std::string* error);
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int master() const { return master_.get(); }
    const std::string& slavePath() const { return slavePath_; }

    // The line speed the host set on its side, in bits per second (0 when unknown).
    int hostBaud() const;
    // Discards the bytes sent to the host that it has not read, as a serial
    // port loses what nobody read when it is closed. For use when no host has
    // the line open: it opens the slave for a moment and flushes its input.
    void discardUnread() const;
    // Opens and closes the slave once: from then on the master reports a
    // hang-up until a host opens the slave (a slave never opened shows none).
    bool hangUpUntilOpened(std::string* error) const;

private:
    PseudoTerminal(platform::UniqueFd master, std::string slavePath)
        : master_(std::move(master)), slavePath_(std::move(slavePath))
    {
    }
    platform::UniqueFd master_;
    std::string slavePath_;
};

// Bits per second for a termios speed value (0 when unknown or hang-up).
int baudFromSpeed(unsigned long speed);

} // namespace plovex::sim
