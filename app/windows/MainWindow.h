#pragma once
// The main window: the X and Y dial gauges side by side with their angles,
// the temperature and the link state beneath them, the parameter table, and
// under it the write row (WriteRow). Its File menu opens the preferences and
// quits; its Help menu shows the About box.
//
// The window only lays out the controls; the application connects them to
// the controller.

#include "app/windows/WriteRow.h"

#include <QMainWindow>

class QAction;
class QHBoxLayout;
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

    // Resizes the window to show everything, all table rows included, as
    // far as the screen allows. For use once the table has its data source.
    void fitToContents();

    // Places w between the gauges' status row and the parameter table.
    void insertUnderGauges(QWidget* w);
    // Places w in the status row, after the temperature.
    void addBesideReadouts(QWidget* w);

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

private:
    QWidget* makeGaugePanel(const QString& axis, plovexGaugeView*& gauge, QLabel*& readout);
    QWidget* makeStatusRow();
    void makeMenu();

    plovexGaugeView* xGauge_ = nullptr;
    plovexGaugeView* yGauge_ = nullptr;
    QLabel* xReadout_ = nullptr;
    QLabel* yReadout_ = nullptr;
    QLabel* temperature_ = nullptr;
    QLabel* commState_ = nullptr;
    QHBoxLayout* statusRow_ = nullptr;
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
