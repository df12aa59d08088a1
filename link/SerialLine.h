#pragma once
// An open serial line to the board, owned: the descriptor, set up raw at the
// line's speed for this program alone, with what it delivered that no
// exchange took yet. Letting it go ends the exclusive use, gives up the
// lock, closes the descriptor and forgets the buffered bytes, in one step:
// nothing of a closed line can be read by the next one.
//
// Two guards keep the line for this program alone: the advisory lock that
// serial programs share (flock on the device), which holds against root as
// well, and the terminal's exclusive flag (TIOCEXCL), which turns away the
// opens of programs that do not take the lock, except root's.

#include "link/ReceiveBuffer.h"
#include "platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace plovex {

// The step of opening a line that failed.
enum class LineOpenStep {
    Open,      // open() itself: no device, no permission, held exclusively
    Lock,      // another program holds the line's advisory lock
    Exclusive, // TIOCEXCL: not a terminal, for one
    Blocking,  // clearing O_NONBLOCK
    Settings,  // raw mode and speed: the driver refused them, or knows no such speed
};

struct LineOpenError {
    LineOpenStep step = LineOpenStep::Open;
    int error = 0; // the system's error number
};

class SerialLine {
public:
    // Opens path for reading and writing without waiting for the device
    // (O_NOCTTY: never our controlling terminal, or an unplug would hang us
    // up; O_CLOEXEC: children do not inherit it); takes the advisory lock
    // without waiting, then exclusive use; makes reads and writes block
    // again; sets raw 8N1 at baud with reads returning what is there, or
    // nothing after timeoutDeciseconds (VMIN 0, VTIME); asks the driver for
    // low latency. nullopt and *error when a step fails; nothing then stays
    // open, locked or marked exclusive by this call.
    static std::optional<SerialLine> open(const std::string& path, int32_t baud, int timeoutDeciseconds,
                                          LineOpenError* error);

    // TIOCNXCL, unlock, close; the buffered bytes go with the object.
    ~SerialLine();
    SerialLine(SerialLine&&) noexcept = default;
    SerialLine& operator=(SerialLine&&) = delete;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    int fd() const { return fd_.get(); }
    // What the line delivered that no exchange took yet.
    ReceiveBuffer& received() { return received_; }
    // One byte (10 bits) at the line's speed.
    std::chrono::nanoseconds byteTime() const { return byteTime_; }

private:
    SerialLine(platform::UniqueFd fd, std::chrono::nanoseconds byteTime);

    platform::UniqueFd fd_;
    ReceiveBuffer received_;
    std::chrono::nanoseconds byteTime_;
};

} // namespace plovex
