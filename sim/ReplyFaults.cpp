#include "sim/ReplyFaults.h"

#include <algorithm>

namespace plovex::sim {

void ReplyFaults::injectStray(std::span<const std::uint8_t> bytes)
{
    stray_.insert(stray_.end(), bytes.begin(), bytes.end());
}

void ReplyFaults::dropBytes(std::size_t count, std::size_t offset)
{
    if (count == 0)
        return;
    if (dropCount_ == 0)
        dropOffset_ = offset;
    dropCount_ += count;
}

void ReplyFaults::flipByte(std::size_t offset, std::uint8_t mask)
{
    flips_.push_back({offset, mask});
}

void ReplyFaults::apply(std::span<const std::uint8_t> reply, std::vector<std::uint8_t>& out)
{
    out.insert(out.end(), stray_.begin(), stray_.end());
    stray_.clear();
    if (reply.empty())
        return;
    for (std::size_t i = 0; i < strayEach_; ++i)
        out.push_back(static_cast<std::uint8_t>(i * 0x12) == 0xEE ? 0xEF : static_cast<std::uint8_t>(i * 0x12));
    std::vector<std::uint8_t> r(reply.begin(), reply.end());
    if (cut_ && *cut_ < r.size())
        r.resize(*cut_);
    if (r.empty())
        return;
    if (!flips_.empty()) {
        const Flip f = flips_.front();
        flips_.pop_front();
        r[std::min(f.offset, r.size() - 1)] ^= f.mask;
    }
    std::size_t i = 0;
    for (; i < r.size() && i < dropOffset_; ++i)
        out.push_back(r[i]);
    const std::size_t dropped = std::min(dropCount_, r.size() - i);
    i += dropped;
    dropCount_ -= dropped;
    if (dropOffset_ <= r.size())
        dropOffset_ = 0;
    else
        dropOffset_ -= r.size();
    out.insert(out.end(), r.begin() + static_cast<std::ptrdiff_t>(i), r.end());
}

void ReplyFaults::clear()
{
    stray_.clear();
    dropCount_ = dropOffset_ = 0;
    flips_.clear();
    strayEach_ = 0;
    cut_.reset();
}

} // namespace plovex::sim
