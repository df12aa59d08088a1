#include "cli/FleetOptions.h"

#include "cli/CommandSupport.h"
#include "platform/RegularFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>
#include <unistd.h>

namespace plovex::cli {

namespace {

// The password is the file's first line; it appears in no message.
bool readPassword(const std::string& path, std::string& password, std::string* error)
{
    std::string why;
    const auto text = platform::readRegularFile(path, 64 * 1024, &why);
    if (!text) {
        *error = "cannot read the password file " + why;
        return false;
    }
    password = text->substr(0, text->find('\n'));
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    if (password.empty()) {
        *error = "the password file " + path + " has no password on its first line";
        return false;
    }
    return true;
}

bool readTags(const ParsedArgs& args, fleet::Tags& tags, std::string* error)
{
    const auto given = args.repeated.find("tag");
    if (given == args.repeated.end())
        return true;
    for (const auto& text : given->second) {
        const auto eq = text.find('=');
        if (eq == 0 || eq == std::string::npos || eq + 1 == text.size()) {
            *error = "--tag needs KEY=VALUE, both not empty, not '" + text + "'";
            return false;
        }
        std::string key = text.substr(0, eq);
        if (key == "type" || key == "port") {
            *error = "--tag " + key + " is set by the monitor itself";
            return false;
        }
        tags.emplace_back(std::move(key), text.substr(eq + 1));
    }
    return true;
}

bool readMqtt(const ParsedArgs& args, std::optional<fleet::MqttSettings>& mqtt, std::string* error)
{
    const auto url = args.option("mqtt");
    for (const char* name : {"qos", "client-id", "username", "password-file", "cafile", "mqtt-buffer"}) {
        if (!url && args.option(name)) {
            *error = std::string("--") + name + " goes with --mqtt";
            return false;
        }
    }
    if (!url)
        return true;
    fleet::MqttSettings s;
    auto parsed = fleet::parseMqttUrl(*url, error);
    if (!parsed)
        return false;
    s.url = std::move(*parsed);
    if (const auto qos = args.option("qos")) {
        if (*qos != "0" && *qos != "1") {
            *error = "--qos must be 0 or 1, not '" + *qos + "'";
            return false;
        }
        s.qos = *qos == "1" ? 1 : 0;
    }
    s.clientId = args.option("client-id").value_or("");
    s.username = args.option("username").value_or("");
    if (const auto file = args.option("password-file")) {
        if (s.username.empty()) {
            *error = "--password-file goes with --username";
            return false;
        }
        if (!readPassword(*file, s.password, error))
            return false;
    }
    if (const auto file = args.option("cafile")) {
        if (::access(file->c_str(), R_OK) != 0) {
            *error = "cannot read the CA file " + *file + ": " + std::strerror(errno);
            return false;
        }
        s.cafile = *file;
    }
    if (const auto text = args.option("mqtt-buffer")) {
        const auto seconds = parseSeconds(*text);
        if (!seconds || *seconds <= 0 || *seconds > 7 * 24 * 3600) {
            *error = "--mqtt-buffer needs a number of seconds above 0 (a week at most), not '" + *text + "'";
            return false;
        }
        s.buffer = std::chrono::milliseconds(static_cast<long long>(*seconds * 1000));
    }
    mqtt = std::move(s);
    return true;
}

} // namespace

std::string fleetOptionsHelp()
{
    return "  --tag KEY=VALUE       with --format influx: one more tag on every line\n"
           "                        (repeatable; type and port are always there)\n"
           "  --mqtt URL            also publish every record to the MQTT broker at\n"
           "                        mqtt://HOST[:PORT]/TOPIC-PREFIX (PORT 1883, 8883 with\n"
           "                        --cafile): measurements to PREFIX/measurement,\n"
           "                        parameters to PREFIX/parameter, each the line --format\n"
           "                        jsonl prints for it (its time and --units included),\n"
           "                        without the values a link-down cycle only fills in,\n"
           "                        whatever --format is; a retained PREFIX/status says\n"
           "                        online, and offline when the monitor ends or is lost\n"
           "  --qos 0|1             MQTT quality of service (default 1: acknowledged)\n"
           "  --client-id ID        MQTT client id (default: one the library makes up)\n"
           "  --username NAME       log in to the broker as NAME\n"
           "  --password-file FILE  the password, the first line of the regular file FILE\n"
           "                        (with --username)\n"
           "  --cafile FILE         TLS to the broker, checked against the CA certificates in FILE\n"
           "  --mqtt-buffer SECONDS\n"
           "                        while the broker cannot be reached, keep the records of\n"
           "                        the last SECONDS (default 600) and send them, in order,\n"
           "                        once it can; older ones are dropped and the count said on\n"
           "                        standard error. The connection is tried again after 1 s,\n"
           "                        doubling up to 30 s.\n";
}

std::set<std::string> fleetValueOptions()
{
    return {"tag", "mqtt", "qos", "client-id", "username", "password-file", "cafile", "mqtt-buffer"};
}

bool readFleetSettings(const ParsedArgs& args, FleetSettings& settings, std::string* error)
{
    return readTags(args, settings.tags, error) && readMqtt(args, settings.mqtt, error);
}

} // namespace plovex::cli
