// The platform's stand-ins: the notification queue and the preferences file.

#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "platform/Preferences.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>


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

TEST(NotificationQueue, WhatAnObserverQueuesFollowsAndOneThatThrowsStopsNothing)
{
    Queue q;
    q.center.addObserver("inclinoData", [&](const Notification& n) {
        if (n.object->intValue("n") == 1)
            q.enqueue("inclinoParameter", 99);
        if (n.object->intValue("n") == 2)
            throw std::runtime_error("observer failed");
    });
    for (int i = 1; i <= 3; ++i)
        q.enqueue("inclinoData", i);
    EXPECT_THROW(q.queue.deliverWhenIdle(), std::runtime_error);
    q.queue.deliverWhenIdle();
    EXPECT_EQ(q.seen, (std::vector<std::pair<std::string, int>>{
                          {"inclinoData", 1}, {"inclinoData", 2}, {"inclinoData", 3}, {"inclinoParameter", 99}}));
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
