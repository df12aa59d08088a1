#include "app/windows/WriteRow.h"

#include "controller/WriteInput.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace plovex {

namespace {

// Shows message beside its field, or hides the label when there is none.
void showMessage(QLabel* label, const std::string& message)
{
    label->setText(QString::fromStdString(message));
    label->setVisible(!message.empty());
}

} // namespace

WriteRow::WriteRow(QLineEdit* number, QLabel* numberMessage, QLineEdit* value, QLabel* valueMessage,
                   QPushButton* write)
    : QObject(write), number_(number), numberMessage_(numberMessage), value_(value), valueMessage_(valueMessage),
      write_(write)
{
    connect(number_, &QLineEdit::textChanged, this, [this] { check(); });
    connect(value_, &QLineEdit::textChanged, this, [this] { check(); });
    // Enter in Value means Write, and does nothing while Write is disabled.
    connect(value_, &QLineEdit::returnPressed, this, [this] {
        if (write_->isEnabled())
            write_->click();
    });
    check();
}

void WriteRow::setWriteAllowed(bool allowed, const std::string& reason)
{
    linkAllows_ = allowed;
    linkReason_ = QString::fromStdString(reason);
    update();
}

void WriteRow::check()
{
    const FieldCheck n = checkParameterNumber(number_->text().toStdString());
    const FieldCheck v = checkWriteValue(value_->text().toStdString());
    numberOk_ = n.value.has_value();
    valueOk_ = v.value.has_value();
    // An empty field is not an error worth a message until the other is filled.
    const bool bothEmpty = number_->text().trimmed().isEmpty() && value_->text().trimmed().isEmpty();
    showMessage(numberMessage_, bothEmpty ? std::string() : n.message);
    showMessage(valueMessage_, bothEmpty ? std::string() : v.message);
    update();
}

void WriteRow::update()
{
    write_->setEnabled(linkAllows_ && inputAcceptable());
    if (!linkAllows_)
        write_->setToolTip(linkReason_);
    else if (!inputAcceptable())
        write_->setToolTip(QStringLiteral("Enter a parameter number, 0 to 15, and a value, -32768 to 32767."));
    else
        write_->setToolTip(QStringLiteral("Write the value into the parameter, after confirmation."));
}

} // namespace plovex
