#pragma once
// How the window shows a tilt: relative to a zero taken on each axis, and in
// a unit. Kept in the user's preferences (keys in BoardFacts.h), so a zero
// and a unit survive a restart. With no zero and degrees, an angle is shown
// exactly as measured.

#include "link/TiltUnits.h"

#include <optional>
#include <string>

namespace platform {
class Preferences;
}

namespace plovex {

enum class Axis { X, Y };

class TiltReference {
public:
    // Reads the zero and the unit; what is absent or unreadable is no zero and degrees.
    void load(const platform::Preferences& prefs);
    // Writes the zeros (an empty value for no zero), or the unit, and stores
    // the preferences. Apart, so that a unit chosen for one run only is not
    // stored when a zero is.
    void saveZero(platform::Preferences& prefs) const;
    void saveUnit(platform::Preferences& prefs) const;

    std::optional<float> zero(Axis axis) const { return axis == Axis::X ? zeroX_ : zeroY_; }
    void setZero(Axis axis, std::optional<float> degrees) { (axis == Axis::X ? zeroX_ : zeroY_) = degrees; }
    board::TiltUnit unit() const { return unit_; }
    void setUnit(board::TiltUnit unit) { unit_ = unit; }

    // The measured angle less the axis's zero, in degrees (the needle's angle).
    float zeroed(Axis axis, float measuredDegrees) const;
    // The zeroed angle in the unit (the readout's value).
    float shown(Axis axis, float measuredDegrees) const;
    // "X zeroed at 12.34°", or "" when the axis has no zero.
    std::string describeZero(Axis axis) const;

private:
    std::optional<float> zeroX_, zeroY_;
    board::TiltUnit unit_ = board::TiltUnit::Degrees;
};

} // namespace plovex
