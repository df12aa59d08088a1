#pragma once
// The write row's rules for the keyboard and the mouse: Write is enabled
// only while the link lets a write through and both fields hold a whole
// number in range; a short message beside a field says what is wrong with
// it; Enter in the Value field means Write.

#include "controller/Outlets.h"

#include <QObject>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace plovex {

class WriteRow final : public QObject, public WriteGateOutlet {
public:
    WriteRow(QLineEdit* number, QLabel* numberMessage, QLineEdit* value, QLabel* valueMessage, QPushButton* write);

    // From the controller: whether the link lets a write through, and why not.
    void setWriteAllowed(bool allowed, const std::string& reason) override;

    bool inputAcceptable() const { return numberOk_ && valueOk_; }

private:
    void check();
    void update();

    QLineEdit* number_;
    QLabel* numberMessage_;
    QLineEdit* value_;
    QLabel* valueMessage_;
    QPushButton* write_;
    bool linkAllows_ = false;
    QString linkReason_ = QStringLiteral("No link to the board yet.");
    bool numberOk_ = false;
    bool valueOk_ = false;
};

} // namespace plovex
