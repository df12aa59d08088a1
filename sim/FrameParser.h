#pragma once
// The board's reading of the host's bytes. Framing is by first byte and fixed
// length: once a byte has started a frame the board takes the frame's whole
// length before it looks at the content, so a frame is never re-read from the
// middle. The board checks every frame strictly; a frame it refuses is
// reported with accepted == false and the reason, and must not be acted on.
//
//   0xEE                                   poll, 1 byte
//   0x08 address                           EEPROM read, 2 bytes
//   0x09|0x99 0x71 address hi lo 0xAA      EEPROM write, 6 bytes
//   0x9B 0xA5                              reboot, 2 bytes
//   0x9A 0x71 addr hi lo, 64 bytes, sum    program block, 70 bytes
//
// The board has 256 EEPROM words. 0x09 writes words 0..15 and 0x99 words
// 16..255, so a 0x09 frame with an address byte above 15 is refused, and so
// is a 0x99 frame with an address byte below 16: that is how the host sends a
// write to word 256 or beyond (only the low 8 bits travel), and the board has
// no such word; taking it as word 0..15 would overwrite a filter parameter.
// A program block's address must be a multiple of 64 (the host cuts images
// into 64-byte blocks), and its checksum must be the sum of bytes 0..67 mod
// 65536; a wrong checksum is told apart from other faults (badChecksum).
// Bytes between frames that start none are reported as stray.

#include "sim/BoardRecord.h"

#include <cstdint>
#include <optional>

namespace plovex::sim {

struct ParsedFrame {
    ReceivedFrame frame;
    std::uint8_t address = 0;       // ReadRequest, Write: the address byte
    std::int16_t value = 0;         // Write
    std::uint16_t blockAddress = 0; // ProgramBlock
    bool badChecksum = false;       // ProgramBlock refused for its checksum alone
};

class FrameParser {
public:
    enum class Outcome { Pending, Stray, Frame };

    // Takes one byte. Frame: the byte completed a frame, see frame().
    // Stray: the byte started no frame and was skipped. Pending: otherwise.
    Outcome feed(std::uint8_t byte);
    const ParsedFrame& frame() const { return done_; }

    // Ends a frame in progress because the line paused: returns it as a Cut
    // frame (never accepted), or nothing when no frame was in progress.
    std::optional<ParsedFrame> cut();

    bool inFrame() const { return !bytes_.empty(); }
    void reset() { bytes_.clear(); }

    // Length of the frame that byte starts, or 0 when it starts none.
    static std::size_t frameLength(std::uint8_t firstByte);

private:
    void finish();

    std::vector<std::uint8_t> bytes_;
    std::size_t expected_ = 0;
    ParsedFrame done_;
};

} // namespace plovex::sim
