// The measurement-frame receiver fed an arbitrary byte stream. The first
// input byte chooses how the stream is driven: bits 0-1 how many further
// bytes are fed to a completed receiver before it is restarted, bits 2-7 a
// period after which a frame in progress is abandoned with restart() (0:
// never). The receiver is checked after every byte against where the stream's
// headers are: hunting until the first 0xEE, complete exactly 20 bytes after
// it, values read high byte first as signed numbers, and the discarded count
// equal to the bytes passed over before the header.

#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "link/Protocol.h"

#include <string>

namespace plovex::fuzz {

namespace {

using wire::MeasurementReceiver;

int signed16(uint8_t hi, uint8_t lo)
{
    const int raw = hi * 256 + lo;
    return raw >= 32768 ? raw - 65536 : raw;
}

std::string at(std::size_t i)
{
    return "at stream byte " + std::to_string(i);
}

// The frame whose header is at stream[header]: nine values from the 18 bytes after it.
void checkValues(const MeasurementReceiver& rx, const std::string& stream, std::size_t header)
{
    const auto values = rx.values();
    for (std::size_t v = 0; v < wire::kMeasurementValueCount; ++v) {
        const auto hi = static_cast<uint8_t>(stream[header + 1 + 2 * v]);
        const auto lo = static_cast<uint8_t>(stream[header + 2 + 2 * v]);
        PLOVEX_FUZZ_REQUIRE(values[v] == signed16(hi, lo),
                            "value " + std::to_string(v) + " of the frame at " + std::to_string(header) + " is " +
                                std::to_string(values[v]));
    }
}

} // namespace

int fuzzMeasurementReceiver(const uint8_t* data, std::size_t size)
{
    ByteReader in(data, size);
    const uint8_t mode = in.byte();
    const std::size_t feedWhenComplete = mode & 0x03;
    const std::size_t restartPeriod = mode >> 2;
    const std::string stream = in.rest();

    MeasurementReceiver rx;
    std::size_t huntStart = 0;          // stream index where the current hunt began
    bool found = false;                 // the current hunt has met its header,
    std::size_t header = 0;             // at this stream index
    std::size_t sinceRestart = 0;

    for (std::size_t i = 0; i < stream.size(); ++i) {
        const auto b = static_cast<uint8_t>(stream[i]);
        const bool done = rx.feed(b);
        ++sinceRestart;
        if (!found && b == wire::kMeasurementHeader) {
            found = true;
            header = i;
        }

        const int expected = found ? static_cast<int>(i - header + 1) : 0;
        PLOVEX_FUZZ_REQUIRE(rx.state() >= 0 && rx.state() <= 21, at(i) + ": state " + std::to_string(rx.state()));
        PLOVEX_FUZZ_REQUIRE(rx.state() == expected,
                            at(i) + ": state " + std::to_string(rx.state()) + ", expected " + std::to_string(expected));
        PLOVEX_FUZZ_REQUIRE(done == (expected == 21), at(i) + ": feed() said " + (done ? "complete" : "incomplete"));
        PLOVEX_FUZZ_REQUIRE(rx.complete() == done, at(i));
        const std::size_t passedOver = (found ? header : i + 1) - huntStart;
        PLOVEX_FUZZ_REQUIRE(rx.discarded() == passedOver,
                            at(i) + ": discarded " + std::to_string(rx.discarded()) + ", expected " +
                                std::to_string(passedOver));
        (void)rx.values(); // callable at any time, meaningful only once complete

        if (done) {
            checkValues(rx, stream, header);
            // A complete receiver stays complete and keeps its frame until restarted.
            for (std::size_t k = 0; k < feedWhenComplete && i + 1 < stream.size(); ++k) {
                ++i;
                PLOVEX_FUZZ_REQUIRE(rx.feed(static_cast<uint8_t>(stream[i])), at(i) + ": completion lost");
                PLOVEX_FUZZ_REQUIRE(rx.state() == 21, at(i) + ": state left 21");
                PLOVEX_FUZZ_REQUIRE(rx.discarded() == passedOver, at(i) + ": discarded changed after completion");
                checkValues(rx, stream, header);
            }
        }
        if (done || (restartPeriod != 0 && sinceRestart % restartPeriod == 0)) {
            rx.restart();
            PLOVEX_FUZZ_REQUIRE(rx.state() == 0 && rx.discarded() == 0 && !rx.complete(), at(i) + ": restart()");
            huntStart = i + 1;
            found = false;
            sinceRestart = 0;
        }
    }
    return 0;
}

} // namespace plovex::fuzz
