#pragma once
// The Help menu's About box: the program and its version, what it is for,
// its licence and the port the window is using.

#include <QString>

#include <string>

class QWidget;

namespace plovex {

// The box's text for the port at portPath ("" when there is none yet).
QString aboutText(const std::string& portPath);

// Shows the About box over parent and returns when it is closed.
void showAbout(QWidget* parent, const std::string& portPath);

} // namespace plovex
