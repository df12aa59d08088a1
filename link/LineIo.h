#pragma once
// Reading and writing the open serial line. A read waits as the line's read
// timeout says, but also tells silence apart from a device that is gone: a
// hang-up, EIO/ENXIO/ENODEV, or a read that returns nothing although the line
// said there was something to read (Linux does this once a pty's master or a
// USB adapter has gone away).

#include <chrono>
#include <cstddef>
#include <cstdint>

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

// How a read waits on an open line.
struct LineWait {
    int fd = -1;     // the open line
    int stopFd = -1; // readable once the owner is being destroyed (-1: none)
    std::chrono::milliseconds timeout{1000};  // the line's read timeout
    std::chrono::nanoseconds byteTime{0};     // one byte (10 bits) at the line's speed
    // The earliest time the reply being read can be complete: its request's
    // write plus the time its bytes take on the line. A read before then
    // waits until then, and takes the reply whole rather than piecemeal.
    // Past (the default): no such wait.
    std::chrono::steady_clock::time_point replyComplete{};
};

// Waits until the reply can be complete, then up to the rest of the timeout
// for input, and reads what is there, up to max bytes: as soon as it has one
// or more, or when the timeout has passed without a byte.
LineRead readLine(const LineWait& wait, uint8_t* buf, std::size_t max);

// Lets settle pass (a stop request or a hang-up ends it early), then reads
// what input is there, up to max bytes, without waiting for any. Returns the
// bytes read: 0 when there were none, or on an error (the next read reports it).
std::size_t readPending(const LineWait& wait, uint8_t* buf, std::size_t max, std::chrono::nanoseconds settle);

// One write() of the bytes, repeated only for EINTR and for the part the
// driver did not take. Returns false on an error.
bool writeLine(int fd, const uint8_t* data, std::size_t size);

// Whether an errno from read/write means the device is gone.
bool errnoMeansGone(int err);

} // namespace plovex
