#pragma once
// How the benchmarks read their options: "--name VALUE", "--name=VALUE" and
// flags ("--name"); no positional words. A bad argument is a message, never
// an exception.

#include <map>
#include <optional>
#include <set>
#include <string>

namespace bench {

struct BenchArgs {
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    std::string error; // non-empty: what was wrong

    bool has(const std::string& flag) const { return flags.count(flag) > 0; }
    std::optional<std::string> value(const std::string& name) const;
    // The option as a number of at least min; nullopt when absent, and
    // error set when it is not such a number.
    std::optional<double> number(const std::string& name, double min);
};

// valueOptions take a value; flagOptions do not; "--help" is always a flag.
BenchArgs readArgs(int argc, char** argv, const std::set<std::string>& valueOptions,
                   const std::set<std::string>& flagOptions);

} // namespace bench
