#pragma once
// Splits a fuzz input into the pieces a target needs: single bytes, length-
// prefixed strings, and the rest. Reading past the end yields zeros and empty
// strings, so every input, however short, is a valid sequence of pieces.

#include <cstddef>
#include <cstdint>
#include <string>

namespace plovex::fuzz {

class ByteReader {
public:
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t remaining() const { return size_ - pos_; }

    uint8_t byte() { return empty() ? 0 : data_[pos_++]; }

    // Up to n bytes (fewer at the end of the input).
    std::string bytes(std::size_t n)
    {
        const std::size_t take = n < remaining() ? n : remaining();
        std::string out(reinterpret_cast<const char*>(data_ + pos_), take);
        pos_ += take;
        return out;
    }

    // A string whose length (mod limit + 1) is given by the next byte.
    std::string sized(std::size_t limit) { return bytes(byte() % (limit + 1)); }

    std::string rest() { return bytes(remaining()); }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace plovex::fuzz
