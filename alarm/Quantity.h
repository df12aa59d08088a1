#pragma once
// What an alarm rule watches, by the name a rule is written with:
//
//   x_UNIT, y_UNIT   the X or Y angle after the axis's zero, in a tilt unit
//                    (deg, mrad, percent, mm_per_m: the field names of the
//                    monitor's outputs), e.g. x_deg, y_mrad
//   tilt_UNIT        the total tilt of the board from the zeroed angles of
//                    both axes (TotalTilt.h), e.g. tilt_deg
//   temp_c           the board's temperature in degrees Celsius
//   silent           seconds without a measurement, link-down time included

#include "link/Measurement.h"
#include "link/TiltUnits.h"

#include <optional>
#include <string>
#include <string_view>

namespace plovex::alarm {

enum class Measure { XAngle, YAngle, TotalTilt, Temperature, Silence };

struct Quantity {
    Measure measure = Measure::XAngle;
    board::TiltUnit unit = board::TiltUnit::Degrees; // the angles' only
    bool operator==(const Quantity&) const = default;
    bool isAngle() const { return measure == Measure::XAngle || measure == Measure::YAngle || measure == Measure::TotalTilt; }
};

// "x_deg", "tilt_mm_per_m", "temp_c", "silent".
std::string quantityName(Quantity q);
// The quantity a name stands for; nullopt for any other text.
std::optional<Quantity> parseQuantity(std::string_view name);
// The names, summed up for messages and help texts.
std::string quantityNamesHelp();
// Decimals a value of the quantity is written with: finer than one count of
// the board for the angles, the board's tenth for the temperature,
// milliseconds for silence.
int valueDecimals(Quantity q);

// The zero of each axis, in degrees: what the window's zero takes off the
// measured angle before it is shown. No zero: the angle as measured.
struct Zero {
    std::optional<float> x, y;
};

// The quantity's value in a measurement taken with the link up (not for
// Silence, which is a matter of time). A grade of an angle at 90 degrees or
// beyond, which has no finite value, is +-infinity by the angle's sign, so
// that it is beyond every limit on its side.
double valueOf(Quantity q, const Measurement& m, const Zero& zero);

} // namespace plovex::alarm
