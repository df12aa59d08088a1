#include "chart/HistoryChart.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace plovex::chart {

namespace {

constexpr double kSpans[] = {10.0, 60.0, 600.0};
const QColor kAxisColours[] = {QColor(0xc0, 0x39, 0x2b), QColor(0x1f, 0x5f, 0xb4)};
const char* const kAxisNames[] = {"X", "Y"};
constexpr int kLeft = 56, kRight = 8, kTop = 22, kBottom = 8;

} // namespace

HistoryChart::HistoryChart(double gapSeconds, QWidget* parent)
    : QWidget(parent), reductions_{ColumnReduction(kSpans[0], gapSeconds), ColumnReduction(kSpans[1], gapSeconds),
                                   ColumnReduction(kSpans[2], gapSeconds)}
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    toShown_ = [](int, float degrees) { return static_cast<double>(degrees); };
}

const ColumnReduction& HistoryChart::current() const
{
    return frozen_ ? *frozen_ : reductions_[static_cast<std::size_t>(span_)];
}

long long HistoryChart::pixelColumnOf(double t) const
{
    const int pixels = std::max(1, width() - kLeft - kRight);
    return static_cast<long long>(std::floor(t * pixels / current().span()));
}

bool HistoryChart::add(double t, float xDegrees, float yDegrees, bool valid)
{
    if (t < now_) { // the clock was set back: what was drawn has no place on the new time
        lastPixelColumn_ = -1;
        lastRepaint_ = t - kRepaintInterval;
    }
    now_ = t;
    for (auto& r : reductions_) {
        if (valid)
            r.add(t, xDegrees, yDegrees);
        else
            r.breakLine();
    }
    if (frozen_)
        return false;
    // A repaint when a new pixel column appeared, and no more than ten a
    // second: at the shortest span a pixel column lasts about one display
    // frame, and redrawing the whole chart each frame costs several times
    // the budget for a scroll that looks the same.
    const long long column = pixelColumnOf(t);
    if (column == lastPixelColumn_ || t - lastRepaint_ < kRepaintInterval)
        return false;
    lastPixelColumn_ = column;
    lastRepaint_ = t;
    return true;
}

void HistoryChart::restart()
{
    for (auto& r : reductions_)
        r.clear();
    if (frozen_)
        frozen_->clear();
    update();
}

void HistoryChart::setSpan(Span span)
{
    span_ = span;
    if (frozen_) {
        frozen_ = reductions_[static_cast<std::size_t>(span_)];
        frozenNow_ = now_;
    }
    update();
}

void HistoryChart::setPaused(bool paused)
{
    if (paused == frozen_.has_value())
        return;
    if (paused) {
        frozen_ = reductions_[static_cast<std::size_t>(span_)];
        frozenNow_ = now_;
    } else {
        frozen_.reset();
    }
    update();
}

void HistoryChart::setFixedRange(std::optional<double> halfRange)
{
    fixedHalfRange_ = halfRange;
    update();
}

void HistoryChart::setPresentation(Presentation toShown, QString unitSymbol, int decimals)
{
    toShown_ = std::move(toShown);
    unitSymbol_ = std::move(unitSymbol);
    decimals_ = decimals;
    update();
}

std::vector<ColumnPair> HistoryChart::shownColumns(int pixels) const
{
    return current().toPixels(frozen_ ? frozenNow_ : now_, pixels);
}

std::array<HistoryChart::Stats, 2> HistoryChart::stats() const
{
    // Over the reduction's own columns (one pixel each would merge them the same way).
    const auto columns = shownColumns(ColumnReduction::kColumns);
    std::array<Stats, 2> out;
    for (int axis = 0; axis < 2; ++axis) {
        Extent all;
        for (const auto& c : columns)
            all.merge(axis == 0 ? c.x : c.y);
        if (all.empty())
            continue;
        // Zero and unit keep the order of angles below 90 degrees, so the
        // extremes convert as they are; the mean is the mean angle's.
        out[static_cast<std::size_t>(axis)] = {toShown_(axis, all.min), toShown_(axis, all.max),
                                               toShown_(axis, static_cast<float>(all.sum / all.count)), true};
    }
    return out;
}

void HistoryChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QRect plot(kLeft, kTop, std::max(1, width() - kLeft - kRight), std::max(1, height() - kTop - kBottom));
    const auto columns = shownColumns(plot.width());
    const auto st = stats();

    // The vertical range: fixed, or what is shown with a little room.
    double lo = -1.0, hi = 1.0;
    if (fixedHalfRange_) {
        lo = -*fixedHalfRange_;
        hi = *fixedHalfRange_;
    } else if (st[0].any || st[1].any) {
        lo = std::numeric_limits<double>::infinity();
        hi = -lo;
        for (const auto& s : st)
            if (s.any && std::isfinite(s.min) && std::isfinite(s.max)) {
                lo = std::min(lo, s.min);
                hi = std::max(hi, s.max);
            }
        if (!(lo <= hi))
            lo = -1.0, hi = 1.0;
        const double room = std::max((hi - lo) * 0.08, std::pow(10.0, -decimals_) * 5);
        lo -= room;
        hi += room;
    }
    const auto yOf = [&](double v) {
        const double f = (hi - v) / (hi - lo);
        return plot.top() + std::clamp(f, 0.0, 1.0) * (plot.height() - 1);
    };

    const QPalette& pal = palette();
    p.setPen(pal.color(QPalette::Mid));
    p.drawRect(plot.adjusted(0, 0, -1, -1));
    p.setPen(pal.color(QPalette::Text));
    const auto number = [&](double v) { return QString::number(v, 'f', decimals_) + unitSymbol_; };
    p.drawText(QRect(0, plot.top() - 6, kLeft - 4, 14), Qt::AlignRight | Qt::AlignVCenter, number(hi));
    p.drawText(QRect(0, plot.bottom() - 8, kLeft - 4, 14), Qt::AlignRight | Qt::AlignVCenter, number(lo));
    if (lo < 0 && hi > 0) {
        p.setPen(QPen(pal.color(QPalette::Mid), 1, Qt::DotLine));
        p.drawLine(QPointF(plot.left(), yOf(0)), QPointF(plot.right(), yOf(0)));
    }

    // Per axis: each pixel column's stroke from its minimum to its maximum,
    // joined to the next column that has values unless the line breaks there.
    std::vector<QLineF> lines;
    lines.reserve(columns.size() * 2);
    for (int axis = 0; axis < 2; ++axis) {
        lines.clear();
        std::optional<QPointF> previous;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const Extent& e = axis == 0 ? columns[i].x : columns[i].y;
            if (e.empty())
                continue;
            const double x = plot.left() + static_cast<double>(i) + 0.5;
            const double a = toShown_(axis, e.min), b = toShown_(axis, e.max);
            if (!std::isfinite(a) || !std::isfinite(b)) {
                previous.reset();
                continue;
            }
            const QPointF top(x, yOf(b)), bottom(x, yOf(a));
            const QPointF mid(x, (top.y() + bottom.y()) / 2);
            if (previous && !columns[i].gapBefore)
                lines.emplace_back(*previous, mid);
            if (top != bottom)
                lines.emplace_back(top, bottom);
            previous = mid;
        }
        p.setPen(QPen(kAxisColours[axis], 1.5));
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
    }

    // What is shown, in numbers, above the plot.
    int x = plot.left();
    for (int axis = 0; axis < 2; ++axis) {
        const Stats& s = st[static_cast<std::size_t>(axis)];
        const QString text = s.any ? QStringLiteral("%1 min %2  max %3  mean %4")
                                         .arg(QLatin1String(kAxisNames[axis]), number(s.min), number(s.max),
                                              number(s.mean))
                                   : QStringLiteral("%1 —").arg(QLatin1String(kAxisNames[axis]));
        p.setPen(kAxisColours[axis]);
        p.drawText(QRect(x, 2, plot.width(), kTop - 4), Qt::AlignLeft | Qt::AlignVCenter, text);
        x += p.fontMetrics().horizontalAdvance(text) + 24;
    }
    if (frozen_) {
        p.setPen(pal.color(QPalette::Text));
        p.drawText(QRect(plot.left(), 2, plot.width(), kTop - 4), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Paused"));
    }
}

} // namespace plovex::chart
