#include "platform/Preferences.h"

#include "platform/AtomicFile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char* kHeader = "# plovex preferences";
constexpr std::size_t kMaxFileSize = 64 * 1024;

bool validKey(const std::string& k)
{
    if (k.empty())
        return false;
    for (char c : k)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-'))
            return false;
    return true;
}

// Values are stored with backslash escapes so that any byte string survives.
std::string escape(const std::string& v)
{
    std::string out;
    for (unsigned char c : v) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c == 0x7f) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> unescape(const std::string& v)
{
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\') {
            out += v[i];
            continue;
        }
        if (++i >= v.size())
            return std::nullopt;
        if (v[i] == '\\')
            out += '\\';
        else if (v[i] == 'n')
            out += '\n';
        else if (v[i] == 'x') {
            if (i + 2 >= v.size())
                return std::nullopt;
            const int hi = hexDigit(v[i + 1]), lo = hexDigit(v[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else
            return std::nullopt;
    }
    return out;
}

} // namespace

std::optional<std::map<std::string, std::string>> parsePreferences(const std::string& text, std::string* error)
{
    auto fail = [&](const std::string& why) -> std::optional<std::map<std::string, std::string>> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (text.find('\0') != std::string::npos)
        return fail("contains a NUL byte");
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            return fail("line " + std::to_string(number) + " has no '='");
        std::string key = line.substr(0, eq);
        if (!validKey(key))
            return fail("line " + std::to_string(number) + " has an invalid key");
        auto value = unescape(line.substr(eq + 1));
        if (!value)
            return fail("line " + std::to_string(number) + " has a bad escape");
        values[key] = *value;
    }
    return values;
}

std::string formatPreferences(const std::map<std::string, std::string>& values)
{
    std::string out = std::string(kHeader) + "\n";
    for (const auto& [k, v] : values)
        out += k + "=" + escape(v) + "\n";
    return out;
}

FilePreferences::FilePreferences(std::filesystem::path file) : file_(std::move(file))
{
    load();
}

void FilePreferences::load()
{
    std::error_code ec;
    auto status = std::filesystem::status(file_, ec);
    if (ec || !std::filesystem::exists(status))
        return; // no file yet: an empty store, nothing to say
    auto warn = [&](const std::string& why) {
        warning_ = "plovex: ignoring preferences file " + file_.string() + ": " + why;
        std::cerr << warning_ << std::endl;
    };
    if (!std::filesystem::is_regular_file(status))
        return warn("not a regular file");
    std::ifstream in(file_, std::ios::binary);
    if (!in)
        return warn(std::strerror(errno));
    std::string text;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxFileSize)
            return warn("larger than " + std::to_string(kMaxFileSize) + " bytes");
    }
    if (in.bad())
        return warn("read error");
    std::string why;
    auto parsed = parsePreferences(text, &why);
    if (!parsed)
        return warn(why);
    values_ = std::move(*parsed);
}

std::optional<std::string> FilePreferences::objectForKey(const std::string& key) const
{
    auto it = values_.find(key);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

void FilePreferences::setObject(const std::string& value, const std::string& key)
{
    if (!validKey(key)) {
        std::cerr << "plovex: preference key '" << key << "' is not valid; not stored" << std::endl;
        return;
    }
    values_[key] = value;
    dirty_ = true;
}

bool FilePreferences::synchronize()
{
    if (!dirty_)
        return true;
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    const std::string text = formatPreferences(values_);
    // A file larger than load() accepts would be refused at the next start,
    // losing every value in it: keep the file that is there instead.
    if (text.size() > kMaxFileSize) {
        std::cerr << "plovex: not writing preferences " << file_.string() << ": they would take " << text.size()
                  << " bytes, more than the " << kMaxFileSize << " a preferences file may hold" << std::endl;
        return false;
    }
    std::string why;
    if (!writeFileAtomically(file_, text, 0600, true, &why)) {
        std::cerr << "plovex: cannot write preferences " << file_.string() << ": " << why << std::endl;
        return false;
    }
    dirty_ = false;
    warning_.clear();
    return true;
}

std::filesystem::path FilePreferences::defaultFile()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (xdg && *xdg == '/')
        base = xdg;
    else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home && *home ? home : "/tmp") / ".config";
    }
    return base / "plovex" / "plovex.conf";
}

FilePreferences& FilePreferences::standardUserDefaults()
{
    static FilePreferences prefs(defaultFile());
    return prefs;
}

} // namespace platform
