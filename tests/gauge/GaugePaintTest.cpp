// What the gauge paints: dial stretched over the widget, then needle, then hub, with the needle
// and hub where the geometry puts them on a y-down screen.
#include "gauge/plovexGaugeView.h"
#include "tests/gauge/GaugeTestApp.h"
#include "tests/support/TestSupport.h"

#include <QImage>
#include <QPainter>
#include <QPalette>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace plovex {
namespace {

using gaugetest::kInk;
using gaugetest::renderWidget;

const QString kNoDial = QStringLiteral(":/no_such_dial.png");

class GaugePaint : public ::testing::Test {
protected:
    void SetUp() override { gaugetest::ensureApplication(); }

    std::unique_ptr<plovexGaugeView> makeGauge(int width, int height, float angle, const QString& dial = kNoDial)
    {
        auto gauge = std::make_unique<plovexGaugeView>(nullptr, dial);
        QPalette palette = gauge->palette();
        palette.setColor(QPalette::WindowText, kInk);
        gauge->setPalette(palette);
        gauge->resize(width, height);
        gauge->setAngle(angle);
        return gauge;
    }
};

bool isInk(const QImage& image, int x, int y)
{
    return image.pixel(x, y) == kInk.rgb();
}

bool isWhite(const QImage& image, int x, int y)
{
    return image.pixel(x, y) == qRgb(255, 255, 255);
}

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 8 && std::abs(qGreen(a) - qGreen(b)) <= 8 &&
           std::abs(qBlue(a) - qBlue(b)) <= 8;
}

// Every pixel whose centre lies on the segment from (x0, y0) to (x1, y1), between 10 % and
// 95 % of the way, is fully under a 3-unit stroke and so exactly the ink colour.
void expectInkAlong(const QImage& image, double x0, double y0, double x1, double y1)
{
    for (int step = 10; step <= 95; ++step) {
        const double t = step / 100.0;
        const int x = static_cast<int>(std::floor(x0 + t * (x1 - x0)));
        const int y = static_cast<int>(std::floor(y0 + t * (y1 - y0)));
        ASSERT_TRUE(isInk(image, x, y)) << "no needle at (" << x << ", " << y << ")";
    }
}

// No pixel on the segment, from 20 % of the way on, is touched.
void expectBlankAlong(const QImage& image, double x0, double y0, double x1, double y1)
{
    for (int step = 20; step <= 100; ++step) {
        const double t = step / 100.0;
        const int x = static_cast<int>(std::floor(x0 + t * (x1 - x0)));
        const int y = static_cast<int>(std::floor(y0 + t * (y1 - y0)));
        ASSERT_TRUE(isWhite(image, x, y)) << "unexpected paint at (" << x << ", " << y << ")";
    }
}

TEST_F(GaugePaint, NeedlePointsWhereTheAngleSaysOnAYDownScreen)
{
    struct Case {
        float angle;
        double tipX, tipY;       // from the 240 x 240 table: centre (120, 120) plus (dx, -dy)
    };
    const Case cases[] = {
        {0.0f, 120, 10}, {90.0f, 229, 120}, {-90.0f, 11, 120}, {180.0f, 120, 229}, {-45.0f, 43, 43}, {135.0f, 197, 197},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        auto gauge = makeGauge(240, 240, c.angle);
        const QImage image = renderWidget(*gauge);
        expectInkAlong(image, 120, 120, c.tipX, c.tipY);
        // The opposite direction stays empty: no vertical or horizontal flip.
        expectBlankAlong(image, 120, 120, 240 - c.tipX, 240 - c.tipY);
    }
}

TEST_F(GaugePaint, OnlyNeedleAndHubArePaintedWithoutADial)
{
    auto gauge = makeGauge(240, 240, 90.0f);
    const QImage image = renderWidget(*gauge);
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isWhite(image, x, y)) {
                continue;
            }
            ++inked;
            // Pixel centre within the hub (radius 10) or the needle band (x 120..229, y 118.5..121.5).
            const double px = x + 0.5;
            const double py = y + 0.5;
            const bool inHub = std::hypot(px - 120.0, py - 120.0) <= 10.8;
            const bool onNeedle = px >= 119.0 && px <= 229.5 && std::abs(py - 120.0) <= 2.0;
            ASSERT_TRUE(inHub || onNeedle) << "stray paint at (" << x << ", " << y << ")";
        }
    }
    // The filled hub alone covers about 314 pixels.
    EXPECT_GT(inked, 300);
}

TEST_F(GaugePaint, HubIsAFilledCircleOfRadiusTenOnTheCentre)
{
    auto gauge = makeGauge(240, 240, 90.0f);  // needle off to the right, out of the way
    const QImage image = renderWidget(*gauge);
    for (const QPoint p : {QPoint(120, 112), QPoint(120, 127), QPoint(112, 120), QPoint(114, 114), QPoint(125, 125)}) {
        EXPECT_TRUE(isInk(image, p.x(), p.y())) << "hub missing at (" << p.x() << ", " << p.y() << ")";
    }
    for (const QPoint p : {QPoint(120, 108), QPoint(120, 131), QPoint(108, 120), QPoint(111, 111), QPoint(128, 128)}) {
        EXPECT_TRUE(isWhite(image, p.x(), p.y())) << "paint outside the hub at (" << p.x() << ", " << p.y() << ")";
    }
}

// A dial of four flat quadrants, wider than high, so that the test can see how it is laid out.
QString writeQuadrantDial(const testsupport::TempDir& dir)
{
    QImage dial(40, 20, QImage::Format_ARGB32);
    QPainter p(&dial);
    p.fillRect(0, 0, 20, 10, QColor(Qt::red));
    p.fillRect(20, 0, 20, 10, QColor(Qt::blue));
    p.fillRect(0, 10, 20, 10, QColor(Qt::yellow));
    p.fillRect(20, 10, 20, 10, QColor(Qt::cyan));
    p.end();
    const QString path = QString::fromStdString((dir / "dial.png").string());
    EXPECT_TRUE(dial.save(path, "PNG"));
    return path;
}

TEST_F(GaugePaint, DialIsStretchedOverTheWholeWidgetTheRightWayUp)
{
    testsupport::TempDir dir;
    auto gauge = makeGauge(160, 320, 0.0f, writeQuadrantDial(dir));
    ASSERT_FALSE(gauge->gaugeImage().isNull());
    const QImage image = renderWidget(*gauge);

    EXPECT_TRUE(near(image.pixel(2, 2), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(image.pixel(157, 2), qRgb(0, 0, 255)));
    EXPECT_TRUE(near(image.pixel(2, 317), qRgb(255, 255, 0)));
    EXPECT_TRUE(near(image.pixel(157, 317), qRgb(0, 255, 255)));
    EXPECT_TRUE(near(image.pixel(40, 150), qRgb(255, 0, 0)));    // the top half reaches down to y 160
    EXPECT_TRUE(near(image.pixel(40, 170), qRgb(255, 255, 0)));
    EXPECT_TRUE(near(image.pixel(70, 300), qRgb(255, 255, 0)));  // the left half reaches across to x 80
    EXPECT_TRUE(near(image.pixel(90, 300), qRgb(0, 255, 255)));

    // Needle and hub go over the dial.
    EXPECT_TRUE(isInk(image, 80, 100));
    EXPECT_TRUE(isInk(image, 80, 166));
}

TEST_F(GaugePaint, BuiltInDialShowsUnderTheNeedle)
{
    auto withDial = makeGauge(240, 240, 0.0f, plovexGaugeView::kDefaultImagePath);
    auto without = makeGauge(240, 240, 0.0f);
    const QImage a = renderWidget(*withDial);
    const QImage b = renderWidget(*without);

    int dialPixels = 0;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 240; ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                ++dialPixels;
            }
        }
    }
    EXPECT_GT(dialPixels, 240 * 240 / 4);
    expectInkAlong(a, 120, 120, 120, 10);
    EXPECT_TRUE(isInk(a, 120, 127));
}

} // namespace
} // namespace plovex
