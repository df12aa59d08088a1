#pragma once
// Reading and writing the open serial line. A read waits as the line's read
// timeout says (VTIME), but also tells silence apart from a device that is
// gone: a hang-up, EIO/ENXIO/ENODEV, or a read that returns nothing although
// the line said there was something to read (Linux does this once a pty's
// master or a USB adapter has gone away).

#include <cstddef>
#include <cstdint>
#include <stop_token>

namespace plovex {

enum class LineStatus {
    Data,    // at least one byte
    Timeout, // the read timeout passed without a byte
    Gone,    // the device has gone away
    Error,   // another read error
    Stopped, // the owner is being destroyed
};

struct LineRead {
    LineStatus status;
    std::size_t count; // bytes delivered (Data only)
};

// Waits up to timeoutDeciseconds for input, then reads up to max bytes with
// one read(). Returns as soon as at least one byte is there.
LineRead readLine(int fd, uint8_t* buf, std::size_t max, int timeoutDeciseconds, std::stop_token stop);

// One write() of the bytes, repeated only for EINTR and for the part the
// driver did not take. Returns false on an error.
bool writeLine(int fd, const uint8_t* data, std::size_t size);

// Whether an errno from read/write means the device is gone.
bool errnoMeansGone(int err);

} // namespace plovex
