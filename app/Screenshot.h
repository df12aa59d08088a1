#pragma once
// The --screenshot option: the main window rendered to a PNG file.

#include <QString>

#include <string>

class QWidget;

namespace plovex {

// Whether file looks writable. False, and the reason in *error when given,
// when its folder is missing or not writable or it names a folder. Checked
// before the wait, so that a wrong path fails at once.
bool screenshotWritable(const std::string& file, std::string* error);

// Renders the window with its children and writes it as PNG. False, and the
// reason in *error when given, on failure.
bool saveScreenshot(QWidget& window, const QString& file, std::string* error);

} // namespace plovex
