#pragma once
// An immutable key/value record of 32-bit integers, shared between threads,
// with the time it stands for (the link stamps a record with the moment its
// reply was complete; a record made without a time is stamped when made).
//
// Every record of one kind shares one immutable key list: a record holds a
// pointer to its list and its values, nothing else. A value that fits in 16
// bits (all the board's readings do) is kept in 2 bytes, any other in 4, so a
// measurement record takes one 48-byte block however many of them wait in a
// queue. Nothing is rounded: intValue gives back every value exactly.
//
//   static const platform::KeyList& keys = platform::internKeys({"paddress", "pdata"});
//   platform::RecordPtr r = platform::Record::make(keys, {5, -1});
//   r->intValue("pdata");   // -1

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// The keys of one kind of record, in record order.
using KeyList = std::vector<std::string>;

// The process's one copy of this key list: equal lists give the same object,
// which lives until the process ends. Throws std::invalid_argument when a key
// repeats.
const KeyList& internKeys(const KeyList& keys);

class RecordPtr;

// The wall clock records are stamped with.
using RecordClock = std::chrono::system_clock;
using RecordTime = RecordClock::time_point;

class Record {
public:
    // A record of the values paired by position with keys, which must be an
    // interned list (internKeys), standing for the given time (default: now).
    // Throws std::invalid_argument when the counts differ.
    static RecordPtr make(const KeyList& keys, std::span<const int32_t> values, RecordTime time = RecordClock::now());
    static RecordPtr make(const KeyList& keys, std::initializer_list<int32_t> values,
                          RecordTime time = RecordClock::now());

    // The time the record stands for: for the link's records, when the
    // board's reply was complete, or when the cycle found the line closed.
    RecordTime time() const { return time_; }

    // The value stored under key, or 0 when the record has no such entry.
    int32_t intValue(std::string_view key) const;
    bool contains(std::string_view key) const;

    std::size_t count() const { return keys_->size(); }
    // Keys in construction order: the list shared by the record's kind.
    const KeyList& keys() const { return *keys_; }
    // The value at position i (0 <= i < count()).
    int32_t value(std::size_t i) const;
    // The values in construction order (a copy).
    std::vector<int32_t> values() const;

    bool operator==(const Record& other) const;

    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

private:
    friend class RecordPtr;
    Record(const KeyList& keys, std::span<const int32_t> values, RecordTime time);
    ~Record() = default;
    static void release(const Record* r);
    std::size_t find(std::string_view key) const;
    const unsigned char* payload() const { return reinterpret_cast<const unsigned char*>(this + 1); }
    unsigned char* payload() { return reinterpret_cast<unsigned char*>(this + 1); }

    const KeyList* keys_;
    RecordTime time_;
    mutable std::atomic<uint32_t> refs_{1};
    // Bit i set: value i takes 4 bytes, else 2. Records of more than 32
    // entries keep every value in 4 bytes.
    uint32_t wide_ = 0;
    // The values follow the record in the same block.
};

// Shared ownership of a record, as std::shared_ptr<const Record> would give,
// with the count kept in the record itself (one block per record).
class RecordPtr {
public:
    RecordPtr() noexcept = default;
    RecordPtr(std::nullptr_t) noexcept {}
    RecordPtr(const RecordPtr& other) noexcept : r_(other.r_)
    {
        if (r_)
            r_->refs_.fetch_add(1, std::memory_order_relaxed);
    }
    RecordPtr(RecordPtr&& other) noexcept : r_(other.r_) { other.r_ = nullptr; }
    RecordPtr& operator=(RecordPtr other) noexcept
    {
        std::swap(r_, other.r_);
        return *this;
    }
    ~RecordPtr() { Record::release(r_); }

    const Record* get() const noexcept { return r_; }
    const Record& operator*() const noexcept { return *r_; }
    const Record* operator->() const noexcept { return r_; }
    explicit operator bool() const noexcept { return r_ != nullptr; }
    void reset() noexcept { RecordPtr().swap(*this); }
    void swap(RecordPtr& other) noexcept { std::swap(r_, other.r_); }

    friend bool operator==(const RecordPtr& a, const RecordPtr& b) noexcept { return a.r_ == b.r_; }
    friend bool operator==(const RecordPtr& a, std::nullptr_t) noexcept { return a.r_ == nullptr; }

private:
    friend class Record;
    explicit RecordPtr(const Record* adopted) noexcept : r_(adopted) {}
    const Record* r_ = nullptr;
};

// A record from its own key and value lists (the keys are interned first).
// Throws std::invalid_argument when the lists differ in length or a key repeats.
RecordPtr makeRecord(const KeyList& keys, std::span<const int32_t> values, RecordTime time = RecordClock::now());
RecordPtr makeRecord(const KeyList& keys, std::initializer_list<int32_t> values, RecordTime time = RecordClock::now());
inline RecordPtr makeRecord(const KeyList& keys, const std::vector<int32_t>& values, RecordTime time = RecordClock::now())
{
    return makeRecord(keys, std::span<const int32_t>(values), time);
}

} // namespace platform
