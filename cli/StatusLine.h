#pragma once
// The one line plovex-cli monitor keeps up to date on a terminal, made of
// parts: each part sees every reading and says its piece, and the line is
// the parts' texts in order, two blanks apart, cut to the terminal's width.
// The parts are listed in StatusParts.cpp; a feature that has something to
// show on the line (a stability light, an alarm) adds a part there.

#include "link/Measurement.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace plovex::cli {

struct MonitorSetup;

using SteadyTime = std::chrono::steady_clock::time_point;

class StatusPart {
public:
    virtual ~StatusPart() = default;
    // Each reading as it is delivered, at now.
    virtual void measurement(const Measurement& /*m*/, SteadyTime /*now*/) {}
    virtual void parameter(const ParameterReading& /*p*/, SteadyTime /*now*/) {}
    // What the part says at now; empty leaves it out of the line.
    virtual std::string text(SteadyTime now) const = 0;
};

class StatusLine {
public:
    void add(std::unique_ptr<StatusPart> part) { parts_.push_back(std::move(part)); }
    void measurement(const Measurement& m, SteadyTime now);
    void parameter(const ParameterReading& p, SteadyTime now);
    // The parts' texts at now, at most columns wide.
    std::string text(SteadyTime now, int columns) const;

private:
    std::vector<std::unique_ptr<StatusPart>> parts_;
};

// The status line of the monitor with setup: every part of the list.
StatusLine makeStatusLine(const MonitorSetup& setup);

// text cut to at most columns characters on screen (UTF-8, one column a
// character), never in the middle of a character.
std::string fitColumns(const std::string& text, int columns);

} // namespace plovex::cli
