#include "sim/BoardCore.h"

#include "platform/Log.h"

namespace plovex::sim {

BoardCore::BoardCore(std::uint64_t seed, BoardTimings timings, std::size_t frameLogLimit)
    : timings_(timings), frameLogLimit_(frameLogLimit), motion_(seed), noise_(streamSeed(seed, 3))
{
}

void BoardCore::receive(std::span<const std::uint8_t> bytes, BoardClock::time_point now, std::vector<std::uint8_t>& out)
{
    counters_.bytesReceived += bytes.size();
    tick(now);
    for (const std::uint8_t b : bytes) {
        if (rebooting(now)) {
            ++counters_.bytesWhileRebooting;
            continue;
        }
        switch (parser_.feed(b)) {
        case FrameParser::Outcome::Pending:
            break;
        case FrameParser::Outcome::Stray:
            ++counters_.strayBytes;
            break;
        case FrameParser::Outcome::Frame:
            handle(parser_.frame(), now, out);
            break;
        }
    }
    lastByteAt_ = now;
}

void BoardCore::handle(const ParsedFrame& f, BoardClock::time_point now, std::vector<std::uint8_t>& out)
{
    recordFrame(f.frame);
    if (!f.frame.accepted) {
        ++(f.badChecksum ? counters_.badChecksumBlocks : counters_.malformedFrames);
        return;
    }
    switch (f.frame.kind) {
    case FrameKind::Poll:
        if (withholding(now)) {
            ++counters_.repliesWithheld;
        } else {
            const auto frame = Motion::encode(motion_.next(now));
            reply(frame, out);
            ++counters_.pollsAnswered;
        }
        break;
    case FrameKind::ReadRequest:
        if (withholding(now)) {
            ++counters_.repliesWithheld;
        } else {
            const auto v = static_cast<std::uint16_t>(eeprom_.get(f.address));
            const std::uint8_t r[2] = {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v & 0xFF)};
            reply(r, out);
            ++counters_.readsAnswered;
        }
        break;
    case FrameKind::Write:
        if (readOnly_.test(static_cast<std::size_t>(f.address & 0xFF))) {
            ++counters_.writesIgnored;
            break;
        }
        eeprom_.set(f.address, f.value);
        ++counters_.writesApplied;
        break;
    case FrameKind::ProgramBlock:
        image_.store(f.blockAddress, std::span(f.frame.bytes).subspan(4, ImageStore::kBlockSize));
        lastBlockAt_ = now;
        ++counters_.blocksAccepted;
        break;
    case FrameKind::Reboot:
        ++counters_.reboots;
        endUpload();
        rebootUntil_ = now + timings_.rebootSilence;
        parser_.reset();
        out.clear();
        flushRequested_ = true;
        break;
    case FrameKind::Cut:
    case FrameKind::DiagReply:
        break;
    }
}

void BoardCore::reply(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out)
{
    faults_.apply(bytes, out);
}

void BoardCore::recordFrame(ReceivedFrame frame)
{
    if (frameLogLimit_ == 0) {
        ++counters_.framesForgotten;
        return;
    }
    while (frames_.size() >= frameLogLimit_) {
        frames_.pop_front();
        ++counters_.framesForgotten;
    }
    frames_.push_back(std::move(frame));
}

void BoardCore::cutIfStalled(BoardClock::time_point now)
{
    if (!parser_.inFrame())
        return;
    if (now >= lastByteAt_ + timings_.frameGap) {
        if (auto cut = parser_.cut()) {
            ++counters_.malformedFrames;
            recordFrame(std::move(cut->frame));
        }
    }
}

void BoardCore::tick(BoardClock::time_point now)
{
    cutIfStalled(now);
    if (image_.uploading() && now >= lastBlockAt_ + timings_.uploadEndIdle)
        endUpload();
}

std::optional<BoardClock::time_point> BoardCore::nextDeadline() const
{
    std::optional<BoardClock::time_point> next;
    auto consider = [&](BoardClock::time_point t) {
        if (!next || t < *next)
            next = t;
    };
    if (parser_.inFrame())
        consider(lastByteAt_ + timings_.frameGap);
    if (image_.uploading())
        consider(lastBlockAt_ + timings_.uploadEndIdle);
    return next;
}

bool BoardCore::takeFlushRequest()
{
    const bool r = flushRequested_;
    flushRequested_ = false;
    return r;
}

void BoardCore::endUpload()
{
    if (!image_.finish())
        return;
    ++counters_.uploadsCompleted;
    if (imageOut_.empty())
        return;
    const auto img = image_.image();
    if (std::string err; !writeFileAtomically(imageOut_, img, &err)) {
        lastError_ = "cannot write the uploaded image: " + err;
        platform::logEntry("simulated board: " + lastError_);
    }
}

void BoardCore::appendNoise(std::size_t n, std::vector<std::uint8_t>& out)
{
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t b = noise_.byte();
        while (b == 0xEE)
            b = noise_.byte();
        out.push_back(b);
    }
}

} // namespace plovex::sim
