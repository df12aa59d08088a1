#include "app/actions/ParameterFileActions.h"

#include "controller/Outlets.h"
#include "link/BoardFacts.h"
#include "link/commPort.h"
#include "params/BoardParameters.h"
#include "params/Snapshot.h"
#include "discovery/SerialRegistry.h"

#include <QAction>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>

#include <exception>
#include <memory>

namespace plovex {

namespace {

const QString kFilter = QStringLiteral("Parameter snapshots (*.json);;All files (*)");

// "Parameter 3 could not be read: no answer."
QString unreadSentence(const params::BoardParameters& board)
{
    QString text = QString::fromStdString(params::unreadText(board)) + QLatin1Char('.');
    text[0] = text[0].toUpper();
    return text;
}

// "Parameter 3 (Rx measurement variance): 300 → 120", one line each.
QString changeLines(const std::vector<params::Change>& changes)
{
    QStringList lines;
    for (const auto& c : changes) {
        const QString description = QString::fromUtf8(board::parameterDescription(c.address).data(),
                                                      static_cast<qsizetype>(board::parameterDescription(c.address).size()));
        lines << QStringLiteral("Parameter %1%2: %3 → %4")
                     .arg(c.address)
                     .arg(description.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(description))
                     .arg(c.board)
                     .arg(c.file);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

ParameterFileActions::ParameterFileActions(QMainWindow* window, QMenu* menu, QAction* before,
                                           std::function<commPort*()> port, AlertOutlet* alert)
    : window_(window), port_(std::move(port)), alert_(alert)
{
    save_ = new QAction(QStringLiteral("Save Parameters…"), this);
    restore_ = new QAction(QStringLiteral("Restore Parameters…"), this);
    menu->insertAction(before, save_);
    menu->insertAction(before, restore_);
    menu->insertSeparator(before);
    connect(save_, &QAction::triggered, this, [this] { saveParameters(); });
    connect(restore_, &QAction::triggered, this, [this] { restoreParameters(); });
}

ParameterFileActions::~ParameterFileActions()
{
    worker_.request_stop();
}

void ParameterFileActions::warn(const QString& title, const QString& text)
{
    window_->statusBar()->clearMessage();
    QMessageBox::warning(window_, title, text);
}

void ParameterFileActions::finish(const QString& status)
{
    window_->statusBar()->showMessage(status, 10000);
}

void ParameterFileActions::runOnBoard(const QString& status, BoardJob job)
{
    commPort* port = port_ ? port_() : nullptr;
    if (!port) {
        warn(QStringLiteral("No Link"), QStringLiteral("There is no link to the board; choose a port in Preferences."));
        return;
    }
    busy_ = true;
    save_->setEnabled(false);
    restore_->setEnabled(false);
    window_->statusBar()->showMessage(status);
    worker_ = std::jthread([this, port, job = std::move(job)](std::stop_token stop) {
        std::function<void()> then;
        try {
            then = job(*port, stop);
        } catch (const std::exception& e) {
            then = [this, what = QString::fromLocal8Bit(e.what())] { warn(QStringLiteral("Parameters"), what); };
        }
        // Dropped by Qt when this object is gone; the destructor waits for this thread first.
        QMetaObject::invokeMethod(
            this,
            [this, then] {
                busy_ = false;
                save_->setEnabled(true);
                restore_->setEnabled(true);
                then();
            },
            Qt::QueuedConnection);
    });
}

void ParameterFileActions::saveParameters(QString file)
{
    if (busy_)
        return;
    if (file.isEmpty())
        file = QFileDialog::getSaveFileName(window_, QStringLiteral("Save Parameters"),
                                            QStringLiteral("parameters.json"), kFilter);
    if (file.isEmpty())
        return;
    runOnBoard(QStringLiteral("Reading the board's parameters…"), [this, file](commPort& port, std::stop_token stop) {
        const auto board = params::readParameters(port, [&] { return !stop.stop_requested(); });
        const auto snapshot =
            params::makeSnapshot(board, port.commPortPath(), stableLinkTo(port.commPortPath()));
        return std::function<void()>([this, file, board, snapshot] {
            if (!board.complete())
                return warn(QStringLiteral("Parameters Not Saved"), unreadSentence(board) + QStringLiteral(" Nothing was saved."));
            std::string error;
            // The file dialog has asked before an existing file is replaced.
            if (!params::saveSnapshot(file.toStdString(), snapshot, true, &error))
                return warn(QStringLiteral("Parameters Not Saved"), QString::fromStdString(error));
            finish(QStringLiteral("Saved the board's parameters to %1.").arg(file));
        });
    });
}

void ParameterFileActions::restoreParameters(QString file)
{
    if (busy_)
        return;
    if (file.isEmpty())
        file = QFileDialog::getOpenFileName(window_, QStringLiteral("Restore Parameters"), QString(), kFilter);
    if (file.isEmpty())
        return;
    std::string error;
    const auto loaded = params::loadSnapshot(file.toStdString(), &error);
    if (!loaded)
        return warn(QStringLiteral("Not a Parameter Snapshot"),
                    QString::fromStdString(error) + QStringLiteral("\n\nNothing was written."));
    auto snapshot = std::make_shared<const params::Snapshot>(*loaded);
    runOnBoard(QStringLiteral("Reading the board's parameters…"), [this, file, snapshot](commPort& port, std::stop_token stop) {
        const auto board = params::readParameters(port, [&] { return !stop.stop_requested(); });
        return std::function<void()>([this, file, snapshot, board] {
            if (!board.complete())
                return warn(QStringLiteral("Parameters Not Restored"), unreadSentence(board) + QStringLiteral(" Nothing was written."));
            const auto changes = params::differences(board, *snapshot);
            if (changes.empty())
                return finish(QStringLiteral("The board holds the values of %1; nothing to write.").arg(file));
            AlertText confirm;
            confirm.messageText = "Restore Parameters";
            confirm.defaultButton = "Write";
            confirm.alternateButton = "Cancel";
            confirm.informativeText = QStringLiteral("Write %1 parameter%2 from %3 to the board?\n\n%4")
                                          .arg(changes.size())
                                          .arg(changes.size() > 1 ? QStringLiteral("s") : QString())
                                          .arg(file)
                                          .arg(changeLines(changes))
                                          .toStdString();
            if (alert_->runModal(confirm) != 1)
                return finish(QStringLiteral("Restore cancelled; nothing was written."));
            runOnBoard(QStringLiteral("Writing the parameters…"), [this, changes](commPort& port, std::stop_token) {
                const auto checks = params::writeAndCheck(port, changes);
                return std::function<void()>([this, checks] {
                    if (const std::string failed = params::failedWrites(checks); !failed.empty())
                        return warn(QStringLiteral("Parameters Not Restored"),
                                    QStringLiteral("These parameters did not take the value written:\n\n") +
                                        QString::fromStdString(failed).trimmed());
                    finish(QStringLiteral("Restored %1 parameter%2; each read back as written.")
                               .arg(checks.size())
                               .arg(checks.size() > 1 ? QStringLiteral("s") : QString()));
                });
            });
        });
    });
}

} // namespace plovex
