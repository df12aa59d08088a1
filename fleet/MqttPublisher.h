#pragma once
// Publishes the monitor's records to an MQTT broker, from a thread of its
// own, so that the monitor never waits for the broker.
//
// publish() puts a message at the end of a buffer and returns. The thread
// connects (TLS when a CA file is given, with the login when a user name is
// given), publishes a retained "online" on PREFIX/status, with a retained
// "offline" there as its last will, and sends the buffer in order to
// PREFIX/measurement, PREFIX/parameter or PREFIX/interval. A message leaves the buffer when
// the broker has acknowledged it (QoS 1) or when it was written (QoS 0); one
// whose acknowledgement a lost connection took with it is sent again.
//
// When the broker cannot be reached or the connection is lost, the thread
// tries again after 1 s, then 2, 4, ... up to 30 s between tries, and the
// buffer keeps the messages of the last `buffer.age` (10 minutes by
// default) within `buffer.bytes` (64 MB); older ones are dropped, and how
// many is said. A message the library refuses to publish (too large, say)
// is dropped and said too, never put back to be refused again. A broker that
// refuses the login (or the client id, or the protocol) ends the publishing:
// onFatal is called and finish() returns the reason.

#include "fleet/MqttUrl.h"
#include "fleet/SendBuffer.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct mosquitto;

namespace plovex::fleet {

struct MqttSettings {
    MqttUrl url;
    int qos = 1;               // 0 or 1
    std::string clientId;      // empty: the library makes one up
    std::string username;      // empty: no login
    std::string password;      // with username; empty: none
    std::string cafile;        // non-empty: TLS, the broker checked against these certificates
    BufferLimits buffer;
    // The clock of the waits between tries, the connection's time limit, the
    // records' age in the buffer and how often drops are told. Default:
    // steady_clock::now. The end (finish's drain, the goodbye) keeps real
    // time, so that a clock that stands still never holds it.
    std::function<std::chrono::steady_clock::time_point()> clock;
};

enum class MqttTopic { Measurement, Parameter, Interval };

class MqttPublisher {
public:
    // A line for the user (a lost connection, dropped messages), with no
    // program name in front; called on the publisher's thread.
    using Notify = std::function<void(const std::string&)>;

    // Starts the thread, which connects at once. onFatal is called on the
    // publisher's thread, once, when publishing has ended for good.
    MqttPublisher(MqttSettings settings, Notify notify, std::function<void()> onFatal);
    // finish() with no time to send what is left, unless it was called.
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Queues payload for topic and returns; never waits for the broker.
    // recordTime, the time of the record it carries, names what is dropped.
    void publish(MqttTopic topic, std::string payload, platform::RecordTime recordTime);

    // Sends what the buffer holds, for at most drain while connected (or
    // connecting), says how many messages were left unsent, publishes
    // "offline", disconnects and ends the thread. Returns why publishing ended for good
    // before, or "" when it did not.
    std::string finish(std::chrono::milliseconds drain);

    // "host:port", for messages.
    std::string brokerName() const;

private:
    using Clock = SendBuffer::Clock;
    struct ClientDeleter {
        void operator()(struct mosquitto* client) const;
    };
    struct InFlight {
        SendBuffer::Entry message;
        int mid;
        bool done;
    };

    void threadMain() noexcept;
    void runLoop();
    void startConnection();
    void sendFromBuffer();
    void dropConnection(const std::string& reason);
    void reportDrops(bool now);
    void sayGoodbye();
    void endFatally(const std::string& reason);
    std::string topicName(const char* leaf) const;
    Clock::time_point now() const { return settings_.clock(); }

    static void onConnect(struct mosquitto*, void* self, int rc);
    static void onDisconnect(struct mosquitto*, void* self, int rc);
    static void onPublish(struct mosquitto*, void* self, int mid);

    MqttSettings settings_; // const after the constructor
    const int port_;
    const Notify notify_;
    const std::function<void()> onFatal_;

    // Shared with the publishing thread.
    std::mutex mutex_;
    std::condition_variable wake_;
    SendBuffer buffer_;
    bool finishing_ = false;
    Clock::time_point drainUntil_;
    std::string fatal_;

    // The publisher's thread alone.
    std::unique_ptr<struct mosquitto, ClientDeleter> client_;
    bool connected_ = false;
    bool announce_ = false;          // connected: "online" is to be published
    bool refused_ = false;           // the broker answered the connect with a refusal to retry
    std::string lost_;               // why the connection ended, when it did
    std::deque<InFlight> inFlight_;  // sent, not yet acknowledged, oldest first
    std::chrono::seconds backOff_{1};
    Clock::time_point nextTry_;
    Clock::time_point connectStarted_;
    bool troubleSaid_ = false;       // a failure was reported and no success since
    Clock::time_point lastDropReport_;
    uint64_t refusedCount_ = 0;      // messages the library would not publish, not yet reported
    std::string refusedWhy_;
    int goodbyeMid_ = -1;
    bool goodbyeSent_ = false;

    std::jthread thread_;
};

} // namespace plovex::fleet
