#include "sim/DiagnosticPeer.h"

#include <cstdio>

namespace plovex::sim {

namespace {

constexpr std::uint8_t kCodes[5] = {0x0E, 0x28, 0x29, 0xF0, 0xF1};

bool isCode(std::uint8_t b)
{
    for (auto c : kCodes)
        if (b == c)
            return true;
    return false;
}

std::string hexBytes(const std::vector<std::uint8_t>& bytes)
{
    std::string s;
    char b[4];
    for (auto v : bytes) {
        std::snprintf(b, sizeof b, "%02X", v);
        if (!s.empty())
            s += ' ';
        s += b;
    }
    return s;
}

} // namespace

DiagnosticPeer::DiagnosticPeer(std::uint64_t seed, PeerTimings timings, BoardCore& board)
    : timings_(timings), board_(board), random_(streamSeed(seed, 4))
{
}

std::uint8_t DiagnosticPeer::noiseByte()
{
    std::uint8_t b = random_.byte();
    while (isCode(b))
        b = random_.byte();
    return b;
}

std::vector<std::uint8_t> DiagnosticPeer::expectedReply(const std::vector<std::uint8_t>& request)
{
    switch (request.empty() ? 0 : request[0]) {
    case 0x0E: return {0x0E, 0x02, 0x37, 0x00, 0x11, 0x00, 0x00, 0x00, 0x36, 0x02, 0xA7};
    case 0x28: return {0x28, 0x00, 0x11, 0x00, 0x35, 0x00, 0x6F};
    case 0x29: {
        if (request.size() < 6)
            return {};
        const unsigned v = (static_cast<unsigned>(request[4]) << 8) | request[5];
        const unsigned s = (v + 0x5D) & 0xFFFF;
        return {0x29, request[4], request[5], 0x00, 0x34, static_cast<std::uint8_t>(s >> 8), static_cast<std::uint8_t>(s & 0xFF)};
    }
    case 0xF0: return {0xF0, 0x00, 0x05, 0x00, 0xF5};
    case 0xF1: return {0xF0, 0x00, 0x06, 0x00, 0xF6};
    default: return {};
    }
}

std::vector<std::vector<std::uint8_t>> DiagnosticPeer::due(BoardClock::time_point now)
{
    if (awaiting_ || now < nextAt_)
        return {};
    std::vector<std::uint8_t> noise(static_cast<std::size_t>(random_.between(0, 3)));
    for (auto& b : noise)
        b = noiseByte();
    const std::uint8_t code = kCodes[nextCode_];
    request_.assign(1, code);
    if (code == 0x28) {
        request_.push_back(random_.byte());
        request_.push_back(random_.byte());
    } else if (code == 0x29) {
        const std::uint16_t v = vCount_ == 0 ? 0xFFC0 : vCount_ == 1 ? 0x1234 : static_cast<std::uint16_t>(random_.next());
        ++vCount_;
        request_.push_back(random_.byte());
        request_.push_back(random_.byte());
        request_.push_back(random_.byte());
        request_.push_back(static_cast<std::uint8_t>(v >> 8));
        request_.push_back(static_cast<std::uint8_t>(v & 0xFF));
        request_.push_back(random_.byte());
    }
    nextCode_ = (nextCode_ + 1) % 5;
    expected_ = expectedReply(request_);
    got_.clear();
    awaiting_ = true;
    deadline_ = now + timings_.replyTimeout;
    ++board_.counters().diagRequestsSent;
    std::vector<std::vector<std::uint8_t>> writes;
    if (!noise.empty())
        writes.push_back(std::move(noise));
    writes.push_back(request_);
    return writes;
}

void DiagnosticPeer::sendFailed()
{
    if (!awaiting_)
        return;
    awaiting_ = false;
    --board_.counters().diagRequestsSent;
    nextCode_ = (nextCode_ + 4) % 5;
}

void DiagnosticPeer::receive(std::span<const std::uint8_t> bytes, BoardClock::time_point now)
{
    for (const std::uint8_t b : bytes) {
        if (!awaiting_) {
            ++board_.counters().diagUnexpectedBytes;
            continue;
        }
        got_.push_back(b);
        if (got_.size() == expected_.size())
            score(now);
    }
}

void DiagnosticPeer::tick(BoardClock::time_point now)
{
    if (awaiting_ && now >= deadline_)
        score(now);
}

void DiagnosticPeer::score(BoardClock::time_point now)
{
    auto& c = board_.counters();
    ReceivedFrame f;
    f.kind = FrameKind::DiagReply;
    f.bytes = got_;
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", request_[0]);
    if (got_.empty()) {
        ++c.diagUnanswered;
        f.accepted = false;
        f.problem = std::string("no reply to ") + code;
    } else if (got_ != expected_) {
        ++c.diagWrong;
        f.accepted = false;
        f.problem = std::string("reply to ") + code + " was " + hexBytes(got_) + ", expected " + hexBytes(expected_);
    } else {
        ++c.diagCorrect;
    }
    board_.recordFrame(std::move(f));
    awaiting_ = false;
    got_.clear();
    nextAt_ = now + timings_.pause;
}

std::optional<BoardClock::time_point> DiagnosticPeer::nextDeadline() const
{
    return awaiting_ ? deadline_ : nextAt_;
}

void DiagnosticPeer::lineLost()
{
    awaiting_ = false;
    got_.clear();
}

} // namespace plovex::sim
