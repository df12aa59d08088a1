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

namespace {

bool fail(std::string* error, std::string why)
{
    if (error)
        *error = std::move(why);
    return false;
}

} // namespace

bool screenshotWritable(const std::string& file, std::string* error)
{
    namespace fs = std::filesystem;
    const fs::path p(file);
    if (p.filename().empty())
        return fail(error, "'" + file + "' names a folder, not a file");
    const fs::path folder = p.parent_path().empty() ? fs::path(".") : p.parent_path();
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return fail(error, "folder '" + folder.string() + "' does not exist");
    if (fs::is_directory(p, ec))
        return fail(error, "'" + file + "' is a folder");
    if (::access(folder.c_str(), W_OK) != 0)
        return fail(error, "cannot write in '" + folder.string() + "': " + std::strerror(errno));
    return true;
}

bool saveScreenshot(QWidget& window, const QString& file, std::string* error)
{
    const QPixmap shot = window.grab();
    if (shot.isNull())
        return fail(error, "the window could not be rendered");
    QImageWriter writer(file, "png");
    if (!writer.write(shot.toImage()))
        return fail(error, "cannot write '" + file.toStdString() + "': " + writer.errorString().toStdString());
    return true;
}

} // namespace plovex
