#include "controller/WriteInput.h"

#include "link/BoardFacts.h"

#include <algorithm>
#include <cctype>

namespace plovex {

namespace {

// The whole text, blanks around it aside, as a decimal integer with an
// optional sign; nullopt for anything else. Large numbers stop growing past
// a million, which is out of every range here.
std::optional<long> wholeNumber(const std::string& text)
{
    std::size_t i = 0, end = text.size();
    while (i < end && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    while (end > i && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    bool negative = false;
    if (i < end && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == end)
        return std::nullopt;
    long v = 0;
    for (; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return std::nullopt;
        v = std::min(v * 10 + (text[i] - '0'), 1000000L);
    }
    return negative ? -v : v;
}

FieldCheck check(const std::string& text, long min, long max, const std::string& empty, const std::string& range)
{
    bool blank = true;
    for (const char c : text)
        blank = blank && std::isspace(static_cast<unsigned char>(c));
    if (blank)
        return {std::nullopt, empty};
    const auto v = wholeNumber(text);
    if (!v)
        return {std::nullopt, "not a whole number"};
    if (*v < min || *v > max)
        return {std::nullopt, range};
    return {static_cast<int>(*v), {}};
}

} // namespace

FieldCheck checkParameterNumber(const std::string& text)
{
    return check(text, 0, board::kParameterCount - 1, "enter a number 0 to 15", "parameters are 0 to 15");
}

FieldCheck checkWriteValue(const std::string& text)
{
    return check(text, -32768, 32767, "enter a value", "values are -32768 to 32767");
}

} // namespace plovex
