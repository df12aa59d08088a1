#pragma once
// The broker address the monitor publishes to: mqtt://HOST[:PORT]/PREFIX.
// HOST is a name or an address ([...] around an IPv6 address); PORT is 1883
// when none is given, or 8883 for a TLS connection; PREFIX is the topic
// level(s) every topic starts with ("site/bridge" gives
// "site/bridge/measurement"). A prefix no broker would take is refused: one
// with MQTT's wildcards "+" or "#", one beginning with "$" (the broker's own
// topics), an empty level, bytes that are not UTF-8, a control character,
// or more bytes than a topic may have.

#include <optional>
#include <string>

namespace plovex::fleet {

struct MqttUrl {
    std::string host;
    std::optional<int> port; // as given; nullopt: the default for the connection
    std::string prefix;
};

// nullopt, and the reason in *error, for anything that is not such a URL.
std::optional<MqttUrl> parseMqttUrl(const std::string& text, std::string* error);

} // namespace plovex::fleet
