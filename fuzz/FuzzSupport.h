#pragma once
// What the fuzz targets share: reading an input piece by piece, reporting a
// broken invariant, showing bytes in a message, and a scratch folder.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace plovex::fuzz {

using Bytes = std::vector<uint8_t>;

// Splits an input into pieces. Reading past the end gives zeros and empty
// strings, so every input, however short, is a valid sequence of pieces.
class ByteReader {
public:
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    uint8_t byte() { return empty() ? 0 : data_[pos_++]; }
    std::string bytes(std::size_t n)
    {
        n = std::min(n, size_ - std::min(pos_, size_));
        std::string out(reinterpret_cast<const char*>(data_) + pos_, n);
        pos_ += n;
        return out;
    }
    // A string whose length (mod limit + 1) the next byte gives.
    std::string sized(std::size_t limit) { return bytes(byte() % (limit + 1)); }
    std::string rest() { return bytes(size_); }

private:
    const uint8_t* data_;
    std::size_t size_, pos_ = 0;
};

// A broken invariant. The libFuzzer entry aborts on it, so the input is kept
// as a crash; the regression suite reports it as a failed test.
class InvariantBroken : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Bytes as "0E 02 37", for messages.
std::string hex(std::string_view bytes);
inline std::string hex(const Bytes& bytes)
{
    return hex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// A folder of this process's own for targets that need files; removed at exit.
const std::filesystem::path& scratchDir();

} // namespace plovex::fuzz

// Checks cond; on failure throws with cond's text and detail (evaluated only then).
#define PLOVEX_FUZZ_REQUIRE(cond, detail)                                                                         \
    do {                                                                                                           \
        if (!(cond))                                                                                               \
            throw ::plovex::fuzz::InvariantBroken(std::string("invariant broken: " #cond " -- ") + (detail));     \
    } while (0)
