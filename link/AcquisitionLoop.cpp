// The acquisition loop: keeps the line open, polls the board, sweeps the
// EEPROM parameters, and hands every result to the main thread.

#include "link/Protocol.h"
#include "link/Records.h"
#include "link/LineIo.h"
#include "link/commPort.h"

#include <limits>

namespace plovex {

namespace {

// The packet counter wraps to 0 rather than overflowing.
int32_t nextCount(int32_t n)
{
    return n == std::numeric_limits<int32_t>::max() ? 0 : n + 1;
}

int16_t nextSweepAddress(int16_t a)
{
    return a + 1 > 15 ? 0 : static_cast<int16_t>(a + 1);
}

} // namespace

void commPort::idleThread(std::stop_token stop)
{
    int32_t cycle = 0;       // 0..1001; a parameter read is due on multiples of 5
    int32_t packetCount = 0; // completed frames and link-down cycles
    int16_t sweepAddress = 0;

    if (!firstPause(stop))
        return;
    while (!stop.stop_requested()) {
        if (PortOpenOK.load(std::memory_order_acquire) == 0) {
            OpenPort(); // a line that opened is first used next cycle
            handOver(records::kInclinoData, records::linkDownRecord(packetCount));
            handOver(records::kInclinoParameter, records::parameterRecord(sweepAddress, cycle));
            sweepAddress = nextSweepAddress(sweepAddress);
            packetCount = nextCount(packetCount);
            if (!sleep(1.0, stop))
                return;
        } else {
            if (cycle % 5 == 0) {
                int16_t value = 0;
                if (readEEPROM(sweepAddress, &value) == 1) {
                    handOver(records::kInclinoParameter, records::parameterRecord(sweepAddress, value));
                    sweepAddress = nextSweepAddress(sweepAddress);
                }
            }
            pollOnce(packetCount);
            if (!sleep(0.001, stop))
                return;
        }
        cycle = cycle > 1000 ? 0 : cycle + 1;
    }
}

void commPort::pollOnce(int32_t& packetCount)
{
    std::lock_guard lock(serialPortLock);
    if (PortOpenOK.load(std::memory_order_acquire) == 0)
        return; // a reset came in between: nothing is sent

    const uint8_t poll = wire::kPollByte;
    sendLocked(&poll, 1); // a poll byte that did not go out shows as a timeout
    const auto replyComplete = replyCompleteLocked(wire::kMeasurementFrameSize);

    wire::MeasurementReceiver receiver;
    for (;;) {
        uint8_t byte = 0;
        if (readLocked(&byte, 1, replyComplete).status != LineStatus::Data) {
            counters_.abandoned();
            return; // frame abandoned, nothing handed over
        }
        if (receiver.feed(byte))
            break;
        if (receiver.state() == 0 && receiver.discarded() >= wire::kHeaderHuntLimit) {
            counters_.abandoned();
            return; // noise without a header: give the lock back
        }
    }
    // Stamped with the moment the reply was complete (a vDSO clock read), and
    // handed over before the lock is released; the hand-over never waits.
    handOver(records::kInclinoData, records::measurementRecord(receiver.values(), packetCount, records::RecordClock::now()));
    counters_.measurement(std::chrono::steady_clock::now());
    packetCount = nextCount(packetCount);
}

} // namespace plovex
