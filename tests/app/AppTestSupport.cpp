#include "tests/app/AppTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <memory>

namespace apptest {

void ensureApplication()
{
    if (QApplication::instance() != nullptr)
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: at exit, Qt's own globals may already be gone.
    new QApplication(argc, argv);
}

bool spinUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout)
{
    if (cond && cond())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (cond && cond())
            loop.quit();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start();
    deadline.start(static_cast<int>(timeout.count()));
    loop.exec();
    return cond && cond();
}

void spinFor(std::chrono::milliseconds duration)
{
    spinUntil(nullptr, duration);
}

std::optional<std::string> MemoryPreferences::objectForKey(const std::string& key) const
{
    auto it = values.find(key);
    if (it == values.end())
        return std::nullopt;
    return it->second;
}

void MemoryPreferences::setObject(const std::string& value, const std::string& key)
{
    values[key] = value;
    ++writes;
}

bool MemoryPreferences::synchronize()
{
    ++synchronizations;
    return true;
}

int ScriptedAlert::runModal(const plovex::AlertText& alert)
{
    shown.push_back(alert);
    return answer;
}

void answerNextMessageBox(const QString& buttonText, std::function<void(QWidget*)> inspect,
                          std::chrono::milliseconds timeout)
{
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            if (clock->elapsed() > timeout.count())
                timer->deleteLater();
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (inspect)
            inspect(box);
        if (buttonText.isEmpty()) {
            box->reject();
            return;
        }
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == buttonText) {
                b->click();
                return;
            }
        }
        box->reject(); // no such button: end the dialog so the test does not hang
    });
    timer->start();
}

} // namespace apptest
