#include "record/RecordingWriter.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace plovex::record {

RecordingWriter::RecordingWriter(std::string path, board::TiltUnit unit) : fields_(derivedFields(unit)), path_(path)
{
    status_.file = std::move(path);
    queue_.reserve(256);
    thread_ = std::jthread([this] { run(); });
}

RecordingWriter::RecordingWriter(platform::UniqueFd fd, std::string file, board::TiltUnit unit)
    : fields_(derivedFields(unit)), fd_(std::move(fd))
{
    status_.file = std::move(file);
    queue_.reserve(256);
    thread_ = std::jthread([this] { run(); });
}

RecordingWriter::~RecordingWriter()
{
    stop();
    if (thread_.joinable())
        thread_.join();
}

bool RecordingWriter::push(const MeasurementRow& row)
{
    std::lock_guard lock(mutex_);
    if (!accepting_)
        return false;
    if (queue_.size() >= kQueueLimit) {
        accepting_ = false;
        status_.error = "the disk fell " + std::to_string(kQueueLimit) + " rows behind; recording stopped";
        wake_.notify_one();
        return false;
    }
    queue_.push_back(row);
    return true;
}

void RecordingWriter::stop()
{
    std::lock_guard lock(mutex_);
    accepting_ = false;
    stopRequested_ = true;
    wake_.notify_one();
}

RecordingStatus RecordingWriter::status() const
{
    std::lock_guard lock(mutex_);
    return status_;
}

void RecordingWriter::fail(std::string reason)
{
    std::lock_guard lock(mutex_);
    accepting_ = false;
    if (status_.error.empty())
        status_.error = std::move(reason);
}

bool RecordingWriter::writeAll(const std::string& bytes, std::string* error)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = platform::retryEintr(
            [&] { return ::write(fd_.get(), bytes.data() + done, bytes.size() - done); });
        if (n < 0) {
            *error = std::strerror(errno);
            // A row that went out in part is cut off: the file ends with a whole row.
            if (done > 0)
                (void)::ftruncate(fd_.get(), wholeRowsEnd_);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    wholeRowsEnd_ += static_cast<off_t>(bytes.size());
    return true;
}

void RecordingWriter::run()
{
    try {
        std::string file;
        {
            std::lock_guard lock(mutex_);
            file = status_.file;
        }
        if (path_) {
            fd_ = platform::UniqueFd(platform::retryEintr(
                [&] { return ::open(path_->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); }));
            if (!fd_)
                fail("cannot create " + file + ": " + std::strerror(errno));
        }
        std::string bytes = fd_ ? csvHeader(fields_) : std::string();
        std::vector<MeasurementRow> batch;
        batch.reserve(256);
        std::string why;
        bool header = true;
        while (fd_) {
            bool last = false;
            {
                std::unique_lock lock(mutex_);
                if (!header)
                    wake_.wait_for(lock, kFlushInterval, [this] { return stopRequested_ || !accepting_; });
                batch.swap(queue_);
                last = stopRequested_ || !accepting_;
            }
            for (const auto& row : batch)
                appendCsvRow(bytes, row, fields_);
            if (!bytes.empty() && !writeAll(bytes, &why)) {
                fail("cannot write " + file + ": " + why + "; recording stopped");
                break;
            }
            {
                std::lock_guard lock(mutex_);
                status_.rowsWritten += batch.size();
            }
            header = false;
            bytes.clear();
            batch.clear();
            if (last)
                break;
        }
        if (fd_ && ::close(fd_.release()) != 0)
            fail("cannot close " + file + ": " + std::strerror(errno));
    } catch (const std::exception& e) {
        fail(std::string("recording stopped: ") + e.what());
    }
    std::lock_guard lock(mutex_);
    accepting_ = false;
    status_.finished = true;
}

} // namespace plovex::record
