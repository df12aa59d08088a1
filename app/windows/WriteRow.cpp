#include "app/windows/WriteRow.h"

#include "controller/WriteInput.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
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

WriteRow::WriteRow(QWidget* parent) : QWidget(parent)
{
    makeFields();
    connect(number_, &QLineEdit::textChanged, this, [this] { check(); });
    connect(value_, &QLineEdit::textChanged, this, [this] { check(); });
    // Enter in Value means Write, and does nothing while Write is disabled.
    connect(value_, &QLineEdit::returnPressed, this, [this] {
        if (write_->isEnabled())
            write_->click();
    });
    check();
}

void WriteRow::makeFields()
{
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);

    // No validators: a field takes what is typed, and a message beside it
    // says what is wrong, rather than keys that silently do nothing.
    number_ = new QLineEdit(this);
    number_->setObjectName(QStringLiteral("selectedParameterNumber"));
    number_->setAlignment(Qt::AlignRight);
    number_->setMaximumWidth(number_->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
    number_->setToolTip(QStringLiteral("Parameter number, 0 to 15"));

    description_ = new QLineEdit(this);
    description_->setObjectName(QStringLiteral("selectedParameterDescription"));
    description_->setReadOnly(true);
    description_->setFocusPolicy(Qt::NoFocus);

    value_ = new QLineEdit(this);
    value_->setObjectName(QStringLiteral("valueToWrite"));
    value_->setAlignment(Qt::AlignRight);
    value_->setMaximumWidth(value_->fontMetrics().horizontalAdvance(QStringLiteral("-32768000")) + 16);
    value_->setToolTip(QStringLiteral("Value to write, -32768 to 32767; Enter writes it"));

    write_ = new QPushButton(QStringLiteral("&Write"), this);
    write_->setObjectName(QStringLiteral("writeButton"));

    auto message = [this](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextFormat(Qt::PlainText);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, QColor(0xb0, 0x20, 0x20));
        label->setPalette(p);
        label->hide();
        return label;
    };
    numberMessage_ = message("numberMessage");
    valueMessage_ = message("valueMessage");

    auto* numberLabel = new QLabel(QStringLiteral("&Parameter"), this);
    numberLabel->setBuddy(number_);
    auto* valueLabel = new QLabel(QStringLiteral("&Value"), this);
    valueLabel->setBuddy(value_);
    h->addWidget(numberLabel);
    h->addWidget(number_);
    h->addWidget(numberMessage_);
    h->addWidget(description_, 1);
    h->addWidget(valueLabel);
    h->addWidget(value_);
    h->addWidget(valueMessage_);
    h->addWidget(write_);
}

void WriteRow::setWriteAllowed(bool allowed, const std::string& reason)
{
    linkAllows_ = allowed;
    linkReason_ = QString::fromStdString(reason);
    updateButton();
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
    updateButton();
}

void WriteRow::updateButton()
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
