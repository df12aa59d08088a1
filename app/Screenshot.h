#pragma once
// The --screenshot option: the main window rendered to a PNG file.

#include <QString>

#include <optional>
#include <string>

class QWidget;

namespace plovex {

// Why file cannot be written (its folder is missing or not writable), or
// nullopt when it looks writable. Checked before the wait, so that a wrong
// path fails at once.
std::optional<std::string> screenshotProblem(const std::string& file);

// Renders the window with its children and writes it as PNG. Returns the
// reason on failure.
std::optional<std::string> saveScreenshot(QWidget& window, const QString& file);

} // namespace plovex
