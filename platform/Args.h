#pragma once
// The command-line parser of both programs (plovex and plovex-cli's
// commands): options of the form --name VALUE or --name=VALUE, flags
// (--name), and positional words. Errors are values: a bad argument yields a
// message, never an exception.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace platform {

struct ParsedArgs {
    std::map<std::string, std::string> options; // --name VALUE (the last one given)
    std::map<std::string, std::vector<std::string>> repeated; // every VALUE of --name, in order
    std::set<std::string> flags;                 // --name
    std::vector<std::string> positional;
    std::string error;                           // non-empty: what was wrong

    bool has(const std::string& flag) const { return flags.count(flag) > 0; }
    std::optional<std::string> option(const std::string& name) const;
};

// valueOptions take a value; flagOptions do not. Anything else starting with
// "--" is an error. "-h" is read as "--help". A lone "--" ends the options.
ParsedArgs parseArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                     const std::set<std::string>& flagOptions);

// Whole-string integer parse in [min, max] (decimal, or 0x-prefixed hex);
// nullopt for anything else ("12abc", "", "1e3", out of range).
std::optional<long long> parseInteger(const std::string& text, long long min, long long max);
// Whole-string non-negative decimal number of seconds, such as "5" or "0.5".
std::optional<double> parseSeconds(const std::string& text);

// The exit codes of both programs: done, failed, bad usage.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

} // namespace platform
