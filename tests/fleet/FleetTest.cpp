// plovex-cli monitor for many boards. Its line protocol is read back by a
// parser of the format written from its rules; its MQTT messages by a
// libmosquitto subscriber on a real mosquitto broker that the test starts on
// 127.0.0.1 on a free port, stops and starts again.

#include "record/LocalTime.h"
#include "tests/support/CliRun.h"
#include "tests/support/TestSupport.h"

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <netinet/in.h>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using namespace testsupport;
using Map = std::map<std::string, std::string>;

struct Point {
    Map tags, fields;
    long long time = -1; // -1: not a line of the measurement "plovex"
};

// Reads up to an unescaped character of ends; a backslash takes the next character as it is.
std::string until(const std::string& s, std::size_t& i, const char* ends, char& hit)
{
    std::string out;
    for (; i < s.size() && !std::strchr(ends, s[i]); ++i)
        out += s[i] == '\\' && i + 1 < s.size() ? s[++i] : s[i];
    hit = i < s.size() ? s[i++] : '\0';
    return out;
}

// measurement[,tag=value...] field=value[,field=value...] time
Point parseLine(const std::string& line)
{
    Point p;
    std::size_t i = 0;
    char hit = 0;
    const bool plovex = until(line, i, ", ", hit) == "plovex";
    auto pairs = [&](Map& into) {
        do {
            const std::string key = until(line, i, "=", hit);
            const std::string value = hit == '=' ? until(line, i, ",= ", hit) : "";
            if (key.empty() || value.empty() || hit == '=' || !into.emplace(key, value).second)
                return false;
        } while (hit == ',');
        return hit == ' ';
    };
    if (plovex && (hit != ',' || pairs(p.tags)) && hit == ' ' && pairs(p.fields))
        p.time = std::atoll(line.c_str() + i);
    return p;
}

TEST(LineProtocol, MonitorLinesReadBackWithTheirTagsFieldsAndTime)
{
    const std::pair<const char*, Map> tagRows[] = { // --tag, and the tag it makes
        {"site=north bridge", {{"site", "north bridge"}}}, {"a,b=c=d e", {{"a,b", "c=d e"}}},
        {"k\\y=back\\", {{"k\\y", "back\\"}}}, {"note=two\nlines", {{"note", "two lines"}}}};
    const struct {
        std::vector<std::string> port;
        long long count;
        const char* portTag; // nullptr: any
        bool linkUp;         // the derived values as floats; while the link is down no placeholder shows as one
    } rows[] = {{{"--simulate"}, 40, nullptr, true}, {{"--port", "/dev/null"}, 2, "null", false}};
    for (const auto& row : rows) {
        std::vector<std::string> args = {"monitor", "--format", "influx", "--units", "mrad", "--count", std::to_string(row.count)};
        args.insert(args.end(), row.port.begin(), row.port.end());
        Map tags;
        for (const auto& [tag, made] : tagRows) {
            args.insert(args.end(), {"--tag", tag});
            tags.insert(made.begin(), made.end());
        }
        long long lines = 0, last = std::chrono::system_clock::now().time_since_epoch().count();
        const auto r = runCli(args);
        std::istringstream out(r.out);
        for (std::string line; std::getline(out, line); ++lines) {
            Point p = parseLine(line);
            const bool measurement = p.fields.count("packetCount");
            tags["type"] = measurement ? "measurement" : "parameter";
            tags["port"] = row.portTag ? row.portTag : p.tags.count("port") ? p.tags["port"] : "the port's name";
            EXPECT_EQ(p.tags, tags) << line;
            EXPECT_GE(p.time, std::exchange(last, p.time)) << line;
            // The entries as integer fields, a measurement's angles and
            // temperature as floats, while the link is up.
            Map floats;
            for (const auto& [name, value] : p.fields)
                if (value.back() != 'i')
                    floats[name] = value;
            // While the link is down only the count and the state, and the
            // address of the sweep: the rest are placeholders.
            EXPECT_EQ(p.fields.size() - floats.size(), measurement ? (row.linkUp ? 11u : 2u) : (row.linkUp ? 2u : 1u)) << line;
            const double x = std::atoi(p.fields["xKal"].c_str()) * 90.0 / 16383, y = std::atoi(p.fields["yKal"].c_str()) * 90.0 / 16383;
            const std::map<std::string, double> expected = {{"x_deg", x}, {"y_deg", y}, {"temp_c", std::atoi(p.fields["temp"].c_str()) / 10.0},
                                                            {"x_mrad", x * M_PI / 0.18}, {"y_mrad", y * M_PI / 0.18}};
            EXPECT_EQ(floats.size(), measurement && row.linkUp ? expected.size() : 0u) << line;
            for (const auto& [name, value] : floats)
                EXPECT_NEAR(std::stod(value), expected.at(name), 6e-4) << name << " in " << line;
        }
        EXPECT_EQ(lines, row.count) << r.err;
    }
}

struct Message {
    std::string topic, payload;
    bool retained;
};

// A subscriber to everything under plv/, logged in as the monitor is. With
// an id it keeps its session (and so its subscription) across a restart of
// the broker.
struct Watcher {
    Watcher(int port, const char* id) : client_(mosquitto_new(id, !id, this))
    {
        mosquitto_username_pw_set(client_, "plovex", "right");
        mosquitto_connect_callback_set(client_, [](mosquitto* c, void*, int) { mosquitto_subscribe(c, nullptr, "plv/#", 1); });
        mosquitto_subscribe_callback_set(client_, [](mosquitto*, void* self, int, int, const int*) {
            static_cast<Watcher*>(self)->subscribed_ = true;
        });
        mosquitto_message_callback_set(client_, [](mosquitto*, void* self, const mosquitto_message* m) {
            auto* w = static_cast<Watcher*>(self);
            std::lock_guard lock(w->mutex_);
            w->messages_.push_back({m->topic, std::string(static_cast<const char*>(m->payload), m->payloadlen), m->retain});
        });
        mosquitto_connect(client_, "127.0.0.1", port, 60);
        mosquitto_loop_start(client_);
    }
    ~Watcher() { mosquitto_loop_stop(client_, true); mosquitto_destroy(client_); }
    std::vector<Message> messages() { std::lock_guard lock(mutex_); return messages_; } // a copy: the client's thread adds

    mosquitto* client_;
    std::atomic<bool> subscribed_{false};
    std::mutex mutex_;
    std::vector<Message> messages_;
};

class Mqtt : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists("/usr/sbin/mosquitto")) << "mosquitto is missing: run scripts/setup.sh";
        mosquitto_lib_init();
        writeFile(dir_ / "right.pw", "right\n");
        writeFile(dir_ / "bad.pw", "s3cret-wrong\n");
        const std::string d = dir_.path().string(), port = std::to_string(port_);
        ASSERT_EQ(std::system(("mosquitto_passwd -b -c " + d + "/passwd plovex right").c_str()), 0);
        writeFile(dir_ / "conf", "listener " + port + " 127.0.0.1\nuser root\nallow_anonymous false\npassword_file " + d +
                                     "/passwd\npersistence true\npersistence_location " + d +
                                     "/\nmax_queued_messages 0\nlog_dest file " + d + "/log\n");
        startBroker();
    }
    void TearDown() override { stopBroker(); }

    void startBroker()
    {
        if ((broker_ = ::fork()) == 0)
            ::_exit(::execl("/usr/sbin/mosquitto", "mosquitto", "-c", (dir_ / "conf").c_str(), nullptr));
        ASSERT_TRUE(waitFor([&] { return readFile(dir_ / "log").find(" running") != std::string::npos; }, 5s));
    }
    void stopBroker()
    {
        if (broker_ > 0 && ::kill(broker_, SIGTERM) == 0)
            ::waitpid(broker_, nullptr, 0);
        std::filesystem::remove(dir_ / "log");
    }
    // What a new subscriber is given as the retained status; "" when nothing.
    std::string retainedStatus()
    {
        Watcher w(port_, nullptr);
        waitFor([&] { return !w.messages().empty(); }, 500ms);
        const auto m = w.messages();
        return m.empty() || !m[0].retained || m[0].topic != "plv/status" ? "" : m[0].payload;
    }
    std::vector<std::string> monitorArgs(const char* passwordFile, std::vector<std::string> more,
                                         const std::string& port = "--simulate")
    {
        std::vector<std::string> args = {"monitor", port, "--mqtt", "mqtt://127.0.0.1:" + std::to_string(port_) + "/plv",
                                         "--username", "plovex", "--password-file", (dir_ / passwordFile).string()};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    TempDir dir_;
    int port_ = [] { // a port free on 127.0.0.1 (a broker on port 0 would not start)
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof a;
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), len);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        ::close(fd);
        return ntohs(a.sin_port);
    }();
    pid_t broker_ = -1;
};

TEST_F(Mqtt, EveryRecordArrivesOnceAndInOrderAcrossABrokerRestart)
{
    Watcher dashboard(port_, "dashboard");
    CliProcess monitor(monitorArgs("right.pw", {"--format", "jsonl", "--seconds", "7", "--mqtt-buffer", "1"}));
    ASSERT_TRUE(waitFor([&] { return dashboard.messages().size() >= 20; }, 5s));
    EXPECT_EQ(retainedStatus(), "online");
    // A broker that dies with messages in flight delivers some twice, as QoS 1
    // allows: the monitor is held still while the broker goes, so that what
    // must arrive once is known.
    monitor.signal(SIGSTOP);
    std::this_thread::sleep_for(300ms);
    stopBroker();
    monitor.signal(SIGCONT);
    std::this_thread::sleep_for(2500ms); // more than the buffer holds
    const std::string restarted = plovex::record::isoLocalTime(std::chrono::system_clock::now());
    startBroker();
    const auto r = monitor.finish();
    ASSERT_EQ(r.exitCode, 0) << r.err;

    std::vector<std::string> printed, got, statuses;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);)
        printed.push_back(line);
    long long dropped = 0;
    const std::regex said("dropped the ([0-9]+) oldest");
    for (std::sregex_iterator it(r.err.begin(), r.err.end(), said), end; it != end; ++it)
        dropped += std::stoll((*it)[1]);
    // "offline" comes after every record the broker acknowledged.
    ASSERT_TRUE(waitFor([&] { return dashboard.messages().back().payload == "offline"; }, 10s));

    // The dashboard gets the lines that were printed, with their time, in
    // order, each once; only the oldest of the outage are missing, as many as
    // were said.
    for (const auto& m : dashboard.messages()) {
        (m.topic == "plv/status" ? statuses : got).push_back(m.payload);
        EXPECT_TRUE(m.topic == "plv/status" || m.payload.rfind("{\"type\":\"" + m.topic.substr(4) + "\"", 0) == 0) << m.topic << " " << m.payload;
    }
    ASSERT_EQ(got.size() + dropped, printed.size());
    const auto gap = std::mismatch(got.begin(), got.end(), printed.begin()).first - got.begin();
    EXPECT_TRUE(std::equal(got.begin() + gap, got.end(), printed.begin() + gap + dropped)) << "after record " << gap;
    const auto time = got.at(gap).find("\"time\":\"") + 8; // local ISO 8601: ordered as text
    EXPECT_LT(got.at(gap).substr(time, restarted.size()), restarted) << "nothing kept of the outage";
    // online; offline, the monitor's last will, as the broker goes; online
    // again once it is back; offline at the end
    EXPECT_EQ(statuses.at(0) + statuses.at(1) + statuses.at(statuses.size() - 1), "onlineofflineoffline");
    EXPECT_NE(std::find(statuses.begin() + 2, statuses.end(), "online"), statuses.end());
    EXPECT_EQ(retainedStatus(), "offline");
}

TEST_F(Mqtt, ALinkDownCyclePublishesNoPlaceholderAsAReading)
{
    Watcher dashboard(port_, nullptr);
    ASSERT_TRUE(waitFor([&] { return dashboard.subscribed_.load(); }, 5s));
    // /dev/null opens but is no serial line: every cycle is a link-down one.
    const auto r = runCli(monitorArgs("right.pw", {"--count", "4"}, "--port=/dev/null"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(waitFor([&] { return dashboard.messages().back().payload == "offline"; }, 10s));
    std::vector<std::string> got;
    for (const auto& m : dashboard.messages())
        if (m.topic != "plv/status")
            got.push_back(m.payload);
    ASSERT_EQ(got.size(), 4u);
    for (const auto& payload : got) { // the count, the state, the sweep's address: no value
        EXPECT_TRUE(std::regex_match(payload, std::regex(R"re(\{"type":"(measurement","packetCount":\d,"commState":0,.*"x_deg":null,.*)re"
                                                         R"re(|parameter","paddress":\d,"time":"[^"]+",)"link":"down"\})re")))
            << payload;
    }
}

TEST_F(Mqtt, WithAverageEachIntervalIsPublishedAsPrintedToATopicOfItsOwn)
{
    Watcher dashboard(port_, nullptr);
    ASSERT_TRUE(waitFor([&] { return dashboard.subscribed_.load(); }, 5s));
    const auto r = runCli(monitorArgs("right.pw", {"--format", "jsonl", "--seconds", "3", "--average", "1"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(waitFor([&] { return dashboard.messages().back().payload == "offline"; }, 10s));
    std::vector<std::string> printed, got;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);)
        if (line.rfind("{\"type\":\"interval\"", 0) == 0)
            printed.push_back(line);
    for (const auto& m : dashboard.messages()) {
        EXPECT_NE(m.topic, "plv/measurement");
        if (m.topic == "plv/interval")
            got.push_back(m.payload);
    }
    EXPECT_GE(printed.size(), 3u) << r.out;
    EXPECT_EQ(got, printed);
}

TEST_F(Mqtt, ARefusedLoginEndsTheMonitorWithStatus1)
{
    const auto r = runCli(monitorArgs("bad.pw", {"--seconds", "15"}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("broker 127.0.0.1:" + std::to_string(port_) + " refused the login"), std::string::npos) << r.err;
    EXPECT_EQ((r.out + r.err).find("s3cret"), std::string::npos) << "the password shows";
}

} // namespace
