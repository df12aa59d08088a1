#include "tests/fault/FrameAudit.h"

#include "sim/Motion.h"

#include <sstream>

namespace faulttest {

namespace {

const char* const kValueKeys[9] = {"xGravityRaw", "xGravityKal", "xRaw", "xKal", "yGravityRaw",
                                   "yGravityKal", "yRaw",        "yKal", "temp"};

Values valuesOf(const plovex::sim::Measurement& m)
{
    return {m.xGravityRaw, m.xGravityKal, m.xRaw, m.xKal, m.yGravityRaw, m.yGravityKal, m.yRaw, m.yKal, m.temp};
}

} // namespace

std::vector<Values> boardFrames(std::uint64_t seed, std::size_t n)
{
    plovex::sim::Motion motion(seed);
    std::vector<Values> out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(valuesOf(motion.next()));
    return out;
}

std::array<std::uint8_t, 21> boardFrameBytes(std::uint64_t seed, std::size_t n)
{
    plovex::sim::Motion motion(seed);
    for (std::size_t i = 0; i < n; ++i)
        motion.next();
    return plovex::sim::Motion::encode(motion.next());
}

Values decodeFrame(const std::array<std::uint8_t, 21>& f)
{
    Values v{};
    for (std::size_t i = 0; i < 9; ++i)
        v[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(f[1 + 2 * i] << 8 | f[2 + 2 * i]));
    return v;
}

Values valuesOf(const platform::Record& r)
{
    Values v{};
    for (std::size_t i = 0; i < 9; ++i)
        v[i] = static_cast<std::int16_t>(r.intValue(kValueKeys[i]));
    return v;
}

std::vector<Values> deliveredFrames(const std::vector<linktest::Delivered>& delivered)
{
    std::vector<Values> out;
    for (const auto& d : delivered)
        if (d.name == "inclinoData" && d.record->intValue("commState") == 1)
            out.push_back(valuesOf(*d.record));
    return out;
}

FrameAudit auditFrames(const std::vector<Values>& delivered, std::uint64_t seed, std::size_t answered)
{
    const auto expected = boardFrames(seed, answered);
    FrameAudit a;
    std::size_t next = 0; // the board frame the next exact record should be
    for (const auto& v : delivered) {
        std::size_t k = next;
        while (k < expected.size() && expected[k] != v)
            ++k;
        if (k == expected.size()) {
            a.foreign.push_back(v);
            continue;
        }
        for (; next < k; ++next)
            a.lost.push_back(next);
        ++a.exact;
        next = k + 1;
    }
    a.unread = expected.size() - next;
    return a;
}

std::string packetCountGaps(const std::vector<linktest::Delivered>& delivered)
{
    std::ostringstream out;
    int expect = 0, shown = 0;
    for (std::size_t i = 0; i < delivered.size(); ++i) {
        if (delivered[i].name != "inclinoData")
            continue;
        const int got = delivered[i].record->intValue("packetCount");
        if (got != expect && shown++ < 5)
            out << "record " << i << ": packetCount " << got << ", expected " << expect << "; ";
        expect = got + 1;
    }
    return out.str();
}

std::string describe(const FrameAudit& a)
{
    std::ostringstream out;
    out << a.exact << " exact, lost {";
    for (std::size_t i = 0; i < a.lost.size() && i < 20; ++i)
        out << (i ? "," : "") << a.lost[i];
    out << (a.lost.size() > 20 ? ",...}" : "}") << ", " << a.foreign.size() << " foreign, " << a.unread << " unread";
    return out.str();
}

} // namespace faulttest
