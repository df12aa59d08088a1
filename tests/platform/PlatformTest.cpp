// The platform's stand-ins: the hand-over to the main thread, the
// notification queue, the console channel and the preferences file.

#include "link/Records.h"
#include "platform/Console.h"
#include "platform/IdleHandOver.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "platform/Preferences.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <thread>

#if defined(__has_feature)
#define PLOVEX_CLANG_SANITIZER (__has_feature(address_sanitizer) || __has_feature(thread_sanitizer))
#else
#define PLOVEX_CLANG_SANITIZER 0
#endif

using namespace platform;
using namespace std::chrono_literals;
using testsupport::TempDir;

namespace {

struct Queue {
    NotificationCenter center;
    NotificationQueue queue{center};
    std::vector<std::pair<std::string, int>> seen;
    Queue()
    {
        for (const char* name : {"inclinoData", "inclinoParameter"})
            center.addObserver(name, [this](const Notification& n) { seen.emplace_back(n.name, n.object->intValue("n")); });
    }
    void enqueue(const char* name, int n) { queue.enqueueWhenIdle({name, makeRecord({"n"}, {n})}); }
};

} // namespace

TEST(NotificationQueue, DeliversEveryRecordOnceInOrderWhenIdleAndHoldsDuringAModalSession)
{
    Queue q;
    std::vector<std::pair<std::string, int>> expected;
    for (int i = 0; i < 1000; ++i) {
        const char* name = i % 3 ? "inclinoData" : "inclinoParameter";
        q.enqueue(name, i % 10); // equal records are never merged
        expected.emplace_back(name, i % 10);
    }
    EXPECT_TRUE(q.seen.empty()) << "nothing before the loop is idle";
    int wakeUps = 0;
    q.queue.setWakeUp([&] { ++wakeUps; });
    {
        ModalSession alert(q.queue);
        {
            ModalSession nested(q.queue);
        }
        q.enqueue("inclinoData", 7);
        expected.emplace_back("inclinoData", 7);
        q.queue.deliverWhenIdle(); // an idle pass of the alert's own loop
        EXPECT_TRUE(q.seen.empty());
    }
    EXPECT_EQ(wakeUps, 1) << "the loop is asked for an idle pass when the alert ends";
    q.queue.deliverWhenIdle();
    q.queue.deliverWhenIdle();
    EXPECT_EQ(q.seen, expected);
}

TEST(NotificationQueue, WhatAnObserverQueuesFollowsAndOneThatThrowsIsLoggedAndLosesNothing)
{
    Queue q;
    testsupport::LogCapture capture;
    q.center.addObserver("inclinoData", [&](const Notification& n) {
        if (n.object->intValue("n") == 1)
            q.enqueue("inclinoParameter", 99);
        if (n.object->intValue("n") == 2)
            throw std::runtime_error("observer failed");
    });
    std::vector<int> later; // an observer after the one that throws
    q.center.addObserver("inclinoData", [&](const Notification& n) { later.push_back(n.object->intValue("n")); });
    for (int i = 1; i <= 3; ++i)
        q.enqueue("inclinoData", i);
    q.queue.deliverWhenIdle();
    const auto log = capture.entries();
    EXPECT_EQ(q.seen, (std::vector<std::pair<std::string, int>>{
                          {"inclinoData", 1}, {"inclinoData", 2}, {"inclinoData", 3}, {"inclinoParameter", 99}}));
    EXPECT_EQ(later, (std::vector<int>{1, 2, 3}));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("observer failed"), std::string::npos) << log[0];
}

TEST(Console, ARedirectTakesItsOwnThreadsLinesOnlyAndLetsLogEntriesThrough)
{
    TempDir dir;
    std::FILE* process = std::fopen((dir / "process").c_str(), "w");
    std::FILE* inner = std::fopen((dir / "inner").c_str(), "w");
    ASSERT_TRUE(process && inner);
    setConsoleStream(process);
    std::vector<std::string> log;
    setLogSink([&](const std::string& entry) { log.push_back(entry); });
    {
        ConsoleRedirect quiet(quietConsoleLines());
        consoleWrite("dropped\n");
        logEntry("still logged");
        std::thread([] { consolePrintf("%s\n", "another thread's"); }).join();
        {
            ConsoleRedirect nested(consoleLinesTo(inner));
            consoleWrite("nested\n");
        }
        consoleWrite("dropped again\n");
    }
    consoleWrite("after\n");
    setConsoleStream(nullptr);
    setLogSink({});
    std::fclose(process);
    std::fclose(inner);
    EXPECT_EQ(testsupport::readFile(dir / "process"), "another thread's\nafter\n");
    EXPECT_EQ(testsupport::readFile(dir / "inner"), "nested\n");
    EXPECT_EQ(log, std::vector<std::string>{"still logged"});
}

// A main thread that is busy: it runs what was posted only when told.
struct BusyMainThread : MainThread {
    std::mutex m;
    std::vector<std::function<void()>> tasks;
    void post(std::function<void()> t) override
    {
        std::lock_guard lock(m);
        tasks.push_back(std::move(t));
    }
    std::size_t runAll()
    {
        std::vector<std::function<void()>> now;
        {
            std::lock_guard lock(m);
            now.swap(tasks);
        }
        for (auto& t : now)
            t();
        return now.size();
    }
};

TEST(IdleHandOver, WakesTheMainThreadOncePerBatchAndQueuesEveryRecordOnceInOrder)
{
    // Without a gathering time, and with one (a stream then wakes it once a
    // frame, the first record of a quiet spell at once).
    for (const auto gather : {0ms, 16ms}) {
        BusyMainThread main;
        Queue q;
        IdleHandOver handOver(&main, q.queue, gather);
        auto from = [&](int first, int last) {
            std::thread([&] {
                for (int i = first; i < last; ++i)
                    handOver.handOver(i % 3 ? "inclinoData" : "inclinoParameter", makeRecord({"n"}, {i}));
            }).join();
        };
        from(0, 1);
        EXPECT_EQ(main.runAll(), 1u) << gather.count();
        from(1, 100);
        EXPECT_EQ(main.runAll(), 1u) << "99 records before the main thread came round: one wake-up";
        from(100, 101);
        EXPECT_EQ(main.runAll(), 1u);
        while (main.runAll() != 0) { // a visit that finds nothing ends the round
        }
        q.queue.deliverWhenIdle();
        ASSERT_EQ(q.seen.size(), 101u);
        for (int i = 0; i < 101; ++i)
            ASSERT_EQ(q.seen[static_cast<std::size_t>(i)], std::make_pair(std::string(i % 3 ? "inclinoData" : "inclinoParameter"), i));
    }
}

TEST(NotificationQueue, AHeldMeasurementCostsAtMost80BytesOfHeap)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || PLOVEX_CLANG_SANITIZER
    GTEST_SKIP() << "a sanitizer's allocator keeps its own books";
#else
    // As while a write confirmation is open for minutes: the queue holds every
    // record. A record is one 64-byte block with its time; the rest is the queue's.
    Queue q;
    RecordPtr last;
    q.center.addObserver("inclinoData", [&](const Notification& n) { last = n.object; });
    constexpr int kHeld = 20000;
    const plovex::wire::MeasurementValues v{-2, -32768, 32767, 4, 5, 6, 7, -8, 250};
    {
        ModalSession confirmation(q.queue);
        const std::size_t before = mallinfo2().uordblks;
        for (int i = 0; i < kHeld; ++i) // a packet count past 16 bits
            q.queue.enqueueWhenIdle("inclinoData", plovex::records::measurementRecord(v, 40000 + i));
        EXPECT_LE(static_cast<double>(mallinfo2().uordblks - before) / kHeld, 80.0);
    }
    q.queue.deliverWhenIdle();
    std::vector<int32_t> expect(v.begin(), v.end());
    expect.insert(expect.end(), {40000 + kHeld - 1, 1});
    ASSERT_TRUE(last);
    EXPECT_EQ(last->values(), expect) << "held records keep every value exactly";
#endif
}

TEST(Preferences, ValuesSurviveTheFileWhateverTheirBytes)
{
    TempDir dir;
    const auto file = dir / "sub" / "plovex.conf";
    const std::string odd = "/dev/serial/by-id/usb-FTDI a=b\\c\nline\x01\xff";
    {
        FilePreferences p(file);
        EXPECT_FALSE(p.objectForKey("serialPortPath"));
        p.setObject("ttyUSB0", "serialPortName");
        p.setObject(odd, "serialPortPath");
        EXPECT_TRUE(p.synchronize());
    }
    FilePreferences again(file);
    EXPECT_EQ(again.objectForKey("serialPortName"), "ttyUSB0");
    EXPECT_EQ(again.objectForKey("serialPortPath"), odd);
    EXPECT_EQ(again.loadWarning(), "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1) << "no temporary file left";

    again.setObject(std::string(20 * 1024, '\x01'), "huge"); // too large to be loaded again: not written
    EXPECT_FALSE(again.synchronize());
    EXPECT_EQ(FilePreferences(file).objectForKey("serialPortPath"), odd);

    testsupport::ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdg-test"), home("HOME", "/home/someone");
    EXPECT_EQ(FilePreferences::defaultFile(), "/tmp/xdg-test/plovex/plovex.conf");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(FilePreferences::defaultFile(), "/home/someone/.config/plovex/plovex.conf");
}

TEST(Preferences, ACorruptFileReadsAsEmptyWithAWarningAndIsKeptUntilAValueIsStored)
{
    TempDir dir;
    for (const std::string& text : {std::string("serialPortPath\n"), std::string("bad key=1\n"),
                                    std::string("serialPortPath=/dev/x\\q\n"), std::string("a=b\0c\n", 6),
                                    std::string(70 * 1024, 'x')}) {
        const auto file = dir / "plovex.conf";
        testsupport::writeFile(file, text);
        FilePreferences p(file);
        EXPECT_FALSE(p.objectForKey("serialPortPath"));
        EXPECT_NE(p.loadWarning(), "") << text.substr(0, 30);
        EXPECT_TRUE(p.synchronize());
        EXPECT_EQ(testsupport::readFile(file), text);
    }
}
