#include "app/windows/AlarmsDialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace plovex {

std::string ruleLine(const alarm::Rule& rule, const alarm::RuleDefaults& defaults)
{
    std::string line = rule.expression();
    if (rule.hysteresis != defaults.hysteresis)
        line += ",hysteresis=" + alarm::ruleNumber(rule.hysteresis);
    if (rule.hold != defaults.hold)
        line += ",hold=" + alarm::ruleNumber(rule.hold);
    return line;
}

AlarmsDialog::AlarmsDialog(const AlarmSetup& setup, QWidget* parent) : QDialog(parent), setup_(setup)
{
    setWindowTitle(QStringLiteral("Alarms"));
    auto* v = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("One rule to a line: a quantity, > or <, a limit, and options after commas, "
                                            "such as x_deg>2.5,hysteresis=0.1,hold=2.\n"
                                            "Quantities: x_UNIT, y_UNIT, tilt_UNIT (UNIT deg, mrad, percent or "
                                            "mm_per_m), temp_c, silent (seconds)."),
                             this);
    intro->setWordWrap(true);
    v->addWidget(intro);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    rules_ = new QPlainTextEdit(this);
    rules_->setObjectName(QStringLiteral("alarmRules"));
    rules_->setFont(fixed);
    QString text;
    for (const auto& rule : setup.rules)
        text += QString::fromStdString(ruleLine(rule, setup.defaults)) + u'\n';
    rules_->setPlainText(text);
    v->addWidget(rules_, 1);

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("alarmProblem"));
    problem_->setFont(fixed);
    problem_->setTextFormat(Qt::PlainText);
    QPalette p = problem_->palette();
    p.setColor(QPalette::WindowText, QColor(0xd0, 0x10, 0x10));
    problem_->setPalette(p);
    v->addWidget(problem_);

    auto* form = new QFormLayout;
    hysteresis_ = new QDoubleSpinBox(this);
    hysteresis_->setDecimals(4);
    hysteresis_->setRange(0, 1000000);
    hysteresis_->setValue(setup.defaults.hysteresis);
    hold_ = new QDoubleSpinBox(this);
    hold_->setDecimals(3);
    hold_->setRange(0, 86400);
    hold_->setSuffix(QStringLiteral(" s"));
    hold_->setValue(setup.defaults.hold);
    form->addRow(QStringLiteral("Hysteresis of rules without their own:"), hysteresis_);
    form->addRow(QStringLiteral("Hold of rules without their own:"), hold_);
    v->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);

    connect(rules_, &QPlainTextEdit::textChanged, this, [this] { check(); });
    connect(hysteresis_, &QDoubleSpinBox::valueChanged, this, [this] { check(); });
    connect(hold_, &QDoubleSpinBox::valueChanged, this, [this] { check(); });
    check();
    resize(560, 360);
}

void AlarmsDialog::check()
{
    const alarm::RuleDefaults defaults{hysteresis_->value(), hold_->value()};
    const std::string text = rules_->toPlainText().toStdString();
    alarm::RuleError error;
    std::size_t line = 0;
    const auto rules = alarm::parseRuleLines(text, defaults, &error, &line);
    if (rules) {
        setup_ = {*rules, defaults};
        problem_->clear();
    } else {
        // The line at fault, with a caret under the fault.
        std::size_t from = 0;
        for (std::size_t n = 1; n < line; ++n)
            from = text.find('\n', from) + 1;
        std::string bad = text.substr(from, text.find('\n', from) - from);
        if (!bad.empty() && bad.back() == '\r')
            bad.pop_back();
        problem_->setText(QString::fromStdString("Line " + std::to_string(line) + ": " + error.message + "\n" +
                                                 alarm::pointAt(bad, error.column))
                              .trimmed());
    }
    ok_->setEnabled(rules.has_value());
}

} // namespace plovex
