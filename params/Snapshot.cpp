#include "params/Snapshot.h"

#include "params/Json.h"
#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"

#include <cerrno>
#include <set>

namespace plovex::params {

namespace {

// Far more than 16 parameters ever take; a larger file is no snapshot.
constexpr std::size_t kMaxFileSize = 64 * 1024;

bool refuse(std::string* error, std::string why)
{
    if (error)
        *error = std::move(why);
    return false;
}

bool readEntry(const JsonValue& item, std::size_t index, SnapshotEntry& entry, std::string* error)
{
    const std::string where = "parameter entry " + std::to_string(index + 1);
    if (item.kind != JsonValue::Kind::Object)
        return refuse(error, where + " is not an object");
    const JsonValue* address = item.member("address");
    const JsonValue* value = item.member("value");
    if (!address || !address->integer || *address->integer < 0 || *address->integer > 15)
        return refuse(error, where + ": \"address\" must be a whole number from 0 to 15" +
                                 (address && address->kind == JsonValue::Kind::Number ? ", not " + address->numberText
                                                                                      : std::string()));
    entry.address = static_cast<int>(*address->integer);
    const std::string at = "parameter " + std::to_string(entry.address);
    if (!value || !value->integer || *value->integer < -32768 || *value->integer > 32767)
        return refuse(error, at + ": \"value\" must be a whole number from -32768 to 32767" +
                                 (value && value->kind == JsonValue::Kind::Number ? ", not " + value->numberText
                                                                                  : std::string()));
    entry.value = static_cast<int16_t>(*value->integer);
    if (const JsonValue* d = item.member("description")) {
        if (d->kind != JsonValue::Kind::String)
            return refuse(error, at + ": \"description\" is not a string");
        entry.description = d->string;
    }
    return true;
}

} // namespace

std::string formatSnapshot(const Snapshot& snapshot)
{
    std::string out = "{\n";
    out += "  \"format\": " + quoteJson(kSnapshotFormat) + ",\n";
    out += "  \"version\": " + std::to_string(kSnapshotVersion) + ",\n";
    out += "  \"saved\": " + quoteJson(snapshot.saved) + ",\n";
    out += "  \"port\": {\"path\": " + quoteJson(snapshot.portPath) +
           ", \"stableName\": " + (snapshot.stableName ? quoteJson(*snapshot.stableName) : "null") + "},\n";
    out += "  \"parameters\": [";
    for (std::size_t i = 0; i < snapshot.parameters.size(); ++i) {
        const auto& p = snapshot.parameters[i];
        out += (i ? ",\n    " : "\n    ");
        out += "{\"address\": " + std::to_string(p.address) + ", \"value\": " + std::to_string(p.value) +
               ", \"description\": " + quoteJson(p.description) + "}";
    }
    out += snapshot.parameters.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

std::optional<Snapshot> parseSnapshot(std::string_view text, std::string* error)
{
    std::string why;
    const auto doc = parseJson(text, &why);
    if (!doc) {
        refuse(error, "not valid JSON (" + why + ")");
        return std::nullopt;
    }
    const JsonValue* format = doc->member("format");
    if (!format || format->kind != JsonValue::Kind::String || format->string != kSnapshotFormat) {
        refuse(error, std::string("not a parameter snapshot (no \"format\": \"") + kSnapshotFormat + "\")");
        return std::nullopt;
    }
    const JsonValue* version = doc->member("version");
    if (!version || !version->integer || *version->integer != kSnapshotVersion) {
        refuse(error, "a snapshot of format version " +
                          (version && version->kind == JsonValue::Kind::Number ? version->numberText
                                                                               : std::string("(none)")) +
                          "; this plovex reads version " + std::to_string(kSnapshotVersion));
        return std::nullopt;
    }
    Snapshot s;
    if (const JsonValue* saved = doc->member("saved"); saved && saved->kind == JsonValue::Kind::String)
        s.saved = saved->string;
    if (const JsonValue* port = doc->member("port")) {
        if (const JsonValue* p = port->member("path"); p && p->kind == JsonValue::Kind::String)
            s.portPath = p->string;
        if (const JsonValue* n = port->member("stableName"); n && n->kind == JsonValue::Kind::String)
            s.stableName = n->string;
    }
    const JsonValue* list = doc->member("parameters");
    if (!list || list->kind != JsonValue::Kind::Array) {
        refuse(error, "\"parameters\" is missing or not a list");
        return std::nullopt;
    }
    std::set<int> seen;
    for (std::size_t i = 0; i < list->array.size(); ++i) {
        SnapshotEntry entry;
        if (!readEntry(list->array[i], i, entry, error))
            return std::nullopt;
        if (!seen.insert(entry.address).second) {
            refuse(error, "parameter " + std::to_string(entry.address) + " appears more than once");
            return std::nullopt;
        }
        s.parameters.push_back(std::move(entry));
    }
    return s;
}

std::optional<Snapshot> loadSnapshot(const std::string& path, std::string* error)
{
    std::string why;
    const auto text = platform::readRegularFile(path, kMaxFileSize, &why);
    if (!text) {
        refuse(error, why);
        return std::nullopt;
    }
    auto snapshot = parseSnapshot(*text, &why);
    if (!snapshot)
        refuse(error, path + ": " + why);
    return snapshot;
}

bool saveSnapshot(const std::string& path, const Snapshot& snapshot, bool replace, std::string* error)
{
    std::string why;
    if (platform::writeFileAtomically(path, formatSnapshot(snapshot), 0644, replace, &why))
        return true;
    const int e = errno; // for a caller that picks another name when the file exists
    if (!replace && e == EEXIST)
        refuse(error, path + ": the file exists; it is replaced only when asked to");
    else
        refuse(error, "cannot write " + path + ": " + why);
    errno = e;
    return false;
}

} // namespace plovex::params
