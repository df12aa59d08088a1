#pragma once
// Helpers the command-line suites share.

#include <sstream>
#include <string>
#include <vector>

namespace clitest {

// The lines of text, without their newlines (a last line without one is kept).
inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

inline bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace clitest
