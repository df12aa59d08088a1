#pragma once
// What the monitor knows about the board and its line, in one place: the
// window, the command line and the tools all take these from here. (The
// simulated board keeps copies of its own: it shares nothing with the link.)

#include <array>
#include <cstdint>
#include <string_view>

namespace plovex::board {

// The line speed the monitor always sets.
inline constexpr int32_t kLineSpeed = 38400;
// The device a fresh link opens when no other path is set.
inline constexpr const char* kDefaultPortPath = "/dev/cu.KeySerial1";
// A fresh link's speed, until the monitor sets kLineSpeed.
inline constexpr int32_t kDefaultBaudRate = 9600;

// The largest firmware image an upload can send: the 16-bit block address
// cannot express a block at 65536, so a larger image would wrap around and
// overwrite the start.
inline constexpr long kLargestImage = 65535;

// The remembered port choice in the user's preferences.
inline constexpr const char* kPrefSerialPortName = "serialPortName";
inline constexpr const char* kPrefSerialPortPath = "serialPortPath";
// The unit of the shown tilt (TiltUnits.h) and the zero offsets, in degrees,
// of the X and Y axes; an absent or empty offset is no zero.
inline constexpr const char* kPrefTiltUnit = "tiltUnit";
inline constexpr const char* kPrefZeroX = "zeroX";
inline constexpr const char* kPrefZeroY = "zeroY";
// The stability light's span in seconds and its threshold in degrees of
// spread (stats/Stability.h); absent or unreadable: the defaults.
inline constexpr const char* kPrefStableSeconds = "stableSeconds";
inline constexpr const char* kPrefStableSpread = "stableSpread";
// The window's capture: how many seconds it averages, and whether it waits
// for the tilt to be stable first ("1") or not ("0").
inline constexpr const char* kPrefCaptureSeconds = "captureSeconds";
inline constexpr const char* kPrefCaptureWaitStable = "captureWaitStable";

// The EEPROM parameters the monitor shows, 0 to 15.
inline constexpr int kParameterCount = 16;
// What each is, in parameter order; 8 to 15 have no description.
inline constexpr std::array<std::string_view, kParameterCount> kParameterDescriptions = {
    "Status Bits",     "Sx Primary Gain",     "Qx process variance",     "Rx measurement variance",
    "Sy Primary Gain", "Qy process variance", "Ry measurement variance", "data selector",
    "",                "",                    "",                        "",
    "",                "",                    "",                        "",
};

// The description of the parameter at address; "" outside 0..15.
inline constexpr std::string_view parameterDescription(int address)
{
    return address >= 0 && address < kParameterCount ? kParameterDescriptions[static_cast<std::size_t>(address)]
                                                       : std::string_view();
}

// Filtered tilt counts to degrees: 90.0 degrees per 16383 counts, linear and
// unclamped, worked in double and rounded once to single precision.
inline constexpr float countsToDegrees(int32_t counts)
{
    return static_cast<float>(static_cast<double>(counts) * 90.0 / 16383.0);
}

// The board's temperature, in tenths of a degree, to degrees Celsius.
inline constexpr float tenthsToDegrees(int32_t tenths)
{
    return static_cast<float>(static_cast<double>(tenths) / 10.0);
}

} // namespace plovex::board
