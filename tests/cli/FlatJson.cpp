#include "tests/cli/FlatJson.h"

#include <regex>

namespace clitest {

std::vector<std::string> FlatJson::keys() const
{
    std::vector<std::string> k;
    for (const auto& e : entries)
        k.push_back(e.first);
    return k;
}

std::optional<int64_t> FlatJson::value(const std::string& key) const
{
    for (const auto& e : entries)
        if (e.first == key)
            return e.second;
    return std::nullopt;
}

std::optional<FlatJson> parseFlatJson(const std::string& line)
{
    static const std::regex whole(
        R"re(\{"type":"([a-z]+)"((?:,"[A-Za-z]+":-?(?:0|[1-9][0-9]*))*)((?:,"time":"[^"]+")(?:,"[a-z_]+":(?:null|-?[0-9]+\.[0-9]+))*)\})re");
    static const std::regex added(R"re(,"([a-z_]+)":"?([^",]+)"?)re");
    static const std::regex entry(R"re(,"([A-Za-z]+)":(-?[0-9]+))re");
    std::smatch m;
    if (!std::regex_match(line, m, whole))
        return std::nullopt;
    FlatJson out;
    out.type = m[1];
    const std::string rest = m[2];
    for (auto it = std::sregex_iterator(rest.begin(), rest.end(), entry); it != std::sregex_iterator(); ++it)
        out.entries.emplace_back((*it)[1], std::stoll((*it)[2]));
    const std::string tail = m[3];
    for (auto it = std::sregex_iterator(tail.begin(), tail.end(), added); it != std::sregex_iterator(); ++it)
        out.added.emplace_back((*it)[1], (*it)[2]);
    return out;
}

} // namespace clitest
