#pragma once
// Tallies the records the main thread delivers during a soak. Measurement
// frames are checked against the simulated board's own sequence (its n-th
// answered poll carries the n-th measurement of its motion, fixed by the
// seed): a delivered frame is exact when it is the next one of that sequence
// or a little further on (frames lost to faults are skipped), misread
// otherwise. Runs on the main thread only.

#include "platform/Notification.h"
#include "sim/Motion.h"

#include <array>
#include <cstdint>
#include <deque>

namespace soak {

class RecordTally {
public:
    explicit RecordTally(std::uint64_t seed) : motion_(seed) {}
    void observe(const platform::Notification& n);

    long delivered = 0;
    long exactFrames = 0;   // measurement records equal to the board's next frames
    long misreadFrames = 0; // measurement records that are no frame of the board (flipped, misframed)
    long skippedFrames = 0; // board frames passed over between exact ones
    long linkDown = 0;      // link-down records
    long reconnects = 0;    // measurements after link-down records
    long packetGaps = 0;    // places where packetCount did not go on by one
    long parameters = 0;

private:
    using Values = std::array<std::int16_t, 9>;
    const Values& expected(std::size_t i);

    plovex::sim::Motion motion_;
    std::deque<Values> ahead_; // the board's coming frames, the next one first
    long nextPacket_ = 0;
    bool seenDown_ = false;
};

} // namespace soak
