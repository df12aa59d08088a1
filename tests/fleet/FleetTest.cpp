// plovex-cli monitor for many boards: its MQTT messages read by a
// libmosquitto subscriber on a real mosquitto broker that the test starts on
// 127.0.0.1 on a free port, stops and starts again.

#include "fleet/MqttPublisher.h"
#include "tests/support/CliRun.h"
#include "tests/support/LinkRig.h"
#include "tests/support/ManualClock.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using namespace testsupport;

struct Message { std::string topic, payload; bool retained; };

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
    ~Watcher()
    {
        // Ended, not cancelled: a thread cancelled while it takes in a message leaks the message.
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, false);
        mosquitto_destroy(client_);
    }
    std::vector<Message> messages() { std::lock_guard lock(mutex_); return messages_; } // a copy: the client's thread adds

    // Whether it is subscribed, and whether the monitor has said goodbye, within 30 s.
    bool subscribed() { return waitFor([&] { return subscribed_.load(); }); }
    bool saidOffline()
    {
        return waitFor([&] { const auto m = messages(); return !m.empty() && m.back().payload == "offline"; });
    }

    mosquitto* client_;
    std::mutex mutex_;
    std::vector<Message> messages_;
    std::atomic<bool> subscribed_{false};
};

// Whether nothing is on its way between the broker on port and its
// clients: no connection to it holds bytes that one side sent and the other
// has not read, but for what waits for heldStill, a client that is stopped.
bool brokerQuiet(int port, pid_t heldStill)
{
    std::set<unsigned long> heldSockets; // socket inodes
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(heldStill) + "/fd")) {
        std::error_code ec;
        const std::string target = std::filesystem::read_symlink(fd.path(), ec).string();
        if (target.rfind("socket:[", 0) == 0)
            heldSockets.insert(std::stoul(target.substr(8)));
    }
    std::istringstream table(readFile("/proc/net/tcp"));
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        unsigned local = 0, remote = 0;
        unsigned long tx = 0, rx = 0, inode = 0;
        if (std::sscanf(line.c_str(), " %*u: %*x:%x %*x:%x %*x %lx:%lx %*x:%*x %*x %*u %*u %lu", &local, &remote, &tx, &rx,
                        &inode) == 5 &&
            (local == static_cast<unsigned>(port) || remote == static_cast<unsigned>(port)) &&
            (tx != 0 || (rx != 0 && !heldSockets.count(inode))))
            return false;
    }
    return true;
}

// The lines a publisher tells, as they come from its thread.
struct Told {
    plovex::fleet::MqttPublisher::Notify sink()
    {
        return [this](const std::string& line) { std::lock_guard lock(mutex); lines.push_back(line); added.notify_all(); };
    }
    // The next line, once there; "" when none comes.
    std::string next()
    {
        std::unique_lock lock(mutex);
        added.wait_for(lock, 30s, [&] { return taken < lines.size(); });
        return taken < lines.size() ? lines[taken++] : "";
    }
    std::size_t waiting() { std::lock_guard lock(mutex); return lines.size() - taken; }
    std::mutex mutex;
    std::condition_variable added;
    std::vector<std::string> lines;
    std::size_t taken = 0;
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
        ASSERT_TRUE(waitFor([&] { return readFile(dir_ / "log").find(" running") != std::string::npos; }));
        // Serving, not only started: a SIGTERM before its main loop runs is lost on it.
        Watcher probe(port_, nullptr);
        ASSERT_TRUE(probe.subscribed());
    }
    void stopBroker()
    {
        if (broker_ > 0 && ::kill(broker_, SIGTERM) == 0)
            ::waitpid(broker_, nullptr, 0);
        std::filesystem::remove(dir_ / "log");
    }
    // What a new subscriber is given as the retained status (a message
    // published while it listens is not retained); "" when nothing comes.
    std::string retainedStatus()
    {
        Watcher w(port_, nullptr);
        std::string status;
        waitFor([&] {
            for (const auto& m : w.messages())
                status = m.retained && m.topic == "plv/status" ? m.payload : status;
            return !status.empty();
        });
        return status;
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
    int port_ = freeLoopbackPort(); // a broker on port 0 would not start
    pid_t broker_ = -1;
};

TEST_F(Mqtt, EveryRecordArrivesOnceAndInOrderAcrossABrokerRestart)
{
    Watcher dashboard(port_, "dashboard");
    ASSERT_TRUE(dashboard.subscribed());
    CliProcess monitor(monitorArgs("right.pw", {"--format", "jsonl", "--mqtt-buffer", "1"}));
    ASSERT_TRUE(waitFor([&] { return dashboard.messages().size() >= 20; }));
    EXPECT_EQ(retainedStatus(), "online");
    // A broker that dies with messages in flight delivers some twice, as QoS 1
    // allows: the monitor is held still until nothing is on its way between the
    // broker and either client (what was sent read, and its acknowledgement too),
    // so that what must arrive once is known. Quiet on three looks in a row,
    // the dashboard's count unchanged: a client between reading a message and
    // answering it shows as quiet for a moment.
    monitor.signal(SIGSTOP);
    int quietLooks = 0;
    std::size_t seen = SIZE_MAX;
    ASSERT_TRUE(waitFor([&] {
        const std::size_t n = dashboard.messages().size();
        quietLooks = brokerQuiet(port_, monitor.pid()) && n == std::exchange(seen, n) ? quietLooks + 1 : 0;
        return quietLooks >= 3;
    }));
    stopBroker();
    monitor.signal(SIGCONT);
    auto told = [&](const std::string& part) { // waits for a line on standard error that holds part
        for (auto line = monitor.readErrorLine(60s); line; line = monitor.readErrorLine(60s))
            if (line->find(part) != std::string::npos)
                return true;
        return false;
    };
    ASSERT_TRUE(told("dropped the")) << "more than the buffer holds came meanwhile";
    startBroker();
    ASSERT_TRUE(told(": connected"));
    const std::size_t reconnected = dashboard.messages().size();
    ASSERT_TRUE(waitFor([&] { return dashboard.messages().size() >= reconnected + 20; }));
    monitor.signal(SIGINT);
    const auto r = monitor.finish();
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const auto printed = lines(r.out);
    std::vector<std::string> got, statuses;
    long long dropped = 0;
    const std::regex said("dropped the ([0-9]+) oldest");
    for (std::sregex_iterator it(r.err.begin(), r.err.end(), said), end; it != end; ++it)
        dropped += std::stoll((*it)[1]);
    // "offline" comes after every record the broker acknowledged.
    ASSERT_TRUE(dashboard.saidOffline());

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
    // online; offline, the monitor's last will, as the broker goes; online
    // again once it is back; offline at the end
    EXPECT_EQ(statuses.at(0) + statuses.at(1) + statuses.at(statuses.size() - 1), "onlineofflineoffline");
    EXPECT_NE(std::find(statuses.begin() + 2, statuses.end(), "online"), statuses.end());
    EXPECT_EQ(retainedStatus(), "offline");
}

TEST_F(Mqtt, ALinkDownCyclePublishesNoPlaceholderAsAReading)
{
    Watcher dashboard(port_, nullptr);
    ASSERT_TRUE(dashboard.subscribed());
    // /dev/null opens but is no serial line: every cycle is a link-down one.
    const auto r = runCli(monitorArgs("right.pw", {"--count", "4"}, "--port=/dev/null"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(dashboard.saidOffline());
    int records = 0;
    for (const auto& m : dashboard.messages()) // the count, the state, the sweep's address: no value
        EXPECT_TRUE(m.topic == "plv/status" ||
                    (++records && std::regex_match(m.payload, std::regex(R"re(\{"type":"(measurement","packetCount":\d,"commState":0,.*"x_deg":null,.*)re"
                                                                         R"re(|parameter","paddress":\d,"time":"[^"]+",)"link":"down"\})re"))))
            << m.payload;
    EXPECT_EQ(records, 4);
}

TEST_F(Mqtt, EachAlarmsStateIsKeptAndARestartedMonitorReplacesIt)
{
    plovex::sim::BoardOptions options;
    options.motion = {.kind = plovex::sim::MotionPlan::Kind::Hold, .x = 5, .y = 0};
    Board board(options);
    const auto args = monitorArgs("right.pw", {"--count", "30", "--alarm", "x_deg>2.5", "--alarm", "temp_c>60"},
                                  "--port=" + board.path());
    // What a new subscriber is given as each alarm's state.
    auto states = [&] {
        Watcher w(port_, nullptr);
        waitFor([&] { return w.messages().size() >= 3; }, 5s); // the status and two alarms
        std::map<std::string, std::string> out;
        for (const auto& m : w.messages()) {
            const auto at = m.payload.find("\"state\":\"");
            if (m.retained && m.topic.rfind("plv/alarm/", 0) == 0 && at != std::string::npos)
                out[m.topic.substr(10)] = m.payload.substr(at + 9, m.payload.find('"', at + 9) - at - 9);
        }
        return out;
    };
    const std::map<std::string, std::string> raised = {{"x_deg_gt_2.5", "raised"}, {"temp_c_gt_60", "cleared"}},
                                             cleared = {{"x_deg_gt_2.5", "cleared"}, {"temp_c_gt_60", "cleared"}};
    auto r = runCli(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(states(), raised);
    // Restarted with the board level again: the state it finds replaces the last one.
    board->setMotion({.kind = plovex::sim::MotionPlan::Kind::Hold, .x = 0, .y = 0});
    r = runCli(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(states(), cleared);
    EXPECT_EQ(r.err.find("alarm cleared"), std::string::npos) << "a new run announces no change it did not see: " << r.err;
}

TEST_F(Mqtt, WithAverageEachIntervalIsPublishedAsPrintedToATopicOfItsOwn)
{
    Watcher dashboard(port_, nullptr);
    ASSERT_TRUE(dashboard.subscribed());
    const auto r = runCli(monitorArgs("right.pw", {"--format", "jsonl", "--seconds", "3", "--average", "1"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(dashboard.saidOffline());
    std::vector<std::string> printed, got;
    for (const auto& line : lines(r.out))
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

TEST_F(Mqtt, ThePublisherTriesAgainAfter1To30SecondsOfItsClockAndSendsWhatItKeptInOrder)
{
    using plovex::fleet::MqttTopic;
    stopBroker();
    ManualClock clock;
    Told told;
    plovex::fleet::MqttSettings settings;
    std::string error;
    settings.url = plovex::fleet::parseMqttUrl("mqtt://127.0.0.1:" + std::to_string(port_) + "/plv", &error).value();
    settings.username = "plovex";
    settings.password = "right";
    settings.buffer.age = 45s;
    settings.clock = clock.source();
    const auto recorded = std::chrono::system_clock::now();
    plovex::fleet::MqttPublisher publisher(settings, told.sink(), [] {});
    publisher.publish(MqttTopic::Measurement, "dropped", recorded); // older than the buffer keeps once the broker is back
    const std::string broker = "MQTT broker 127.0.0.1:" + std::to_string(port_) + ": ";
    std::unique_ptr<Watcher> dashboard; // subscribed before the publisher can reach the broker
    const int waits[] = {1, 2, 4, 8, 16, 30, 30};
    for (std::size_t i = 0; i < std::size(waits); ++i) {
        const std::string line = told.next();
        const std::string tail = "; trying again in " + std::to_string(waits[i]) + " s" +
                                 (i == 0 ? ", keeping the records meanwhile" : "");
        ASSERT_TRUE(line.rfind(broker, 0) == 0 && line.size() > tail.size() &&
                    line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
            << line;
        clock.advance(std::chrono::seconds(waits[i]) - 1ms);
        ASSERT_TRUE(clock.seen());
        EXPECT_EQ(told.waiting(), 0u) << "tried again before " << waits[i] << " s";
        if (i + 1 == std::size(waits)) { // 91 s on: the first record is past keeping
            publisher.publish(MqttTopic::Measurement, "kept", recorded);
            const std::string drop = told.next();
            EXPECT_EQ(drop.rfind("MQTT buffer full (45 s or 64 MB of records): dropped the 1 oldest record, from ", 0), 0u)
                << drop;
            publisher.publish(MqttTopic::Parameter, "kept too", recorded);
            startBroker();
            dashboard = std::make_unique<Watcher>(port_, nullptr);
            ASSERT_TRUE(dashboard->subscribed());
        }
        clock.advance(1ms);
    }
    EXPECT_EQ(told.next(), broker + "connected");
    ASSERT_TRUE(waitFor([&] { return dashboard->messages().size() >= 3; }));
    EXPECT_EQ(publisher.finish(30s), "");
    std::vector<std::string> got;
    for (const auto& m : dashboard->messages())
        got.push_back(m.topic + " " + m.payload);
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 3),
              (std::vector<std::string>{"plv/status online", "plv/measurement kept", "plv/parameter kept too"}));
}

TEST_F(Mqtt, ARefusedLoginEndsTheMonitorWithStatus1)
{
    const auto r = runCli(monitorArgs("bad.pw", {"--seconds", "15"}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("broker 127.0.0.1:" + std::to_string(port_) + " refused the login"), std::string::npos) << r.err;
    EXPECT_EQ((r.out + r.err).find("s3cret"), std::string::npos) << "the password shows";
}

} // namespace
