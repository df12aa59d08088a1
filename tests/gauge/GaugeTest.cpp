// The dial gauge: where the needle and hub go, and what the widget paints in which order.

#include "gauge/NeedleGeometry.h"
#include "gauge/plovexGaugeView.h"
#include "tests/support/QtApp.h"

#include <QPaintEngine>
#include <QPaintEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

using namespace plovex;

TEST(NeedleGeometry, AnglesAndOriginsGiveTheTruncatedNeedle)
{
    const struct {
        float angle;
        int dx, dy;
    } angles[] = {{0.0f, 0, 110},    {0.5f, 0, 109},    {-0.5f, 0, 109}, {1.0f, 1, 109},   {45.0f, 77, 77},
                           {-45.0f, -77, 77}, {89.0f, 109, 1},   {90.0f, 109, 0}, {-90.0f, -109, 0}, {135.0f, 77, -77},
                           {180.0f, 0, -109}, {270.0f, -109, 0}, {360.0f, 0, 109}, {NAN, 0, 0}};
    for (const auto& c : angles) {
        const NeedleGeometry g = needleGeometry({0, 0, 240, 240}, c.angle);
        EXPECT_EQ(std::pair(g.dx, g.dy), std::pair(c.dx, c.dy)) << c.angle;
    }
    const struct {
        GaugeRect bounds;
        float cx, cy;
    } origins[] = {{{0, 0, 240, 240}, 120, 120}, {{10.6f, 5.2f, 200, 100}, 110, 55}, {{-0.7f, -3.9f, 240, 240}, 120, 117},
                              {{0, 0, 201, 99}, 100.5f, 49.5f}};
    for (const auto& o : origins) {
        const NeedleGeometry g = needleGeometry(o.bounds, 0.0f);
        EXPECT_EQ(std::pair(g.centre.x, g.centre.y), std::pair(o.cx, o.cy)) << o.bounds.x << " " << o.bounds.y;
        EXPECT_EQ(std::pair(g.hub.x, g.hub.y), std::pair(o.cx - 10, o.cy - 10));
        EXPECT_EQ(std::pair(g.hub.width, g.hub.height), std::pair(20.0f, 20.0f));
    }
}

// A paint device that writes down what is drawn on it, in order.
class Recorder : public QPaintDevice, public QPaintEngine {
public:
    Recorder() : QPaintEngine(AllFeatures) {}
    QPaintEngine* paintEngine() const override { return const_cast<Recorder*>(this); }
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: case PdmHeight: return 240;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
        case PdmDepth: return 32;
        default: return 1;
        }
    }
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& s) override
    {
        if (s.state() & DirtyPen)
            width = s.pen().widthF();
    }
    void drawPixmap(const QRectF& r, const QPixmap&, const QRectF&) override { note("dial", r); }
    void drawLines(const QLineF* lines, int n) override
    {
        for (int i = 0; i < n; ++i)
            log << "needle " << lines[i].x1() << "," << lines[i].y1() << " to " << lines[i].x2() << "," << lines[i].y2()
                << " width " << width << "\n";
    }
    void drawEllipse(const QRectF& r) override { note("hub", r); }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    Type type() const override { return User; }
    void note(const char* what, const QRectF& r) { log << what << " " << r.x() << "," << r.y() << " " << r.width() << "x" << r.height() << "\n"; }

    std::ostringstream log;
    qreal width = 0;
};

TEST(GaugeView, PaintsDialThenNeedleThenHubWithYGoingDown)
{
    testsupport::ensureApplication();
    const struct {
        float angle;
        bool dial;
        std::string painted;
    } cases[] = {
        {0.0f, true, "dial 0,0 240x240\nneedle 120,120 to 120,10 width 3\nhub 110,110 20x20\n"},
        {90.0f, false, "needle 120,120 to 229,120 width 3\nhub 110,110 20x20\n"},
        {-45.0f, false, "needle 120,120 to 43,43 width 3\nhub 110,110 20x20\n"},
        {180.0f, false, "needle 120,120 to 120,229 width 3\nhub 110,110 20x20\n"},
    };
    for (const auto& c : cases) {
        plovexGaugeView gauge(nullptr, c.dial ? plovexGaugeView::kDefaultImagePath : QStringLiteral(":/no_such_dial.png"));
        EXPECT_EQ(gauge.gaugeImage().isNull(), !c.dial);
        EXPECT_TRUE(!c.dial || gauge.gaugeImage().width() >= 480) << "a dial sharp at twice the pixel density";
        gauge.resize(240, 240);
        gauge.setAngle(c.angle);
        Recorder recorder;
        gauge.render(&recorder, QPoint(), QRegion(), QWidget::DrawChildren);
        EXPECT_EQ(recorder.log.str(), c.painted) << c.angle;
    }
}

} // namespace
