// The evaluator driven through the measurements' own times and ticks: holds,
// hysteresis, link-down placeholders, silence, the total tilt and the zero.

#include "alarm/Evaluator.h"
#include "alarm/RuleText.h"
#include "link/Records.h"
#include "tests/support/AlarmMeasurements.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace plovex;
using namespace plovex::alarm;
using namespace testsupport;

namespace {

// One step of a run: a measurement with the link up, a link-down record
// (its placeholders as the link makes them), or a tick.
struct Step {
    enum Kind { Up, Down, Tick } kind;
    double t, x = 0, y = 0, temp = 20;
};
Step up(double t, double x, double y = 0) { return {Step::Up, t, x, y}; }
Step temp(double t, double c) { return {Step::Up, t, 0, 0, c}; }
Step down(double t) { return {Step::Down, t}; }
Step tick(double t) { return {Step::Tick, t}; }

Measurement measurementAt(const Step& s)
{
    if (s.kind == Step::Down)
        return *measurementOf(*records::linkDownRecord(7, at(s.t)));
    return tiltAt(s.t, s.x, s.y, s.temp);
}

// The events of a run as "T:R" (raised), "T:C" (cleared) and "T:c" (first
// known state, no alarm), T the seconds from the start.
std::string run(Evaluator& e, const std::vector<Step>& steps, std::vector<AlarmEvent>* all = nullptr)
{
    std::string out;
    for (const auto& s : steps) {
        for (const auto& ev : s.kind == Step::Tick ? e.tick(at(s.t)) : e.add(measurementAt(s))) {
            const double t = std::chrono::duration<double>(ev.time - kT0).count();
            out += (out.empty() ? "" : " ") + ruleNumber(std::round(t * 1000) / 1000) + ":" +
                   (ev.state == AlarmState::Raised ? "R" : ev.initial ? "c" : "C");
            if (all)
                all->push_back(ev);
        }
    }
    return out;
}

Rule rule(const char* text)
{
    RuleError e;
    const auto r = parseRule(text, {}, &e);
    EXPECT_TRUE(r) << text << ": " << e.message;
    return r.value_or(Rule{});
}

} // namespace

TEST(Evaluator, RaisesAfterTheHoldClearsPastTheHysteresisAndNeverOnPlaceholders)
{
    const struct {
        const char* rule;
        std::vector<Step> steps;
        const char* events;
        Zero zero = {};
    } rows[] = {
        // The hold: beyond the limit for 2 s of the measurements' time, not 3 records.
        {"x_deg>2.5,hold=2", {up(0, 3), up(1, 3), up(1.9, 3), up(2, 3), up(3, 3)}, "2:R"},
        {"x_deg>2.5,hold=2", {up(0, 3), up(1, 2.4), up(2, 3), up(3.9, 3), up(4, 3)}, "1:c 4:R"},
        // Sparse measurements: the one that comes after the hold raises.
        {"x_deg>2.5,hold=2", {up(0, 3), up(10, 3)}, "10:R"},
        // A link-down record ends a hold: what the angle did is not known.
        {"x_deg>2.5,hold=2", {up(0, 3), down(1), up(1.5, 3), up(3, 3), up(3.5, 3)}, "3.5:R"},
        // Placeholders are no values (xKal 3 would be 0.016°), not even to clear.
        {"x_deg<1", {down(0), down(1), tick(2)}, ""},
        {"x_deg>2.5", {up(0, 3), down(1), up(2, 2.6)}, "0:R"},
        // Hysteresis: no chatter inside the band; cleared at limit - hysteresis exactly.
        {"temp_c>60,hysteresis=1.5",
         {temp(0, 60), temp(1, 60.1), temp(2, 59), temp(3, 60.5), temp(4, 58.6), temp(5, 58.5), temp(6, 59.9), temp(7, 60.1)},
         "0:c 1:R 5:C 7:R"},
        {"temp_c<0,hysteresis=0.5", {temp(0, -0.1), temp(1, 0.4), temp(2, 0.5)}, "0:R 2:C"},
        // The total tilt, from both axes: 4° and 3.5° make 5.3°.
        {"tilt_deg>5", {up(0, 4, 0), up(1, 0, -4.9), up(2, 4, -3.5)}, "0:c 2:R"},
        // The angle after the zero.
        {"x_deg>2.5", {up(0, 3), up(1, 3.6)}, "0:c 1:R", Zero{1.0f, std::nullopt}},
        {"tilt_deg>2.5", {up(0, 3, 1), up(1, 3.6, 1)}, "0:c 1:R", Zero{1.0f, 1.0f}},
        // Silence: from the first time given, link-down time included; a
        // measurement clears it.
        {"silent>10", {tick(0), up(1, 0), tick(10.9), tick(11), tick(11.5), down(12), down(13), up(14, 0)}, "1:c 11.5:R 14:C"},
        {"silent>5", {tick(0), down(3), tick(5.5)}, "5.5:R"},
        {"silent>10,hold=2", {tick(0), tick(11), tick(11.9), tick(12)}, "12:R"},
        // A gap no tick saw is raised when the next measurement shows it.
        {"silent>10", {up(0, 0), up(30, 0)}, "0:c 30:R 30:C"},
    };
    for (const auto& row : rows) {
        Evaluator e({rule(row.rule)});
        e.setZero(row.zero);
        EXPECT_EQ(run(e, row.steps), row.events) << row.rule;
    }
}

TEST(Evaluator, TellsTheValuesAndWhatIsActive)
{
    Evaluator e({rule("tilt_deg>5"), rule("silent>10"), rule("x_mrad<-50"), rule("temp_c>30")});
    std::vector<AlarmEvent> events;
    EXPECT_EQ(run(e, {tick(0), up(1, 4, -3.5), tick(11.25), up(12, -3, 4.9)}, &events),
              "1:R 1:c 1:c 1:c 11.25:R 12:C 12:R");
    const double a = counts(4) * 90.0 / 16383 * M_PI / 180, b = counts(-3.5) * 90.0 / 16383 * M_PI / 180;
    EXPECT_NEAR(events[0].value, std::acos(1 / std::sqrt(1 + std::tan(a) * std::tan(a) + std::tan(b) * std::tan(b))) * 180 / M_PI, 1e-5);
    EXPECT_EQ(events[4].value, 10.25) << "seconds without a measurement";
    EXPECT_NEAR(events[6].value, counts(-3) * 90.0 / 16383 * M_PI / 0.18, 1e-3) << "in the rule's unit";
    const auto active = e.active();
    ASSERT_EQ(active.size(), 2u);
    EXPECT_EQ(active[0].rule, 0u);
    EXPECT_EQ(active[0].since, at(1));
    EXPECT_EQ(active[1].rule, 2u);
    EXPECT_TRUE(e.raised(2) && !e.raised(1));
    e.setRules({rule("temp_c>30")});
    EXPECT_TRUE(e.active().empty()) << "new rules start unknown";
}

TEST(Evaluator, BeyondNinetyDegreesAGradeIsInfiniteAndTheTotalTiltNinety)
{
    // A grade has no value there; it is infinite on the angle's side.
    const Measurement steep = measurementAt(up(0, -95, 0));
    EXPECT_EQ(valueOf({Measure::XAngle, board::TiltUnit::MmPerM}, steep, {}), -INFINITY);
    EXPECT_EQ(valueOf({Measure::TotalTilt}, steep, {}), 90.0);
}
