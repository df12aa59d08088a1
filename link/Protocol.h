#pragma once
// The byte layouts of the board's serial protocol: the frames the host sends,
// the measurement frame it receives, and the diagnostic exchange. Every 16-bit
// quantity travels high byte first; measurement and EEPROM values are signed.

#include <array>
#include <cstddef>
#include <cstdint>

namespace plovex::wire {

inline constexpr uint8_t kPollByte = 0xEE;
inline constexpr uint8_t kMeasurementHeader = 0xEE;
inline constexpr std::size_t kMeasurementFrameSize = 21;
inline constexpr std::size_t kMeasurementValueCount = 9;
inline constexpr std::size_t kProgramBlockSize = 70;
inline constexpr std::size_t kProgramBlockPayload = 64;
// Past this many discarded bytes without a header a poll is given up, so a
// line full of noise cannot keep the port lock.
inline constexpr std::size_t kHeaderHuntLimit = 256;

// Two's-complement signed value of a high and a low byte.
inline constexpr int16_t decode16(uint8_t hi, uint8_t lo)
{
    return static_cast<int16_t>(static_cast<uint16_t>((hi << 8) | lo));
}

// 0x08, address (low 8 bits).
std::array<uint8_t, 2> eepromReadRequest(int address);
// 0x09 for addresses <= 15, 0x99 for >= 16; 0x71; address (low 8 bits); value hi, lo; 0xAA.
std::array<uint8_t, 6> eepromWriteFrame(int address, int16_t value);
// 0x9B, 0xA5.
std::array<uint8_t, 2> rebootFrame();

using ProgramBlockFrame = std::array<uint8_t, kProgramBlockSize>;
// 0x9A 0x71, block address hi lo, `count` image bytes (at most 64) then zero
// fill, checksum hi lo over offsets 0..67.
ProgramBlockFrame programBlockFrame(uint16_t blockAddress, const uint8_t* image, std::size_t count);
// Sum of the 68 bytes at offsets 0..67 as unsigned values, modulo 65536.
uint16_t programBlockChecksum(const ProgramBlockFrame& frame);

// The nine values of a measurement frame, in frame order.
using MeasurementValues = std::array<int16_t, kMeasurementValueCount>;

// Receives a measurement frame one byte at a time: hunts for the 0xEE
// header, takes the next 18 bytes as data whatever their values, then
// discards the two trailer bytes.
class MeasurementReceiver {
public:
    // Feeds one received byte; true once the frame is complete.
    bool feed(uint8_t byte);
    // 0: hunting for the header; 1..18: data bytes so far + 1; 19, 20: trailer; 21: complete.
    int state() const { return state_; }
    bool complete() const { return state_ == 21; }
    // Bytes passed over while hunting for the header.
    std::size_t discarded() const { return discarded_; }
    // The decoded values; meaningful once complete.
    MeasurementValues values() const;
    void restart();

private:
    int state_ = 0;
    std::size_t discarded_ = 0;
    std::array<uint8_t, 18> data_{};
};

} // namespace plovex::wire
