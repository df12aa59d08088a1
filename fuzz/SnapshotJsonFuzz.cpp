// The parameter file's JSON reader and the snapshot read on top of it, three
// ways from each input.
//  1. The input as JSON text. parseJson gives a value, or a reason that says
//     where ("line L, column C: ..."). A value nests no deeper than the limit,
//     every string in it (member names too) is valid UTF-8 without
//     surrogates, and written out again (strings through quoteJson, numbers
//     as they were written) it reads back as the same value.
//  2. The input as a snapshot. parseSnapshot gives one or a reason; one it
//     gives holds each address 0..15 at most once and values in the signed
//     16-bit range, and formatSnapshot -> parseSnapshot gives it back whole.
//  3. The input as the bytes of a string. quoteJson makes it a JSON string
//     that reads back as valid UTF-8: the input itself when it was valid.

#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzTargets.h"
#include "params/Json.h"
#include "params/Snapshot.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace plovex::fuzz {

namespace {

using params::JsonValue;

// An oracle of its own: whether text is UTF-8 with neither surrogates nor
// overlong forms nor code points past U+10FFFF.
bool validUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > text.size())
            return false;
        uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

int depthOf(const JsonValue& v)
{
    int deepest = 0;
    for (const auto& item : v.array)
        deepest = std::max(deepest, 1 + depthOf(item));
    for (const auto& [name, member] : v.object)
        deepest = std::max(deepest, 1 + depthOf(member));
    return deepest;
}

void checkStrings(const JsonValue& v)
{
    PLOVEX_FUZZ_REQUIRE(validUtf8(v.string), hex(v.string));
    for (const auto& item : v.array)
        checkStrings(item);
    for (const auto& [name, member] : v.object) {
        PLOVEX_FUZZ_REQUIRE(validUtf8(name), hex(name));
        checkStrings(member);
    }
}

std::string written(const JsonValue& v)
{
    switch (v.kind) {
    case JsonValue::Kind::Null:
        return "null";
    case JsonValue::Kind::Boolean:
        return v.boolean ? "true" : "false";
    case JsonValue::Kind::Number:
        return v.numberText;
    case JsonValue::Kind::String:
        return params::quoteJson(v.string);
    case JsonValue::Kind::Array: {
        std::string out = "[";
        for (const auto& item : v.array)
            out += (out.size() > 1 ? "," : "") + written(item);
        return out + "]";
    }
    case JsonValue::Kind::Object: {
        std::string out = "{";
        for (const auto& [name, member] : v.object)
            out += (out.size() > 1 ? "," : "") + params::quoteJson(name) + ":" + written(member);
        return out + "}";
    }
    }
    return {};
}

bool same(const JsonValue& a, const JsonValue& b)
{
    const auto sameMember = [](const auto& i, const auto& j) { return i.first == j.first && same(i.second, j.second); };
    return std::tie(a.kind, a.boolean, a.numberText, a.integer, a.string) == std::tie(b.kind, b.boolean, b.numberText, b.integer, b.string) &&
           std::equal(a.array.begin(), a.array.end(), b.array.begin(), b.array.end(), [](const auto& i, const auto& j) { return same(i, j); }) &&
           std::equal(a.object.begin(), a.object.end(), b.object.begin(), b.object.end(), sameMember);
}

bool same(const params::Snapshot& a, const params::Snapshot& b)
{
    const auto sameEntry = [](const auto& p, const auto& q) { return std::tie(p.address, p.value, p.description) == std::tie(q.address, q.value, q.description); };
    return std::tie(a.saved, a.portPath, a.stableName) == std::tie(b.saved, b.portPath, b.stableName) &&
           std::equal(a.parameters.begin(), a.parameters.end(), b.parameters.begin(), b.parameters.end(), sameEntry);
}

void checkJson(const std::string& text)
{
    std::string why;
    const auto value = params::parseJson(text, &why);
    if (!value) {
        PLOVEX_FUZZ_REQUIRE(why.rfind("line ", 0) == 0 && why.find(", column ") != std::string::npos, why);
        return;
    }
    PLOVEX_FUZZ_REQUIRE(depthOf(*value) <= params::kJsonMaxDepth, std::to_string(depthOf(*value)));
    checkStrings(*value);
    const std::string again = written(*value);
    const auto back = params::parseJson(again, &why);
    PLOVEX_FUZZ_REQUIRE(back && same(*value, *back), "written out and read again it changed (" + why + "): " + again);
}

void checkSnapshot(const std::string& text)
{
    std::string why;
    const auto snapshot = params::parseSnapshot(text, &why);
    if (!snapshot) {
        PLOVEX_FUZZ_REQUIRE(!why.empty(), hex(text));
        return;
    }
    std::set<int> addresses;
    for (const auto& p : snapshot->parameters) {
        PLOVEX_FUZZ_REQUIRE(p.address >= 0 && p.address <= 15, std::to_string(p.address));
        PLOVEX_FUZZ_REQUIRE(addresses.insert(p.address).second, "parameter " + std::to_string(p.address) + " twice");
    }
    const std::string formatted = params::formatSnapshot(*snapshot);
    const auto back = params::parseSnapshot(formatted, &why);
    PLOVEX_FUZZ_REQUIRE(back && same(*snapshot, *back), "format -> parse changed it (" + why + "): " + formatted);
}

void checkQuoting(const std::string& bytes)
{
    std::string why;
    const auto back = params::parseJson(params::quoteJson(bytes), &why);
    PLOVEX_FUZZ_REQUIRE(back && back->kind == JsonValue::Kind::String, why + ": " + hex(bytes));
    PLOVEX_FUZZ_REQUIRE(validUtf8(back->string), hex(back->string));
    PLOVEX_FUZZ_REQUIRE(!validUtf8(bytes) || back->string == bytes, hex(bytes) + " came back as " + hex(back->string));
}

} // namespace

int fuzzSnapshotJson(const uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkJson(text);
    checkSnapshot(text);
    checkQuoting(text);
    return 0;
}

} // namespace plovex::fuzz
