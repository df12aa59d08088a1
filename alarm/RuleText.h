#pragma once
// Alarm rules as text: what --alarm takes and what the preferences keep.
//
//   rule  = QUANTITY ('>' | '<') LIMIT { ',' OPTION '=' NUMBER }
//   OPTION: hysteresis (in the quantity's unit) | hold (seconds)
//   rules = rule { ';' rule }
//
// Blanks between the parts are allowed; numbers are decimals without an
// exponent ("2.5", "-3", ".5"). An option a rule does not give takes the
// default given to the parser.
//
//   RuleError e;
//   auto rule = parseRule("x_deg>2.5,hold=2", {}, &e);
//   if (!rule) std::cerr << e.message << '\n' << pointAt(text, e.column);

#include "alarm/Rule.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plovex::alarm {

struct RuleDefaults {
    double hysteresis = 0;
    double hold = 0;
    bool operator==(const RuleDefaults&) const = default;
};

// What is wrong with a text, and where: the position of the first character
// at fault (the text's length when something is missing at its end).
struct RuleError {
    std::size_t column = 0;
    std::string message;
};

// One rule; nullopt, with *error, when the text is not one.
std::optional<Rule> parseRule(std::string_view text, const RuleDefaults& defaults, RuleError* error);

// Rules separated by ';' (an empty text, or blanks, is no rules). Refuses
// two rules of the same name (Rule::name), which could not be told apart.
std::optional<std::vector<Rule>> parseRules(std::string_view text, const RuleDefaults& defaults, RuleError* error);
// Rules one to a line, as the window's editor holds them; blank lines are
// skipped. On a fault, *line is the line at fault (from 1), and the error's
// column is in that line.
std::optional<std::vector<Rule>> parseRuleLines(std::string_view text, const RuleDefaults& defaults, RuleError* error,
                                                std::size_t* line);
// The rules as parseRules reads them back: "x_deg>2.5,hold=2; temp_c>60".
std::string rulesText(const std::vector<Rule>& rules);

// Two lines (each with its newline) that show where column is in text: the
// text, then a caret under the column, both indented by two blanks.
std::string pointAt(std::string_view text, std::size_t column);

} // namespace plovex::alarm
