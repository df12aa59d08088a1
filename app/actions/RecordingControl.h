#pragma once
// The window's recording: the Record button and menu item start and stop
// it, a label says what it records (file, elapsed time, rows written), and
// each measurement record delivered becomes a row. The file is written on
// the recording's own thread (record::RecordingWriter); this side only
// queues rows and looks at the writer's status a few times a second. A
// recording that stops on its own (the file cannot be created, the disk is
// full) says why in a message, on standard error and in the label.

#include "link/Measurement.h"
#include "link/TiltUnits.h"
#include "record/LocalTime.h"
#include "record/RecordingWriter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QPushButton;
class QWidget;

namespace plovex {

class RecordingControl final : public QObject {
public:
    RecordingControl(QWidget* window, QPushButton* button, QAction* action, QLabel* status,
                     std::function<board::TiltUnit()> unit);
    // Closes the file after writing what is queued.
    ~RecordingControl() override;

    // Stops the recording, or asks for a file and starts one.
    void toggle();
    // Records to path from now on, in the current unit (with degrees).
    void start(const QString& path);
    // Asks the writer to finish; returns at once.
    void stop();
    bool recording() const { return writer_ != nullptr; }

    // A measurement, at the time it was measured. One measured before the
    // recording began is left out.
    void add(const Measurement& m);

    // The writer's status (rows written, error) of the current or last recording.
    record::RecordingStatus status() const;

private:
    void refresh();
    void showState();

    QWidget* window_;
    QPushButton* button_;
    QAction* action_;
    QLabel* status_;
    std::function<board::TiltUnit()> unit_;
    std::unique_ptr<record::RecordingWriter> writer_;  // the recording going on
    std::unique_ptr<record::RecordingWriter> closing_; // the last one, until its thread is done
    platform::RecordTime begun_{}; // elapsed_s counts from here
    QElapsedTimer elapsed_;        // the label's clock
    QTimer timer_;
};

} // namespace plovex
