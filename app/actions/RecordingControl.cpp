#include "app/actions/RecordingControl.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QStandardPaths>

#include <chrono>
#include <cstdio>

namespace plovex {

namespace {

QString clockText(qint64 ms)
{
    const qint64 s = ms / 1000;
    return s >= 3600 ? QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QChar('0')).arg(s % 60, 2, 10, QChar('0'))
                     : QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

} // namespace

RecordingControl::RecordingControl(QWidget* window, QPushButton* button, QAction* action, QLabel* status,
                                   std::function<board::TiltUnit()> unit)
    : window_(window), button_(button), action_(action), status_(status), unit_(std::move(unit))
{
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &RecordingControl::refresh);
    status_->setTextFormat(Qt::PlainText);
    showState();
}

RecordingControl::~RecordingControl() = default;

void RecordingControl::toggle()
{
    if (writer_) {
        stop();
        return;
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString proposed = QString::fromStdString(record::proposedRecordingName(record::WallClock::now()));
    const QString path = QFileDialog::getSaveFileName(window_, QStringLiteral("Record to CSV"),
                                                      QDir(folder).filePath(proposed),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty())
        start(path);
}

void RecordingControl::start(const QString& path)
{
    if (writer_)
        stop();
    closing_.reset(); // waits for the last one's thread, which has little or nothing left to write
    alarms_ = alarmsColumn_ && alarmsColumn_();
    writer_ = std::make_unique<record::RecordingWriter>(path.toStdString(), unit_(), alarms_);
    begun_ = platform::RecordClock::now();
    elapsed_.start();
    timer_.start();
    showState();
}

void RecordingControl::stop()
{
    if (!writer_)
        return;
    writer_->stop();
    closing_ = std::move(writer_);
    showState();
}

void RecordingControl::add(const Measurement& m, const std::optional<std::string>& alarms)
{
    if (!writer_ || m.time < begun_)
        return;
    const double elapsed = std::chrono::duration<double>(m.time - begun_).count();
    // A false push means the writer stopped on its own; refresh() tells why.
    writer_->push({m, elapsed, alarms_ ? std::optional<std::string>(alarms.value_or("")) : std::nullopt});
}

record::RecordingStatus RecordingControl::status() const
{
    if (writer_)
        return writer_->status();
    return closing_ ? closing_->status() : record::RecordingStatus{};
}

void RecordingControl::refresh()
{
    if (writer_ && !writer_->status().error.empty()) {
        const record::RecordingStatus st = writer_->status();
        stop();
        std::fprintf(stderr, "plovex: %s\n", st.error.c_str());
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Recording stopped"),
                                    QString::fromStdString(st.error), QMessageBox::Ok, window_);
        box->setInformativeText(st.rowsWritten > 0
                                    ? QStringLiteral("The %1 rows written before are kept.").arg(st.rowsWritten)
                                    : QString());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open(); // the window goes on receiving records meanwhile
    }
    if (!writer_ && closing_ && closing_->status().finished)
        timer_.stop();
    showState();
}

void RecordingControl::showState()
{
    const bool on = writer_ != nullptr;
    button_->setText(on ? QStringLiteral("Stop recording") : QStringLiteral("Record…"));
    action_->setText(on ? QStringLiteral("Stop Recording") : QStringLiteral("Record…"));
    const record::RecordingStatus st = status();
    const QString name = QFileInfo(QString::fromStdString(st.file)).fileName();
    QString text;
    bool failed = false;
    if (on) {
        text = QStringLiteral("● Recording %1  %2  %3 rows").arg(name, clockText(elapsed_.elapsed())).arg(st.rowsWritten);
    } else if (!st.error.empty()) {
        text = QStringLiteral("Recording stopped: %1").arg(QString::fromStdString(st.error));
        failed = true;
    } else if (!st.file.empty() && !st.finished) {
        // The rows taken before the stop are still going out: no count yet.
        text = QStringLiteral("Finishing %1…").arg(name);
    } else if (!st.file.empty()) {
        text = QStringLiteral("Recorded %1 rows to %2").arg(st.rowsWritten).arg(name);
    }
    status_->setText(text);
    status_->setToolTip(QString::fromStdString(st.file));
    QPalette p = status_->palette();
    p.setColor(QPalette::WindowText, failed || on ? QColor(0xc0, 0x20, 0x20) : window_->palette().color(QPalette::WindowText));
    status_->setPalette(p);
}

} // namespace plovex
