#include "alarm/RuleText.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace plovex::alarm {

namespace {

constexpr double kLongestHold = 24 * 3600.0;

bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Reads one rule from the text, keeping the position for messages. Each
// step fails by setting the error and returning false.
class RuleReader {
public:
    RuleReader(std::string_view text, std::size_t offset, RuleError* error) : text_(text), offset_(offset), error_(error) {}

    std::optional<Rule> read(const RuleDefaults& defaults)
    {
        Rule rule;
        rule.hysteresis = defaults.hysteresis;
        rule.hold = defaults.hold;
        skipBlanks();
        const std::size_t quantityAt = pos_;
        const std::string_view name = word();
        if (name.empty() || std::isdigit(static_cast<unsigned char>(name.front())))
            return fail(quantityAt, atEnd() ? "no rule: write a quantity, > or < and a limit, such as x_deg>2.5"
                                            : "a rule begins with a quantity: " + quantityNamesHelp());
        const auto quantity = parseQuantity(name);
        if (!quantity)
            return fail(quantityAt, "unknown quantity '" + std::string(name) + "': " + quantityNamesHelp());
        rule.quantity = *quantity;
        skipBlanks();
        if (atEnd() || (text_[pos_] != '>' && text_[pos_] != '<'))
            return fail(pos_, "after " + std::string(name) + " comes > or <");
        const std::size_t directionAt = pos_;
        rule.direction = text_[pos_++] == '>' ? Direction::Above : Direction::Below;
        const std::size_t limitAt = afterBlanks();
        if (!number(rule.limit, "a limit"))
            return std::nullopt;
        std::string after = "the limit";
        while (skipBlanks(), !atEnd()) {
            if (text_[pos_] != ',')
                return fail(pos_, "unexpected '" + std::string(1, text_[pos_]) + "': after " + after +
                                      " come options, each after a comma: ,hysteresis=V or ,hold=S");
            ++pos_;
            const std::size_t optionAt = afterBlanks();
            const std::string_view option = word();
            double* target = option == "hysteresis" ? &rule.hysteresis : option == "hold" ? &rule.hold : nullptr;
            if (!target)
                return fail(optionAt, option.empty() ? "an option after the comma: hysteresis=V or hold=S"
                                                     : "unknown option '" + std::string(option) + "': hysteresis or hold");
            skipBlanks();
            if (atEnd() || text_[pos_] != '=')
                return fail(pos_, "after " + std::string(option) + " comes = and a number");
            ++pos_;
            const std::size_t valueAt = afterBlanks();
            if (!number(*target, option == "hold" ? "a number of seconds" : "a number"))
                return std::nullopt;
            if (*target < 0)
                return fail(valueAt, std::string(option) + " cannot be below 0");
            if (option == "hold" && *target > kLongestHold)
                return fail(valueAt, "hold is at most a day (86400 s)");
            after = "the value of " + std::string(option);
        }
        if (rule.quantity.measure == Measure::Silence) {
            if (rule.direction != Direction::Above)
                return fail(directionAt, "silent takes > only: seconds without a measurement above a limit");
            if (rule.limit <= 0)
                return fail(limitAt, "silent needs a limit above 0 seconds");
            // A measurement brings silence back to 0, which must clear the alarm.
            if (rule.hysteresis >= rule.limit)
                return fail(quantityAt, "the hysteresis of silent must be below its limit, or the alarm could never clear");
        }
        return rule;
    }

private:
    bool atEnd() const { return pos_ >= text_.size(); }
    void skipBlanks()
    {
        while (!atEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
            ++pos_;
    }
    std::size_t afterBlanks()
    {
        skipBlanks();
        return pos_;
    }
    std::string_view word()
    {
        const std::size_t start = pos_;
        while (!atEnd() && isNameChar(text_[pos_]))
            ++pos_;
        return text_.substr(start, pos_ - start);
    }
    // [+-] digits [. digits] or [+-] . digits: no exponent, no inf, no nan.
    bool number(double& out, const char* what)
    {
        const std::size_t start = pos_;
        std::size_t i = pos_;
        if (i < text_.size() && (text_[i] == '+' || text_[i] == '-'))
            ++i;
        const std::size_t digitsAt = i;
        std::size_t digits = 0;
        while (i < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i])))
            ++i, ++digits;
        if (i < text_.size() && text_[i] == '.') {
            ++i;
            while (i < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i])))
                ++i, ++digits;
        }
        if (digits == 0) {
            fail(start, std::string("here comes ") + what + ", such as 2.5");
            return false;
        }
        double v = 0;
        const auto r = std::from_chars(text_.data() + digitsAt, text_.data() + i, v);
        if (r.ec != std::errc() || !std::isfinite(v)) {
            fail(start, std::string(what) + " out of range");
            return false;
        }
        out = (text_[start] == '-' ? -v : v) + 0.0; // no negative zero
        pos_ = i;
        return true;
    }
    std::nullopt_t fail(std::size_t at, std::string message)
    {
        if (error_)
            *error_ = {offset_ + at, std::move(message)};
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t offset_; // of text_ in what the user wrote
    RuleError* error_;
    std::size_t pos_ = 0;
};

} // namespace

std::optional<Rule> parseRule(std::string_view text, const RuleDefaults& defaults, RuleError* error)
{
    return RuleReader(text, 0, error).read(defaults);
}

std::optional<std::vector<Rule>> parseRules(std::string_view text, const RuleDefaults& defaults, RuleError* error)
{
    std::vector<Rule> rules;
    if (text.find_first_not_of(" \t") == std::string_view::npos)
        return rules;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(text.find(';', start), text.size());
        const auto rule = RuleReader(text.substr(start, end - start), start, error).read(defaults);
        if (!rule)
            return std::nullopt;
        for (std::size_t i = 0; i < rules.size(); ++i) {
            if (rules[i].name() == rule->name()) {
                if (error)
                    *error = {start + (text.substr(start, end - start).find_first_not_of(" \t")),
                              "the same rule as rule " + std::to_string(i + 1) + " (" + rules[i].expression() + ")"};
                return std::nullopt;
            }
        }
        rules.push_back(*rule);
        if (end == text.size())
            return rules;
        start = end + 1;
    }
}

std::optional<std::vector<Rule>> parseRuleLines(std::string_view text, const RuleDefaults& defaults, RuleError* error,
                                                std::size_t* line)
{
    std::vector<Rule> rules;
    std::size_t start = 0;
    for (std::size_t n = 1; start <= text.size(); ++n) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view one = text.substr(start, end - start);
        start = end + 1;
        if (!one.empty() && one.back() == '\r') // a line ended as on Windows
            one.remove_suffix(1);
        if (one.find_first_not_of(" \t") == std::string_view::npos)
            continue;
        // A ';' in a line would make two rules of it: each line is one.
        if (const std::size_t semicolon = one.find(';'); semicolon != std::string_view::npos) {
            if (error)
                *error = {semicolon, "one rule to a line"};
            if (line)
                *line = n;
            return std::nullopt;
        }
        RuleError e;
        // Read alone for where it is wrong, then among the others for a rule given twice.
        auto rule = parseRule(one, defaults, &e);
        if (rule) {
            for (std::size_t i = 0; i < rules.size(); ++i)
                if (rules[i].name() == rule->name()) {
                    e = {one.find_first_not_of(" \t"), "the same rule as " + rules[i].expression()};
                    rule.reset();
                    break;
                }
        }
        if (!rule) {
            if (error)
                *error = e;
            if (line)
                *line = n;
            return std::nullopt;
        }
        rules.push_back(*rule);
    }
    return rules;
}

std::string rulesText(const std::vector<Rule>& rules)
{
    std::string t;
    for (const auto& r : rules)
        t += (t.empty() ? "" : "; ") + r.text();
    return t;
}

std::string pointAt(std::string_view text, std::size_t column)
{
    std::string line = "  ";
    // Tabs stay tabs under the text, so the caret lines up however they
    // show; a character of several bytes takes one column.
    for (std::size_t i = 0; i < column && i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            line += text[i] == '\t' ? '\t' : ' ';
    }
    return "  " + std::string(text) + "\n" + line + "^\n";
}

} // namespace plovex::alarm
