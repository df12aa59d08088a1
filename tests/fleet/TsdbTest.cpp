// plovex-cli monitor --influx against the real engines: Debian's InfluxDB
// 1.x (with authentication on) and VictoriaMetrics, each started by the test
// on 127.0.0.1 on a free port with a data folder of its own, and stopped by
// it. The points are queried back over HTTP and compared with the readings
// the outputs were handed, or with the rows the logger wrote.

#include "cli/MonitorOutput.h"
#include "link/Records.h"
#include "params/Json.h"
#include "platform/Args.h"
#include "tests/support/CliRun.h"
#include "tests/support/TestSupport.h"

#include <csignal>
#include <fcntl.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using namespace testsupport;
using Map = std::map<std::string, std::string>;
using plovex::params::JsonValue;

const std::string kAdmin = "admin", kPassword = "pl0vex-pw";

struct Answer { long status = 0; std::string body; };

Answer http(const std::string& url, const std::string& post = "")
{
    CURL* c = curl_easy_init();
    Answer a;
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, 5000L);
    if (!post.empty())
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, post.c_str());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION,
                     +[](char* d, size_t s, size_t n, void* out) { return (static_cast<std::string*>(out)->append(d, s * n), s * n); });
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &a.body);
    if (curl_easy_perform(c) == CURLE_OK)
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &a.status);
    curl_easy_cleanup(c);
    return a;
}

std::string escape(const std::string& text)
{
    const std::unique_ptr<char, decltype(&curl_free)> e(curl_easy_escape(nullptr, text.c_str(), static_cast<int>(text.size())),
                                                        &curl_free);
    return e.get();
}

JsonValue json(const std::string& text)
{
    std::string error;
    auto v = plovex::params::parseJson(text, &error);
    EXPECT_TRUE(v) << error << " in " << text.substr(0, 300);
    return v ? *v : JsonValue{};
}

// One database server of the test's own.
class Server {
public:
    enum Kind { Influx, Victoria };

    explicit Server(Kind kind) : kind_(kind)
    {
        const char* program = kind == Influx ? "/usr/bin/influxd" : "/usr/bin/victoria-metrics";
        EXPECT_TRUE(std::filesystem::exists(program)) << program << " is missing: run scripts/setup.sh";
        const std::string d = dir_.path().string(), port = std::to_string(port_);
        if (kind == Influx) {
            writeFile(dir_ / "conf", "reporting-enabled = false\nbind-address = \"127.0.0.1:" +
                                         std::to_string(freeLoopbackPort()) + "\"\n[meta]\ndir = \"" + d +
                                         "/meta\"\n[data]\ndir = \"" + d + "/data\"\nwal-dir = \"" + d +
                                         "/wal\"\nquery-log-enabled = false\n[monitor]\nstore-enabled = false\n"
                                         "[http]\nbind-address = \"127.0.0.1:" + port +
                                         "\"\nauth-enabled = true\nlog-enabled = false\n"
                                         "[continuous_queries]\nenabled = false\n");
            argv_ = {program, "-config", d + "/conf"};
        } else {
            argv_ = {program, "-httpListenAddr", "127.0.0.1:" + port, "-storageDataPath", d + "/data",
                     "-loggerLevel", "ERROR"};
        }
        if ((pid_ = ::fork()) == 0) {
            std::vector<char*> argv;
            for (auto& a : argv_)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            const int log = ::open((dir_ / "log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            ::dup2(log, 1);
            ::dup2(log, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        EXPECT_TRUE(waitFor([&] { return http(base() + (kind == Influx ? "/ping" : "/health")).status / 100 == 2; }, 10s))
            << "the server did not start:\n" << readFile(dir_ / "log");
        if (kind == Influx) { // the first user may be made without logging in
            query("CREATE USER " + kAdmin + " WITH PASSWORD '" + kPassword + "' WITH ALL PRIVILEGES", "");
            query("CREATE DATABASE plv");
        }
    }
    ~Server()
    {
        if (pid_ > 0 && ::kill(pid_, SIGTERM) == 0)
            ::waitpid(pid_, nullptr, 0);
    }

    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string writeUrl(const std::string& db = "plv") const { return base() + (kind_ == Influx ? "/write?db=" + db : "/write"); }
    std::string credentialsFile() const { writeFile(dir_ / "login", kAdmin + ":" + kPassword + "\n"); return (dir_ / "login").string(); }
    Answer query(const std::string& q, const std::string& db = "plv") const
    {
        return http(base() + "/query?epoch=ns&u=" + kAdmin + "&p=" + kPassword + (db.empty() ? "" : "&db=" + db),
                    "q=" + escape(q));
    }

    // Every point stored, with its fields as the database gives them back,
    // and how many times a field of a point was stored more than once.
    std::map<std::pair<Map, long long>, Map> points(int& repeats) const
    {
        std::map<std::pair<Map, long long>, Map> out;
        repeats = 0;
        auto add = [&](const Map& tags, long long time, const std::string& field, const std::string& value) {
            repeats += !out[{tags, time}].emplace(field, value).second;
        };
        if (kind_ == Influx) {
            const auto results = json(query("SELECT * FROM plovex GROUP BY *").body);
            const auto* series = results.member("results") ? results.member("results")->array.at(0).member("series") : nullptr;
            for (const auto& s : series ? series->array : std::vector<JsonValue>{}) {
                Map tags;
                for (const auto& [k, v] : s.member("tags")->object)
                    if (!v.string.empty())
                        tags[k] = v.string;
                const auto& columns = s.member("columns")->array;
                for (const auto& row : s.member("values")->array)
                    for (std::size_t i = 1; i < columns.size(); ++i)
                        if (row.array[i].kind == JsonValue::Kind::Number)
                            add(tags, std::stoll(row.array[0].numberText), columns[i].string, row.array[i].numberText);
            }
            return out;
        }
        http(base() + "/internal/force_flush");
        std::istringstream lines(http(base() + "/api/v1/export?match[]=" + escape("{__name__=~\"plovex_.*\"}")).body);
        for (std::string line; std::getline(lines, line);) {
            const auto s = json(line);
            Map tags;
            std::string field;
            for (const auto& [k, v] : s.member("metric")->object)
                (k == "__name__" ? field : tags[k]) = v.string;
            const auto& values = s.member("values")->array;
            const auto& times = s.member("timestamps")->array;
            for (std::size_t i = 0; i < values.size(); ++i)
                add(tags, std::stoll(times[i].numberText), field.substr(7), values[i].numberText); // after "plovex_"
        }
        return out;
    }
    // The time the database keeps for a line's nanoseconds.
    long long storedTime(long long ns) const { return kind_ == Influx ? ns : ns / 1'000'000; }
    Kind kind() const { return kind_; }

private:
    const Kind kind_;
    TempDir dir_;
    const int port_ = freeLoopbackPort();
    std::vector<std::string> argv_;
    pid_t pid_ = -1;
};

// words, then the database's options.
std::vector<std::string> withDb(std::vector<std::string> words, const Server& db)
{
    words.insert(words.end(), {"--influx", db.writeUrl(), "--influx-interval", "0.2"});
    if (db.kind() == Server::Influx)
        words.insert(words.end(), {"--influx-token-file", db.credentialsFile()});
    return words;
}

std::vector<std::string> monitorArgs(const Server& db, const std::vector<std::string>& more)
{
    auto args = withDb({"monitor", "--simulate", "--format", "influx"}, db);
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Every query string of the JSON value, in order.
void queriesOf(const JsonValue& v, std::vector<std::string>& out)
{
    if (const auto* q = v.member("query"); q && q->kind == JsonValue::Kind::String)
        out.push_back(q->string);
    for (const auto& item : v.array)
        queriesOf(item, out);
    for (const auto& [name, member] : v.object)
        queriesOf(member, out);
}

// Each query of the Grafana dashboard, as Grafana would send it for the last
// two hours, answers with a series for the board.
void expectDashboardShows(const Server& db, const std::string& port)
{
    std::vector<std::string> queries;
    queriesOf(json(readFile(PLOVEX_SOURCE_DIR "/packaging/grafana/plovex-influxdb.json")), queries);
    EXPECT_EQ(queries.size(), 6u) << "five panels and the board variable";
    for (auto q : queries) {
        for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
                 {"$timeFilter", "time > now() - 2h"}, {"$__interval_ms", "1000"}, {"$__interval", "1s"}, {"$board", ".*"}})
            for (std::size_t at; (at = q.find(from)) != std::string::npos;)
                q.replace(at, from.size(), to);
        const auto a = db.query(q);
        EXPECT_EQ(a.status, 200) << q;
        EXPECT_NE(a.body.find("\"series\""), std::string::npos) << q << "\n" << a.body.substr(0, 300);
        EXPECT_NE(a.body.find("\"" + port + "\""), std::string::npos) << q << "\n" << a.body.substr(0, 300);
        EXPECT_EQ(a.body.find("\"error\""), std::string::npos) << q << "\n" << a.body.substr(0, 300);
    }
}

// The database output stores each reading with its tags and values at the
// time of its record, to the nanosecond (to the millisecond in
// VictoriaMetrics): fed readings an hour old, it must not store them at the
// time they were handed over or sent. A link-down cycle's placeholders are
// not stored as readings; the entries stay integers.
TEST(Tsdb, EachPointHasTheTimeOfItsRecordNotOfItsDelivery)
{
    namespace records = plovex::records;
    using platform::RecordClock;
    const auto hourAgo = std::chrono::floor<std::chrono::seconds>(RecordClock::now()) - 1h;
    auto at = [&](long long ns) { return hourAgo + std::chrono::nanoseconds(ns); };
    auto ns = [](RecordClock::time_point t) { return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count(); };
    const std::vector<platform::RecordPtr> given = {
        records::measurementRecord({-1, -2, -3, -8192, 4, 5, 6, 16383, -5}, 7, at(5'123'456)),
        records::linkDownRecord(8, at(1'250'000'001)), records::parameterRecord(3, 4, at(1'250'000'001)),
        records::parameterRecord(1, 1000, at(2'999'000'999))};
    // The type tag, the record's time, the fields stored.
    const std::vector<std::tuple<std::string, long long, Map>> expected = {
        {"measurement", ns(given[0]->time()),
         {{"xGravityRaw", "-1"}, {"xGravityKal", "-2"}, {"xRaw", "-3"}, {"xKal", "-8192"}, {"yGravityRaw", "4"},
          {"yGravityKal", "5"}, {"yRaw", "6"}, {"yKal", "16383"}, {"temp", "-5"}, {"packetCount", "7"}, {"commState", "1"},
          {"x_deg", "-45.0027"}, {"y_deg", "90"}, {"temp_c", "-0.5"}, {"tilt_deg", "90"}}},
        {"measurement", ns(given[1]->time()), {{"packetCount", "8"}, {"commState", "0"}}},
        {"parameter", ns(given[2]->time()), {{"paddress", "3"}}},
        {"parameter", ns(given[3]->time()), {{"paddress", "1"}, {"pdata", "1000"}}}};
    auto options = plovex::cli::influxValueOptions();
    options.merge(plovex::cli::fleetValueOptions());

    for (const auto kind : {Server::Influx, Server::Victoria}) {
        SCOPED_TRACE(kind == Server::Influx ? "InfluxDB" : "VictoriaMetrics");
        Server db(kind);
        const auto args = platform::parseArgs(withDb({"--tag", "site=north bridge", "--tag", "a,b=c=d e", "--tag",
                                                      "q=\"quoted\"", "--tag", "path=C:\\data\\x", "--tag", "note=two\nlines"},
                                                     db),
                                              options, {});
        ASSERT_EQ(args.error, "");
        plovex::cli::MonitorSetup setup;
        setup.format = plovex::cli::OutputFormat::Influx;
        setup.fields = plovex::record::monitorOrder(plovex::record::derivedFields(plovex::board::TiltUnit::Degrees));
        setup.portName = "ttyUSB0";
        std::string error;
        ASSERT_TRUE(plovex::cli::readInfluxOptions(args, setup.influx, &error) &&
                    plovex::cli::readFleetSettings(args, setup.fleet, &error))
            << error;
        {
            CaptureStdout out; // --format influx's own lines, which other tests compare
            auto outputs = plovex::cli::makeMonitorOutputs(setup);
            ASSERT_EQ(outputs.size(), 2u);
            plovex::RecordReader reader;
            for (const auto& r : given) { // read once, handed to each
                const auto m = reader.measurement(*r);
                const auto p = m ? std::nullopt : reader.parameter(*r);
                ASSERT_TRUE(m || p);
                for (const auto& o : outputs)
                    m ? o->measurement(*m) : o->parameter(*p);
            }
            for (const auto& o : outputs)
                EXPECT_EQ(o->finish(), 0);
        }
        int repeats = 0;
        std::map<std::pair<Map, long long>, Map> stored;
        waitFor([&] { return (stored = db.points(repeats)).size() >= expected.size(); }, 10s);
        EXPECT_EQ(stored.size(), expected.size());
        EXPECT_EQ(repeats, 0) << "stored more than once";
        for (const auto& [type, time, fields] : expected) {
            const Map tags = {{"type", type}, {"port", "ttyUSB0"}, {"site", "north bridge"}, {"a,b", "c=d e"},
                              {"q", "\"quoted\""}, {"path", "C:\\data\\x"}, {"note", "two lines"}};
            const auto it = stored.find({tags, db.storedTime(time)});
            ASSERT_NE(it, stored.end()) << "no " << type << " stored at " << db.storedTime(time);
            ASSERT_EQ(it->second.size(), fields.size()) << type << " at " << time;
            for (const auto& [name, value] : fields)
                EXPECT_EQ(std::stod(it->second.at(name)), std::stod(value)) << name << " of " << type << " at " << time;
        }
        if (kind == Server::Influx) {
            const auto keys = db.query("SHOW FIELD KEYS FROM plovex").body;
            EXPECT_NE(keys.find(R"(["xKal","integer"])"), std::string::npos) << keys;
            EXPECT_NE(keys.find(R"(["x_deg","float"])"), std::string::npos) << keys;
            expectDashboardShows(db, "ttyUSB0");
        }
    }
}

TEST(Tsdb, ARefusedWriteEndsTheMonitorWithStatus1)
{
    Server db(Server::Influx);
    TempDir dir;
    writeFile(dir / "wrong", kAdmin + ":s3cret-wrong\n");
    const std::tuple<std::vector<std::string>, int, std::string> rows[] = { // more options, the status, what is said
        {{"--influx-token-file", (dir / "wrong").string()}, 1,
         "database 127.0.0.1:" + db.base().substr(17) + " refused the write: 401 Unauthorized: authorization failed"},
        {{"--influx", db.writeUrl("nodb")}, 1, "refused the write: 404 Not Found: database not found: \"nodb\""},
        {{"--tag", "k=back\\"}, 2, "--tag 'k=back\\' has a backslash at the end"},
    };
    for (auto [args, exitCode, said] : rows) {
        args.insert(args.end(), {"--seconds", "15"});
        const auto r = runCli(monitorArgs(db, args));
        EXPECT_EQ(r.exitCode, exitCode) << r.err;
        EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
        EXPECT_EQ((r.out + r.err).find("s3cret"), std::string::npos) << "the password shows";
    }
}

// plovex-cli log --influx sends what it writes to its files: with --average
// the very intervals of its rows (their number and counts), not the raw
// measurements; a database that refuses the writes ends it with status 1.
TEST(Tsdb, TheLoggerSendsTheIntervalsItWrites)
{
    Server db(Server::Influx);
    TempDir dir;
    const auto r = runCli(withDb({"log", "--simulate", "--dir", (dir / "log").string(), "--average", "0.5", "--seconds", "3"}, db));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::multiset<std::string> written; // the count column of each row
    for (const auto& entry : std::filesystem::directory_iterator(dir / "log")) {
        const auto rows = lines(readFile(entry.path()));
        for (std::size_t i = 1; i < rows.size(); ++i) { // after the header
            const auto b = rows[i].find(',', rows[i].find(',') + 1);
            written.insert(rows[i].substr(b + 1, rows[i].find(',', b + 1) - b - 1));
        }
    }
    ASSERT_GE(written.size(), 5u);
    int repeats = 0;
    std::multiset<std::string> stored;
    waitFor([&] {
        stored.clear();
        for (const auto& [key, fields] : db.points(repeats))
            stored.insert(key.first.at("type") == "interval" ? fields.at("count") : "a point of type " + key.first.at("type"));
        return stored.size() >= written.size();
    }, 10s);
    EXPECT_EQ(stored, written);
    EXPECT_EQ(repeats, 0);

    writeFile(dir / "wrong", kAdmin + ":s3cret-wrong\n");
    const auto refused = runCli({"log", "--simulate", "--dir", (dir / "log2").string(), "--seconds", "15", "--influx",
                                 db.writeUrl(), "--influx-token-file", (dir / "wrong").string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("refused the write: 401 Unauthorized"), std::string::npos) << refused.err;
}

} // namespace
