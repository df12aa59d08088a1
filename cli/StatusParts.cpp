// The parts of the monitor's status line on a terminal (StatusLine.h), in
// one list: what the last measurement says, whether the tilt is stable, and
// how the link is doing.

#include "cli/MonitorOutput.h"
#include "cli/StatusLine.h"
#include "record/LocalTime.h"

#include <cstdio>
#include <optional>

namespace plovex::cli {

namespace {

using Seconds = std::chrono::duration<double>;

// The time of the last measurement, X and Y in degrees and the temperature,
// as the text format prints them; dashes while the link is down.
class ReadingPart final : public StatusPart {
public:
    void measurement(const Measurement& m, SteadyTime) override { last_ = m; }

    std::string text(SteadyTime) const override
    {
        if (!last_)
            return "waiting for the first record";
        char values[96];
        if (last_->linkUp)
            std::snprintf(values, sizeof values, "X %8.2f°  Y %8.2f°  %7.1f°C", last_->xDegrees(), last_->yDegrees(),
                          last_->temperatureC());
        else
            std::snprintf(values, sizeof values, "X %8s°  Y %8s°  %7s°C", "—", "—", "—");
        return record::localTimeOfDay(last_->time) + "  " + values;
    }

private:
    std::optional<Measurement> last_;
};

// "Comms OK" with the measurements a second; "NO Comms" while the link is
// down or, with the line open, no measurement came for the silence limit.
class LinkPart final : public StatusPart {
public:
    static constexpr std::chrono::seconds kSilenceLimit{2};

    void measurement(const Measurement& m, SteadyTime now) override
    {
        up_ = m.linkUp;
        seen_ = true;
        lastAt_ = now;
        if (!sampling_) {
            sampling_ = true;
            sampleFrom_ = now;
            counted_ = 0;
        }
        counted_ += m.linkUp ? 1 : 0;
        if (const double span = Seconds(now - sampleFrom_).count(); span >= 1.0) {
            rate_ = counted_ / span;
            sampleFrom_ = now;
            counted_ = 0;
        }
    }

    std::string text(SteadyTime now) const override
    {
        if (!seen_)
            return {};
        if (!up_)
            return "NO Comms";
        if (const auto quiet = now - lastAt_; quiet >= kSilenceLimit) {
            char text[64];
            std::snprintf(text, sizeof text, "NO Comms: nothing for %.0f s", Seconds(quiet).count());
            return text;
        }
        if (!rate_)
            return "Comms OK"; // the rate is known after a second
        char text[64];
        std::snprintf(text, sizeof text, "Comms OK  %5.1f/s", *rate_);
        return text;
    }

private:
    bool seen_ = false, up_ = false, sampling_ = false;
    SteadyTime lastAt_{}, sampleFrom_{};
    double counted_ = 0.0;
    std::optional<double> rate_;
};

// "stable" while the spread of X and of Y over the stability span is below
// the threshold (stats::StabilityWatch, as the window's light), else "not
// stable"; nothing before the first measurement. Between measurements the
// watch is asked as of now on the measurements' clock, so that a board that
// falls silent is not stable.
class StabilityPart final : public StatusPart {
public:
    explicit StabilityPart(const stats::StabilitySettings& settings) : watch_(settings, LinkPart::kSilenceLimit) {}

    void measurement(const Measurement& m, SteadyTime now) override
    {
        if (m.linkUp)
            watch_.add(m.time, m.xDegrees(), m.yDegrees());
        else
            watch_.breakOff();
        lastTime_ = m.time;
        lastAt_ = now;
    }

    std::string text(SteadyTime now) const override
    {
        if (!lastTime_)
            return {};
        const auto at = *lastTime_ + std::chrono::duration_cast<stats::StabilityWatch::Clock::duration>(now - lastAt_);
        return watch_.at(at).stable ? "stable" : "not stable";
    }

private:
    mutable stats::StabilityWatch watch_; // at() moves its window on
    std::optional<stats::StabilityWatch::Clock::time_point> lastTime_;
    SteadyTime lastAt_{};
};

using PartFactory = std::unique_ptr<StatusPart> (*)(const MonitorSetup&);

// In the order they stand on the line.
constexpr PartFactory kParts[] = {
    [](const MonitorSetup&) -> std::unique_ptr<StatusPart> { return std::make_unique<ReadingPart>(); },
    [](const MonitorSetup& s) -> std::unique_ptr<StatusPart> { return std::make_unique<StabilityPart>(s.stability); },
    [](const MonitorSetup&) -> std::unique_ptr<StatusPart> { return std::make_unique<LinkPart>(); },
};

} // namespace

StatusLine makeStatusLine(const MonitorSetup& setup)
{
    StatusLine line;
    for (const PartFactory make : kParts)
        if (auto part = make(setup))
            line.add(std::move(part));
    return line;
}

} // namespace plovex::cli
