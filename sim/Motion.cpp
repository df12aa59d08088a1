#include "sim/Motion.h"

#include <algorithm>
#include <cmath>

namespace plovex::sim {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kLimitCounts = kCountsPer90Degrees * 60 / 90; // 60 degrees

std::int16_t clampCounts(long v, long limit)
{
    return static_cast<std::int16_t>(std::clamp(v, -limit, limit));
}

} // namespace

Motion::Motion(std::uint64_t seed) : noise_(streamSeed(seed, 1))
{
    Random shape(streamSeed(seed, 2));
    auto wave = [&](double ampLo, double ampHi, double perLo, double perHi) {
        return Wave{ampLo + (ampHi - ampLo) * shape.unit(), perLo + (perHi - perLo) * shape.unit(), kTwoPi * shape.unit()};
    };
    x_ = Axis{wave(25, 40, 3000, 6000), wave(5, 12, 700, 1500)};
    y_ = Axis{wave(25, 40, 3000, 6000), wave(5, 12, 700, 1500)};
    tempPeriod_ = 15000 + 10000 * shape.unit();
    tempPhase_ = kTwoPi * shape.unit();
}

double Motion::angleAt(const Axis& a) const
{
    const double n = static_cast<double>(step_);
    return a.slow.amplitude * std::sin(kTwoPi * n / a.slow.period + a.slow.phase) +
           a.quick.amplitude * std::sin(kTwoPi * n / a.quick.period + a.quick.phase);
}

void Motion::setPlan(const MotionPlan& plan)
{
    plan_ = plan;
    sweepStart_.reset();
}

std::pair<double, double> Motion::plannedAt(std::chrono::steady_clock::time_point now)
{
    if (plan_.kind == MotionPlan::Kind::Hold)
        return {plan_.x, plan_.y};
    if (!sweepStart_)
        sweepStart_ = now;
    // To and fro: a triangle over two legs of plan_.seconds each.
    const double leg = plan_.seconds > 0 ? plan_.seconds : 1.0;
    const double t = std::fmod(std::chrono::duration<double>(now - *sweepStart_).count(), 2 * leg);
    const double part = t <= leg ? t / leg : 2.0 - t / leg;
    return {plan_.from + (plan_.to - plan_.from) * part, plan_.y};
}

Measurement Motion::next(std::chrono::steady_clock::time_point now)
{
    Measurement m;
    const bool planned = plan_.kind != MotionPlan::Kind::Wander;
    const auto [plannedX, plannedY] = planned ? plannedAt(now) : std::pair<double, double>{};
    // A planned angle may go to 90 degrees; the wandering body stays within 60.
    const long limit = planned ? kCountsPer90Degrees : kLimitCounts;
    auto axis = [&](const Axis& a, double plannedDeg, std::int16_t& gRaw, std::int16_t& gKal, std::int16_t& raw,
                    std::int16_t& kal) {
        const double deg = planned ? std::clamp(plannedDeg, -90.0, 90.0) : angleAt(a);
        const long counts = std::lround(deg * kCountsPer90Degrees / 90.0);
        kal = clampCounts(counts, limit);
        raw = clampCounts(counts + noise_.between(-40, 40), limit);
        const long g = std::lround(std::sin(deg * kTwoPi / 360.0) * kGravityCountsPerG);
        gKal = clampCounts(g, kGravityCountsPerG);
        gRaw = clampCounts(g + noise_.between(-30, 30), kGravityCountsPerG);
    };
    axis(x_, plannedX, m.xGravityRaw, m.xGravityKal, m.xRaw, m.xKal);
    axis(y_, plannedY, m.yGravityRaw, m.yGravityKal, m.yRaw, m.yKal);
    const double drift = 6.0 * std::sin(kTwoPi * static_cast<double>(step_) / tempPeriod_ + tempPhase_);
    m.temp = static_cast<std::int16_t>(235 + std::lround(drift) + noise_.between(-1, 1));
    m.trailer = static_cast<std::uint16_t>(step_);
    ++step_;
    return m;
}

std::array<std::uint8_t, 21> Motion::encode(const Measurement& m)
{
    std::array<std::uint8_t, 21> f{};
    f[0] = 0xEE;
    const std::int16_t values[9] = {m.xGravityRaw, m.xGravityKal, m.xRaw, m.xKal, m.yGravityRaw,
                                    m.yGravityKal, m.yRaw,        m.yKal, m.temp};
    for (int i = 0; i < 9; ++i) {
        const auto u = static_cast<std::uint16_t>(values[i]);
        f[1 + 2 * i] = static_cast<std::uint8_t>(u >> 8);
        f[2 + 2 * i] = static_cast<std::uint8_t>(u & 0xFF);
    }
    f[19] = static_cast<std::uint8_t>(m.trailer >> 8);
    f[20] = static_cast<std::uint8_t>(m.trailer & 0xFF);
    return f;
}

} // namespace plovex::sim
