#pragma once
// Why the serial line did not open, as a value: what kind of trouble it is
// and a sentence for the user that says what to do about it. The window
// and the command line show it; the console lines of a failed set-up step
// are written as before.

#include <string>

namespace plovex {

enum class OpenProblem {
    None,             // the line is open, or no open has been tried
    PermissionDenied, // the user may not open the device
    Busy,             // another program holds the device
    Missing,          // no device at the path (not plugged in)
    Refused,          // the device opened but refused its line settings
    Other,            // any other error
};

struct OpenFailure {
    OpenProblem kind = OpenProblem::None;
    int error = 0;       // the system's error number
    std::string path;    // the device path tried
    // What happened and what to do, for a caller that tries again once a
    // second (the window, plovex-cli monitor): one or two sentences.
    std::string message;
    // The same for a caller that tries once: without what the retries
    // would wait for.
    std::string reason;
    bool operator==(const OpenFailure&) const = default;
};

// The kind of trouble errno err from opening a device is (setUp: from a
// set-up step after the open).
OpenProblem openProblemOf(int err, bool setUp = false);

// The reason for errno err from opening path (setUp: from a set-up step
// after the open). A device in use names the program that holds it, where
// /proc tells. A permission problem says who may open the device: the group
// to join when a group other than root's may read and write it, else its
// owner, with a pointer to the example udev rule.
OpenFailure describeOpenFailure(const std::string& path, int err, bool setUp = false);

} // namespace plovex
