#include "app/Screenshot.h"

#include <QImageWriter>
#include <QPixmap>
#include <QWidget>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace plovex {

std::optional<std::string> screenshotProblem(const std::string& file)
{
    namespace fs = std::filesystem;
    const fs::path p(file);
    if (p.filename().empty())
        return "'" + file + "' names a folder, not a file";
    const fs::path folder = p.parent_path().empty() ? fs::path(".") : p.parent_path();
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return "folder '" + folder.string() + "' does not exist";
    if (fs::is_directory(p, ec))
        return "'" + file + "' is a folder";
    if (::access(folder.c_str(), W_OK) != 0)
        return "cannot write in '" + folder.string() + "': " + std::strerror(errno);
    return std::nullopt;
}

std::optional<std::string> saveScreenshot(QWidget& window, const QString& file)
{
    const QPixmap shot = window.grab();
    if (shot.isNull())
        return std::string("the window could not be rendered");
    QImageWriter writer(file, "png");
    if (!writer.write(shot.toImage()))
        return "cannot write '" + file.toStdString() + "': " + writer.errorString().toStdString();
    return std::nullopt;
}

} // namespace plovex
