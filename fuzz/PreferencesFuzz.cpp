// The preferences file format, two ways from each input.
//  1. The input as file text. The parser refuses a text with a NUL byte and
//     gives a reason for every refusal; an accepted text gives valid keys,
//     and what it gives survives format -> parse unchanged.
//  2. A store made from the input: byte 0 bit 0 says whether it also goes
//     through a file, byte 1 how often each value's bytes repeat, then (key,
//     value) pieces; key bytes are mapped onto the key alphabet. The store
//     survives format -> parse. Through a file, a store of ordinary size is
//     written and loaded again whole, without a warning; a larger one may be
//     refused, but then no file is left that the next start could not load.

#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzTargets.h"
#include "platform/Preferences.h"

#include <map>

namespace plovex::fuzz {

namespace {

using Map = std::map<std::string, std::string>;
constexpr std::string_view kKeyAlphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.-";

void checkRoundTrip(const Map& m)
{
    const std::string text = platform::formatPreferences(m);
    std::string why;
    const auto back = platform::parsePreferences(text, &why);
    PLOVEX_FUZZ_REQUIRE(back && *back == m, "format -> parse changed the store (" + why + "): " + hex(text));
}

void checkFile(const Map& m)
{
    const auto file = scratchDir() / "preferences" / "plovex.conf";
    std::error_code ec;
    std::filesystem::remove(file, ec);
    const bool ordinary = platform::formatPreferences(m).size() <= 16 * 1024;
    bool written = false;
    {
        platform::FilePreferences out(file);
        for (const auto& [key, value] : m)
            out.setObject(value, key);
        written = out.synchronize();
    }
    PLOVEX_FUZZ_REQUIRE(written || !ordinary, "a store of " + std::to_string(m.size()) + " keys was not written");
    const platform::FilePreferences in(file);
    PLOVEX_FUZZ_REQUIRE(in.loadWarning().empty(), "the next start cannot load the file: " + in.loadWarning());
    for (const auto& [key, value] : m)
        PLOVEX_FUZZ_REQUIRE(!written || in.objectForKey(key) == value, "key " + key + " lost on the way through the file");
}

} // namespace

int fuzzPreferences(const uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string why;
    const auto parsed = platform::parsePreferences(text, &why);
    PLOVEX_FUZZ_REQUIRE(parsed ? text.find('\0') == std::string::npos : !why.empty(), hex(text));
    for (const auto& [key, value] : parsed.value_or(Map{}))
        PLOVEX_FUZZ_REQUIRE(!key.empty() && key.find_first_not_of(kKeyAlphabet) == std::string::npos, hex(key));
    if (parsed)
        checkRoundTrip(*parsed);

    ByteReader in(data, size);
    const bool throughFile = in.byte() & 1;
    const std::size_t repeat = std::size_t{in.byte()} + 1;
    Map m;
    while (!in.empty()) {
        std::string key = in.sized(24);
        for (char& c : key)
            c = kKeyAlphabet[static_cast<uint8_t>(c) % kKeyAlphabet.size()];
        const std::string piece = in.sized(255);
        std::string& value = m[key.empty() ? "k" : key];
        value.clear();
        for (std::size_t i = 0; i < repeat; ++i)
            value += piece;
    }
    checkRoundTrip(m);
    if (throughFile)
        checkFile(m);
    return 0;
}

} // namespace plovex::fuzz
