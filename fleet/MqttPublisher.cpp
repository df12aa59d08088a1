#include "fleet/MqttPublisher.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <utility>

namespace plovex::fleet {

namespace {

using namespace std::chrono_literals;

// Messages sent and not yet acknowledged, at most; the library is told the same.
constexpr std::size_t kWindow = 32;
constexpr int kKeepAliveSeconds = 15;
// A connection attempt without the broker's answer in this time has failed.
constexpr auto kConnectTimeout = 10s;
// The loop's longest wait, so that new messages and finish() are taken up soon.
constexpr int kLoopWaitMs = 20;

void initMosquittoOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string errorText(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return std::strerror(errno);
    return mosquitto_strerror(rc);
}

} // namespace

void MqttPublisher::ClientDeleter::operator()(struct mosquitto* client) const
{
    mosquitto_destroy(client);
}

MqttPublisher::MqttPublisher(MqttSettings settings, Notify notify, std::function<void()> onFatal)
    : settings_(std::move(settings)),
      port_(settings_.url.port.value_or(settings_.cafile.empty() ? 1883 : 8883)),
      notify_(std::move(notify)),
      onFatal_(std::move(onFatal)),
      buffer_(settings_.buffer)
{
    if (!settings_.clock)
        settings_.clock = [] { return Clock::now(); };
    initMosquittoOnce();
    thread_ = std::jthread([this] { threadMain(); });
}

MqttPublisher::~MqttPublisher()
{
    if (thread_.joinable())
        finish(0ms);
}

std::string MqttPublisher::brokerName() const
{
    const auto& host = settings_.url.host;
    return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port_);
}

std::string MqttPublisher::topicName(const char* leaf) const
{
    return settings_.url.prefix + "/" + leaf;
}

void MqttPublisher::publish(MqttTopic topic, std::string payload, platform::RecordTime recordTime)
{
    SendBuffer::Entry entry{std::move(payload), static_cast<int>(topic), recordTime, now()};
    // Only what waits to be sent is dropped; what is in flight is the
    // thread's until the broker answers or the connection goes.
    std::lock_guard lock(mutex_);
    buffer_.push(std::move(entry));
}

std::string MqttPublisher::finish(std::chrono::milliseconds drain)
{
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
        drainUntil_ = Clock::now() + drain;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(mutex_);
    return fatal_;
}

void MqttPublisher::threadMain() noexcept
{
    try {
        runLoop();
        sayGoodbye();
    } catch (const std::exception& e) {
        endFatally(std::string("publishing stopped: ") + e.what());
    } catch (...) {
        endFatally("publishing stopped");
    }
    client_.reset();
}

void MqttPublisher::endFatally(const std::string& reason)
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

void MqttPublisher::runLoop()
{
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (!fatal_.empty())
                return;
            if (finishing_ && (Clock::now() >= drainUntil_ || (buffer_.empty() && inFlight_.empty())))
                return;
        }
        reportDrops(false);
        if (!client_) {
            const auto left = nextTry_ - now();
            if (left <= Clock::duration::zero()) {
                startConnection();
                continue;
            }
            std::unique_lock lock(mutex_);
            if (finishing_)
                return; // no broker to send to now: what is left is reported, not waited for
            // A tenth of a second at most, so that the clock is looked at again.
            wake_.wait_for(lock, std::min<Clock::duration>(left, 100ms));
            continue;
        }
        if (connected_)
            sendFromBuffer();
        const int rc = mosquitto_loop(client_.get(), kLoopWaitMs, 1);
        if (refused_)
            continue; // endFatally has ended the publishing
        if (std::exchange(announce_, false)) {
            const std::string status = topicName("status");
            mosquitto_publish(client_.get(), nullptr, status.c_str(), 6, "online", settings_.qos, true);
        }
        if (rc != MOSQ_ERR_SUCCESS)
            dropConnection(lost_.empty() ? errorText(rc) : lost_);
        else if (!lost_.empty())
            dropConnection(lost_);
        else if (!connected_ && now() - connectStarted_ > kConnectTimeout)
            dropConnection("no answer to the connection");
    }
}

void MqttPublisher::startConnection()
{
    lost_.clear();
    announce_ = false;
    connected_ = false;
    client_.reset(mosquitto_new(settings_.clientId.empty() ? nullptr : settings_.clientId.c_str(), true, this));
    if (!client_)
        throw std::runtime_error(std::string("cannot make an MQTT client: ") + std::strerror(errno));
    mosquitto* client = client_.get();
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(client, MOSQ_OPT_SEND_MAXIMUM, static_cast<int>(kWindow));
    const std::string status = topicName("status");
    mosquitto_will_set(client, status.c_str(), 7, "offline", settings_.qos, true);
    if (!settings_.username.empty())
        mosquitto_username_pw_set(client, settings_.username.c_str(),
                                  settings_.password.empty() ? nullptr : settings_.password.c_str());
    if (!settings_.cafile.empty()) {
        if (const int rc = mosquitto_tls_set(client, settings_.cafile.c_str(), nullptr, nullptr, nullptr, nullptr);
            rc != MOSQ_ERR_SUCCESS) {
            endFatally("cannot use the CA file " + settings_.cafile + ": " + errorText(rc));
            return;
        }
    }
    mosquitto_connect_callback_set(client, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(client, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(client, &MqttPublisher::onPublish);
    connectStarted_ = now();
    if (const int rc = mosquitto_connect_async(client, settings_.url.host.c_str(), port_, kKeepAliveSeconds);
        rc != MOSQ_ERR_SUCCESS)
        dropConnection(rc == MOSQ_ERR_EAI ? "cannot find the host" : errorText(rc));
}

void MqttPublisher::sendFromBuffer()
{
    while (inFlight_.size() < kWindow) {
        std::vector<SendBuffer::Entry> taken;
        {
            std::lock_guard lock(mutex_);
            taken = buffer_.take(1);
        }
        if (taken.empty())
            return;
        auto& message = taken.front();
        const auto kind = static_cast<MqttTopic>(message.kind);
        const std::string topic = topicName(kind == MqttTopic::Measurement ? "measurement"
                                            : kind == MqttTopic::Parameter ? "parameter"
                                                                           : "interval");
        int mid = 0;
        const int rc = mosquitto_publish(client_.get(), &mid, topic.c_str(), static_cast<int>(message.text.size()),
                                         message.text.data(), settings_.qos, false);
        if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO || rc == MOSQ_ERR_NOMEM) {
            // The connection's trouble, not the message's: it waits for the
            // next connection, and the loop ends this one.
            {
                std::lock_guard lock(mutex_);
                buffer_.pushFront(std::move(taken));
            }
            if (lost_.empty())
                lost_ = errorText(rc);
            return;
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            // Refused as it stands (too large, say): it would be refused
            // again, so it is dropped, and said.
            ++refusedCount_;
            refusedWhy_ = "on " + topic + ": " + errorText(rc);
            continue;
        }
        inFlight_.push_back({std::move(message), mid, false});
    }
}

void MqttPublisher::dropConnection(const std::string& reason)
{
    client_.reset();
    connected_ = false;
    {
        // What the broker did not acknowledge goes out again, first.
        std::vector<SendBuffer::Entry> unacknowledged;
        for (auto& f : inFlight_)
            unacknowledged.push_back(std::move(f.message));
        std::lock_guard lock(mutex_);
        buffer_.pushFront(std::move(unacknowledged));
    }
    inFlight_.clear();
    nextTry_ = now() + backOff_;
    notify_("MQTT broker " + brokerName() + ": " + reason + "; trying again in " + std::to_string(backOff_.count()) +
            " s" + (troubleSaid_ ? "" : ", keeping the records meanwhile"));
    troubleSaid_ = true;
    backOff_ = std::min<std::chrono::seconds>(backOff_ * 2, kLongestBackOff);
}

void MqttPublisher::reportDrops(bool now)
{
    if (!now && this->now() - lastDropReport_ < kDropReportInterval)
        return;
    SendBuffer::Drops drops;
    {
        std::lock_guard lock(mutex_);
        drops = buffer_.takeDrops();
    }
    if (drops.count == 0 && refusedCount_ == 0)
        return;
    lastDropReport_ = this->now();
    if (drops.count > 0)
        notify_("MQTT buffer full (" + describeLimits(settings_.buffer) + " of records): dropped " +
                describeDrops(drops));
    if (refusedCount_ > 0)
        notify_("MQTT broker " + brokerName() + ": could not publish " + std::to_string(refusedCount_) + " record" +
                (refusedCount_ == 1 ? " " : "s ") + refusedWhy_ + "; dropped");
    refusedCount_ = 0;
}

void MqttPublisher::sayGoodbye()
{
    reportDrops(true);
    std::size_t unsent = inFlight_.size();
    {
        std::lock_guard lock(mutex_);
        unsent += buffer_.size();
    }
    if (unsent > 0)
        notify_("MQTT broker " + brokerName() + ": " + std::to_string(unsent) + " records not sent");
    if (!client_ || !connected_)
        return;
    // A clean disconnect does not send the last will: say "offline" here.
    const std::string status = topicName("status");
    if (mosquitto_publish(client_.get(), &goodbyeMid_, status.c_str(), 7, "offline", settings_.qos, true) ==
        MOSQ_ERR_SUCCESS) {
        const auto until = Clock::now() + 2s;
        while (!goodbyeSent_ && lost_.empty() && Clock::now() < until &&
               mosquitto_loop(client_.get(), kLoopWaitMs, 1) == MOSQ_ERR_SUCCESS) {
        }
    }
    mosquitto_disconnect(client_.get());
    mosquitto_loop(client_.get(), kLoopWaitMs, 1);
}

void MqttPublisher::onConnect(struct mosquitto*, void* self, int rc)
{
    auto* p = static_cast<MqttPublisher*>(self);
    if (rc != 0) {
        const std::string why = mosquitto_connack_string(rc);
        // Server unavailable may pass; the others are this client's settings.
        if (rc == CONNACK_REFUSED_SERVER_UNAVAILABLE) {
            p->lost_ = "refused the connection (" + why + ")";
            return;
        }
        p->refused_ = true;
        p->endFatally("the MQTT broker " + p->brokerName() +
                      (rc == CONNACK_REFUSED_BAD_USERNAME_PASSWORD || rc == CONNACK_REFUSED_NOT_AUTHORIZED
                           ? " refused the login: "
                           : " refused the connection: ") +
                      why);
        return;
    }
    p->connected_ = true;
    p->backOff_ = 1s;
    if (p->troubleSaid_)
        p->notify_("MQTT broker " + p->brokerName() + ": connected");
    p->troubleSaid_ = false;
    p->announce_ = true; // not from here: the library holds a lock of its own while it calls back
}

void MqttPublisher::onDisconnect(struct mosquitto*, void* self, int rc)
{
    auto* p = static_cast<MqttPublisher*>(self);
    if (p->lost_.empty())
        p->lost_ = rc == 0 ? "disconnected" : "connection lost";
}

void MqttPublisher::onPublish(struct mosquitto*, void* self, int mid)
{
    auto* p = static_cast<MqttPublisher*>(self);
    if (mid == p->goodbyeMid_)
        p->goodbyeSent_ = true;
    for (auto& f : p->inFlight_) {
        if (f.mid == mid)
            f.done = true;
    }
    while (!p->inFlight_.empty() && p->inFlight_.front().done)
        p->inFlight_.pop_front();
}

} // namespace plovex::fleet
