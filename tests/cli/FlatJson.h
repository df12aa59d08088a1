#pragma once
// Reads the one-line JSON objects that monitor --format jsonl writes: a flat
// object of a string "type" and integer entries, then "time" and the
// derived values (numbers with decimals, or null). Strict enough to catch a
// malformed line.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace clitest {

struct FlatJson {
    std::string type;
    std::vector<std::pair<std::string, int64_t>> entries; // in line order, "type" excluded
    std::vector<std::pair<std::string, std::string>> added; // "time" and what follows, as text
    std::vector<std::string> keys() const;
    std::optional<int64_t> value(const std::string& key) const;
};

// nullopt when line is not such an object with "type" first.
std::optional<FlatJson> parseFlatJson(const std::string& line);

} // namespace clitest
