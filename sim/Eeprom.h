#pragma once
// The board's EEPROM: 256 signed 16-bit words. Words 0..15 are the filter
// parameters the host shows; they start at sensible values:
//   0 status bits 3, 1 Sx primary gain 1000, 2 Qx process variance 10,
//   3 Rx measurement variance 300, 4..6 the same for Y, 7 data selector 0,
//   8..15 the small values 1..8.
// Words 16..255 start at 100 * address - 12800 (negative below 128), so that
// every word is told apart from its neighbours.

#include <array>
#include <cstdint>

namespace plovex::sim {

class Eeprom {
public:
    static constexpr int kWords = 256;

    Eeprom()
    {
        static constexpr std::int16_t params[16] = {3, 1000, 10, 300, 1000, 10, 300, 0, 1, 2, 3, 4, 5, 6, 7, 8};
        for (int a = 0; a < kWords; ++a)
            words_[a] = a < 16 ? params[a] : static_cast<std::int16_t>(100 * a - 12800);
    }

    // Addresses wrap to their low 8 bits, as on the wire.
    std::int16_t get(int address) const { return words_[address & 0xFF]; }
    void set(int address, std::int16_t value) { words_[address & 0xFF] = value; }

private:
    std::array<std::int16_t, kWords> words_{};
};

} // namespace plovex::sim
