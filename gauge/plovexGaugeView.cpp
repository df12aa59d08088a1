#include "gauge/plovexGaugeView.h"

#include "gauge/NeedleGeometry.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <mutex>

// The dial lives in a resource compiled into this static library. Nothing else refers to it,
// so without this explicit registration the linker would leave it out of the program.
static void registerGaugeResource()
{
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(gauge); });
}

namespace plovex {

plovexGaugeView::plovexGaugeView(QWidget* parent, const QString& imagePath)
    : QWidget(parent)
{
    registerGaugeResource();
    QImage image(imagePath);
    if (!image.isNull()) {
        // Stored in the format the raster painter blends fastest.
        gaugeImage_ = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // The dial, laid on the window's colour once, covers the whole widget:
        // nothing under it needs painting first.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QSize plovexGaugeView::sizeHint() const
{
    return {240, 240};
}

QSize plovexGaugeView::minimumSizeHint() const
{
    // Room for the needle on both sides of the centre, with its line width to spare.
    const int side = static_cast<int>(2.0 * kNeedleLength) + 4;
    return {side, side};
}

const QPixmap& plovexGaugeView::scaledDial(QSize pixelSize, qreal pixelRatio)
{
    // Smooth scaling of the large dial is the costly part of a paint, and the
    // needle moves many times a second while the size rarely changes. The
    // dial's transparent parts are blended with the window's colour here,
    // once: a repaint then copies opaque pixels and blends nothing.
    const QColor background = palette().color(QPalette::Window);
    if (scaledDial_.size() != pixelSize || scaledDial_.devicePixelRatio() != pixelRatio ||
        dialBackground_ != background) {
        QImage face(pixelSize, QImage::Format_RGB32);
        face.fill(background);
        QPainter p(&face);
        p.drawImage(0, 0, gaugeImage_.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        p.end();
        scaledDial_ = QPixmap::fromImage(face);
        scaledDial_.setDevicePixelRatio(pixelRatio);
        dialBackground_ = background;
    }
    return scaledDial_;
}

void plovexGaugeView::setLimitMarks(std::vector<float> angles)
{
    if (angles == limitMarks_)
        return;
    limitMarks_ = std::move(angles);
    update();
}

void plovexGaugeView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const QRect widgetRect = rect();
    if (!gaugeImage_.isNull() && !widgetRect.isEmpty()) {
        // The whole image, stretched over the whole widget whatever its proportions.
        const qreal ratio = painter.device()->devicePixelRatioF();
        painter.drawPixmap(widgetRect, scaledDial((QSizeF(widgetRect.size()) * ratio).toSize(), ratio));
    }

    // The limits: red ticks from 80 to 95 per cent of the radius, under the needle.
    if (!limitMarks_.empty()) {
        const QPointF centre = QRectF(widgetRect).center();
        const qreal radius = std::min(widgetRect.width(), widgetRect.height()) / 2.0;
        painter.setPen(QPen(QColor(0xd0, 0x10, 0x10), std::max<qreal>(2.0, radius / 40.0), Qt::SolidLine, Qt::FlatCap));
        for (const float a : limitMarks_) {
            const qreal r = static_cast<qreal>(a) * M_PI / 180.0;
            const QPointF direction(std::sin(r), -std::cos(r));
            painter.drawLine(centre + direction * radius * 0.80, centre + direction * radius * 0.95);
        }
    }

    // The geometry is worked out with y growing upward; the widget's y grows downward.
    const GaugeRect bounds{static_cast<float>(widgetRect.x()), static_cast<float>(widgetRect.y()),
                           static_cast<float>(widgetRect.width()), static_cast<float>(widgetRect.height())};
    const NeedleGeometry g = toYDown(needleGeometry(bounds, angle_), bounds);

    const QColor ink = palette().color(QPalette::WindowText);
    // Flat ends: the stroke stops exactly at the centre and at the tip, as a plain stroke does.
    QPen needlePen(ink, g.lineWidth, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(needlePen);
    const QPointF root(g.centre.x, g.centre.y);
    const GaugePoint tip = g.tip();
    painter.drawLine(root, QPointF(tip.x, tip.y));

    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawEllipse(QRectF(g.hub.x, g.hub.y, g.hub.width, g.hub.height));
}

} // namespace plovex

// The meta-object code, here rather than in a file of its own: one compilation less.
#include "moc_plovexGaugeView.cpp"
