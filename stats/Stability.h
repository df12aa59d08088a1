#pragma once
// Whether the tilt has settled: "stable" while the spread (sample standard
// deviation) of each angle over the last N seconds is below a threshold.
// A gap (the link down, or no measurement for the gap time) makes it not
// stable until N seconds of measurements have come again since.
//
//   StabilityWatch watch(settings, 2s);
//   watch.add(m.time, m.xDegrees(), m.yDegrees());   // each measurement with the link up
//   watch.breakOff();                                // a measurement with the link down
//   if (watch.at(now).stable) ...
//
// The defaults. One count of the board is 0.0055 degrees. The simulated
// board held still (plovex-cli simulate --tilt) sends filtered values without
// noise and raw ones with a spread of 0.128 degrees (uniform, +-40 counts);
// through the board's own filter at its default settings (Q 10, R 300: a
// steady gain of 1/6, which passes 0.30 of white noise's spread) a board at
// rest shows about 0.039 degrees. 0.05 degrees lets such a board be stable
// while a tilt that still moves is not: the wandering simulated board never
// spreads less than 1.26 degrees over 2 s (measured over 40 s at the full
// rate). Two seconds hold about 290 measurements at the full rate, some 48
// times the filter's time constant, so the spread is steady from one moment
// to the next.

#include "stats/WindowStats.h"

#include <chrono>
#include <optional>
#include <string>

namespace plovex::stats {

struct StabilitySettings {
    static constexpr double kDefaultSeconds = 2.0;
    static constexpr double kDefaultSpread = 0.05; // degrees

    double seconds = kDefaultSeconds;      // N: the span the spread is taken over, > 0
    double spreadDegrees = kDefaultSpread; // the threshold, > 0

    // From stored texts: one that is absent, not a number or not above 0
    // gives its default.
    static StabilitySettings fromText(const std::optional<std::string>& seconds,
                                      const std::optional<std::string>& spreadDegrees);
    bool operator==(const StabilitySettings&) const = default;
};

struct StabilityReading {
    bool stable = false;
    double spreadX = 0.0, spreadY = 0.0; // degrees; NaN with fewer than one value
    // How long measurements have come without a gap, up to N seconds.
    std::chrono::duration<double> settled{0};
};

// "stable (spread X 0.0012°, Y 0.0008° over 2 s)", "not stable (spread X
// 1.2345°, ...)" or "not stable (0.8 s of 2 s since a gap)".
std::string describe(const StabilityReading& r, const StabilitySettings& s);

class StabilityWatch {
public:
    using Clock = WindowStats::Clock;

    // gap: a measurement that comes more than this after the one before
    // follows a gap, as does now in at() that far after the last one.
    StabilityWatch(StabilitySettings settings, std::chrono::duration<double> gap);

    // Starts afresh with other settings.
    void setSettings(StabilitySettings settings);
    const StabilitySettings& settings() const { return settings_; }

    // A measurement with the link up, at t; times are expected in order.
    void add(Clock::time_point t, double xDegrees, double yDegrees);
    // The link is down: what came before no longer counts.
    void breakOff();

    StabilityReading at(Clock::time_point now);

private:
    StabilitySettings settings_;
    std::chrono::duration<double> gap_;
    WindowStats x_, y_;
    std::optional<Clock::time_point> since_; // the first measurement after the last gap
    Clock::time_point last_;
};

} // namespace plovex::stats
