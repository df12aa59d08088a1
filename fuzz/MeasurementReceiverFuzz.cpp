// The measurement-frame receiver fed any byte stream. The first input byte
// says how: bits 0-1 how many more bytes a complete receiver is fed before it
// is restarted, bits 2-7 a period after which a frame in progress is
// abandoned (0: never). After every byte: it hunts until a 0xEE, is complete
// exactly 20 bytes after it and stays so, counts the bytes it passed over,
// and a complete frame's nine values are the 18 bytes after the header read
// high byte first as signed numbers.

#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzTargets.h"
#include "link/Protocol.h"

#include <cstdint>

namespace plovex::fuzz {

int fuzzMeasurementReceiver(const uint8_t* data, std::size_t size)
{
    ByteReader in(data, size);
    const uint8_t mode = in.byte();
    const std::size_t period = mode >> 2;
    const std::string s = in.rest();
    auto at = [&](std::size_t i) { return static_cast<uint8_t>(s[i]); };
    wire::MeasurementReceiver rx;
    const std::size_t none = SIZE_MAX;
    std::size_t start = 0, header = none; // where the current hunt began, and where it met its header
    for (std::size_t i = 0; i < s.size(); ++i) {
        const bool done = rx.feed(at(i));
        if (header == none && at(i) == wire::kMeasurementHeader)
            header = i;
        const int state = header != none ? static_cast<int>(i - header + 1) : 0;
        auto where = [&] { return "byte " + std::to_string(i) + " of " + hex(s); }; // only for a message
        PLOVEX_FUZZ_REQUIRE(rx.state() == state && done == (state == 21) && rx.complete() == done, where());
        PLOVEX_FUZZ_REQUIRE(rx.discarded() == (header != none ? header : i + 1) - start, where());
        for (std::size_t v = 0; done && v < 9; ++v)
            PLOVEX_FUZZ_REQUIRE(rx.values()[v] == static_cast<int16_t>(at(header + 1 + 2 * v) << 8 | at(header + 2 + 2 * v)),
                                where() + ": value " + std::to_string(v));
        const auto frame = rx.values();
        for (int more = mode & 3; done && more > 0 && i + 1 < s.size(); --more)
            PLOVEX_FUZZ_REQUIRE(rx.feed(at(++i)) && rx.state() == 21 && rx.values() == frame,
                                "byte " + std::to_string(i) + ": a complete frame changed");
        if (done || (period && (i + 1) % period == 0)) {
            rx.restart();
            start = i + 1;
            header = none;
        }
    }
    return 0;
}

} // namespace plovex::fuzz
