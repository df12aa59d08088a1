#pragma once
// Where the dial's needle and hub go, worked out from the view's bounds and the needle angle.
// Pure arithmetic with no drawing library behind it, so it can be checked on its own.

namespace plovex {

// A rectangle or bounds: origin, then size. The meaning of y (up or down) depends on the
// coordinates in use; see needleGeometry and toYDown.
struct GaugeRect {
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
};

struct GaugePoint {
    float x = 0.0f;
    float y = 0.0f;
};

inline constexpr double kNeedleLength = 110.0;
inline constexpr float kNeedleLineWidth = 3.0f;
inline constexpr float kHubRadius = 10.0f;

struct NeedleGeometry {
    GaugePoint centre;              // root of the needle and centre of the hub
    int dx = 0;                     // offset from the centre to the needle's tip
    int dy = 0;
    float lineWidth = kNeedleLineWidth;
    GaugeRect hub;                  // the hub is the circle inscribed in this square

    GaugePoint tip() const { return {centre.x + static_cast<float>(dx), centre.y + static_cast<float>(dy)}; }
};

// Needle and hub for a view with the given bounds, in y-up coordinates (origin at the lower
// left, y growing upward). Angle in degrees from the upward vertical, positive clockwise.
//
// The centre is the bounds' origin truncated toward zero plus half the size; the angle goes to
// radians with the factor 3.141 (not a closer pi), and the needle offsets, 110 units times the
// sine and cosine, are truncated toward zero. So 0 gives (0, 110) but 90 gives (109, 0).
// A non-finite angle has no direction and gives a zero-length needle.
NeedleGeometry needleGeometry(GaugeRect bounds, float angle);

// The same needle and hub in y-down coordinates (origin at the top left), as a widget paints:
// y is mirrored about the horizontal centre line of the bounds, so the bounds map onto
// themselves. For bounds with origin (0, 0) and height h, a y-up y becomes h - y.
NeedleGeometry toYDown(const NeedleGeometry& geometry, GaugeRect bounds);

} // namespace plovex
