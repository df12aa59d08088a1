#include "gauge/NeedleGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace plovex {
namespace {

constexpr GaugeRect kSquare{0.0f, 0.0f, 240.0f, 240.0f};

struct AngleCase {
    float angle;
    int dx;
    int dy;
};

// The factor 3.141 falls just short of pi and the offsets are truncated toward zero, so the
// axes other than 0 get 109 rather than 110, and 360 is not 0.
constexpr AngleCase kAngles[] = {
    {0.0f, 0, 110},    {0.5f, 0, 109},    {-0.5f, 0, 109},  {1.0f, 1, 109},   {45.0f, 77, 77},
    {-45.0f, -77, 77}, {89.0f, 109, 1},   {90.0f, 109, 0},  {-90.0f, -109, 0}, {135.0f, 77, -77},
    {180.0f, 0, -109}, {270.0f, -109, 0}, {360.0f, 0, 109},
};

TEST(NeedleGeometry, OffsetsForTheAngleTable)
{
    for (const AngleCase& c : kAngles) {
        SCOPED_TRACE(c.angle);
        const NeedleGeometry g = needleGeometry(kSquare, c.angle);
        EXPECT_EQ(g.dx, c.dx);
        EXPECT_EQ(g.dy, c.dy);
        EXPECT_EQ(g.centre.x, 120.0f);
        EXPECT_EQ(g.centre.y, 120.0f);
        EXPECT_EQ(g.lineWidth, 3.0f);
    }
}

TEST(NeedleGeometry, HubIsTheCircleOfRadiusTenOnTheCentre)
{
    const NeedleGeometry g = needleGeometry(kSquare, 135.0f);
    EXPECT_EQ(g.hub.x, 110.0f);
    EXPECT_EQ(g.hub.y, 110.0f);
    EXPECT_EQ(g.hub.width, 20.0f);
    EXPECT_EQ(g.hub.height, 20.0f);

    const GaugePoint tip = g.tip();
    EXPECT_EQ(tip.x, 197.0f);
    EXPECT_EQ(tip.y, 43.0f);
}

TEST(NeedleGeometry, OnlyTheOriginIsTruncatedTowardZero)
{
    NeedleGeometry g = needleGeometry({10.6f, 5.2f, 200.0f, 100.0f}, 0.0f);
    EXPECT_EQ(g.centre.x, 110.0f);
    EXPECT_EQ(g.centre.y, 55.0f);
    EXPECT_EQ(g.hub.x, 100.0f);
    EXPECT_EQ(g.hub.y, 45.0f);

    // Toward zero, not downward: -0.7 becomes 0, not -1.
    g = needleGeometry({-0.7f, -3.9f, 240.0f, 240.0f}, 0.0f);
    EXPECT_EQ(g.centre.x, 120.0f);
    EXPECT_EQ(g.centre.y, 117.0f);

    // Half the size keeps its fraction.
    g = needleGeometry({0.0f, 0.0f, 201.0f, 99.0f}, 0.0f);
    EXPECT_EQ(g.centre.x, 100.5f);
    EXPECT_EQ(g.centre.y, 49.5f);
}

TEST(NeedleGeometry, AngleWithoutDirectionGivesNoNeedle)
{
    for (float angle : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity()}) {
        const NeedleGeometry g = needleGeometry(kSquare, angle);
        EXPECT_EQ(g.dx, 0);
        EXPECT_EQ(g.dy, 0);
        EXPECT_EQ(g.centre.x, 120.0f);
    }
}

TEST(NeedleGeometry, YDownMirrorsAboutTheBoundsMiddle)
{
    // Origin (0, 0): y becomes height - y, so "up" points to smaller y.
    NeedleGeometry g = toYDown(needleGeometry(kSquare, 0.0f), kSquare);
    EXPECT_EQ(g.centre.x, 120.0f);
    EXPECT_EQ(g.centre.y, 120.0f);
    EXPECT_EQ(g.dx, 0);
    EXPECT_EQ(g.dy, -110);
    EXPECT_EQ(g.tip().y, 10.0f);
    EXPECT_EQ(g.hub.x, 110.0f);
    EXPECT_EQ(g.hub.y, 110.0f);

    const GaugeRect tall{0.0f, 0.0f, 100.0f, 300.0f};
    g = toYDown(needleGeometry(tall, 180.0f), tall);
    EXPECT_EQ(g.centre.y, 150.0f);
    EXPECT_EQ(g.tip().y, 259.0f);
    EXPECT_EQ(g.tip().x, 50.0f);

    // Bounds away from the origin stay where they are: the centre keeps its place between the
    // edges and the needle still points to the top edge.
    const GaugeRect shifted{0.0f, 20.0f, 240.0f, 240.0f};
    g = toYDown(needleGeometry(shifted, 0.0f), shifted);
    EXPECT_EQ(g.centre.y, 140.0f);
    EXPECT_EQ(g.tip().y, 30.0f);
    EXPECT_EQ(g.hub.y, 130.0f);

    // An off-centre hub (truncated origin) keeps its place on the screen: 0.2 below the middle
    // of the bounds (55.2), which in y-down is 55.4.
    const GaugeRect fractional{0.0f, 5.2f, 200.0f, 100.0f};
    g = toYDown(needleGeometry(fractional, 0.0f), fractional);
    EXPECT_FLOAT_EQ(g.centre.y, 55.4f);
    EXPECT_FLOAT_EQ(g.hub.y, 45.4f);
}

} // namespace
} // namespace plovex
