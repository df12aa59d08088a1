#include "record/RowFile.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace plovex::record {

bool RowFile::append(std::string_view bytes, std::string* error)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            platform::retryEintr([&] { return ::write(fd_.get(), bytes.data() + done, bytes.size() - done); });
        if (n < 0) {
            *error = std::strerror(errno);
            // Rows that went out in part are cut off: the file ends with a whole row.
            if (done > 0 && ::ftruncate(fd_.get(), end_) == 0)
                (void)::lseek(fd_.get(), end_, SEEK_SET);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    end_ += static_cast<off_t>(bytes.size());
    return true;
}

bool RowFile::sync(std::string* error)
{
    if (platform::retryEintr([&] { return ::fsync(fd_.get()); }) == 0)
        return true;
    *error = std::strerror(errno);
    return false;
}

bool RowFile::close(std::string* error)
{
    if (!fd_)
        return true;
    if (::close(fd_.release()) == 0)
        return true;
    *error = std::strerror(errno);
    return false;
}

} // namespace plovex::record
