// The hand-over to the GUI thread and the idle delivery of notifications
// from the Qt event loop, including the hold while a modal alert runs.

#include "app/IdleDelivery.h"
#include "app/QtAlert.h"
#include "app/QtMainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "platform/Record.h"
#include "tests/app/AppTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace std::chrono_literals;

// A main side of its own: hand-over, queue, centre, and what was delivered.
struct Delivery {
    Delivery()
    {
        apptest::ensureApplication();
        center.addObserver("n", [this](const platform::Notification& n) {
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            seen.push_back(n.object->intValue("i"));
        });
    }

    // From another thread: each task queues record i, as the link does.
    void postFromThread(int first, int count)
    {
        std::thread t([&] {
            for (int i = first; i < first + count; ++i)
                hand.post([this, i] { queue.enqueueWhenIdle({"n", platform::makeRecord({"i"}, {i})}); });
        });
        t.join();
    }

    platform::NotificationCenter center;
    platform::NotificationQueue queue{center};
    plovex::QtMainThread hand;
    plovex::IdleDelivery delivery{queue};
    std::vector<int> seen;
};

std::vector<int> range(int first, int count)
{
    std::vector<int> v;
    for (int i = first; i < first + count; ++i)
        v.push_back(i);
    return v;
}

TEST(QtMainThread, TenThousandRecordsArriveOnceEachInOrder)
{
    Delivery d;
    std::thread poster([&] {
        for (int i = 0; i < 10000; ++i)
            d.hand.post([&d, i] { d.queue.enqueueWhenIdle({"n", platform::makeRecord({"i"}, {i})}); });
    });
    // The loop runs while the thread is still posting.
    const bool all = apptest::spinUntil([&] { return d.seen.size() >= 10000; }, 15s);
    poster.join();
    apptest::spinFor(20ms);
    ASSERT_TRUE(all) << d.seen.size() << " delivered";
    EXPECT_EQ(d.seen, range(0, 10000));
    EXPECT_EQ(d.queue.pending(), 0u);
}

TEST(QtMainThread, AnExceptionInATaskDoesNotStopLaterTasks)
{
    Delivery d;
    bool after = false;
    d.hand.post([] { throw std::runtime_error("boom"); });
    d.hand.post([&] { after = true; });
    EXPECT_TRUE(apptest::spinUntil([&] { return after; }, 2s));
}

TEST(IdleDelivery, WaitsUntilThePostedEventsHaveBeenHandled)
{
    // Twenty tasks posted at once: all of them run before the first
    // notification is delivered, as delivery happens when the loop is idle.
    Delivery d;
    int tasksRun = 0;
    std::vector<int> tasksRunAtDelivery;
    d.center.addObserver("n", [&](const platform::Notification&) { tasksRunAtDelivery.push_back(tasksRun); });
    for (int i = 0; i < 20; ++i)
        d.hand.post([&d, &tasksRun, i] {
            ++tasksRun;
            d.queue.enqueueWhenIdle({"n", platform::makeRecord({"i"}, {i})});
        });
    ASSERT_TRUE(apptest::spinUntil([&] { return d.seen.size() == 20; }, 5s));
    EXPECT_EQ(d.seen, range(0, 20));
    ASSERT_EQ(tasksRunAtDelivery.size(), 20u);
    EXPECT_EQ(tasksRunAtDelivery.front(), 20);
}

TEST(IdleDelivery, ModalSessionHoldsDeliveryAndReleasesEverythingInOrder)
{
    Delivery d;
    d.postFromThread(0, 5);
    ASSERT_TRUE(apptest::spinUntil([&] { return d.seen.size() == 5; }, 5s));
    {
        platform::ModalSession hold(d.queue);
        d.postFromThread(5, 500);
        // Every task runs and queues its record, but nothing is delivered.
        ASSERT_TRUE(apptest::spinUntil([&] { return d.queue.pending() == 500; }, 5s));
        apptest::spinFor(30ms);
        EXPECT_EQ(d.seen.size(), 5u);
    }
    ASSERT_TRUE(apptest::spinUntil([&] { return d.seen.size() == 505; }, 5s));
    EXPECT_EQ(d.seen, range(0, 505));
}

TEST(QtAlert, RecordsArrivingWhileTheBoxIsOpenAreDeliveredAfterItCloses)
{
    Delivery d;
    QWidget parent;
    plovex::QtAlert alert(&parent, d.queue);
    bool boxOpen = false;
    std::vector<int> deliveredWhileOpen;
    d.center.addObserver("n", [&](const platform::Notification& n) {
        if (boxOpen)
            deliveredWhileOpen.push_back(n.object->intValue("i"));
    });

    QString title, text, informative, defaultButton;
    QStringList buttons;
    apptest::answerNextMessageBox(QStringLiteral("Write"), [&](QWidget* w) {
        auto* box = static_cast<QMessageBox*>(w);
        title = box->windowTitle();
        text = box->text();
        informative = box->informativeText();
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        for (auto* b : box->buttons())
            buttons << b->text();
        // Records keep coming while the box is up: the nested loop runs
        // their tasks, but delivery waits.
        d.postFromThread(0, 200);
        apptest::spinUntil([&] { return d.queue.pending() == 200; }, 5s);
    });

    boxOpen = true;
    const int answer = alert.runModal({"Write to EEPROM", "Write", "Cancel", "Do you really want to write 5?"});
    boxOpen = false;

    EXPECT_EQ(answer, 1);
    EXPECT_TRUE(deliveredWhileOpen.empty());
    EXPECT_EQ(title, "Write to EEPROM");
    EXPECT_EQ(text, "Write to EEPROM");
    EXPECT_EQ(informative, "Do you really want to write 5?");
    EXPECT_EQ(defaultButton, "Write");
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Cancel", "Write"}));
    ASSERT_TRUE(apptest::spinUntil([&] { return d.seen.size() == 200; }, 5s));
    EXPECT_EQ(d.seen, range(0, 200));
}

TEST(QtAlert, CancelAndDismissBothAnswerZero)
{
    Delivery d;
    QWidget parent;
    plovex::QtAlert alert(&parent, d.queue);
    const plovex::AlertText text{"Write to EEPROM", "Write", "Cancel", "?"};

    apptest::answerNextMessageBox(QStringLiteral("Cancel"));
    EXPECT_EQ(alert.runModal(text), 0);
    apptest::answerNextMessageBox(QString()); // closed without a button
    EXPECT_EQ(alert.runModal(text), 0);
    EXPECT_FALSE(d.queue.held());
}

} // namespace
