// The snapshot file as it is read back: the strict JSON reader on what a
// hand-edited or hostile file may hold, and its strings made safe to print.

#include "params/Json.h"
#include "params/PrintableText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using plovex::params::kJsonMaxDepth;
using plovex::params::parseJson;
using plovex::params::printableText;

namespace {

std::string nested(int levels, const std::string& open, const std::string& close)
{
    std::string text;
    for (int i = 0; i < levels; ++i)
        text += open;
    text += "1";
    for (int i = 0; i < levels; ++i)
        text += close;
    return text;
}

} // namespace

TEST(SnapshotJson, TakesOnlyStrictJsonAndSaysWhereItStopped)
{
    struct Case {
        const char* name;
        std::string text;
        std::optional<std::string> string; // a document that is one string: what it reads as
        const char* refusal;               // nullptr: accepted
    };
    const Case cases[] = {
        // Nesting: the document is depth 0; a value at depth 64 is the deepest taken.
        {"arrays at the limit", nested(kJsonMaxDepth, "[", "]"), std::nullopt, nullptr},
        {"arrays past the limit", nested(kJsonMaxDepth + 1, "[", "]"), std::nullopt, "nested deeper than 64 levels"},
        {"objects past the limit", nested(kJsonMaxDepth + 1, "{\"a\":", "}"), std::nullopt, "nested deeper than 64 levels"},
        {"deep enough to exhaust the stack", nested(1'000'000, "[", "]"), std::nullopt, "nested deeper than 64 levels"},
        // UTF-8 as it stands in the file.
        {"two, three and four bytes", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", nullptr},
        {"a lone continuation byte", "\"\x80\"", std::nullopt, "line 1, column 2: a string is not valid UTF-8"},
        {"a lead byte without its continuation", "\"\xC3(\"", std::nullopt, "not valid UTF-8"},
        {"overlong", "\"\xC0\xAF\"", std::nullopt, "not valid UTF-8"},
        {"overlong, three bytes", "\"\xE0\x80\xAF\"", std::nullopt, "not valid UTF-8"},
        {"a surrogate encoded", "\"\xED\xA0\x80\"", std::nullopt, "not valid UTF-8"},
        {"past U+10FFFF", "\"\xF4\x90\x80\x80\"", std::nullopt, "not valid UTF-8"},
        {"cut at the end of the text", "\"\xE2\x82", std::nullopt, "not valid UTF-8"},
        // Surrogates written as escapes.
        {"a pair", "\"\\ud83d\\ude00\"", "\xF0\x9F\x98\x80", nullptr},
        {"a pair in capitals", "\"\\uD83D\\uDE00\"", "\xF0\x9F\x98\x80", nullptr},
        {"a lone high surrogate", "\"\\ud83d\"", std::nullopt, "an unpaired surrogate"},
        {"a lone low surrogate", "\"\\ude00x\"", std::nullopt, "an unpaired surrogate"},
        {"a high one before another character", "\"\\ud83d\\u0041\"", std::nullopt, "an unpaired surrogate"},
        {"two high ones", "\"\\ud83d\\ud83d\"", std::nullopt, "an unpaired surrogate"},
        {"a high one before a plain character", "\"\\ud83dx\"", std::nullopt, "an unpaired surrogate"},
        {"a NUL escaped", "\"a\\u0000b\"", std::string("a\0b", 3), nullptr},
        // Member names: once each per object, compared as read.
        {"a member twice", "{\"a\": 1, \"a\": 2}", std::nullopt, "line 1, column 10: the member \"a\" appears twice"},
        {"a member twice, once escaped", "{\"a\": 1, \"\\u0061\": 2}", std::nullopt, "the member \"a\" appears twice"},
        {"a name that clears the screen, twice", "{\"\\u001b[2J\": 1, \"\\u001b[2J\": 2}", std::nullopt,
         "the member \"\\x1B[2J\" appears twice"},
        {"the same name in two objects", "{\"a\": 1, \"b\": {\"a\": 2}}", std::nullopt, nullptr},
        {"a control character as it stands", "\"a\tb\"", std::nullopt, "a control character inside a string"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const auto value = parseJson(c.text, &error);
        EXPECT_EQ(value.has_value(), c.refusal == nullptr) << error;
        EXPECT_NE(error.find(c.refusal ? c.refusal : ""), std::string::npos) << error;
        EXPECT_EQ(value && c.string ? value->string : std::string(), c.string.value_or(""));
    }
}

TEST(SnapshotText, ControlsAndInvisibleFormattingArePrintedEscaped)
{
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/serial/by-id/usb-FTDI_0-port0", "/dev/serial/by-id/usb-FTDI_0-port0"},
        {"2026-12-07T14:03:12+01:00\x1b[1A\x1b[2K", "2026-12-07T14:03:12+01:00\\x1B[1A\\x1B[2K"},
        {"a\rb\nc\td", "a\\rb\\nc\\td"},
        {"back\\slash", "back\\\\slash"},
        {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7F"},
        {"\xC2\x9B" "2J", "\\u{009B}2J"},            // the one-character CSI
        {"\xE2\x80\xAE" "0003", "\\u{202E}0003"},    // right-to-left override
        {"\xE2\x81\xA6x\xE2\x80\xA8", "\\u{2066}x\\u{2028}"},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"\xFF\xC3", "\\xFF\\xC3"},
    };
    for (const auto& [raw, printed] : cases)
        EXPECT_EQ(printableText(raw), printed);
}
