// The live chart's text: the figures above the plot follow the records at a
// readable pace and at once after a change of unit; the labels drawn from
// text laid out once sit where QPainter::drawText puts them.

#include "chart/HistoryChart.h"
#include "chart/TextCache.h"
#include "tests/support/QtApp.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

using plovex::chart::HistoryChart;
using plovex::chart::TextCache;

QString figures(const HistoryChart& c)
{
    return c.shownFigures().join(QStringLiteral(" | "));
}

TEST(HistoryChartText, FiguresFollowTheRecordsAtMostFourTimesASecondAndAUnitChangeAtOnce)
{
    testsupport::ensureApplication();
    HistoryChart chart(1.0);
    chart.resize(640, 300);
    double t = 1000.0;
    for (int i = 0; i < 5; ++i, t += 0.01)
        chart.add(t, 1.0f, -1.0f, true);
    chart.grab();
    EXPECT_TRUE(figures(chart).contains(QStringLiteral("X min 1.00°  max 1.00°"))) << figures(chart).toStdString();

    // A new extreme a tenth of a second later: the plot has it, the figures wait.
    chart.add(t += 0.1, 2.0f, -1.0f, true);
    chart.grab();
    EXPECT_TRUE(figures(chart).contains(QStringLiteral("max 1.00°"))) << figures(chart).toStdString();
    EXPECT_DOUBLE_EQ(chart.stats()[0].max, 2.0);

    // A quarter of a second after they were worked out, they show it.
    chart.add(t += 0.2, 2.0f, -1.0f, true);
    chart.grab();
    EXPECT_TRUE(figures(chart).contains(QStringLiteral("X min 1.00°  max 2.00°"))) << figures(chart).toStdString();

    // Another unit shows in the next picture, whatever the time.
    chart.setPresentation([](int, float degrees) { return degrees * 10.0; }, QStringLiteral(" u"), 1);
    chart.add(t += 0.01, 2.0f, -1.0f, true);
    chart.grab();
    EXPECT_TRUE(figures(chart).contains(QStringLiteral("X min 10.0 u  max 20.0 u"))) << figures(chart).toStdString();

    // Paused, the note is there at once.
    chart.setPaused(true);
    chart.grab();
    EXPECT_TRUE(figures(chart).contains(QStringLiteral("Paused at "))) << figures(chart).toStdString();
}

// The bounding box of the inked pixels.
QRect inked(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST(HistoryChartText, TextLaidOutOnceIsAsWideAndWhereDrawTextPutsIt)
{
    testsupport::ensureApplication();
    TextCache cache;
    const QFont font;
    const QFontMetrics fm(font);
    const QRect room(10, 10, 120, fm.height() + 10);
    for (const QString& text : {QStringLiteral("-12.50°"), QStringLiteral("08:30:15"), QStringLiteral("X min 1.00 mm/m")}) {
        EXPECT_NEAR(cache.width(text, font), fm.horizontalAdvance(text), 1) << text.toStdString();
        for (const Qt::Alignment align : {Qt::AlignLeft | Qt::AlignVCenter, Qt::AlignRight | Qt::AlignVCenter,
                                          Qt::Alignment(Qt::AlignCenter), Qt::AlignHCenter | Qt::AlignBottom}) {
            QImage drawn(160, 60, QImage::Format_RGB32), cached(160, 60, QImage::Format_RGB32);
            drawn.fill(Qt::white);
            cached.fill(Qt::white);
            {
                QPainter p(&drawn);
                p.setFont(font);
                p.drawText(room, align, text);
            }
            {
                QPainter p(&cached);
                p.setFont(font);
                cache.draw(p, room, align, text);
            }
            const QRect a = inked(drawn), b = inked(cached);
            ASSERT_FALSE(a.isEmpty());
            EXPECT_LE(std::abs(a.left() - b.left()), 1) << text.toStdString() << " " << align;
            EXPECT_LE(std::abs(a.top() - b.top()), 1) << text.toStdString() << " " << align;
            EXPECT_LE(std::abs(a.width() - b.width()), 1) << text.toStdString() << " " << align;
        }
    }
}

} // namespace
