#pragma once
// Faults the board puts into its replies on request: stray bytes before the
// next reply, bytes dropped from it, a byte of it flipped. Each request is
// used up by the replies it hits. Two faults last until they are turned off,
// for a board that misbehaves the same way every time: stray bytes before
// every reply, and every reply cut short after its first bytes.

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace plovex::sim {

class ReplyFaults {
public:
    // bytes go out just before the next reply (requests add up).
    void injectStray(std::span<const std::uint8_t> bytes);
    // The next count reply bytes are not sent, starting at byte offset of the
    // next reply; a count beyond that reply goes on into the following ones.
    void dropBytes(std::size_t count, std::size_t offset);
    // The byte at offset of a coming reply (the last byte when the reply is
    // shorter) is sent XOR mask. Each request hits one reply, in order.
    void flipByte(std::size_t offset, std::uint8_t mask);
    // n stray bytes (never 0xEE: 0x00, 0x12, 0x24, ...) before every reply; 0: off.
    void setStrayBeforeEach(std::size_t n) { strayEach_ = n; }
    // Every reply keeps only its first n bytes, the rest is never sent (1: one
    // reply byte, then silence); nullopt: off.
    void setReplyCut(std::optional<std::size_t> n) { cut_ = n; }

    // Appends reply to out as the pending faults shape it.
    void apply(std::span<const std::uint8_t> reply, std::vector<std::uint8_t>& out);

    bool pending() const { return !stray_.empty() || dropCount_ > 0 || !flips_.empty(); }
    void clear();

private:
    struct Flip {
        std::size_t offset;
        std::uint8_t mask;
    };
    std::vector<std::uint8_t> stray_;
    std::size_t dropOffset_ = 0, dropCount_ = 0;
    std::deque<Flip> flips_;
    std::size_t strayEach_ = 0;
    std::optional<std::size_t> cut_;
};

} // namespace plovex::sim
