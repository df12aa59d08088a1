// The board's reading of host bytes: framing, strict checks, stray bytes.

#include "sim/FrameParser.h"

#include <gtest/gtest.h>

using plovex::sim::FrameKind;
using plovex::sim::FrameParser;
using plovex::sim::ParsedFrame;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Fed {
    std::vector<ParsedFrame> frames;
    int stray = 0;
};

Fed feedAll(FrameParser& p, const Bytes& bytes)
{
    Fed r;
    for (auto b : bytes) {
        switch (p.feed(b)) {
        case FrameParser::Outcome::Frame: r.frames.push_back(p.frame()); break;
        case FrameParser::Outcome::Stray: ++r.stray; break;
        case FrameParser::Outcome::Pending: break;
        }
    }
    return r;
}

ParsedFrame one(const Bytes& bytes)
{
    FrameParser p;
    auto r = feedAll(p, bytes);
    EXPECT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.stray, 0);
    return r.frames.empty() ? ParsedFrame{} : r.frames[0];
}

Bytes block(std::uint16_t address, std::uint8_t fill, int checksumDelta = 0)
{
    Bytes f(70, fill);
    f[0] = 0x9A;
    f[1] = 0x71;
    f[2] = static_cast<std::uint8_t>(address >> 8);
    f[3] = static_cast<std::uint8_t>(address & 0xFF);
    unsigned sum = 0;
    for (int i = 0; i < 68; ++i)
        sum += f[i];
    sum = (sum + static_cast<unsigned>(checksumDelta)) & 0xFFFF;
    f[68] = static_cast<std::uint8_t>(sum >> 8);
    f[69] = static_cast<std::uint8_t>(sum & 0xFF);
    return f;
}

} // namespace

TEST(FrameParser, ReadsEveryHostFrameWithItsFields)
{
    FrameParser p;
    const Bytes stream = {0xEE, 0x08, 0x03, 0x09, 0x71, 0x03, 0xFF, 0xFF, 0xAA, 0x99, 0x71, 0x10, 0x12, 0x34, 0xAA, 0x9B, 0xA5};
    auto r = feedAll(p, stream);
    ASSERT_EQ(r.frames.size(), 5u);
    EXPECT_EQ(r.stray, 0);
    EXPECT_EQ(r.frames[0].frame.kind, FrameKind::Poll);
    EXPECT_EQ(r.frames[1].frame.kind, FrameKind::ReadRequest);
    EXPECT_EQ(r.frames[1].address, 3);
    EXPECT_EQ(r.frames[2].frame.kind, FrameKind::Write);
    EXPECT_TRUE(r.frames[2].frame.accepted);
    EXPECT_EQ(r.frames[2].address, 3);
    EXPECT_EQ(r.frames[2].value, -1);
    EXPECT_EQ(r.frames[3].address, 16);
    EXPECT_EQ(r.frames[3].value, 0x1234);
    EXPECT_EQ(r.frames[3].frame.bytes, (Bytes{0x99, 0x71, 0x10, 0x12, 0x34, 0xAA}));
    EXPECT_EQ(r.frames[4].frame.kind, FrameKind::Reboot);
    EXPECT_TRUE(r.frames[4].frame.accepted);
}

TEST(FrameParser, BytesInsideAFrameAreDataEvenWhenTheyLookLikeFrameStarts)
{
    auto f = one({0x09, 0x71, 0x0F, 0xEE, 0x08, 0xAA});
    EXPECT_TRUE(f.frame.accepted);
    EXPECT_EQ(f.address, 15);
    EXPECT_EQ(f.value, static_cast<std::int16_t>(0xEE08));
    auto r = one({0x08, 0xEE});
    EXPECT_EQ(r.frame.kind, FrameKind::ReadRequest);
    EXPECT_EQ(r.address, 0xEE);
}

TEST(FrameParser, BytesThatStartNoFrameAreStray)
{
    FrameParser p;
    auto r = feedAll(p, {0x00, 0x12, 0xA5, 0x71, 0xEE, 0xFF});
    EXPECT_EQ(r.stray, 5);
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0].frame.kind, FrameKind::Poll);
}

TEST(FrameParser, RefusesEveryMalformedWrite)
{
    const std::vector<Bytes> bad = {
        {0x09, 0x72, 0x03, 0x00, 0x05, 0xAA}, // wrong constant
        {0x09, 0x71, 0x03, 0x00, 0x05, 0xAB}, // wrong trailer
        {0x09, 0x71, 0x10, 0x00, 0x05, 0xAA}, // 0x09 for address 16
        {0x09, 0x71, 0xFF, 0x00, 0x05, 0xAA}, // 0x09 for address 255
        {0x99, 0x71, 0x0F, 0x00, 0x05, 0xAA}, // 0x99 with a low byte below 16 (address 271)
        {0x99, 0x71, 0x00, 0x00, 0x05, 0xAA}, // 0x99 for address 256
        {0x99, 0x70, 0x20, 0x00, 0x05, 0xAA}, // wrong constant on 0x99
    };
    for (const auto& b : bad) {
        auto f = one(b);
        EXPECT_EQ(f.frame.kind, FrameKind::Write);
        EXPECT_FALSE(f.frame.accepted) << "frame starting " << int(b[0]) << " addr " << int(b[2]);
        EXPECT_FALSE(f.frame.problem.empty());
        EXPECT_EQ(f.frame.bytes, b);
    }
    EXPECT_TRUE(one({0x09, 0x71, 0x0F, 0x00, 0x05, 0xAA}).frame.accepted);
    EXPECT_TRUE(one({0x99, 0x71, 0xFF, 0x00, 0x05, 0xAA}).frame.accepted);
    EXPECT_FALSE(one({0x9B, 0xA4}).frame.accepted);
}

TEST(FrameParser, ChecksProgramBlocks)
{
    // The sums of a zero block at 0x0000 and an 0xFF block at 0x0040.
    auto zero = block(0x0000, 0x00);
    EXPECT_EQ(zero[68], 0x01);
    EXPECT_EQ(zero[69], 0x0B);
    auto good = one(zero);
    EXPECT_EQ(good.frame.kind, FrameKind::ProgramBlock);
    EXPECT_TRUE(good.frame.accepted);
    auto ff = block(0x0040, 0xFF);
    EXPECT_EQ(ff[68], 0x41);
    EXPECT_EQ(ff[69], 0x0B);
    EXPECT_EQ(one(ff).blockAddress, 0x0040);
    EXPECT_EQ(one(block(0xFFC0, 0x11)).blockAddress, 0xFFC0);

    auto sum = one(block(0x0080, 0x22, 1));
    EXPECT_FALSE(sum.frame.accepted);
    EXPECT_TRUE(sum.badChecksum);

    auto constant = block(0x0080, 0x22);
    constant[1] = 0x72;
    auto c = one(constant);
    EXPECT_FALSE(c.frame.accepted);
    EXPECT_FALSE(c.badChecksum);

    auto odd = one(block(0x0041, 0x22));
    EXPECT_FALSE(odd.frame.accepted);
    EXPECT_FALSE(odd.badChecksum);
}

TEST(FrameParser, CutEndsAFrameInProgressOnly)
{
    FrameParser p;
    EXPECT_FALSE(p.cut());
    feedAll(p, {0x09, 0x71, 0x03});
    EXPECT_TRUE(p.inFrame());
    auto c = p.cut();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->frame.kind, FrameKind::Cut);
    EXPECT_FALSE(c->frame.accepted);
    EXPECT_EQ(c->frame.bytes, (Bytes{0x09, 0x71, 0x03}));
    EXPECT_FALSE(p.inFrame());
    // The bytes after the cut start afresh.
    auto r = feedAll(p, {0xFF, 0xFF, 0xAA, 0xEE});
    EXPECT_EQ(r.stray, 3);
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0].frame.kind, FrameKind::Poll);
}
