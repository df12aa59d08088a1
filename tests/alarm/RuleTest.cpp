// Alarm rules as text: what --alarm takes and the preferences keep, and
// where a malformed rule is pointed at.

#include "alarm/RuleText.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace plovex::alarm;

TEST(RuleText, ReadsRulesWithTheirOptionsAndDefaultsAndWritesThemBack)
{
    const RuleDefaults defaults{0.1, 2};
    const struct {
        const char* text;
        const char* written; // text(): options that are not 0
        const char* name;
        Direction direction;
        double limit, hysteresis, hold;
    } rows[] = {
        {"x_deg>2.5", "x_deg>2.5,hysteresis=0.1,hold=2", "x_deg_gt_2.5", Direction::Above, 2.5, 0.1, 2},
        {" y_mm_per_m < -3 , hold = 0.5 ", "y_mm_per_m<-3,hysteresis=0.1,hold=0.5", "y_mm_per_m_lt_-3", Direction::Below, -3, 0.1, 0.5},
        {"tilt_percent>.5,hysteresis=0,hold=0", "tilt_percent>0.5", "tilt_percent_gt_0.5", Direction::Above, 0.5, 0, 0},
        {"temp_c>+60,hold=10", "temp_c>60,hysteresis=0.1,hold=10", "temp_c_gt_60", Direction::Above, 60, 0.1, 10},
        {"silent>10,hysteresis=9.5", "silent>10,hysteresis=9.5,hold=2", "silent_gt_10", Direction::Above, 10, 9.5, 2},
        {"x_mrad<-0", "x_mrad<0,hysteresis=0.1,hold=2", "x_mrad_lt_0", Direction::Below, 0, 0.1, 2},
    };
    std::vector<Rule> all;
    for (const auto& row : rows) {
        RuleError e;
        const auto rule = parseRule(row.text, defaults, &e);
        ASSERT_TRUE(rule) << row.text << ": " << e.message;
        EXPECT_EQ(rule->text(), row.written);
        EXPECT_EQ(rule->name(), row.name);
        EXPECT_EQ(rule->direction, row.direction) << row.text;
        EXPECT_EQ(rule->limit, row.limit) << row.text;
        EXPECT_EQ(rule->hysteresis, row.hysteresis) << row.text;
        EXPECT_EQ(rule->hold, row.hold) << row.text;
        EXPECT_EQ(parseRule(rule->text(), {}, &e), rule) << "read back without defaults: " << rule->text();
        all.push_back(*rule);
    }
    // A set, as the preferences keep it, reads back as the same rules.
    RuleError e;
    EXPECT_EQ(parseRules(rulesText(all), {}, &e), all) << rulesText(all) << ": " << e.message;
    EXPECT_EQ(parseRules(" ", {}, &e), std::vector<Rule>{});
}

TEST(RuleText, PointsAtWhatIsWrong)
{
    // In a set (the text holds a ';'), the column counts from the start of the whole text.
    const struct {
        const char* text;
        std::size_t column;
        const char* says;
    } rows[] = {
        {"", 0, "no rule"},
        {"x_dg>2.5", 0, "unknown quantity 'x_dg': x_UNIT, y_UNIT, tilt_UNIT"},
        {"2.5<x_deg", 0, "begins with a quantity"},
        {"x_deg=2.5", 5, "after x_deg comes > or <"},
        {"x_deg>", 6, "here comes a limit"},
        {"x_deg>inf", 6, "here comes a limit"},
        {"x_deg>1e3", 7, "options, each after a comma"},
        {"x_deg>2.5.1", 9, "unexpected '.': after the limit come options, each after a comma"},
        {"x_deg>2.5,hold=2s", 16, "unexpected 's': after the value of hold come options"},
        {"x_deg>2.5,hld=1", 10, "unknown option 'hld'"},
        {"x_deg>2.5, hold", 15, "after hold comes ="},
        {"x_deg>2.5,hold=x", 15, "here comes a number of seconds"},
        {"x_deg>2.5,hold=-1", 15, "hold cannot be below 0"},
        {"x_deg>2.5,hysteresis=-0.1", 21, "hysteresis cannot be below 0"},
        {"x_deg>2.5,hold=86401", 15, "at most a day"},
        {"silent<10", 6, "silent takes > only"},
        {"silent>0", 7, "above 0 seconds"},
        {"silent>5,hysteresis=5", 0, "could never clear"},
        {"x_deg>2.5; temp_c>>60", 18, "here comes a limit"},
        {"x_deg>2.5;;temp_c>60", 10, "no rule"},
        {"x_deg>2.5; x_deg>2.5,hold=3", 11, "the same rule as rule 1 (x_deg>2.5)"},
    };
    for (const auto& row : rows) {
        RuleError e;
        EXPECT_FALSE(std::strchr(row.text, ';') ? parseRules(row.text, {}, &e).has_value() : parseRule(row.text, {}, &e).has_value()) << row.text;
        EXPECT_EQ(e.column, row.column) << row.text << ": " << e.message;
        EXPECT_NE(e.message.find(row.says), std::string::npos) << row.text << ": " << e.message;
    }
    // One to a line (the window's editor): the line and the column in it.
    const struct {
        const char* text;
        std::size_t line, column;
        const char* says;
    } lines[] = {
        {"x_deg>2.5\n\n  temp_c>>60\n", 3, 9, "here comes a limit"},
        {"x_deg>2.5; temp_c>60", 1, 9, "one rule to a line"},
        {"x_deg>2.5\r\nx_deg>2.5,hold=3", 2, 0, "the same rule as x_deg>2.5"},
    };
    for (const auto& row : lines) {
        RuleError e;
        std::size_t line = 0;
        EXPECT_FALSE(parseRuleLines(row.text, {}, &e, &line)) << row.text;
        EXPECT_EQ(line, row.line) << row.text << ": " << e.message;
        EXPECT_EQ(e.column, row.column) << row.text << ": " << e.message;
        EXPECT_NE(e.message.find(row.says), std::string::npos) << row.text << ": " << e.message;
    }
    RuleError e;
    std::size_t line = 0;
    const auto rules = parseRuleLines("\n x_deg>2.5 \r\n\ttemp_c>60,hold=1\n", {0.5, 0}, &e, &line);
    ASSERT_TRUE(rules) << e.message;
    EXPECT_EQ(rulesText(*rules), "x_deg>2.5,hysteresis=0.5; temp_c>60,hysteresis=0.5,hold=1");
    EXPECT_EQ(pointAt("x_deg=2.5", 5), "  x_deg=2.5\n       ^\n");
    EXPECT_EQ(pointAt("\tx°>", 4), "  \tx°>\n  \t  ^\n") << "a tab stays a tab, a character of two bytes takes one column";
}
