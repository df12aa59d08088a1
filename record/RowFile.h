#pragma once
// A CSV file that is only ever appended whole rows: a write that fails part
// way (a full disk, a file size limit) is cut back to where it began, so the
// file ends on a whole row whatever happens. The recording and the logger
// write through it.
//
//   RowFile file(platform::UniqueFd(fd));
//   if (!file.append(rows, &why)) ...   // nothing of rows stays in the file
//   file.sync(&why);                    // what was appended is on the disk

#include "platform/UniqueFd.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace plovex::record {

class RowFile {
public:
    RowFile() = default;
    // Appends to fd, which holds size bytes of whole rows.
    explicit RowFile(platform::UniqueFd fd, off_t size = 0) : fd_(std::move(fd)), end_(size) {}

    bool isOpen() const { return static_cast<bool>(fd_); }
    // Bytes of whole rows in the file.
    off_t size() const { return end_; }

    // Writes bytes at the end. False, with the system's reason in *error and
    // the file cut back to its size before, when they could not all be written.
    bool append(std::string_view bytes, std::string* error);
    // Puts what was written on the disk (fsync).
    bool sync(std::string* error);
    // Closes the file; false with the reason when the close reported an error.
    bool close(std::string* error);

private:
    platform::UniqueFd fd_;
    off_t end_ = 0; // after the last whole row
};

} // namespace plovex::record
