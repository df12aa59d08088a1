// The diagnostic loop: instead of polling, listens on the line, logs every
// byte, and answers the five diagnostic requests at once.

#include "link/Diagnostic.h"
#include "link/Records.h"
#include "link/LineIo.h"
#include "link/commPort.h"
#include "platform/Log.h"

#include <cerrno>
#include <cstdio>
#include <limits>

namespace plovex {

void commPort::idleThreadTest(std::stop_token stop)
{
    int32_t attempts = 0; // cycles spent with the line closed

    if (!sleep(1.0, stop))
        return;
    while (!stop.stop_requested()) {
        if (PortOpenOK.load(std::memory_order_acquire) == 0) {
            OpenPort();
            handOver(records::kInclinoData, records::diagnosticLinkDownRecord(attempts));
            attempts = attempts == std::numeric_limits<int32_t>::max() ? 0 : attempts + 1;
            if (!sleep(1.0, stop))
                return;
        } else {
            diagnosticBurst();
            if (!sleep(0.001, stop))
                return;
        }
    }
}

void commPort::diagnosticBurst()
{
    std::lock_guard lock(serialPortLock);
    if (PortOpenOK.load(std::memory_order_acquire) == 0)
        return;
    for (;;) {
        uint8_t byte = 0;
        if (readLocked(&byte, 1, {}).status != LineStatus::Data)
            return; // a quiet line ends the burst
        char text[8];
        std::snprintf(text, sizeof text, "%x, ", byte);
        platform::logEntry(text);
        if (!wire::isDiagnosticRequest(byte))
            continue;
        platform::logEntry(wire::diagnosticLogText(byte));

        // The further bytes of a request come with one read, however many it delivers.
        uint8_t further[6] = {};
        std::size_t got = 0;
        if (const std::size_t need = wire::diagnosticFurtherBytes(byte)) {
            const LineRead more = readUpToLocked(further, need);
            if (more.status == LineStatus::Data)
                got = more.count;
            else if (more.status == LineStatus::Gone)
                return;
        }
        const auto reply = wire::diagnosticReply(byte, further, got);
        if (!reply) {
            char why[96];
            std::snprintf(why, sizeof why, "request %02X incomplete: %zu of %zu further bytes arrived; not answered", byte,
                          got, wire::diagnosticFurtherBytes(byte));
            platform::logEntry(why);
            continue;
        }
        if (!sendLocked(reply->data(), reply->size()) && errnoMeansGone(errno)) {
            closeLocked();
            return;
        }
    }
}

} // namespace plovex
