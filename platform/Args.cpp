#include "platform/Args.h"

#include <cerrno>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace platform {

std::optional<std::string> ParsedArgs::option(const std::string& name) const
{
    auto it = options.find(name);
    if (it == options.end())
        return std::nullopt;
    return it->second;
}

ParsedArgs parseArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                     const std::set<std::string>& flagOptions)
{
    ParsedArgs out;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-' || (a[1] != '-' && a != "-h")) {
            out.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "-h")
            a = "--help";
        std::string name = a.substr(2), value;
        bool inlineValue = false;
        if (auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        if (valueOptions.count(name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    out.error = "option --" + name + " needs a value";
                    return out;
                }
                value = args[++i];
            }
            out.options[name] = value;
            out.repeated[name].push_back(value);
        } else if (flagOptions.count(name) || name == "help") {
            if (inlineValue) {
                out.error = "option --" + name + " takes no value";
                return out;
            }
            out.flags.insert(name);
        } else {
            out.error = "unknown option --" + name;
            return out;
        }
    }
    return out;
}

std::optional<long long> parseInteger(const std::string& text, long long min, long long max)
{
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
    if (errno == ERANGE || end == text.c_str() || *end != '\0')
        return std::nullopt;
    if (v < min || v > max)
        return std::nullopt;
    return v;
}

std::optional<double> parseSeconds(const std::string& text)
{
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.'))
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (errno == ERANGE || *end != '\0' || !std::isfinite(v) || v < 0)
        return std::nullopt;
    return v;
}

} // namespace platform
