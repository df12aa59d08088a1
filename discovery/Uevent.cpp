#include "discovery/Uevent.h"

namespace plovex {

std::optional<std::string> ueventValue(std::string_view text, std::string_view key)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        if (line.size() > key.size() && line[key.size()] == '=' && line.substr(0, key.size()) == key)
            return std::string(line.substr(key.size() + 1));
        pos = end + 1;
    }
    return std::nullopt;
}

bool isUsableDevName(std::string_view devname)
{
    if (devname.empty() || devname.front() == '/')
        return false;
    for (const char c : devname) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f)
            return false;
    }
    std::size_t pos = 0;
    while (pos <= devname.size()) {
        std::size_t end = devname.find('/', pos);
        if (end == std::string_view::npos)
            end = devname.size();
        const std::string_view part = devname.substr(pos, end - pos);
        if (part.empty() || part == "." || part == "..")
            return false;
        pos = end + 1;
    }
    return true;
}

} // namespace plovex
