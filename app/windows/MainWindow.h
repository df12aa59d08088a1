#pragma once
// The main window: the X and Y dial gauges side by side with their angles,
// the temperature and the link state beneath them, the parameter table, and
// under it the fields and the button that write one parameter. Its File
// menu opens the preferences and quits; its Help menu shows the About box.
//
// The window only lays out the controls; the application connects them to
// the controller.

#include <QMainWindow>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
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

    plovexGaugeView* xGauge() const { return xGauge_; }
    plovexGaugeView* yGauge() const { return yGauge_; }
    QLabel* xReadout() const { return xReadout_; }
    QLabel* yReadout() const { return yReadout_; }
    QLabel* temperature() const { return temperature_; }
    QLabel* commState() const { return commState_; }
    QTableView* parameterTable() const { return table_; }
    ParameterTableModel* parameterModel() const { return model_; }
    QLineEdit* numberField() const { return number_; }
    QLineEdit* descriptionField() const { return description_; }
    QLineEdit* valueField() const { return value_; }
    QPushButton* writeButton() const { return write_; }
    QLabel* numberMessage() const { return numberMessage_; }
    QLabel* valueMessage() const { return valueMessage_; }
    HealthStrip* healthStrip() const { return healthStrip_; }
    QMenu* fileMenu() const { return file_; }
    QAction* preferencesAction() const { return preferences_; }
    QAction* quitAction() const { return quit_; }
    QAction* aboutAction() const { return about_; }

private:
    QWidget* makeGaugePanel(const QString& axis, plovexGaugeView*& gauge, QLabel*& readout);
    QWidget* makeStatusRow();
    QWidget* makeWriteRow();
    void makeMenu();

    plovexGaugeView* xGauge_ = nullptr;
    plovexGaugeView* yGauge_ = nullptr;
    QLabel* xReadout_ = nullptr;
    QLabel* yReadout_ = nullptr;
    QLabel* temperature_ = nullptr;
    QLabel* commState_ = nullptr;
    QTableView* table_ = nullptr;
    ParameterTableModel* model_ = nullptr;
    QLineEdit* number_ = nullptr;
    QLineEdit* description_ = nullptr;
    QLineEdit* value_ = nullptr;
    QPushButton* write_ = nullptr;
    QLabel* numberMessage_ = nullptr;
    QLabel* valueMessage_ = nullptr;
    HealthStrip* healthStrip_ = nullptr;
    QMenu* file_ = nullptr;
    QAction* preferences_ = nullptr;
    QAction* quit_ = nullptr;
    QAction* about_ = nullptr;
};

} // namespace plovex
