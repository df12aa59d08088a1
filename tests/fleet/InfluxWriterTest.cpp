// The database writer against a scripted server (FakePost) on the test
// clock: what goes out in which batch, how each kind of answer is handled,
// the back-off, and what the bounded buffer keeps and says it dropped.

#include "fleet/InfluxWriter.h"
#include "fleet/SendBuffer.h"
#include "tests/support/TestClock.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <mutex>
#include <regex>
#include <zlib.h>

namespace {

using namespace std::chrono_literals;
using namespace plovex::fleet;
using testsupport::TestClock;
using testsupport::waitFor;
using Lines = std::vector<std::string>;

std::string gunzip(std::string_view data)
{
    z_stream z{};
    inflateInit2(&z, 15 + 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    std::string out;
    char chunk[4096];
    int rc = Z_OK;
    do {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - z.avail_out);
    } while (rc == Z_OK);
    inflateEnd(&z);
    return rc == Z_STREAM_END ? out : "(not gzip)";
}

// Answers each post from its script (204 when the script is used up) and
// keeps each body, uncompressed, split into lines.
struct FakePost : HttpPost {
    explicit FakePost(std::vector<HttpAnswer> script) : script_(std::move(script)) {}
    HttpAnswer post(std::string_view body, bool gzipped, std::chrono::milliseconds) override
    {
        std::lock_guard lock(mutex_);
        bodies_.push_back(testsupport::lines(gzipped ? gunzip(body) : std::string(body)));
        return next_ < script_.size() ? script_[next_++] : HttpAnswer{204, "", "", {}, 0};
    }
    std::vector<Lines> bodies() { std::lock_guard lock(mutex_); return bodies_; }
    // Every line the server took (2xx), in order.
    Lines taken()
    {
        std::lock_guard lock(mutex_);
        Lines out;
        for (std::size_t i = 0; i < bodies_.size(); ++i)
            if (i >= script_.size() || (script_[i].status >= 200 && script_[i].status < 300))
                out.insert(out.end(), bodies_[i].begin(), bodies_[i].end());
        return out;
    }

    std::mutex mutex_;
    const std::vector<HttpAnswer> script_;
    std::size_t next_ = 0;
    std::vector<Lines> bodies_;
};

HttpAnswer answer(long status, std::string body = "", std::optional<std::chrono::seconds> retryAfter = {})
{
    return {status, std::move(body), status ? "" : "Connection refused", retryAfter, 0};
}

// A writer with FakePost on the test clock, held until released, batching
// every 0.5 s; the lines it said, and its end.
struct Rig {
    Rig(std::vector<HttpAnswer> script, std::size_t batchLines = 5000, std::size_t bufferBytes = 1 << 20)
    {
        auto post = std::make_unique<FakePost>(std::move(script));
        server = post.get();
        clock->hold();
        InfluxWriterSettings settings;
        settings.batchLines = batchLines;
        settings.batchInterval = 500ms;
        settings.buffer.bytes = bufferBytes;
        writer = std::make_unique<InfluxWriter>(
            "database db:8086", settings, std::move(post), clock,
            [this](const std::string& line) { std::lock_guard lock(mutex); said += line + "\n"; }, [this] { fatal = true; });
    }
    void write(int from, int to)
    {
        for (int i = from; i <= to; ++i)
            writer->write("line " + std::to_string(i) + "\n", ::platform::RecordClock::now());
    }
    std::string saidSoFar() { std::lock_guard lock(mutex); return said; }
    // The back-off pauses: every pause but the batch interval's (0.5 s).
    std::vector<double> backOffs() const
    {
        auto out = clock->pauses();
        std::erase(out, 0.5);
        return out;
    }

    std::shared_ptr<TestClock> clock = std::make_shared<TestClock>();
    FakePost* server = nullptr;
    std::mutex mutex;
    std::string said;
    std::atomic<bool> fatal{false};
    std::unique_ptr<InfluxWriter> writer;
};

Lines numbered(int from, int to)
{
    Lines out;
    for (int i = from; i <= to; ++i)
        out.push_back("line " + std::to_string(i));
    return out;
}

TEST(InfluxWriter, SendsAFullBatchAtOnceAndTheRestAfterTheInterval)
{
    Rig rig({}, 5);
    rig.write(1, 12);
    ASSERT_TRUE(waitFor([&] { return rig.server->bodies().size() == 2; }));
    ASSERT_TRUE(rig.clock->parked()); // in the interval, with lines 11 and 12
    EXPECT_EQ(rig.server->bodies(), (std::vector<Lines>{numbered(1, 5), numbered(6, 10)}));
    rig.clock->release();
    EXPECT_EQ(rig.writer->finish(5s), "");
    EXPECT_EQ(rig.server->bodies(), (std::vector<Lines>{numbered(1, 5), numbered(6, 10), numbered(11, 12)}));
    EXPECT_EQ(rig.clock->pauses().front(), 0.5) << "the interval";
}

TEST(InfluxWriter, AnswersDecideBetweenDoneTryAgainAndStop)
{
    const struct {
        const char* name;
        std::vector<HttpAnswer> script;
        std::size_t posts;           // in all, once done
        std::size_t lineFourAfter;   // line 4 is written after this many posts (0: only lines 1-3)
        bool allTaken;               // every line arrives once
        std::vector<double> backOffs; // the pauses between tries
        std::vector<std::string> said;
        std::string fatal;            // "": the writing goes on
    } rows[] = {
        {"unreachable, then busy", {answer(0), answer(503), answer(500)}, 4, 0, true, {1, 2, 4},
         {"database db:8086: Connection refused; trying again in 1 s, keeping the records meanwhile\n",
          "database db:8086: 503 Service Unavailable; trying again in 2 s\n",
          "database db:8086: 500 Internal Server Error; trying again in 4 s\n", "database db:8086: writing again after"},
         ""},
        {"the back-off doubles to 30 s and starts again after a success",
         {answer(0), answer(0), answer(0), answer(0), answer(0), answer(0), answer(0), answer(204), answer(502)}, 10, 8,
         true, {1, 2, 4, 8, 16, 30, 30, 1}, {}, ""},
        {"the server's Retry-After", {answer(429, "", 7s), answer(408)}, 3, 0, true, {7, 2}, {"429 Too Many Requests"}, ""},
        {"a partial write is said and not sent again",
         {answer(400, R"({"error":"partial write: points beyond retention policy dropped=1"})")}, 1, 0, false, {},
         {"database db:8086 took only part of a batch of 3 records: 400 Bad Request: partial write: points beyond "
          "retention policy dropped=1"},
         ""},
        {"a bad token ends the writing", {answer(401, R"({"error":"authorization failed"})")}, 1, 0, false, {}, {},
         "database db:8086 refused the write: 401 Unauthorized: authorization failed"},
        {"no such bucket", {answer(404, R"({"code":"not found","message":"bucket \"b\" not found"})")}, 1, 0, false,
         {}, {}, "database db:8086 refused the write: 404 Not Found: bucket \"b\" not found"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig(row.script);
        rig.write(1, 3); // while the writer waits in the interval: one batch
        rig.clock->release();
        if (row.lineFourAfter > 0) {
            ASSERT_TRUE(waitFor([&] { return rig.server->bodies().size() == row.lineFourAfter; }));
            rig.write(4, 4);
        }
        if (row.fatal.empty())
            ASSERT_TRUE(waitFor([&] { return rig.server->bodies().size() == row.posts; }));
        else
            ASSERT_TRUE(waitFor([&] { return rig.fatal.load(); }));
        EXPECT_EQ(rig.writer->finish(0ms), row.fatal);
        EXPECT_EQ(rig.server->bodies().size(), row.posts);
        if (row.allTaken) {
            EXPECT_EQ(rig.server->taken(), numbered(1, row.lineFourAfter > 0 ? 4 : 3));
        }
        EXPECT_EQ(rig.backOffs(), row.backOffs);
        for (const auto& text : row.said)
            EXPECT_NE(rig.saidSoFar().find(text), std::string::npos) << text << "\nin\n" << rig.saidSoFar();
    }
}

TEST(InfluxWriter, AFullBufferDropsTheOldestSaysSoAndSendsTheRest)
{
    // Room for four lines of this length.
    const std::size_t four = 4 * SendBuffer::footprint({"line 10\n", 0, {}, {}});
    Rig rig({answer(503)}, 5000, four);
    rig.write(1, 1);
    ASSERT_TRUE(rig.clock->step(1)); // past the interval: line 1 refused, waiting to try again
    rig.write(2, 9);
    rig.write(10, 10);
    rig.clock->release();
    ASSERT_TRUE(waitFor([&] { return rig.server->bodies().size() == 2; }));
    EXPECT_EQ(rig.writer->finish(0ms), "");
    EXPECT_EQ(rig.server->taken(), numbered(7, 10));
    const std::string said = rig.saidSoFar();
    EXPECT_TRUE(std::regex_search(said, std::regex(R"(buffer full \(600 s or 0\.000.*of records\): dropped the 6 oldest records, from )")))
        << said;
    EXPECT_NE(said.find(" s; 4 records were waiting"), std::string::npos) << said;
}

TEST(SendBuffer, KeepsTheNewestWithinAgeAndBytes)
{
    using Clock = SendBuffer::Clock;
    const Clock::time_point t0{};
    const std::size_t entry = SendBuffer::footprint({"x", 0, {}, {}});
    const struct {
        const char* name;
        BufferLimits limits;
        std::vector<int> queuedAt; // seconds after t0, one entry each
        int returned;              // how many of the oldest are taken and put back before the last
        std::string kept;
        uint64_t dropped;
    } rows[] = {
        {"within both", {10s, 8 * entry}, {0, 1, 2, 3}, 0, "0123", 0},
        {"by age", {10s, 8 * entry}, {0, 1, 5, 11, 12}, 0, "234", 2},
        {"by bytes", {10s, 3 * entry}, {0, 1, 2, 3, 4}, 0, "234", 2},
        {"what comes back goes first, and first to be dropped", {10s, 3 * entry}, {0, 1, 2, 3}, 2, "123", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SendBuffer buffer(row.limits);
        for (std::size_t i = 0; i < row.queuedAt.size(); ++i) {
            if (i + 1 == row.queuedAt.size() && row.returned > 0)
                buffer.pushFront(buffer.take(static_cast<std::size_t>(row.returned)));
            const auto t = t0 + std::chrono::seconds(row.queuedAt[i]);
            buffer.push({std::string(1, static_cast<char>('0' + i)), 0,
                         ::platform::RecordTime{} + std::chrono::seconds(i), t});
        }
        std::string kept;
        for (const auto& e : buffer.take(100))
            kept += e.text;
        EXPECT_EQ(kept, row.kept);
        const auto drops = buffer.takeDrops();
        EXPECT_EQ(drops.count, row.dropped);
        if (row.dropped > 0) {
            EXPECT_EQ(drops.first, ::platform::RecordTime{}); // the oldest
            EXPECT_EQ(drops.last, ::platform::RecordTime{} + std::chrono::seconds(row.dropped - 1));
        }
        EXPECT_EQ(buffer.bytes(), 0u);
    }
}

} // namespace
