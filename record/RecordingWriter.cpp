#include "record/RecordingWriter.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>

namespace plovex::record {

RecordingWriter::RecordingWriter(std::string path, board::TiltUnit unit) : fields_(derivedFields(unit)), path_(path)
{
    status_.file = std::move(path);
    queue_.reserve(256);
    thread_ = std::jthread([this] { run(); });
}

RecordingWriter::RecordingWriter(platform::UniqueFd fd, std::string file, board::TiltUnit unit)
    : fields_(derivedFields(unit)), file_(std::move(fd))
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

void RecordingWriter::run()
{
    try {
        std::string file;
        {
            std::lock_guard lock(mutex_);
            file = status_.file;
        }
        if (path_) {
            file_ = RowFile(platform::UniqueFd(platform::retryEintr(
                [&] { return ::open(path_->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); })));
            if (!file_.isOpen())
                fail("cannot create " + file + ": " + std::strerror(errno));
        }
        std::string bytes = file_.isOpen() ? csvHeader(fields_) : std::string();
        std::vector<MeasurementRow> batch;
        batch.reserve(256);
        std::string why;
        bool header = true;
        while (file_.isOpen()) {
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
            if (!bytes.empty() && !file_.append(bytes, &why)) {
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
        if (!file_.close(&why))
            fail("cannot close " + file + ": " + why);
    } catch (const std::exception& e) {
        fail(std::string("recording stopped: ") + e.what());
    }
    std::lock_guard lock(mutex_);
    accepting_ = false;
    status_.finished = true;
}

} // namespace plovex::record
