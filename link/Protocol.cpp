#include "link/Protocol.h"

#include <algorithm>

namespace plovex::wire {

std::array<uint8_t, 2> eepromReadRequest(int address)
{
    return {0x08, static_cast<uint8_t>(address & 0xFF)};
}

std::array<uint8_t, 6> eepromWriteFrame(int address, int16_t value)
{
    const auto v = static_cast<uint16_t>(value);
    return {static_cast<uint8_t>(address <= 15 ? 0x09 : 0x99), 0x71, static_cast<uint8_t>(address & 0xFF),
            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v & 0xFF), 0xAA};
}

std::array<uint8_t, 2> rebootFrame()
{
    return {0x9B, 0xA5};
}

uint16_t programBlockChecksum(const ProgramBlockFrame& frame)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < 68; ++i)
        sum += frame[i];
    return static_cast<uint16_t>(sum & 0xFFFF);
}

ProgramBlockFrame programBlockFrame(uint16_t blockAddress, const uint8_t* image, std::size_t count)
{
    ProgramBlockFrame f{};
    f[0] = 0x9A;
    f[1] = 0x71;
    f[2] = static_cast<uint8_t>(blockAddress >> 8);
    f[3] = static_cast<uint8_t>(blockAddress & 0xFF);
    count = std::min(count, kProgramBlockPayload);
    if (image && count)
        std::copy_n(image, count, f.begin() + 4);
    const uint16_t sum = programBlockChecksum(f);
    f[68] = static_cast<uint8_t>(sum >> 8);
    f[69] = static_cast<uint8_t>(sum & 0xFF);
    return f;
}

bool MeasurementReceiver::feed(uint8_t byte)
{
    if (state_ == 0) {
        if (byte == kMeasurementHeader)
            state_ = 1;
        else
            ++discarded_;
    } else if (state_ <= 18) {
        data_[static_cast<std::size_t>(state_ - 1)] = byte;
        ++state_;
    } else if (state_ < 21) {
        ++state_; // trailer: received, never examined
    }
    return state_ == 21;
}

MeasurementValues MeasurementReceiver::values() const
{
    MeasurementValues v{};
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = decode16(data_[2 * i], data_[2 * i + 1]);
    return v;
}

void MeasurementReceiver::restart()
{
    state_ = 0;
    discarded_ = 0;
}

} // namespace plovex::wire
