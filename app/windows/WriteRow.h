#pragma once
// The write row under the parameter table: the parameter number, its
// description, the value to write and the Write button, each field with a
// short message beside it that says what is wrong with it.
//
// Its rules for the keyboard and the mouse: Write is enabled only while the
// link lets a write through and both fields hold a whole number in range;
// Enter in the Value field means Write.

#include "controller/Outlets.h"

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace plovex {

class WriteRow final : public QWidget, public WriteGateOutlet {
public:
    explicit WriteRow(QWidget* parent = nullptr);

    // From the controller: whether the link lets a write through, and why not.
    void setWriteAllowed(bool allowed, const std::string& reason) override;

    bool inputAcceptable() const { return numberOk_ && valueOk_; }

    QLineEdit* numberField() const { return number_; }
    QLineEdit* descriptionField() const { return description_; }
    QLineEdit* valueField() const { return value_; }
    QPushButton* writeButton() const { return write_; }
    QLabel* numberMessage() const { return numberMessage_; }
    QLabel* valueMessage() const { return valueMessage_; }

private:
    void makeFields();
    void check();
    void updateButton();

    QLineEdit* number_ = nullptr;
    QLineEdit* description_ = nullptr;
    QLineEdit* value_ = nullptr;
    QPushButton* write_ = nullptr;
    QLabel* numberMessage_ = nullptr;
    QLabel* valueMessage_ = nullptr;
    bool linkAllows_ = false;
    QString linkReason_ = QStringLiteral("No link to the board yet.");
    bool numberOk_ = false;
    bool valueOk_ = false;
};

} // namespace plovex
