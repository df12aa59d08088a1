// The preferences file format, two ways from each input:
//  1. The whole input as file text. The parser must not fail on any text; a
//     refused text gives a reason, a text holding a NUL byte is refused, and
//     an accepted one yields valid keys that appear in it at a line start and
//     survives format -> parse unchanged, the formatted text being stable.
//  2. A store built from the input: byte 0 bit 0 says whether it also goes
//     through a file, byte 1 how often each value's bytes are repeated
//     (1..256), then (key, value) pairs, each a length byte and bytes; key
//     bytes are mapped onto the key alphabet, value bytes are taken as they
//     are. parse(format(m)) must give m back; through a file, whatever
//     FilePreferences holds and reports written must come back whole on
//     loading (a store of ordinary size must be taken and written; a bigger
//     one may be refused, but never lost on the next start).

#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/FuzzText.h"
#include "fuzz/ScratchDir.h"
#include "platform/Preferences.h"

#include <map>
#include <string>
#include <string_view>
#include <system_error>

namespace plovex::fuzz {

namespace {

using Map = std::map<std::string, std::string>;

constexpr std::string_view kKeyAlphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.-";
constexpr std::string_view kHeaderLine = "# plovex preferences\n";
// A store whose file is no bigger than this is an ordinary one that must be
// kept whole; a bigger one may be refused, but never half kept.
constexpr std::size_t kOrdinaryStoreBytes = 16 * 1024;

bool isKeyChar(char c)
{
    return kKeyAlphabet.find(c) != std::string_view::npos;
}

bool startsSomeLine(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0 || text.find("\n" + prefix) != std::string::npos;
}

// What every formatted store must be: the header, then one line per entry,
// with no NUL (the reader refuses it) and no carriage return (the reader
// drops one at a line end).
void checkFormatted(const Map& m, const std::string& text)
{
    PLOVEX_FUZZ_REQUIRE(text.compare(0, kHeaderLine.size(), kHeaderLine) == 0, printable(text));
    std::size_t lines = 0;
    for (const char c : text) {
        PLOVEX_FUZZ_REQUIRE(c != '\0' && c != '\r', "NUL or CR in " + printable(text));
        lines += c == '\n';
    }
    PLOVEX_FUZZ_REQUIRE(lines == m.size() + 1, printable(text));
    PLOVEX_FUZZ_REQUIRE(!text.empty() && text.back() == '\n', printable(text));

    std::string why;
    const auto back = platform::parsePreferences(text, &why);
    PLOVEX_FUZZ_REQUIRE(back.has_value(), "formatted text refused (" + why + "): " + printable(text));
    PLOVEX_FUZZ_REQUIRE(*back == m, "format -> parse changed the store: " + printable(text));
    PLOVEX_FUZZ_REQUIRE(platform::formatPreferences(*back) == text, printable(text));
}

void checkText(const std::string& text)
{
    std::string why;
    const auto parsed = platform::parsePreferences(text, &why);
    if (text.find('\0') != std::string::npos)
        PLOVEX_FUZZ_REQUIRE(!parsed, "text with a NUL byte accepted: " + printable(text));
    if (!parsed) {
        PLOVEX_FUZZ_REQUIRE(!why.empty(), "refused without a reason: " + printable(text));
        return;
    }
    for (const auto& [key, value] : *parsed) {
        PLOVEX_FUZZ_REQUIRE(!key.empty(), printable(text));
        for (const char c : key)
            PLOVEX_FUZZ_REQUIRE(isKeyChar(c), "key " + printable(key) + " from " + printable(text));
        PLOVEX_FUZZ_REQUIRE(startsSomeLine(text, key + "="), "key " + printable(key) + " from " + printable(text));
        PLOVEX_FUZZ_REQUIRE(value.size() <= text.size(), printable(text));
    }
    checkFormatted(*parsed, platform::formatPreferences(*parsed));
}

Map storeFrom(ByteReader& in, std::size_t repeat)
{
    Map m;
    while (!in.empty()) {
        std::string key = in.sized(24);
        for (char& c : key)
            c = kKeyAlphabet[static_cast<unsigned char>(c) % kKeyAlphabet.size()];
        if (key.empty())
            key = "k";
        const std::string piece = in.sized(255);
        std::string value;
        value.reserve(piece.size() * repeat);
        for (std::size_t i = 0; i < repeat; ++i)
            value += piece;
        m[key] = std::move(value);
    }
    return m;
}

// What the store takes it keeps: a store of ordinary size is taken whole and
// written; whatever synchronize() reports written comes back on loading,
// without a warning; a store it refuses to write leaves no file behind.
void checkFileRoundTrip(const Map& m)
{
    const auto file = scratchDir() / "preferences" / "plovex.conf";
    std::error_code ec;
    std::filesystem::remove(file, ec);
    const bool ordinary = platform::formatPreferences(m).size() <= kOrdinaryStoreBytes;
    Map held;
    bool written = false;
    {
        platform::FilePreferences out(file);
        for (const auto& [key, value] : m)
            out.setObject(value, key);
        for (const auto& [key, value] : m) {
            const auto got = out.objectForKey(key);
            PLOVEX_FUZZ_REQUIRE(!ordinary || got == value, "key " + printable(key) + " not taken");
            if (got)
                held[key] = *got;
        }
        written = out.synchronize();
        PLOVEX_FUZZ_REQUIRE(written || !ordinary,
                            "synchronize() failed for a store of " + std::to_string(m.size()) + " keys");
    }
    const platform::FilePreferences in(file);
    if (!written) {
        PLOVEX_FUZZ_REQUIRE(!std::filesystem::exists(file, ec), "a store that was not written left a file");
        return;
    }
    PLOVEX_FUZZ_REQUIRE(in.loadWarning().empty(),
                        "a store written by synchronize() is refused on loading: " + in.loadWarning());
    for (const auto& [key, value] : held)
        PLOVEX_FUZZ_REQUIRE(in.objectForKey(key) == value,
                            "key " + printable(key) + " lost or changed on the way through the file");
}

} // namespace

int fuzzPreferences(const uint8_t* data, std::size_t size)
{
    checkText(std::string(reinterpret_cast<const char*>(data), size));

    ByteReader in(data, size);
    const bool throughFile = (in.byte() & 1) != 0;
    const std::size_t repeat = std::size_t{in.byte()} + 1;
    const Map m = storeFrom(in, repeat);
    checkFormatted(m, platform::formatPreferences(m));
    if (throughFile)
        checkFileRoundTrip(m);
    return 0;
}

} // namespace plovex::fuzz
