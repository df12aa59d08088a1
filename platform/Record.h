#pragma once
// An immutable key/value record of 32-bit integers, shared between threads.
// Built once from two lists of equal length; never changed afterwards.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

class Record {
public:
    // Keys and values pair up by position. Throws std::invalid_argument when
    // the lists differ in length or a key repeats.
    Record(std::vector<std::string> keys, std::vector<int32_t> values);

    // The value stored under key, or 0 when the record has no such entry.
    int32_t intValue(const std::string& key) const;
    bool contains(const std::string& key) const;

    std::size_t count() const { return keys_.size(); }
    // Keys and values in construction order.
    const std::vector<std::string>& keys() const { return keys_; }
    const std::vector<int32_t>& values() const { return values_; }

    bool operator==(const Record& other) const = default;

private:
    std::vector<std::string> keys_;
    std::vector<int32_t> values_;
};

using RecordPtr = std::shared_ptr<const Record>;

inline RecordPtr makeRecord(std::vector<std::string> keys, std::vector<int32_t> values)
{
    return std::make_shared<const Record>(std::move(keys), std::move(values));
}

} // namespace platform
