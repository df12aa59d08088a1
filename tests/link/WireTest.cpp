// The bytes of every frame the host sends, and the decoding of what it receives.

#include "link/Diagnostic.h"
#include "link/Protocol.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace plovex::wire;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes bytes(const auto& a)
{
    return Bytes(a.begin(), a.end());
}

Bytes cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A measurement frame: header, the data bytes given (the rest 0x01), trailer.
Bytes frame(Bytes data, Bytes trailer = {0x0D, 0x0A})
{
    data.resize(18, 0x01);
    return cat(cat({0xEE}, data), trailer);
}

} // namespace

TEST(Wire, HostFrames)
{
    const std::pair<Bytes, Bytes> cases[] = {
        {bytes(eepromWriteFrame(3, -1)), {0x09, 0x71, 0x03, 0xFF, 0xFF, 0xAA}},
        {bytes(eepromWriteFrame(15, 0x0102)), {0x09, 0x71, 0x0F, 0x01, 0x02, 0xAA}},
        {bytes(eepromWriteFrame(16, 0x1234)), {0x99, 0x71, 0x10, 0x12, 0x34, 0xAA}},
        {bytes(eepromWriteFrame(256, -32768)), {0x99, 0x71, 0x00, 0x80, 0x00, 0xAA}},
        {bytes(eepromReadRequest(0x105)), {0x08, 0x05}},
        {bytes(rebootFrame()), {0x9B, 0xA5}},
    };
    for (const auto& [frame, expected] : cases)
        EXPECT_EQ(frame, expected);
}

TEST(Wire, ProgramBlocks)
{
    const Bytes zeros(64, 0x00), ones(64, 0xFF), three = {1, 2, 3};
    struct Case {
        uint16_t address;
        const Bytes& image;
        Bytes checksum;
    };
    const Case cases[] = {
        {0x0000, zeros, {0x01, 0x0B}},
        {0x0040, ones, {0x41, 0x0B}},
        {0x8040, three, {0x01, 0xD1}}, // 0x9A + 0x71 + 0x80 + 0x40 + 1 + 2 + 3
        {0xFFC0, ones, {0x42, 0x8A}},
    };
    for (const auto& c : cases) {
        Bytes expected = cat({0x9A, 0x71, static_cast<uint8_t>(c.address >> 8), static_cast<uint8_t>(c.address)}, c.image);
        expected.resize(68, 0x00);
        EXPECT_EQ(bytes(programBlockFrame(c.address, c.image.data(), c.image.size())), cat(expected, c.checksum))
            << std::hex << c.address;
    }
}

TEST(Wire, MeasurementFrames)
{
    const std::vector<int16_t> ones(9, 257);
    auto values = [&](std::vector<int16_t> first) {
        first.insert(first.end(), ones.begin() + static_cast<long>(first.size()), ones.end());
        MeasurementValues v{};
        std::copy(first.begin(), first.end(), v.begin());
        return v;
    };
    struct Case {
        Bytes in;
        std::optional<MeasurementValues> values; // nullopt: no whole frame
        std::size_t used;                        // bytes taken up to the end of the frame
    };
    const Case cases[] = {
        {frame({0xFF, 0xFE, 0x80, 0x00, 0x7F, 0xFF}), values({-2, -32768, 32767}), 21},
        {frame(cat(Bytes(16, 0x00), {0x00, 0xFA})), MeasurementValues{0, 0, 0, 0, 0, 0, 0, 0, 250}, 21},
        {cat({0x00, 0x12}, frame({0x10, 0x11})), values({0x1011}), 23}, // stray bytes before the header
        {frame({1, 1, 1, 1, 0xEE, 0x00}), values({257, 257, -4608}), 21}, // 0xEE as data
        {cat(frame({}, {0xEE, 0xFF}), {0x99}), values({}), 21},           // any trailer; then the next frame's
        {Bytes(20, 0xEE), std::nullopt, 0},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        MeasurementReceiver rx;
        std::size_t used = 0;
        while (used < c.in.size() && !rx.feed(c.in[used++])) {
        }
        ASSERT_EQ(rx.complete(), c.values.has_value()) << "case " << i;
        if (c.values) {
            EXPECT_EQ(rx.values(), *c.values) << "case " << i;
            EXPECT_EQ(used, c.used) << "case " << i;
            EXPECT_EQ(rx.discarded(), c.used - 21) << "case " << i;
        }
    }
}

TEST(Wire, DiagnosticReplies)
{
    const Bytes v1234 = {1, 2, 3, 0x12, 0x34, 9}, vFFC0 = {0, 0, 0, 0xFF, 0xC0, 0};
    struct Case {
        uint8_t code;
        Bytes further;
        std::optional<Bytes> reply;
        std::string log;
    };
    const Case cases[] = {
        {0x0E, {}, Bytes{0x0E, 0x02, 0x37, 0x00, 0x11, 0x00, 0x00, 0x00, 0x36, 0x02, 0xA7}, "received a 0E"},
        {0x28, {1, 2}, Bytes{0x28, 0x00, 0x11, 0x00, 0x35, 0x00, 0x6F}, "received a 28"},
        {0x29, v1234, Bytes{0x29, 0x12, 0x34, 0x00, 0x34, 0x12, 0x91}, "received a 29"},
        {0x29, vFFC0, Bytes{0x29, 0xFF, 0xC0, 0x00, 0x34, 0x00, 0x1D}, "received a 29"},
        {0x29, Bytes(v1234.begin(), v1234.begin() + 4), std::nullopt, "received a 29"}, // v never arrived
        {0xF0, {}, Bytes{0xF0, 0x00, 0x05, 0x00, 0xF5}, "received a F0"},
        {0xF1, {}, Bytes{0xF0, 0x00, 0x06, 0x00, 0xF6}, "received a F1"},
        {0xEE, {}, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(diagnosticReply(c.code, c.further.data(), c.further.size()), c.reply) << int(c.code);
        EXPECT_EQ(diagnosticLogText(c.code), c.log);
    }
}
