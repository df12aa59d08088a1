#pragma once
// The preferences window: the serial port pop-up, the button that applies
// the choice and the one that closes the window (as Escape does). A separate
// top-level window; it stays open after Apply.

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace plovex {

class PrefsWindow final : public QWidget {
public:
    explicit PrefsWindow(QWidget* parent = nullptr);

    QComboBox* portMenu() const { return ports_; }
    QPushButton* applyButton() const { return apply_; }
    QPushButton* closeButton() const { return close_; }
    // Places a further section of settings under the port's.
    void addSection(QWidget* w);

private:
    // Says so when the pop-up is empty and keeps Apply disabled then.
    void updateEmptyHint();

    QComboBox* ports_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* close_ = nullptr;
    QLabel* hint_ = nullptr;
    QVBoxLayout* layout_ = nullptr;
};

} // namespace plovex
