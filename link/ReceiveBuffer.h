#pragma once
// What the open line has delivered and no exchange has taken yet. A read
// from the line takes what is available, up to a frame or so, and the frame
// receiver, the EEPROM read and the diagnostic loop are served from here:
// a few system calls per frame instead of two per byte.
//
// The line's rules hold as before: nothing pending is discarded before an
// exchange, bytes that arrive after an exchange gave up are what the next one
// reads first, and the line's timeout counts from the moment the buffer ran
// dry. Closing the line forgets the buffer (clear()), as a closed device
// forgets its input.
//
// Used under the port lock only.

#include "link/LineIo.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace plovex {

class ReceiveBuffer {
public:
    static constexpr std::size_t kCapacity = 64;

    // Up to max bytes: those buffered, or, when none are, those the line
    // delivers next (readLine).
    LineRead take(const LineWait& wait, uint8_t* out, std::size_t max);
    // Up to need bytes, as one read of up to need bytes would give them: when
    // fewer are buffered, what arrives in the time the missing ones take on
    // the line is added first.
    LineRead takeUpTo(const LineWait& wait, uint8_t* out, std::size_t need);

    std::size_t buffered() const { return end_ - begin_; }
    void clear() { begin_ = end_ = 0; }

private:
    std::size_t serve(uint8_t* out, std::size_t max);

    std::array<uint8_t, kCapacity> bytes_{};
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

} // namespace plovex
