#include "cli/AverageOption.h"

namespace plovex::cli {

namespace {

// From ten rows a second to one a day.
constexpr double kShortest = 0.1, kLongest = 86400;

} // namespace

bool readAverage(const ParsedArgs& args, std::optional<std::chrono::milliseconds>& average, std::string* error)
{
    const auto text = args.option("average");
    if (!text)
        return true;
    const auto seconds = parseSeconds(*text);
    if (!seconds || *seconds < kShortest || *seconds > kLongest) {
        *error = "--average needs a number of seconds from 0.1 to 86400, not '" + *text + "'";
        return false;
    }
    average = std::chrono::milliseconds(static_cast<long long>(*seconds * 1000.0 + 0.5));
    return true;
}

} // namespace plovex::cli
