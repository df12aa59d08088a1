#include "record/Gzip.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace plovex::record {

namespace {

constexpr std::size_t kChunk = 256 * 1024;
constexpr int kGzipWindow = 15 + 16; // the largest window, with a gzip header and trailer

bool writeAll(int fd, const unsigned char* data, std::size_t size, std::string* error)
{
    while (size > 0) {
        const ssize_t n = platform::retryEintr([&] { return ::write(fd, data, size); });
        if (n < 0) {
            *error = std::string("write: ") + std::strerror(errno);
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool gzipFile(int in, int out, std::string* error)
{
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindow, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        *error = "zlib could not start";
        return false;
    }
    std::vector<unsigned char> input(kChunk), output(kChunk);
    bool ok = true;
    for (int flush = Z_NO_FLUSH; ok && flush != Z_FINISH;) {
        const ssize_t n = platform::retryEintr([&] { return ::read(in, input.data(), input.size()); });
        if (n < 0) {
            *error = std::string("read: ") + std::strerror(errno);
            ok = false;
            break;
        }
        flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = input.data();
        z.avail_in = static_cast<uInt>(n);
        do {
            z.next_out = output.data();
            z.avail_out = static_cast<uInt>(output.size());
            const int r = deflate(&z, flush);
            if (r == Z_STREAM_ERROR) {
                *error = "zlib failed";
                ok = false;
                break;
            }
            ok = writeAll(out, output.data(), output.size() - z.avail_out, error);
        } while (ok && z.avail_out == 0);
    }
    deflateEnd(&z);
    return ok;
}

} // namespace plovex::record
