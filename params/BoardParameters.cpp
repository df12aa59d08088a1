#include "params/BoardParameters.h"

#include "link/BoardFacts.h"
#include "link/commPort.h"
#include "record/LocalTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace plovex::params {

std::vector<int> BoardParameters::unread() const
{
    std::vector<int> out;
    for (int a = 0; a < board::kParameterCount; ++a)
        if (!values[static_cast<std::size_t>(a)])
            out.push_back(a);
    return out;
}

std::optional<int16_t> readParameter(commPort& port, int address, int attempts)
{
    for (int i = 0; i < attempts; ++i) {
        int16_t value = 0;
        if (port.readEEPROM(address, &value) == 1)
            return value;
        if (!port.portOpenOK())
            break; // the line is gone: asking again cannot help
        // A reply that came late would be read as the start of the next
        // one, and every later reply a step out: let its bytes come in,
        // then drop them.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port.discardInput();
    }
    return std::nullopt;
}

BoardParameters readParameters(commPort& port, const std::function<bool()>& keepGoing, bool stopAtUnread)
{
    BoardParameters out;
    for (int a = 0; a < board::kParameterCount; ++a) {
        if (keepGoing && !keepGoing())
            break;
        auto& value = out.values[static_cast<std::size_t>(a)];
        value = readParameter(port, a);
        if (!value && stopAtUnread)
            break;
    }
    return out;
}

std::string listAddresses(const std::vector<int>& addresses)
{
    std::string out;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (i)
            out += i + 1 == addresses.size() ? " and " : ", ";
        out += std::to_string(addresses[i]);
    }
    return out;
}

Snapshot makeSnapshot(const BoardParameters& board, const std::string& portPath,
                      const std::optional<std::string>& stableName)
{
    Snapshot s;
    s.saved = record::isoLocalTime(std::chrono::system_clock::now(), record::TimeResolution::Seconds);
    s.portPath = portPath;
    s.stableName = stableName;
    for (int a = 0; a < board::kParameterCount; ++a) {
        if (const auto& v = board.values[static_cast<std::size_t>(a)])
            s.parameters.push_back({a, *v, std::string(board::parameterDescription(a))});
    }
    return s;
}

std::vector<Change> differences(const BoardParameters& board, const Snapshot& snapshot)
{
    std::vector<Change> out;
    for (const auto& entry : snapshot.parameters) {
        const auto& held = board.values[static_cast<std::size_t>(entry.address)];
        if (held && *held != entry.value)
            out.push_back({entry.address, *held, entry.value});
    }
    std::sort(out.begin(), out.end(), [](const Change& a, const Change& b) { return a.address < b.address; });
    return out;
}

std::string changeTable(const std::vector<Change>& changes)
{
    std::size_t width = std::string_view("Description").size();
    for (const auto& c : changes)
        width = std::max(width, board::parameterDescription(c.address).size());
    std::string out;
    char line[160];
    std::snprintf(line, sizeof line, "%-9s %-*s %7s %7s\n", "Parameter", static_cast<int>(width), "Description",
                  "Board", "File");
    out += line;
    for (const auto& c : changes) {
        const std::string description(board::parameterDescription(c.address));
        std::snprintf(line, sizeof line, "%9d %-*s %7d %7d\n", c.address, static_cast<int>(width),
                      description.c_str(), c.board, c.file);
        out += line;
    }
    return out;
}

std::vector<WriteCheck> writeAndCheck(commPort& port, const std::vector<Change>& changes)
{
    // All the writes first, then the reads: the board has time to program
    // its EEPROM before it is asked what it holds.
    for (const auto& c : changes)
        port.writeEEPROM(c.address, c.file);
    std::vector<WriteCheck> out;
    for (const auto& c : changes)
        out.push_back({c, readParameter(port, c.address)});
    return out;
}

std::string failedWrites(const std::vector<WriteCheck>& checks)
{
    std::string out;
    for (const auto& check : checks) {
        if (check.took())
            continue;
        const auto& c = check.change;
        const std::string description(board::parameterDescription(c.address));
        out += "parameter " + std::to_string(c.address) + (description.empty() ? "" : " (" + description + ")") +
               ": wrote " + std::to_string(c.file) + ", " +
               (check.readBack ? "the board holds " + std::to_string(*check.readBack)
                               : std::string("the board did not answer the read-back")) +
               "\n";
    }
    return out;
}

} // namespace plovex::params
