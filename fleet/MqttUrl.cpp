#include "fleet/MqttUrl.h"

#include <cctype>

namespace plovex::fleet {

std::optional<MqttUrl> parseMqttUrl(const std::string& text, std::string* error)
{
    const std::string scheme = "mqtt://";
    auto fail = [&](const std::string& why) -> std::optional<MqttUrl> {
        *error = "'" + text + "' is not mqtt://HOST[:PORT]/TOPIC-PREFIX: " + why;
        return std::nullopt;
    };
    if (text.compare(0, scheme.size(), scheme) != 0)
        return fail("it does not start with mqtt://");
    const std::string rest = text.substr(scheme.size());
    const auto slash = rest.find('/');
    if (slash == std::string::npos || slash + 1 == rest.size())
        return fail("the topic prefix is missing");
    MqttUrl url;
    url.prefix = rest.substr(slash + 1);
    if (url.prefix.find_first_of("+#") != std::string::npos || url.prefix.back() == '/')
        return fail("the topic prefix may not hold + or # nor end in /");
    const std::string authority = rest.substr(0, slash);
    if (authority.find_first_of("@?") != std::string::npos) {
        // Not repeated: what precedes the @ may be a password.
        *error = "the MQTT URL may not hold a user or a password: give them with --username and --password-file";
        return std::nullopt;
    }
    std::string portText;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string::npos)
            return fail("the host has no closing ]");
        url.host = authority.substr(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':')
                return fail("only :PORT may follow the host");
            portText = authority.substr(close + 2);
        }
    } else if (const auto colon = authority.find(':'); colon != std::string::npos) {
        url.host = authority.substr(0, colon);
        portText = authority.substr(colon + 1);
    } else {
        url.host = authority;
    }
    if (url.host.empty())
        return fail("the host is missing");
    if (!portText.empty() || authority.back() == ':') {
        int port = 0;
        for (const char c : portText) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || (port = port * 10 + (c - '0')) > 65535)
                return fail("the port is not a number from 1 to 65535");
        }
        if (port < 1)
            return fail("the port is not a number from 1 to 65535");
        url.port = port;
    }
    return url;
}

} // namespace plovex::fleet
