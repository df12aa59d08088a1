#pragma once
// Measure > Alarms…: the alarm rules as text, one to a line, in the syntax
// of plovex-cli's --alarm, with the hysteresis and hold the rules without
// their own take. A rule that is not one is shown with what is wrong and a
// caret under it, and OK waits until it is mended.

#include "controller/AlarmPreferences.h"

#include <QDialog>

class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace plovex {

class AlarmsDialog final : public QDialog {
public:
    AlarmsDialog(const AlarmSetup& setup, QWidget* parent = nullptr);

    // The rules and defaults as entered; meaningful once the dialog is accepted.
    const AlarmSetup& setup() const { return setup_; }
    QPlainTextEdit* rulesEdit() const { return rules_; }
    QLabel* problemLabel() const { return problem_; }
    QPushButton* okButton() const { return ok_; }

private:
    // Reads what is entered; OK is enabled when it is rules.
    void check();

    AlarmSetup setup_;
    QPlainTextEdit* rules_ = nullptr;
    QDoubleSpinBox* hysteresis_ = nullptr;
    QDoubleSpinBox* hold_ = nullptr;
    QLabel* problem_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// A rule as the dialog shows it: the expression, and each option that is
// not the default's, so that reading the line with the defaults gives the
// rule back.
std::string ruleLine(const alarm::Rule& rule, const alarm::RuleDefaults& defaults);

} // namespace plovex
