#include "tests/link/LinkTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <unistd.h>

using namespace plovex;
using namespace std::chrono_literals;
using testsupport::PtyPeer;

namespace {

struct OpenPort {
    PtyPeer peer;
    std::unique_ptr<commPort> port;
    explicit OpenPort(int timeoutDeciseconds = 2)
    {
        commPortOptions o;
        o.loop = LoopKind::None;
        o.lineTimeoutDeciseconds = timeoutDeciseconds;
        port = std::make_unique<commPort>(o);
        port->setCommPortPath(peer.slavePath());
        port->setBaudRate(38400);
        if (port->OpenPort() < 0)
            throw std::runtime_error("cannot open the test pty");
    }
};

} // namespace

TEST(EepromRead, DeliversTheSignedReplyAndSendsTheRequest)
{
    OpenPort o;
    auto reply = std::async(std::launch::async, [&] {
        auto req = o.peer.read(2, 1s);
        o.peer.write({0xFF, 0x85});
        return req;
    });
    int16_t v = 0;
    EXPECT_EQ(o.port->readEEPROM(0x105, &v), 1);
    EXPECT_EQ(v, -123);
    EXPECT_EQ(reply.get(), (std::vector<uint8_t>{0x08, 0x05}));
}

TEST(EepromRead, IncompleteOrMissingRepliesLeaveTheValueAlone)
{
    OpenPort o;
    int16_t v = 4711;
    o.peer.write({0x12}); // one byte, then silence
    EXPECT_EQ(o.port->readEEPROM(3, &v), 0);
    EXPECT_EQ(v, 4711);
    EXPECT_EQ(o.port->readEEPROM(3, &v), 0); // nothing at all
    EXPECT_EQ(v, 4711);
    EXPECT_EQ(o.port->readEEPROM(3, nullptr), 0);
    EXPECT_EQ(o.port->portOpenOK(), 1) << "silence is not a lost device";

    o.port->reset();
    o.peer.drain(50ms);
    EXPECT_EQ(o.port->readEEPROM(3, &v), 0);
    EXPECT_TRUE(o.peer.drain(100ms).empty()) << "a closed port sends nothing";
}

TEST(EepromRead, PendingInputIsNeverFlushed)
{
    OpenPort o;
    // Late bytes of an earlier exchange are what the next read takes first.
    o.peer.write({0xAB, 0xCD});
    std::this_thread::sleep_for(20ms);
    int16_t v = 0;
    EXPECT_EQ(o.port->readEEPROM(1, &v), 1);
    EXPECT_EQ(v, static_cast<int16_t>(0xABCD));
}

TEST(EepromWrite, ExactFramesAndNothingWhenClosed)
{
    OpenPort o;
    o.port->writeEEPROM(3, -1);
    o.port->writeEEPROM(16, 0x1234);
    o.port->writeEEPROM(15, 0x0102);
    EXPECT_EQ(o.peer.read(18, 1s), (std::vector<uint8_t>{0x09, 0x71, 0x03, 0xFF, 0xFF, 0xAA, 0x99, 0x71, 0x10, 0x12, 0x34,
                                                         0xAA, 0x09, 0x71, 0x0F, 0x01, 0x02, 0xAA}));
    o.port->reset();
    o.port->writeEEPROM(3, 1);
    o.port->sendReboot();
    EXPECT_TRUE(o.peer.drain(100ms).empty());
}

TEST(Reboot, SendsExactlyTheTwoBytesAndReadsNothing)
{
    OpenPort o;
    o.peer.write({0x55}); // stays pending: reboot reads nothing
    o.port->sendReboot();
    EXPECT_EQ(o.peer.read(2, 1s), (std::vector<uint8_t>{0x9B, 0xA5}));
    int16_t v = 0;
    o.peer.write({0x66});
    EXPECT_EQ(o.port->readEEPROM(0, &v), 1);
    EXPECT_EQ(v, 0x5566);
}

TEST(LineLoss, AnUnpluggedDeviceClosesThePortInsteadOfLookingSilent)
{
    OpenPort o(10);
    const int before = testsupport::openDescriptorCount();
    o.peer.hangUp();
    int16_t v = 9;
    EXPECT_EQ(o.port->readEEPROM(0, &v), 0);
    EXPECT_EQ(v, 9);
    // Unlike silence, a lost device closes the port, so the loop reports the
    // link down and reopens the device once it is back.
    EXPECT_EQ(o.port->portOpenOK(), 0);
    EXPECT_EQ(testsupport::openDescriptorCount(), before - 2); // the peer's master and our line
}

TEST(LockDiscipline, AnExchangeThatWaitedAcrossAResetTouchesNothing)
{
    OpenPort o;
    auto& lock = commPortTestAccess::lock(*o.port);
    for (int kind = 0; kind < 3; ++kind) {
        if (!o.port->portOpenOK()) {
            ASSERT_GE(o.port->OpenPort(), 0);
        }
        std::unique_lock held(lock);
        std::atomic<bool> done{false};
        int result = -1;
        std::thread exchange([&] {
            int16_t v = 0;
            if (kind == 0)
                result = o.port->readEEPROM(2, &v);
            else if (kind == 1)
                o.port->writeEEPROM(2, 5);
            else
                o.port->sendReboot();
            done = true;
        });
        std::this_thread::sleep_for(30ms); // the exchange is waiting for the lock now
        EXPECT_FALSE(done);
        const int oldFd = o.port->portDescriptor();
        PtyPeer other;
        commPortTestAccess::closeLocked(*o.port); // what reset does while holding the lock
        // Another device takes the freed descriptor number, as can happen at any time.
        const int reused = ::open(other.slavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_EQ(reused, oldFd);
        held.unlock();
        exchange.join();
        if (kind == 0) {
            EXPECT_EQ(result, 0);
        }
        EXPECT_TRUE(other.drain(100ms).empty()) << "exchange " << kind << " wrote to a stranger's descriptor";
        EXPECT_TRUE(o.peer.drain(20ms).empty()) << "exchange " << kind;
        ::close(reused);
    }
}

TEST(ReceiveBuffer, WhatOneExchangeLeftIsTheNextOnesAndAResetForgetsIt)
{
    OpenPort o;
    int16_t v = 0;
    // Three bytes wait; the read takes all three from the line and uses two.
    o.peer.write({0x12, 0x34, 0x56});
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(o.port->readEEPROM(1, &v), 1);
    EXPECT_EQ(v, 0x1234);
    o.peer.write({0x78});
    ASSERT_EQ(o.port->readEEPROM(1, &v), 1);
    EXPECT_EQ(v, 0x5678) << "the byte left over belongs to the next exchange";

    o.peer.write({0x9A, 0xBC, 0xDE});
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(o.port->readEEPROM(1, &v), 1);
    EXPECT_EQ(v, static_cast<int16_t>(0x9ABC));
    o.port->reset(); // 0xDE is forgotten with the line
    ASSERT_GE(o.port->OpenPort(), 0);
    o.peer.drain(50ms);
    o.peer.write({0x01, 0x02});
    ASSERT_EQ(o.port->readEEPROM(1, &v), 1);
    EXPECT_EQ(v, 0x0102);
}

TEST(ReceiveBuffer, TheTimeoutCountsFromTheLastByte)
{
    // With a 0.5 s timeout, a reply whose bytes come 0.3 s apart arrives
    // whole although it takes longer than the timeout; one with a 0.8 s gap does not.
    struct Case {
        std::chrono::milliseconds firstAfter, gap;
        int result;
    };
    for (const Case c : {Case{300ms, 300ms, 1}, Case{100ms, 800ms, 0}}) {
        OpenPort o(5);
        auto board = std::async(std::launch::async, [&] {
            o.peer.read(2, 1s);
            std::this_thread::sleep_for(c.firstAfter);
            o.peer.write({0x11});
            std::this_thread::sleep_for(c.gap);
            o.peer.write({0x22});
        });
        int16_t v = 7;
        EXPECT_EQ(o.port->readEEPROM(0, &v), c.result) << "gap " << c.gap.count() << " ms";
        EXPECT_EQ(v, c.result ? 0x1122 : 7);
        board.get();
    }
}
