#include "cli/StatusLine.h"

namespace plovex::cli {

void StatusLine::measurement(const Measurement& m, SteadyTime now)
{
    for (const auto& part : parts_)
        part->measurement(m, now);
}

void StatusLine::parameter(const ParameterReading& p, SteadyTime now)
{
    for (const auto& part : parts_)
        part->parameter(p, now);
}

std::string StatusLine::text(SteadyTime now, int columns) const
{
    std::string line;
    for (const auto& part : parts_) {
        const std::string piece = part->text(now);
        if (piece.empty())
            continue;
        if (!line.empty())
            line += "  ";
        line += piece;
    }
    return fitColumns(line, columns);
}

std::string fitColumns(const std::string& text, int columns)
{
    int shown = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A byte that does not continue a character starts one more column.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && shown++ == columns)
            return text.substr(0, i);
    }
    return text;
}

} // namespace plovex::cli
