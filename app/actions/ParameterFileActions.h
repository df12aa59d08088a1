#pragma once
// File > Save Parameters… and Restore Parameters…: the board's 16 EEPROM
// parameters to and from a snapshot file, in the format plovex-cli's
// "params save" and "params restore" use.
//
// Save reads every parameter from the board (not the table, which may hold
// values from before the link last went down) and writes the file whole.
// Restore reads the board, lists the parameters whose value differs from the
// file in its one confirmation, writes only those and reads each back; one
// that does not take is named in a warning. The board is read and written on
// a thread of its own, so the window keeps running while a silent board
// times out; the menu items wait until it is done.

#include <QObject>
#include <QString>

#include <functional>
#include <stop_token>
#include <thread>

class QAction;
class QMainWindow;
class QMenu;

namespace plovex {

class AlertOutlet;
class commPort;

class ParameterFileActions final : public QObject {
public:
    // Adds the two items to menu before `before`. port gives the link in use
    // (null when there is none); alert asks the restore's confirmation.
    ParameterFileActions(QMainWindow* window, QMenu* menu, QAction* before, std::function<commPort*()> port,
                         AlertOutlet* alert);
    // Waits for a read or write in progress.
    ~ParameterFileActions() override;

    // The menu items' work, for the file given (asking for one when empty).
    void saveParameters(QString file = {});
    void restoreParameters(QString file = {});

    QAction* saveAction() const { return save_; }
    QAction* restoreAction() const { return restore_; }
    bool busy() const { return busy_; }

private:
    // Runs job on the worker thread with the link in use (a stop is asked
    // for when the window goes), then what it returns on this object's thread.
    using BoardJob = std::function<std::function<void()>(commPort&, std::stop_token)>;
    void runOnBoard(const QString& status, BoardJob job);
    void finish(const QString& status);
    void warn(const QString& title, const QString& text);

    QMainWindow* window_;
    std::function<commPort*()> port_;
    AlertOutlet* alert_;
    QAction* save_ = nullptr;
    QAction* restore_ = nullptr;
    bool busy_ = false;
    std::jthread worker_; // last: joined before the rest goes
};

} // namespace plovex
