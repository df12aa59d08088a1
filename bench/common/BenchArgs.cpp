#include "bench/common/BenchArgs.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace bench {

std::optional<std::string> BenchArgs::value(const std::string& name) const
{
    const auto it = values.find(name);
    return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
}

std::optional<double> BenchArgs::number(const std::string& name, double min)
{
    const auto text = value(name);
    if (!text)
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text->c_str(), &end);
    if (text->empty() || errno == ERANGE || *end != '\0' || !std::isfinite(v) || v < min) {
        if (error.empty())
            error = "--" + name + " takes a number of at least " + std::to_string(min) + ", not '" + *text + "'";
        return std::nullopt;
    }
    return v;
}

BenchArgs readArgs(int argc, char** argv, const std::set<std::string>& valueOptions,
                   const std::set<std::string>& flagOptions)
{
    BenchArgs out;
    for (int i = 1; i < argc && out.error.empty(); ++i) {
        const std::string a = argv[i];
        if (a.rfind("--", 0) != 0) {
            out.error = "unexpected argument '" + a + "'";
            break;
        }
        std::string name = a.substr(2);
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (valueOptions.count(name)) {
            if (!inlineValue && i + 1 >= argc)
                out.error = "option --" + name + " needs a value";
            else
                out.values[name] = inlineValue ? *inlineValue : std::string(argv[++i]);
        } else if (flagOptions.count(name) || name == "help") {
            if (inlineValue)
                out.error = "option --" + name + " takes no value";
            else
                out.flags.insert(name);
        } else {
            out.error = "unknown option --" + name;
        }
    }
    return out;
}

} // namespace bench
