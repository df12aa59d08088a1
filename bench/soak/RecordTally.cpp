#include "bench/soak/RecordTally.h"

#include "platform/Record.h"

namespace soak {

namespace {

// How far past the next expected frame an exact match is looked for.
constexpr std::size_t kLookAhead = 64;

const char* const kValueKeys[9] = {"xGravityRaw", "xGravityKal", "xRaw", "xKal", "yGravityRaw",
                                   "yGravityKal", "yRaw",        "yKal", "temp"};

} // namespace

const RecordTally::Values& RecordTally::expected(std::size_t i)
{
    while (ahead_.size() <= i) {
        const auto m = motion_.next();
        ahead_.push_back({m.xGravityRaw, m.xGravityKal, m.xRaw, m.xKal, m.yGravityRaw, m.yGravityKal, m.yRaw, m.yKal,
                          m.temp});
    }
    return ahead_[i];
}

void RecordTally::observe(const platform::Notification& n)
{
    ++delivered;
    if (n.name == "inclinoParameter") {
        ++parameters;
        return;
    }
    const auto& r = *n.object;
    if (r.intValue("packetCount") != nextPacket_)
        ++packetGaps;
    nextPacket_ = static_cast<long>(r.intValue("packetCount")) + 1;
    if (r.intValue("commState") == 0) {
        ++linkDown;
        seenDown_ = true;
        return;
    }
    if (seenDown_) {
        ++reconnects;
        seenDown_ = false;
    }
    Values v{};
    for (std::size_t i = 0; i < 9; ++i)
        v[i] = static_cast<std::int16_t>(r.intValue(kValueKeys[i]));
    for (std::size_t i = 0; i < kLookAhead; ++i) {
        if (expected(i) == v) {
            skippedFrames += static_cast<long>(i);
            ahead_.erase(ahead_.begin(), ahead_.begin() + static_cast<std::ptrdiff_t>(i + 1));
            ++exactFrames;
            return;
        }
    }
    ++misreadFrames;
}

} // namespace soak
