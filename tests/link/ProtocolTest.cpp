#include "link/Diagnostic.h"
#include "link/Protocol.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

using namespace plovex::wire;

namespace {
std::vector<uint8_t> bytes(const auto& a)
{
    return std::vector<uint8_t>(a.begin(), a.end());
}

// Feeds a byte sequence; returns the values once a frame completes.
std::optional<MeasurementValues> receive(const std::vector<uint8_t>& in, std::size_t* consumed = nullptr)
{
    MeasurementReceiver rx;
    for (std::size_t i = 0; i < in.size(); ++i)
        if (rx.feed(in[i])) {
            if (consumed)
                *consumed = i + 1;
            return rx.values();
        }
    return std::nullopt;
}

std::vector<uint8_t> frameWith(std::vector<uint8_t> data18, uint8_t t1 = 0x0D, uint8_t t2 = 0x0A)
{
    std::vector<uint8_t> f;
    f.reserve(21);
    f.push_back(0xEE);
    for (uint8_t b : data18)
        f.push_back(b);
    f.push_back(t1);
    f.push_back(t2);
    return f;
}
} // namespace

TEST(EepromFrames, WriteFrameFirstByteFollowsTheAddressAndCarriesItsLowByte)
{
    EXPECT_EQ(bytes(eepromWriteFrame(3, -1)), (std::vector<uint8_t>{0x09, 0x71, 0x03, 0xFF, 0xFF, 0xAA}));
    EXPECT_EQ(bytes(eepromWriteFrame(16, 0x1234)), (std::vector<uint8_t>{0x99, 0x71, 0x10, 0x12, 0x34, 0xAA}));
    EXPECT_EQ(eepromWriteFrame(15, 0)[0], 0x09);
    EXPECT_EQ(eepromWriteFrame(0, 0)[0], 0x09);
    // Compared as a signed integer: negative addresses are "15 or less".
    EXPECT_EQ(bytes(eepromWriteFrame(-1, 7)), (std::vector<uint8_t>{0x09, 0x71, 0xFF, 0x00, 0x07, 0xAA}));
    EXPECT_EQ(bytes(eepromWriteFrame(256, 0x0102)), (std::vector<uint8_t>{0x99, 0x71, 0x00, 0x01, 0x02, 0xAA}));
    EXPECT_EQ(bytes(eepromWriteFrame(255, -32768)), (std::vector<uint8_t>{0x99, 0x71, 0xFF, 0x80, 0x00, 0xAA}));
}

TEST(EepromFrames, ReadRequestAndRebootFrame)
{
    EXPECT_EQ(bytes(eepromReadRequest(5)), (std::vector<uint8_t>{0x08, 0x05}));
    EXPECT_EQ(bytes(eepromReadRequest(0x1FF)), (std::vector<uint8_t>{0x08, 0xFF}));
    EXPECT_EQ(bytes(rebootFrame()), (std::vector<uint8_t>{0x9B, 0xA5}));
}

TEST(ProgramBlockFrames, ChecksumsOfTheKnownBlocks)
{
    std::vector<uint8_t> zeros(64, 0x00), ones(64, 0xFF);
    auto a = programBlockFrame(0x0000, zeros.data(), 64);
    EXPECT_EQ(a[68], 0x01);
    EXPECT_EQ(a[69], 0x0B);
    auto b = programBlockFrame(0x0040, ones.data(), 64);
    EXPECT_EQ(b[68], 0x41);
    EXPECT_EQ(b[69], 0x0B);
    EXPECT_EQ(programBlockChecksum(b), 0x410B);
}

TEST(ProgramBlockFrames, LayoutAddressBytesAndZeroFill)
{
    std::vector<uint8_t> image(36);
    std::iota(image.begin(), image.end(), 1);
    auto f = programBlockFrame(0x8040, image.data(), image.size());
    EXPECT_EQ(f.size(), 70u);
    EXPECT_EQ(f[0], 0x9A);
    EXPECT_EQ(f[1], 0x71);
    EXPECT_EQ(f[2], 0x80);
    EXPECT_EQ(f[3], 0x40);
    for (std::size_t i = 0; i < 36; ++i)
        EXPECT_EQ(f[4 + i], image[i]);
    for (std::size_t i = 40; i < 68; ++i)
        EXPECT_EQ(f[i], 0x00) << "offset " << i;
    unsigned sum = 0;
    for (std::size_t i = 0; i < 68; ++i)
        sum += f[i];
    EXPECT_EQ(f[68], (sum >> 8) & 0xFF);
    EXPECT_EQ(f[69], sum & 0xFF);

    auto top = programBlockFrame(0xFFC0, nullptr, 0);
    EXPECT_EQ(top[2], 0xFF);
    EXPECT_EQ(top[3], 0xC0);
    // A sum past 65535 keeps its low 16 bits.
    std::vector<uint8_t> big(64, 0xFF);
    auto wrap = programBlockFrame(0xFFC0, big.data(), 64);
    EXPECT_EQ(programBlockChecksum(wrap), static_cast<uint16_t>(0x9A + 0x71 + 0xFF + 0xC0 + 64 * 0xFF));
}

TEST(MeasurementReceiver, DecodesSignedBigEndianValues)
{
    std::vector<uint8_t> data(18, 0);
    data[0] = 0xFF, data[1] = 0xFE;   // xGravityRaw -2
    data[2] = 0x80, data[3] = 0x00;   // xGravityKal -32768
    data[4] = 0x7F, data[5] = 0xFF;   // xRaw 32767
    data[16] = 0x00, data[17] = 0xFA; // temp 250
    auto v = receive(frameWith(data));
    ASSERT_TRUE(v);
    EXPECT_EQ((*v)[0], -2);
    EXPECT_EQ((*v)[1], -32768);
    EXPECT_EQ((*v)[2], 32767);
    EXPECT_EQ((*v)[8], 250);
}

TEST(MeasurementReceiver, StrayBytesBeforeTheHeaderAreDiscarded)
{
    std::vector<uint8_t> data(18);
    std::iota(data.begin(), data.end(), 0x10);
    auto in = frameWith(data);
    const std::vector<uint8_t> stray{0x00, 0x12};
    in.insert(in.begin(), stray.begin(), stray.end());
    MeasurementReceiver rx;
    for (auto b : in)
        rx.feed(b);
    ASSERT_TRUE(rx.complete());
    EXPECT_EQ(rx.discarded(), 2u);
    EXPECT_EQ(rx.values()[0], 0x1011);
}

TEST(MeasurementReceiver, HeaderByteInsideTheDataIsData)
{
    std::vector<uint8_t> data(18, 0x01);
    data[4] = 0xEE; // offset 5: high byte of xRaw
    data[5] = 0x00;
    auto v = receive(frameWith(data));
    ASSERT_TRUE(v);
    EXPECT_EQ((*v)[2], static_cast<int16_t>(0xEE00));
}

TEST(MeasurementReceiver, AnyTrailerIsAcceptedAndTheFrameEndsAfterIt)
{
    std::vector<uint8_t> data(18, 0x22);
    for (uint8_t t : {0x00, 0xEE, 0xFF}) {
        std::size_t used = 0;
        auto in = frameWith(data, t, t);
        in.push_back(0x99); // belongs to whatever comes next
        ASSERT_TRUE(receive(in, &used)) << int(t);
        EXPECT_EQ(used, 21u);
    }
    // Twenty bytes are not a frame.
    auto in = frameWith(data);
    in.pop_back();
    EXPECT_FALSE(receive(in));
}

TEST(DiagnosticReplies, FixedRepliesAndTheValueEcho)
{
    EXPECT_EQ(*diagnosticReply(0x0E, nullptr, 0),
              (std::vector<uint8_t>{0x0E, 0x02, 0x37, 0x00, 0x11, 0x00, 0x00, 0x00, 0x36, 0x02, 0xA7}));
    EXPECT_EQ(*diagnosticReply(0x28, nullptr, 0), (std::vector<uint8_t>{0x28, 0x00, 0x11, 0x00, 0x35, 0x00, 0x6F}));
    EXPECT_EQ(*diagnosticReply(0xF0, nullptr, 0), (std::vector<uint8_t>{0xF0, 0x00, 0x05, 0x00, 0xF5}));
    EXPECT_EQ(*diagnosticReply(0xF1, nullptr, 0), (std::vector<uint8_t>{0xF0, 0x00, 0x06, 0x00, 0xF6}));

    const uint8_t a[6] = {1, 2, 3, 0x12, 0x34, 9};
    EXPECT_EQ(*diagnosticReply(0x29, a, 6), (std::vector<uint8_t>{0x29, 0x12, 0x34, 0x00, 0x34, 0x12, 0x91}));
    const uint8_t b[6] = {0, 0, 0, 0xFF, 0xC0, 0};
    EXPECT_EQ(*diagnosticReply(0x29, b, 6), (std::vector<uint8_t>{0x29, 0xFF, 0xC0, 0x00, 0x34, 0x00, 0x1D}));
    // Five further bytes hold v already; four do not.
    EXPECT_TRUE(diagnosticReply(0x29, a, 5));
    EXPECT_FALSE(diagnosticReply(0x29, a, 4));
    EXPECT_FALSE(diagnosticReply(0x29, nullptr, 0));
    EXPECT_FALSE(diagnosticReply(0xEE, nullptr, 0));
}

TEST(DiagnosticReplies, RequestCodesTextsAndLengths)
{
    int requests = 0;
    for (int c = 0; c < 256; ++c)
        requests += isDiagnosticRequest(static_cast<uint8_t>(c));
    EXPECT_EQ(requests, 5);
    EXPECT_EQ(diagnosticLogText(0x0E), "received a 0E");
    EXPECT_EQ(diagnosticLogText(0xF1), "received a F1");
    EXPECT_EQ(diagnosticLogText(0x41), "");
    EXPECT_EQ(diagnosticFurtherBytes(0x28), 2u);
    EXPECT_EQ(diagnosticFurtherBytes(0x29), 6u);
    EXPECT_EQ(diagnosticFurtherBytes(0x0E), 0u);
}
