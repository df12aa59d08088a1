#include "cli/FleetOptions.h"

#include "cli/CommandSupport.h"
#include "cli/SecretFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <unistd.h>

namespace plovex::cli {

namespace {

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
        // InfluxDB 2.x keeps names beginning with _ for itself, and 1.x
        // will not store a tag named time.
        if (key == "time" || key.front() == '_') {
            *error = "--tag " + key + ": the databases keep time and names beginning with _ for themselves";
            return false;
        }
        for (const auto& part : {key, text.substr(eq + 1)}) {
            if (const std::string problem = fleet::tagProblem(part); !problem.empty()) {
                *error = "--tag '" + text + "' has " + problem + ", which the databases read differently";
                return false;
            }
        }
        tags.emplace_back(std::move(key), text.substr(eq + 1));
    }
    return true;
}

bool readMqtt(const ParsedArgs& args, std::optional<fleet::MqttSettings>& mqtt, std::string* error)
{
    const auto url = args.option("mqtt");
    for (const char* name : {"qos", "client-id", "username", "password-file", "cafile", "mqtt-buffer", "mqtt-buffer-mb"}) {
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
        if (!readSecretFile(*file, "the password file", s.password, error))
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
        s.buffer.age = std::chrono::milliseconds(static_cast<long long>(*seconds * 1000));
    }
    if (const auto text = args.option("mqtt-buffer-mb")) {
        const auto mb = parseInteger(*text, 1, 64 * 1024);
        if (!mb) {
            *error = "--mqtt-buffer-mb needs a whole number of megabytes from 1 to 65536, not '" + *text + "'";
            return false;
        }
        s.buffer.bytes = static_cast<std::size_t>(*mb) << 20;
    }
    mqtt = std::move(s);
    return true;
}

} // namespace

std::string fleetOptionsHelp()
{
    return "  --tag KEY=VALUE       with --format influx and --influx: one more tag on every\n"
           "                        line (repeatable; type and port are always there)\n"
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
           "                        doubling up to 30 s.\n"
           "  --mqtt-buffer-mb MB   keep at most MB megabytes of them (default 64)\n";
}

std::set<std::string> fleetValueOptions()
{
    return {"tag", "mqtt", "qos", "client-id", "username", "password-file", "cafile", "mqtt-buffer", "mqtt-buffer-mb"};
}

bool readFleetSettings(const ParsedArgs& args, FleetSettings& settings, std::string* error)
{
    return readTags(args, settings.tags, error) && readMqtt(args, settings.mqtt, error);
}

} // namespace plovex::cli
