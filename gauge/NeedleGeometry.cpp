#include "gauge/NeedleGeometry.h"

#include <cmath>

namespace plovex {

namespace {

constexpr double kDegreesToRadians = 3.141;  // the dial's own factor, divided by 180 below

// Truncates a needle offset (at most 110 in size) toward zero.
int truncateOffset(double value)
{
    if (!std::isfinite(value)) {
        return 0;
    }
    return static_cast<int>(std::trunc(value));
}

} // namespace

NeedleGeometry needleGeometry(GaugeRect bounds, float angle)
{
    NeedleGeometry g;
    // Truncation happens in float so that no bounds value can overflow an int; for every
    // origin an int can hold this is the same as converting to int and back.
    const float x0 = std::trunc(bounds.x);
    const float y0 = std::trunc(bounds.y);
    g.centre = {x0 + 0.5f * bounds.width, y0 + 0.5f * bounds.height};

    const double radians = static_cast<double>(angle) * kDegreesToRadians / 180.0;
    g.dx = truncateOffset(std::sin(radians) * kNeedleLength);
    g.dy = truncateOffset(std::cos(radians) * kNeedleLength);
    g.lineWidth = kNeedleLineWidth;

    g.hub = {g.centre.x - kHubRadius, g.centre.y - kHubRadius, 2.0f * kHubRadius, 2.0f * kHubRadius};
    return g;
}

NeedleGeometry toYDown(const NeedleGeometry& geometry, GaugeRect bounds)
{
    // Mirror line: y' = axis - y keeps [bounds.y, bounds.y + height] in place.
    const float axis = 2.0f * bounds.y + bounds.height;
    NeedleGeometry g = geometry;
    g.centre.y = axis - geometry.centre.y;
    g.dy = -geometry.dy;
    // The top edge in y-down is the mirror of the hub's upper edge in y-up.
    g.hub.y = axis - (geometry.hub.y + geometry.hub.height);
    return g;
}

} // namespace plovex
