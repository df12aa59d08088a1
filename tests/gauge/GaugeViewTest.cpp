// The gauge widget's life: the dial from the resource, the angle, and when it paints.
#include "gauge/plovexGaugeView.h"
#include "tests/gauge/GaugeTestApp.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QImage>
#include <QPaintEvent>

#include <gtest/gtest.h>

#include <chrono>

namespace plovex {
namespace {

using namespace std::chrono_literals;

class GaugeView : public ::testing::Test {
protected:
    void SetUp() override { gaugetest::ensureApplication(); }
};

TEST_F(GaugeView, DialComesFromTheBuiltInResource)
{
    const plovexGaugeView gauge;
    ASSERT_FALSE(gauge.gaugeImage().isNull());

    const QImage dial(QStringLiteral(":/plovex_gauge.png"));
    ASSERT_FALSE(dial.isNull());
    EXPECT_EQ(dial.size(), gauge.gaugeImage().size());
    // Large enough to stay sharp on a 240-unit gauge at twice the pixel density.
    EXPECT_GE(dial.width(), 480);
    EXPECT_EQ(dial.width(), dial.height());
}

TEST_F(GaugeView, MissingDialLeavesTheImageEmpty)
{
    const plovexGaugeView gauge(nullptr, QStringLiteral(":/no_such_dial.png"));
    EXPECT_TRUE(gauge.gaugeImage().isNull());
    EXPECT_EQ(gauge.angle(), 0.0f);
}

// Counts the paint events the window system delivers and notes the angle each one saw.
class CountingGauge : public plovexGaugeView {
public:
    using plovexGaugeView::plovexGaugeView;
    int paints = 0;
    float paintedAngle = -1000.0f;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        paintedAngle = angle();
        plovexGaugeView::paintEvent(event);
    }
};

// Delivers everything that is queued, which includes the update requests of update().
void drainEvents()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

TEST_F(GaugeView, SetAngleAloneDoesNotRepaint)
{
    CountingGauge gauge;
    gauge.resize(240, 240);
    gauge.show();
    ASSERT_TRUE(testsupport::waitFor(
        [&] {
            QCoreApplication::processEvents();
            return gauge.paints > 0;
        },
        5s));
    drainEvents();
    const int settled = gauge.paints;
    EXPECT_EQ(gauge.paintedAngle, 0.0f);

    gauge.setAngle(45.0f);
    drainEvents();
    EXPECT_EQ(gauge.paints, settled);
    EXPECT_EQ(gauge.paintedAngle, 0.0f);

    // The same wait does see a repaint once the caller asks for one.
    gauge.update();
    drainEvents();
    EXPECT_EQ(gauge.paints, settled + 1);
    EXPECT_EQ(gauge.paintedAngle, 45.0f);
}

} // namespace
} // namespace plovex
