#include "link/ReceiveBuffer.h"

#include <algorithm>
#include <cstring>

namespace plovex {

std::size_t ReceiveBuffer::serve(uint8_t* out, std::size_t max)
{
    const std::size_t n = std::min(max, buffered());
    std::memcpy(out, bytes_.data() + begin_, n);
    begin_ += n;
    return n;
}

LineRead ReceiveBuffer::take(const LineWait& wait, uint8_t* out, std::size_t max)
{
    if (buffered() == 0) {
        clear();
        const LineRead r = readLine(wait, bytes_.data(), bytes_.size());
        if (r.status != LineStatus::Data)
            return r;
        end_ = r.count;
    }
    return {LineStatus::Data, serve(out, max)};
}

LineRead ReceiveBuffer::takeUpTo(const LineWait& wait, uint8_t* out, std::size_t need)
{
    const std::size_t have = buffered();
    if (have >= need)
        return take(wait, out, need);
    if (have == 0) {
        LineWait whole = wait;
        whole.replyComplete = std::chrono::steady_clock::now() + wait.byteTime * static_cast<long>(need);
        return take(whole, out, need);
    }
    std::memmove(bytes_.data(), bytes_.data() + begin_, have);
    begin_ = 0;
    end_ = have;
    end_ += readPending(wait, bytes_.data() + end_, bytes_.size() - end_,
                        wait.byteTime * static_cast<long>(need - have));
    return {LineStatus::Data, serve(out, need)};
}

} // namespace plovex
