// The window's alarms without widgets: which readouts turn red, the banner,
// the history and its CSV, the notification's words, the dial's limits, and
// the rules kept in the preferences.

#include "controller/AlarmPreferences.h"
#include "controller/WindowAlarms.h"
#include "tests/support/AlarmMeasurements.h"
#include "tests/support/MemoryPrefs.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace plovex;
using namespace testsupport;

namespace {

std::vector<alarm::Rule> rules(const std::string& text)
{
    alarm::RuleError error;
    auto r = alarm::parseRules(text, {}, &error);
    EXPECT_TRUE(r) << error.message;
    return r.value_or(std::vector<alarm::Rule>{});
}

} // namespace

TEST(WindowAlarms, TheBannerAndTheRedReadoutsFollowWhatIsRaised)
{
    testsupport::ScopedEnv tz("TZ", "UTC");
    ::tzset();
    WindowAlarms alarms;
    alarms.setRules(rules("x_deg>2.5; tilt_deg>10; temp_c>60; silent>5; y_mrad<-200"));
    TiltReference level;
    // Each step: a measurement (x, y, temperature) at t, or a tick (x NaN);
    // then the banner and the red readouts (x, y, temperature).
    const struct {
        double t, x, y, temp;
        const char* banner;
        AlarmReadouts red;
    } steps[] = {
        {0, 0, 0, 20, "", {}},
        {1, 3, 0, 20, "x_deg>2.5 raised at 00:00:01.000, value 2.9995", {true, false, false}},
        {2, 3, 0, 61, "temp_c>60 raised at 00:00:02.000, value 61.0 (2 alarms raised)", {true, false, true}},
        // The total tilt turns both angles red (-174.5 mrad is not below -200).
        {3, 3, -10, 61, "tilt_deg>10 raised at 00:00:03.000, value 10.4212 (3 alarms raised)", {true, true, true}},
        {4, 0, 0, 61, "temp_c>60 raised at 00:00:02.000, value 61.0", {false, false, true}},
        // Silence names no readout.
        {10, NAN, 0, 0, "silent>5 raised at 00:00:10.000, value 6.000 (2 alarms raised)", {false, false, true}},
        {11, 0, 0, 20, "", {}},
    };
    for (const auto& s : steps) {
        if (std::isnan(s.x))
            alarms.tick(at(s.t));
        else
            alarms.add(tiltAt(s.t, s.x, s.y, s.temp), level);
        EXPECT_EQ(alarms.bannerText(), s.banner) << "at " << s.t;
        EXPECT_EQ(alarms.redReadouts(), s.red) << "at " << s.t;
    }
}

TEST(WindowAlarms, TheHistoryKeepsEachChangeWithItsTimeAndSavesAsCsv)
{
    testsupport::ScopedEnv zone("TZ", "XST+03:30"); // 3:30 west of UTC
    ::tzset();
    WindowAlarms alarms;
    alarms.setRules(rules("x_deg>2.5,hysteresis=0.5; temp_c<0"));
    TiltReference reference;
    std::vector<alarm::AlarmEvent> told;
    for (const auto& [t, x] : std::vector<std::pair<double, double>>{{0, 1}, {1, 2.6}, {2, 2.2}, {3, 1.9}})
        for (const auto& e : alarms.add(tiltAt(t, x, 0, 20), reference))
            told.push_back(e);
    // The zero is taken off first: 3.5° less a zero of 1.5° is 2°, no alarm.
    reference.setZero(Axis::X, 1.5f);
    for (const auto& e : alarms.add(tiltAt(4, 3.5, 0, 20), reference))
        told.push_back(e);
    EXPECT_EQ(alarmHistoryCsv(alarms.history()),
              "time,state,rule,value\n"
              "2025-12-17T20:30:01.000-03:30,raised,x_deg>2.5,2.5984\n"
              "2025-12-17T20:30:03.000-03:30,cleared,x_deg>2.5,1.9008\n");
    ASSERT_EQ(told.size(), 2u) << "a rule's first known state is no change to tell";
    const AlarmMessage raised = alarms.message(told[0]), cleared = alarms.message(told[1]);
    EXPECT_EQ(raised.summary, "Alarm raised: x_deg>2.5");
    EXPECT_EQ(raised.body, "value 2.5984 at 20:30:01.000");
    EXPECT_EQ(cleared.summary, "Alarm cleared: x_deg>2.5");
    EXPECT_EQ(cleared.body, "value 1.9008 at 20:30:03.000");
}

TEST(WindowAlarms, TheDialsMarkTheLimitsOfTheirAxisInDegreesWhateverTheUnit)
{
    WindowAlarms alarms;
    alarms.setRules(rules("x_deg>2.5; x_mrad<-17.453293; x_percent>1.745506; y_mm_per_m<-17.455065; tilt_deg>4; temp_c>60"));
    const std::vector<float> x = alarms.limitAngles(Axis::X), y = alarms.limitAngles(Axis::Y);
    ASSERT_EQ(x.size(), 3u);
    EXPECT_FLOAT_EQ(x[0], 2.5f);
    EXPECT_NEAR(x[1], -1.0f, 1e-5);
    EXPECT_NEAR(x[2], 1.0f, 1e-5);
    ASSERT_EQ(y.size(), 1u);
    EXPECT_NEAR(y[0], -1.0f, 1e-5);
}

TEST(AlarmPreferences, RulesAndDefaultsComeBackAsTheyWereStored)
{
    AlarmSetup setup;
    setup.defaults = {0.25, 3};
    // A rule with no hysteresis of its own stays without one, whatever the defaults.
    setup.rules = rules("x_deg>2.5; temp_c>60,hysteresis=1.5,hold=2; silent>10,hold=0.5");
    testsupport::MemoryPrefs prefs;
    saveAlarmSetup(prefs, setup);
    EXPECT_EQ(prefs.synchronizations, 1);
    std::string problem;
    EXPECT_EQ(loadAlarmSetup(prefs, &problem), setup);
    EXPECT_EQ(problem, "");

    prefs.values[kPrefAlarmRules] = "x_deg>2.5; y_deg>>1";
    const AlarmSetup bad = loadAlarmSetup(prefs, &problem);
    EXPECT_TRUE(bad.rules.empty());
    EXPECT_EQ(bad.defaults, setup.defaults);
    EXPECT_NE(problem.find("  x_deg>2.5; y_deg>>1\n                   ^\n"), std::string::npos) << problem;
}
