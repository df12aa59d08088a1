#include "fleet/MqttUrl.h"

#include "platform/Utf8.h"

#include <cctype>

namespace plovex::fleet {

namespace {

// The longest topic MQTT allows, in bytes, and the longest leaf the
// publisher adds to the prefix.
constexpr std::size_t kMaxTopicBytes = 65535;
constexpr std::string_view kLongestLeaf = "/measurement";
// Longer URLs are not repeated in messages.
constexpr std::size_t kLongestShown = 200;

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Why the broker would refuse topics that begin with prefix, or "".
std::string prefixProblem(std::string_view prefix)
{
    if (prefix.find_first_of("+#") != std::string_view::npos)
        return "the topic prefix may not hold + or #, MQTT's wildcards";
    if (prefix.front() == '$')
        return "a topic beginning with $ is the broker's own";
    if (prefix.front() == '/' || prefix.back() == '/' || prefix.find("//") != std::string_view::npos)
        return "the topic prefix may not have an empty level (a / at either end or two together)";
    if (prefix.size() + kLongestLeaf.size() > kMaxTopicBytes)
        return "the topic prefix is longer than MQTT's topics allow (" +
               std::to_string(kMaxTopicBytes - kLongestLeaf.size()) + " bytes)";
    for (std::size_t i = 0; i < prefix.size();) {
        char32_t c = 0;
        const std::size_t n = platform::utf8Length(prefix, i, &c);
        if (n == 0)
            return "the topic prefix is not valid UTF-8 (byte " + std::to_string(i + 1) + ")";
        if (isControl(c))
            return "the topic prefix holds a control character (byte " + std::to_string(i + 1) + ")";
        i += n;
    }
    return "";
}

// Whether text can be repeated in a message as it stands.
bool showable(std::string_view text)
{
    if (text.size() > kLongestShown)
        return false;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t n = platform::utf8Length(text, i, &c);
        if (n == 0 || isControl(c))
            return false;
        i += n;
    }
    return true;
}

} // namespace

std::optional<MqttUrl> parseMqttUrl(const std::string& text, std::string* error)
{
    const std::string scheme = "mqtt://";
    auto fail = [&](const std::string& why) -> std::optional<MqttUrl> {
        *error = (showable(text) ? "'" + text + "'" : std::string("the MQTT URL")) +
                 " is not mqtt://HOST[:PORT]/TOPIC-PREFIX: " + why;
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
    if (const std::string problem = prefixProblem(url.prefix); !problem.empty())
        return fail(problem);
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
