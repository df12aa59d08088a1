#include "fleet/InfluxWriter.h"

#include "fleet/Gzip.h"
#include "fleet/WriteAnswer.h"

#include <algorithm>
#include <exception>

namespace plovex::fleet {

namespace {

using namespace std::chrono_literals;

// A server's Retry-After is followed up to this.
constexpr auto kLongestRetryAfter = 300s;
// A post without an answer in this time has failed (and is tried again).
constexpr auto kRequestTimeout = 10s;

double seconds(std::chrono::duration<double> d)
{
    return d.count();
}

std::string records(std::size_t n)
{
    return std::to_string(n) + (n == 1 ? " record" : " records");
}

} // namespace

InfluxWriter::InfluxWriter(std::string name, InfluxWriterSettings settings, std::unique_ptr<HttpPost> post,
                           std::shared_ptr<platform::Sleeper> sleeper, Notify notify, std::function<void()> onFatal)
    : name_(std::move(name)),
      settings_(settings),
      post_(std::move(post)),
      sleeper_(std::move(sleeper)),
      notify_(std::move(notify)),
      onFatal_(std::move(onFatal)),
      buffer_(settings_.buffer)
{
    thread_ = std::thread([this] { threadMain(); });
}

InfluxWriter::~InfluxWriter()
{
    if (thread_.joinable())
        finish(0ms);
}

void InfluxWriter::write(std::string line, platform::RecordTime recordTime)
{
    SendBuffer::Entry entry{std::move(line), 0, recordTime, Clock::now()};
    {
        std::lock_guard lock(mutex_);
        buffer_.push(std::move(entry));
        if (buffer_.size() >= settings_.batchLines)
            gathering_.request_stop();
    }
    wake_.notify_one();
}

std::string InfluxWriter::finish(std::chrono::milliseconds drain)
{
    {
        std::lock_guard lock(mutex_);
        if (!finishing_.stop_requested())
            drainUntil_ = Clock::now() + drain;
        finishing_.request_stop();
        gathering_.request_stop();
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(mutex_);
    return fatal_;
}

InfluxWriterCounts InfluxWriter::counts() const
{
    std::lock_guard lock(mutex_);
    return counts_;
}

void InfluxWriter::threadMain() noexcept
{
    try {
        run();
    } catch (const std::exception& e) {
        endFatally(name_ + ": writing stopped: " + e.what());
    } catch (...) {
        endFatally(name_ + ": writing stopped");
    }
    try {
        reportDrops(true);
        std::size_t unsent = 0;
        {
            std::lock_guard lock(mutex_);
            unsent = buffer_.size();
        }
        if (unsent > 0)
            notify_(name_ + ": " + records(unsent) + " not sent");
    } catch (...) {
        // Nothing more can be said.
    }
}

void InfluxWriter::endFatally(const std::string& reason)
{
    {
        std::lock_guard lock(mutex_);
        if (!fatal_.empty())
            return;
        fatal_ = reason;
    }
    if (onFatal_)
        onFatal_();
}

void InfluxWriter::run()
{
    for (;;) {
        std::stop_token gather;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return !buffer_.empty() || finishing_.stop_requested(); });
            if (finishing_.stop_requested() && (buffer_.empty() || Clock::now() >= drainUntil_))
                return;
            // A full batch, a finish or a failure to catch up on is sent at
            // once; anything else waits for the batch interval.
            if (!troubled_ && !finishing_.stop_requested() && buffer_.size() < settings_.batchLines) {
                gathering_ = std::stop_source();
                gather = gathering_.get_token();
            }
        }
        if (gather.stop_possible())
            sleeper_->sleepFor(seconds(settings_.batchInterval), gather);
        reportDrops(false);
        if (sendOneBatch() == Step::Stop)
            return;
    }
}

InfluxWriter::Step InfluxWriter::sendOneBatch()
{
    std::vector<SendBuffer::Entry> batch;
    bool finishing = false;
    Clock::time_point drainUntil;
    {
        std::lock_guard lock(mutex_);
        batch = buffer_.take(settings_.batchLines);
        finishing = finishing_.stop_requested();
        drainUntil = drainUntil_;
    }
    if (batch.empty())
        return Step::Again;
    auto timeout = std::chrono::duration_cast<std::chrono::milliseconds>(kRequestTimeout);
    if (finishing)
        timeout = std::min(timeout, std::chrono::duration_cast<std::chrono::milliseconds>(drainUntil - Clock::now()));
    if (timeout <= 0ms) {
        std::lock_guard lock(mutex_);
        buffer_.pushFront(std::move(batch));
        return Step::Stop;
    }
    std::size_t size = 0;
    for (const auto& e : batch)
        size += e.text.size();
    std::string body;
    body.reserve(size);
    for (const auto& e : batch)
        body += e.text;
    const std::string sent = settings_.gzip ? gzip(body) : std::string();
    const HttpAnswer answer = post_->post(settings_.gzip ? sent : body, settings_.gzip, timeout);
    const WriteVerdict verdict = judge(answer);

    if (verdict == WriteVerdict::Refused) {
        endFatally(name_ + " refused the write: " + describeAnswer(answer));
        return Step::Stop;
    }
    if (verdict == WriteVerdict::Retry) {
        const auto now = Clock::now();
        std::chrono::seconds pause = backOff_;
        if (answer.retryAfter)
            pause = std::clamp<std::chrono::seconds>(*answer.retryAfter, 1s, kLongestRetryAfter);
        {
            std::lock_guard lock(mutex_);
            buffer_.pushFront(std::move(batch));
        }
        if (finishing && now + pause >= drainUntil) {
            notify_(name_ + ": " + describeAnswer(answer));
            return Step::Stop;
        }
        notify_(name_ + ": " + describeAnswer(answer) + "; trying again in " + std::to_string(pause.count()) + " s" +
                (troubled_ ? "" : ", keeping the records meanwhile"));
        if (!troubled_)
            troubleSince_ = now;
        troubled_ = true;
        backOff_ = std::min<std::chrono::seconds>(backOff_ * 2, kLongestBackOff);
        sleeper_->sleepFor(seconds(pause), finishing_.get_token());
        return Step::Again;
    }

    std::size_t waiting = 0;
    {
        std::lock_guard lock(mutex_);
        counts_.lines += batch.size();
        counts_.posts += 1;
        counts_.bodyBytes += body.size();
        counts_.sentBytes += answer.sentBytes;
        waiting = buffer_.size();
    }
    if (verdict == WriteVerdict::PartlySent)
        notify_(name_ + " took only part of a batch of " + records(batch.size()) + ": " + describeAnswer(answer));
    if (troubled_) {
        const auto outage = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - troubleSince_);
        notify_(name_ + ": writing again after " + std::to_string(outage.count()) + " s; " +
                records(batch.size() + waiting) + " were waiting");
        troubled_ = false;
    }
    backOff_ = 1s;
    return Step::Again;
}

void InfluxWriter::reportDrops(bool now)
{
    if (!now && Clock::now() - lastDropReport_ < kDropReportInterval)
        return;
    SendBuffer::Drops drops;
    {
        std::lock_guard lock(mutex_);
        drops = buffer_.takeDrops();
    }
    if (drops.count == 0)
        return;
    lastDropReport_ = Clock::now();
    notify_(name_ + ": buffer full (" + describeLimits(settings_.buffer) + " of records): dropped " +
            describeDrops(drops));
}

} // namespace plovex::fleet
