#pragma once
// A small, strict JSON reader (RFC 8259) for the files plovex reads back,
// and the string quoting its writers need. Strict means: no comments, no
// trailing commas, no leading zeros, no bare control characters in strings,
// no unpaired surrogates, no duplicate member names, nothing after the value.
// A file that breaks any of these is refused with the line and column.

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plovex::params {

// How deep values may nest: the document itself is at depth 0, what it holds
// at depth 1, and so on. Deeper nesting is refused, so that a hostile file
// cannot exhaust the stack.
inline constexpr int kJsonMaxDepth = 64;

struct JsonValue {
    enum class Kind { Null, Boolean, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    // A number as written, and whether it is an integer that fits in long long.
    std::string numberText;
    std::optional<long long> integer;
    std::string string;
    std::vector<JsonValue> array;
    std::map<std::string, JsonValue> object;

    // The member name, or null when this is no object or has no such member.
    const JsonValue* member(const std::string& name) const;
};

// The value text holds; nullopt and the reason ("line 3, column 7: ...") in *error.
std::optional<JsonValue> parseJson(std::string_view text, std::string* error);

// text as a JSON string, quotes included; bytes that are not valid UTF-8
// are written as U+FFFD.
std::string quoteJson(std::string_view text);

} // namespace plovex::params
