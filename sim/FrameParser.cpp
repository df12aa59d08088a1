#include "sim/FrameParser.h"

#include <cstdio>
#include <string>

namespace plovex::sim {

namespace {

std::string hex2(unsigned v)
{
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v & 0xFFu);
    return b;
}

std::string hex4(unsigned v)
{
    char b[8];
    std::snprintf(b, sizeof b, "0x%04X", v & 0xFFFFu);
    return b;
}

void refuse(ParsedFrame& f, std::string why)
{
    f.frame.accepted = false;
    f.frame.problem = std::move(why);
}

void checkWrite(ParsedFrame& f)
{
    const auto& b = f.frame.bytes;
    f.address = b[2];
    f.value = static_cast<std::int16_t>(static_cast<std::uint16_t>((b[3] << 8) | b[4]));
    if (b[1] != 0x71)
        refuse(f, "second byte " + hex2(b[1]) + ", not 0x71");
    else if (b[5] != 0xAA)
        refuse(f, "last byte " + hex2(b[5]) + ", not 0xAA");
    else if (b[0] == 0x09 && b[2] > 15)
        refuse(f, "0x09 frame for address " + std::to_string(b[2]) + " (0x09 serves 0..15)");
    else if (b[0] == 0x99 && b[2] < 16)
        refuse(f, "0x99 frame with address byte " + std::to_string(b[2]) + " (0x99 serves 16..255)");
}

void checkBlock(ParsedFrame& f)
{
    const auto& b = f.frame.bytes;
    f.blockAddress = static_cast<std::uint16_t>((b[2] << 8) | b[3]);
    unsigned sum = 0;
    for (std::size_t i = 0; i < 68; ++i)
        sum += b[i];
    sum &= 0xFFFFu;
    const unsigned sent = (static_cast<unsigned>(b[68]) << 8) | b[69];
    if (b[1] != 0x71)
        refuse(f, "second byte " + hex2(b[1]) + ", not 0x71");
    else if (f.blockAddress % 64 != 0)
        refuse(f, "block address " + hex4(f.blockAddress) + " is not a multiple of 64");
    else if (sent != sum) {
        refuse(f, "checksum " + hex4(sent) + ", expected " + hex4(sum));
        f.badChecksum = true;
    }
}

} // namespace

const char* frameKindName(FrameKind kind)
{
    switch (kind) {
    case FrameKind::Poll: return "poll";
    case FrameKind::ReadRequest: return "read";
    case FrameKind::Write: return "write";
    case FrameKind::Reboot: return "reboot";
    case FrameKind::ProgramBlock: return "block";
    case FrameKind::Cut: return "cut";
    case FrameKind::DiagReply: return "diag-reply";
    }
    return "?";
}

std::size_t FrameParser::frameLength(std::uint8_t firstByte)
{
    switch (firstByte) {
    case 0xEE: return 1;
    case 0x08: return 2;
    case 0x09:
    case 0x99: return 6;
    case 0x9B: return 2;
    case 0x9A: return 70;
    default: return 0;
    }
}

FrameParser::Outcome FrameParser::feed(std::uint8_t byte)
{
    if (bytes_.empty()) {
        expected_ = frameLength(byte);
        if (expected_ == 0)
            return Outcome::Stray;
    }
    bytes_.push_back(byte);
    if (bytes_.size() < expected_)
        return Outcome::Pending;
    finish();
    return Outcome::Frame;
}

void FrameParser::finish()
{
    done_ = ParsedFrame{};
    done_.frame.bytes.swap(bytes_);
    bytes_.clear();
    const auto& b = done_.frame.bytes;
    switch (b[0]) {
    case 0xEE:
        done_.frame.kind = FrameKind::Poll;
        break;
    case 0x08:
        done_.frame.kind = FrameKind::ReadRequest;
        done_.address = b[1];
        break;
    case 0x09:
    case 0x99:
        done_.frame.kind = FrameKind::Write;
        checkWrite(done_);
        break;
    case 0x9B:
        done_.frame.kind = FrameKind::Reboot;
        if (b[1] != 0xA5)
            refuse(done_, "second byte " + hex2(b[1]) + ", not 0xA5");
        break;
    default:
        done_.frame.kind = FrameKind::ProgramBlock;
        checkBlock(done_);
        break;
    }
}

std::optional<ParsedFrame> FrameParser::cut()
{
    if (bytes_.empty())
        return std::nullopt;
    ParsedFrame f;
    f.frame.kind = FrameKind::Cut;
    f.frame.bytes.swap(bytes_);
    bytes_.clear();
    refuse(f, "frame of " + std::to_string(expected_) + " bytes cut short after " + std::to_string(f.frame.bytes.size()));
    return f;
}

} // namespace plovex::sim
