#pragma once
// Looking back at a file in the window: File > Open Recording… (Ctrl+O) or
// `plovex FILE.csv` opens a recording or an averaged log (RecordingHistory)
// and shows it in a chart of its own (chart::FileChart) in place of the
// live chart, under a plain line saying the window shows that file, not
// the board, with Back to Live (or Escape) beside it. The cursor's row
// moves the needles and readouts there and is written out under the chart;
// Export… writes the chart's view as PNG or SVG.
//
// The board stays connected meanwhile; its values come back to the needles
// and readouts with Back to Live. A file that cannot be read gets a message
// naming its line, and what was shown stays as it was.

#include "chart/RecordingHistory.h"

#include <QObject>
#include <QString>

#include <memory>

class QAction;
class QLabel;
class QPushButton;
class QWidget;

namespace plovex {

namespace chart {
class FileChart;
}
class FloatReadout;
class GaugeField;
class MainWindow;
class MeasureTools;
class plovexController;

struct LiveFields {
    FloatReadout* x = nullptr;
    FloatReadout* y = nullptr;
    FloatReadout* temperature = nullptr;
    GaugeField* xGauge = nullptr;
    GaugeField* yGauge = nullptr;
};

class FileReview final : public QObject {
public:
    FileReview(MainWindow& window, MeasureTools& measure, plovexController& controller, LiveFields live);
    ~FileReview() override;

    // Opens path and shows it; false, having said why in a message box,
    // when it cannot be read (a file shown before stays shown).
    bool open(const QString& path);
    // Back to the board's live values.
    void backToLive();
    bool showsFile() const { return history_ != nullptr; }
    // Writes the chart's view to path: SVG when it ends in .svg, else PNG.
    bool exportChart(const QString& path, QString* error) const;

    chart::FileChart* chart() const { return chart_; }
    QLabel* banner() const { return banner_; }
    QLabel* cursorLine() const { return cursorLine_; }
    QAction* openAction() const { return open_; }

private:
    QWidget* makePanel();
    void showRow(double t);
    void askAndOpen();
    void askAndExport();

    MainWindow& window_;
    MeasureTools& measure_;
    plovexController& controller_;
    LiveFields live_;
    std::unique_ptr<chart::RecordingHistory> history_;
    QWidget* panel_ = nullptr;
    QLabel* banner_ = nullptr;
    QLabel* cursorLine_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* export_ = nullptr;
    chart::FileChart* chart_ = nullptr;
    QAction* open_ = nullptr;
    QString liveTitle_; // the window's title while live, kept while a file is shown
};

} // namespace plovex
