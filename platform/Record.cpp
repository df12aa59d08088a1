#include "platform/Record.h"

#include <algorithm>
#include <stdexcept>

namespace platform {

Record::Record(std::vector<std::string> keys, std::vector<int32_t> values)
    : keys_(std::move(keys)), values_(std::move(values))
{
    if (keys_.size() != values_.size())
        throw std::invalid_argument("record: " + std::to_string(keys_.size()) + " keys but "
                                    + std::to_string(values_.size()) + " values");
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (std::find(keys_.begin() + static_cast<long>(i) + 1, keys_.end(), keys_[i]) != keys_.end())
            throw std::invalid_argument("record: key '" + keys_[i] + "' given twice");
}

int32_t Record::intValue(const std::string& key) const
{
    // Records hold eleven entries at most: a linear search beats a map here.
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == key)
            return values_[i];
    return 0;
}

bool Record::contains(const std::string& key) const
{
    return std::find(keys_.begin(), keys_.end(), key) != keys_.end();
}

} // namespace platform
