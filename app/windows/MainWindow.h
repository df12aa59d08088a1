#pragma once
// The main window: the instruments (the X and Y dial gauges side by side with
// their angles, the temperature and the link state beneath them, the link's
// health), the work area (the panes others add, such as the chart, over the
// parameter table), then the write row (WriteRow) and the status line. Its
// File menu opens the preferences and quits; its Help menu shows the About box.
//
// The instruments stand beside the work area where the window is wide enough,
// else over it; both are panes of a splitter, as the work area's panes are,
// so that a small window folds panes instead of growing past the screen.
// Over the work area in a window too short for them and its first pane (the
// chart), the details (temperature, link state, health strip and what is
// added there) move beside the gauges where the width allows. The write row
// and the status line never fold.
//
// Where new parts go: a banner across the window over everything
// (addBanner), a small indicator under the health strip (addInstrument), a
// pane of the work area over the table (addWorkPane).
//
// The window only lays out the controls; the application connects them to
// the controller.

#include "app/windows/WriteRow.h"

#include <QMainWindow>
#include <QSplitter>

class QAction;
class QBoxLayout;
class QLabel;
class QMenu;
class QTableView;

namespace plovex {

class HealthStrip;
class ParameterTableModel;
class plovexGaugeView;

class MainWindow final : public QMainWindow {
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Room left for the title bar the window manager adds above the window.
    static constexpr int kTitleBarAllowance = 40;

    // Opens the window where it was (rememberedGeometry, from saveGeometry),
    // or else at a size that shows everything, all table rows included, as
    // far as the screen allows; either way whole on the screen, title bar
    // included. For use once the table has its data source.
    void fitToContents(const QByteArray& rememberedGeometry = {});

    // A banner across the window, over the instruments and the work area.
    void addBanner(QWidget* w);
    // A part of the instruments, under the health strip.
    void addInstrument(QWidget* w);
    // A pane of the work area, over the parameter table (and under the panes
    // added before it); stretch shares out the room the panes are given.
    void addWorkPane(QWidget* w, int stretch);

    // How the splitters divide the window, to be given back to restoreSplitterState.
    QByteArray splitterState() const;
    bool restoreSplitterState(const QByteArray& state);
    // The least width at which the instruments stand beside the work area.
    int wideWidth() const;
    bool wide() const { return body_->orientation() == Qt::Horizontal; }

    plovexGaugeView* xGauge() const { return xGauge_; }
    plovexGaugeView* yGauge() const { return yGauge_; }
    QLabel* xReadout() const { return xReadout_; }
    QLabel* yReadout() const { return yReadout_; }
    QLabel* temperature() const { return temperature_; }
    QLabel* commState() const { return commState_; }
    QTableView* parameterTable() const { return table_; }
    ParameterTableModel* parameterModel() const { return model_; }
    WriteRow* writeRow() const { return writeRow_; }
    QLineEdit* numberField() const { return writeRow_->numberField(); }
    QLineEdit* descriptionField() const { return writeRow_->descriptionField(); }
    QLineEdit* valueField() const { return writeRow_->valueField(); }
    QPushButton* writeButton() const { return writeRow_->writeButton(); }
    QLabel* numberMessage() const { return writeRow_->numberMessage(); }
    QLabel* valueMessage() const { return writeRow_->valueMessage(); }
    HealthStrip* healthStrip() const { return healthStrip_; }
    QMenu* fileMenu() const { return file_; }
    QAction* preferencesAction() const { return preferences_; }
    QAction* quitAction() const { return quit_; }
    QAction* aboutAction() const { return about_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The instruments beside the work area or over it, as the width allows;
    // over it in too little height, the details beside the gauges.
    void arrange();
    void setCompact(bool compact);
    QSize openingSize(const QRect& available);
    QWidget* makeGaugePanel(const QString& axis, plovexGaugeView*& gauge, QLabel*& readout);
    QWidget* makeStatusRow();
    void makeMenu();

    QWidget* instruments_ = nullptr;
    QBoxLayout* instrumentsBox_ = nullptr;
    QWidget* details_ = nullptr;
    QBoxLayout* statusBox_ = nullptr;
    bool compact_ = false;
    int normalInstrumentsWidth_ = 0;
    QSplitter* work_ = nullptr;
    QSplitter* body_ = nullptr;
    plovexGaugeView* xGauge_ = nullptr;
    plovexGaugeView* yGauge_ = nullptr;
    QLabel* xReadout_ = nullptr;
    QLabel* yReadout_ = nullptr;
    QLabel* temperature_ = nullptr;
    QLabel* commState_ = nullptr;
    QTableView* table_ = nullptr;
    ParameterTableModel* model_ = nullptr;
    WriteRow* writeRow_ = nullptr;
    HealthStrip* healthStrip_ = nullptr;
    QMenu* file_ = nullptr;
    QAction* preferences_ = nullptr;
    QAction* quit_ = nullptr;
    QAction* about_ = nullptr;
};

} // namespace plovex
