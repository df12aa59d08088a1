#include "platform/Record.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <stdexcept>

namespace platform {

namespace {

constexpr std::size_t kMaskedEntries = 32; // entries the wide mask can describe

bool fits16(int32_t v)
{
    return v >= INT16_MIN && v <= INT16_MAX;
}

} // namespace

const KeyList& internKeys(const KeyList& keys)
{
    // Few kinds exist (three in the link, a handful in tests), so a list
    // searched under one lock is enough; the lists live until the process ends.
    static std::mutex mutex;
    static std::deque<KeyList> lists; // a deque never moves what it holds
    std::lock_guard lock(mutex);
    for (const KeyList& l : lists)
        if (l == keys)
            return l;
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (std::find(keys.begin() + static_cast<long>(i) + 1, keys.end(), keys[i]) != keys.end())
            throw std::invalid_argument("record: key '" + keys[i] + "' given twice");
    return lists.emplace_back(keys);
}

Record::Record(const KeyList& keys, std::span<const int32_t> values, RecordTime time) : keys_(&keys), time_(time)
{
    unsigned char* out = payload();
    const bool masked = values.size() <= kMaskedEntries;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int32_t v = values[i];
        if (masked && fits16(v)) {
            const auto narrow = static_cast<int16_t>(v);
            std::memcpy(out, &narrow, sizeof narrow);
            out += sizeof narrow;
        } else {
            if (masked)
                wide_ |= 1u << i;
            std::memcpy(out, &v, sizeof v);
            out += sizeof v;
        }
    }
}

RecordPtr Record::make(const KeyList& keys, std::span<const int32_t> values, RecordTime time)
{
    if (keys.size() != values.size())
        throw std::invalid_argument("record: " + std::to_string(keys.size()) + " keys but " +
                                    std::to_string(values.size()) + " values");
    std::size_t bytes = sizeof(Record);
    const bool masked = values.size() <= kMaskedEntries;
    for (const int32_t v : values)
        bytes += masked && fits16(v) ? sizeof(int16_t) : sizeof(int32_t);
    void* block = ::operator new(bytes);
    return RecordPtr(new (block) Record(keys, values, time));
}

RecordPtr Record::make(const KeyList& keys, std::initializer_list<int32_t> values, RecordTime time)
{
    return make(keys, std::span<const int32_t>(values.begin(), values.size()), time);
}

void Record::release(const Record* r)
{
    if (r && r->refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        r->~Record();
        ::operator delete(const_cast<Record*>(r));
    }
}

int32_t Record::value(std::size_t i) const
{
    const std::size_t n = count();
    if (i >= n)
        return 0;
    if (n > kMaskedEntries) {
        int32_t v;
        std::memcpy(&v, payload() + 4 * i, sizeof v);
        return v;
    }
    const uint32_t before = wide_ & ((1u << i) - 1u);
    const unsigned char* at = payload() + 2 * i + 2 * static_cast<std::size_t>(std::popcount(before));
    if (wide_ & (1u << i)) {
        int32_t v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    int16_t v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

std::vector<int32_t> Record::values() const
{
    std::vector<int32_t> out(count());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = value(i);
    return out;
}

std::size_t Record::find(std::string_view key) const
{
    // Records hold eleven entries at most: a linear search beats a map here.
    const KeyList& k = *keys_;
    for (std::size_t i = 0; i < k.size(); ++i)
        if (k[i] == key)
            return i;
    return k.size();
}

int32_t Record::intValue(std::string_view key) const
{
    return value(find(key));
}

bool Record::contains(std::string_view key) const
{
    return find(key) < count();
}

bool Record::operator==(const Record& other) const
{
    if (keys() != other.keys())
        return false;
    for (std::size_t i = 0; i < count(); ++i)
        if (value(i) != other.value(i))
            return false;
    return true;
}

RecordPtr makeRecord(const KeyList& keys, std::span<const int32_t> values, RecordTime time)
{
    if (keys.size() != values.size())
        throw std::invalid_argument("record: " + std::to_string(keys.size()) + " keys but " +
                                    std::to_string(values.size()) + " values");
    return Record::make(internKeys(keys), values, time);
}

RecordPtr makeRecord(const KeyList& keys, std::initializer_list<int32_t> values, RecordTime time)
{
    return makeRecord(keys, std::span<const int32_t>(values.begin(), values.size()), time);
}

} // namespace platform
