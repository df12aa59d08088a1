#include "params/BoardParameters.h"

#include "link/BoardFacts.h"
#include "link/commPort.h"
#include "record/LocalTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace plovex::params {

std::vector<int> BoardParameters::unread() const
{
    std::vector<int> out;
    for (int a = 0; a < board::kParameterCount; ++a)
        if (!values[static_cast<std::size_t>(a)])
            out.push_back(a);
    return out;
}

std::optional<int16_t> readParameter(commPort& port, int address, VerifiedRead* why)
{
    int16_t value = 0;
    const VerifiedRead outcome = port.readEEPROMVerified(address, value);
    if (why)
        *why = outcome;
    if (outcome != VerifiedRead::Agreed)
        return std::nullopt;
    return value;
}

BoardParameters readParameters(commPort& port, const std::function<bool()>& keepGoing)
{
    BoardParameters out;
    for (int a = 0; a < board::kParameterCount; ++a) {
        if (keepGoing && !keepGoing())
            break;
        VerifiedRead why{};
        auto& value = out.values[static_cast<std::size_t>(a)];
        value = readParameter(port, a, &why);
        if (!value) {
            out.failure = Unread{a, why};
            break;
        }
    }
    return out;
}

std::string readFailureText(VerifiedRead why)
{
    switch (why) {
    case VerifiedRead::Agreed:
        break;
    case VerifiedRead::NoAnswer:
        return "no answer";
    case VerifiedRead::Untrusted:
        return "replies came, but not two whole ones that stood alone on the line and agreed (stray or missing bytes)";
    case VerifiedRead::LineClosed:
        return "the line closed";
    }
    return "read";
}

std::string unreadText(const BoardParameters& board)
{
    if (board.failure)
        return "parameter " + std::to_string(board.failure->address) +
               " could not be read: " + readFailureText(board.failure->why);
    const auto unread = board.unread();
    return unread.empty() ? std::string() : "parameter " + std::to_string(unread.front()) + " was not read";
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
    for (const auto& c : changes) {
        WriteCheck check{c, std::nullopt};
        check.readBack = readParameter(port, c.address, &check.why);
        out.push_back(check);
    }
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
                               : "it could not be read back: " + readFailureText(check.why)) +
               "\n";
    }
    return out;
}

} // namespace plovex::params
