#pragma once
// For the window suites: answers the next modal box or file dialog the code
// under test opens, as a user would, from the event loop that the dialog's
// own exec() runs.

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace testsupport {

// Shows the next modal widget of type Dialog to answer, once it is up. The
// timer that waits for it may be deleted to stop waiting.
template <typename Dialog>
QPointer<QTimer> answerNext(std::function<void(Dialog*)> answer)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        answer(dialog);
    });
    timer->start(5);
    return timer;
}

// Clicks the button of the next message box with that text (closes the box
// without one when none has it), after inspect has looked at the box.
inline QPointer<QTimer> answerNextMessageBox(const QString& button, std::function<void(QMessageBox*)> inspect = {})
{
    return answerNext<QMessageBox>([=](QMessageBox* box) {
        if (inspect)
            inspect(box);
        for (QAbstractButton* b : box->buttons())
            if (b->text() == button)
                return b->click();
        box->reject();
    });
}

// Chooses path in the next file dialog; an empty path cancels it.
inline void answerNextFileDialog(const QString& path)
{
    answerNext<QFileDialog>([=](QFileDialog* dialog) {
        if (path.isEmpty())
            return dialog->reject();
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept(); // as its Save or Open button does
    });
}

} // namespace testsupport
