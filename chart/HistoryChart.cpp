#include "chart/HistoryChart.h"

#include "chart/AxisTicks.h"
#include "chart/Clipping.h"

#include <QDateTime>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace plovex::chart {

namespace {

constexpr double kSpans[] = {10.0, 60.0, 600.0};
const QColor kAxisColours[] = {QColor(0xc0, 0x39, 0x2b), QColor(0x1f, 0x5f, 0xb4)};
const char* const kAxisNames[] = {"X", "Y"};
constexpr int kRight = 8;      // room right of the plot
constexpr int kLabelGap = 6;   // between a label and what it names
constexpr int kItemGap = 24;   // between the statistics of X and Y
constexpr int kMarkerEvery = 8; // pixels between the markers of a run beyond the range

// A grid line's colour: the frame's laid over the background at alpha out
// of 255, worked out here so that the line is drawn opaque. The raster
// engine hands a line of more than about a hundred pixels' rows (a vertical
// one) to its thread pool in parts when it must blend it, and waits for
// them: for a few pixels, several thread wake-ups at every repaint.
QColor gridColour(const QPalette& pal, int alpha)
{
    const QColor line = pal.color(QPalette::Mid), ground = pal.color(QPalette::Base);
    const auto mix = [alpha](int a, int b) { return b + (a - b) * alpha / 255; };
    return QColor(mix(line.red(), ground.red()), mix(line.green(), ground.green()), mix(line.blue(), ground.blue()));
}

// A vertical line a pixel wide, filled: a fill of an opaque colour is one
// pass over its rows, where a line is a span a row.
void verticalLine(QPainter& p, int x, int top, int bottom, const QColor& colour)
{
    p.fillRect(QRect(x, top, 1, bottom - top + 1), colour);
}

} // namespace

// Where the parts of one picture go.
struct HistoryChart::Layout {
    QRect plot;
    double lo = -1.0, hi = 1.0; // the value range, bottom to top
    std::vector<double> valueTicks;
    int valueDecimals = 0;
    double now = 0.0, span = 1.0;
    QStringList header;

    double yOf(double v) const { return plot.top() + (hi - v) / (hi - lo) * (plot.height() - 1); }
    double xOf(double t) const { return plot.left() + (t - (now - span)) / span * plot.width(); }
};

HistoryChart::HistoryChart(double gapSeconds, QWidget* parent)
    : QWidget(parent), reductions_{ColumnReduction(kSpans[0], gapSeconds), ColumnReduction(kSpans[1], gapSeconds),
                                   ColumnReduction(kSpans[2], gapSeconds)}
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    toShown_ = [](int, float degrees) { return static_cast<double>(degrees); };
}

QSize HistoryChart::sizeHint() const
{
    return {640, 9 * fontMetrics().height() + 60};
}

QSize HistoryChart::minimumSizeHint() const
{
    // Two lines of statistics, a plot a few labels high, the time labels.
    return {240, 5 * fontMetrics().height() + 40};
}

const ColumnReduction& HistoryChart::current() const
{
    const auto index = static_cast<std::size_t>(span_);
    return frozen_ ? (*frozen_)[index] : reductions_[index];
}

long long HistoryChart::pixelColumnOf(double t) const
{
    const int pixels = std::max(1, width() - plotLeft_ - kRight);
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
    headerDue_ = true;
    for (auto& r : reductions_)
        r.clear();
    if (frozen_)
        for (auto& r : *frozen_)
            r.clear();
    update();
}

void HistoryChart::setSpan(Span span)
{
    headerDue_ = true;
    span_ = span;
    update();
}

void HistoryChart::setPaused(bool paused)
{
    if (paused == frozen_.has_value())
        return;
    headerDue_ = true;
    if (paused) {
        // What is on screen: the picture last painted, at every span.
        frozen_ = reductions_;
        frozenNow_ = paintedNow_ > 0.0 ? paintedNow_ : now_;
    } else {
        frozen_.reset();
    }
    update();
}

void HistoryChart::setFixedRange(std::optional<double> halfRange)
{
    headerDue_ = true;
    fixedHalfRange_ = halfRange;
    update();
}

void HistoryChart::setPresentation(Presentation toShown, QString unitSymbol, int decimals)
{
    headerDue_ = true;
    toShown_ = std::move(toShown);
    unitSymbol_ = std::move(unitSymbol);
    decimals_ = decimals;
    update();
}

std::vector<ColumnPair> HistoryChart::shownColumns(int pixels) const
{
    return current().toPixels(shownNow(), pixels);
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

std::pair<double, double> HistoryChart::valueRange(const std::array<Stats, 2>& st) const
{
    if (fixedHalfRange_)
        return {-*fixedHalfRange_, *fixedHalfRange_};
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const auto& s : st)
        if (s.any && std::isfinite(s.min) && std::isfinite(s.max)) {
            lo = std::min(lo, s.min);
            hi = std::max(hi, s.max);
        }
    if (!(lo <= hi))
        return {-1.0, 1.0};
    const double room = std::max((hi - lo) * 0.08, std::pow(10.0, -decimals_) * 5);
    return {lo - room, hi + room};
}

double HistoryChart::utcOffset(double now) const
{
    // Worked out again each minute: a change of the clock's zone or its
    // summer time shows within a minute, and the labels of the old offset go.
    if (!(std::abs(now - offsetAt_) < 60.0)) {
        const int offset = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(now)).offsetFromUtc();
        if (offset != offset_)
            clockLabels_.clear();
        offset_ = offset;
        offsetAt_ = now;
    }
    return offset_;
}

const QString& HistoryChart::clockLabel(double t, double step) const
{
    // The time of day a tick stands for: seconds while they matter. The same
    // ticks stay on screen for many repaints, so each is worked out once.
    const qint64 ms = std::llround(t * 1000.0);
    const bool seconds = step < 60;
    const qint64 key = ms * 2 + (seconds ? 1 : 0);
    if (auto it = clockLabels_.constFind(key); it != clockLabels_.constEnd())
        return *it;
    if (clockLabels_.size() >= 64)
        clockLabels_.clear();
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(ms);
    return *clockLabels_.insert(key, when.toString(seconds ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm")));
}

QString HistoryChart::number(double v, int decimals) const
{
    QString text = QString::number(v, 'f', decimals);
    if (text.startsWith(u'-') && text.toDouble() == 0.0)
        text.remove(0, 1); // no "-0.0"
    return text + unitSymbol_;
}

QStringList HistoryChart::statsLines(const std::array<Stats, 2>& st, int width) const
{
    QStringList items;
    for (int axis = 0; axis < 2; ++axis) {
        const Stats& s = st[static_cast<std::size_t>(axis)];
        items << (s.any ? QStringLiteral("%1 min %2  max %3  mean %4")
                              .arg(QLatin1String(kAxisNames[axis]), number(s.min, decimals_),
                                   number(s.max, decimals_), number(s.mean, decimals_))
                        : QStringLiteral("%1 —").arg(QLatin1String(kAxisNames[axis])));
    }
    if (frozen_)
        items << QStringLiteral("Paused at %1").arg(clockLabel(frozenNow_, 1));
    // As many on a line as fit; the pause note goes right, where it stands out.
    int used = 0;
    for (const QString& item : items)
        used += text_.width(item, font()) + kItemGap;
    if (used - kItemGap <= width)
        return {items.join(QChar(u'\t'))};
    if (frozen_ && text_.width(items[1], font()) + kItemGap + text_.width(items[2], font()) <= width)
        return {items[0], items[1] + QChar(u'\t') + items[2]};
    return items;
}

void HistoryChart::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

void HistoryChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QFontMetrics fm = fontMetrics();
    const int line = fm.height();
    const auto st = stats();

    Layout l;
    l.now = shownNow();
    l.span = current().span();
    std::tie(l.lo, l.hi) = valueRange(st);
    // The figures above the plot are worked out at most four times a second
    // (faster they cannot be read, and laying out new text is most of a
    // repaint); the plot follows every repaint.
    const int headerWidth = width() - 8;
    if (headerDue_ || headerWidth != headerWidth_ || !(std::abs(l.now - headerAt_) < kHeaderInterval)) {
        header_ = statsLines(st, headerWidth);
        headerWidth_ = headerWidth;
        headerAt_ = l.now;
        headerDue_ = false;
    }
    l.header = header_;
    // The statistics, half a label's room for the top value label, the plot, the time labels.
    const int top = static_cast<int>(l.header.size()) * line + 4 + line / 2;
    const int plotHeight = std::max(1, height() - top - line - kLabelGap - 2);
    const double step = valueTickStep(l.hi - l.lo, plotHeight, line * 2.0);
    l.valueDecimals = std::max(0, decimalsForStep(step));
    l.valueTicks = ticksWithin(l.lo, l.hi, step);
    // The plot begins where the widest value label ends, whatever the unit.
    int labels = text_.width(number(0, l.valueDecimals), font());
    for (const double v : l.valueTicks)
        labels = std::max(labels, text_.width(number(v, l.valueDecimals), font()));
    plotLeft_ = labels + 2 * kLabelGap;
    l.plot = QRect(plotLeft_, top, std::max(1, width() - plotLeft_ - kRight), plotHeight);
    paintedNow_ = l.now;

    drawValueAxis(p, l);
    drawTimeAxis(p, l);
    drawLines(p, l, shownColumns(l.plot.width()));

    // What is shown, in numbers, above the plot; a tab splits a line into left and right.
    for (int i = 0; i < l.header.size(); ++i) {
        const QRect row(4, 2 + i * line, width() - 8, line);
        const QStringList parts = l.header[i].split(QChar(u'\t'));
        int x = row.left();
        for (int k = 0; k < parts.size(); ++k) {
            const bool pauseNote = frozen_ && parts[k].startsWith(QStringLiteral("Paused"));
            const int w = text_.width(parts[k], font());
            if (pauseNote) {
                const QRect note(row.right() - w - 8, row.top(), w + 8, row.height());
                p.fillRect(note, palette().highlight());
                p.setPen(palette().highlightedText().color());
                text_.draw(p, note, Qt::AlignCenter, parts[k]);
                continue;
            }
            p.setPen(kAxisColours[parts[k].startsWith(QLatin1String(kAxisNames[0])) ? 0 : 1]);
            text_.draw(p, QRect(x, row.top(), w + 1, row.height()), Qt::AlignLeft | Qt::AlignVCenter, parts[k]);
            x += w + kItemGap;
        }
    }
}

void HistoryChart::drawValueAxis(QPainter& p, const Layout& l) const
{
    const QPalette& pal = palette();
    const QFontMetrics fm = fontMetrics();
    // The frame: its sides filled, its top and bottom drawn.
    const QRect frame = l.plot.adjusted(0, 0, -1, -1);
    const QColor mid = pal.color(QPalette::Mid);
    verticalLine(p, frame.left(), frame.top(), frame.bottom(), mid);
    verticalLine(p, frame.right(), frame.top(), frame.bottom(), mid);
    p.setPen(mid);
    p.drawLine(frame.topLeft(), frame.topRight());
    p.drawLine(frame.bottomLeft(), frame.bottomRight());
    const QColor grid = gridColour(pal, 70);
    for (const double v : l.valueTicks) {
        const int y = static_cast<int>(std::lround(l.yOf(v)));
        p.setPen(std::abs(v) < 1e-12 ? QPen(pal.color(QPalette::Mid), 1, Qt::DotLine) : QPen(grid));
        p.drawLine(l.plot.left() + 1, y, l.plot.right() - 1, y);
        // Centred on its tick, but never cut by the widget's edge.
        const int top = std::clamp(y - fm.height() / 2, 0, height() - fm.height());
        p.setPen(pal.color(QPalette::Text));
        text_.draw(p, QRect(0, top, l.plot.left() - kLabelGap, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   number(v, l.valueDecimals));
    }
}

void HistoryChart::drawTimeAxis(QPainter& p, const Layout& l) const
{
    const QPalette& pal = palette();
    const QFontMetrics fm = fontMetrics();
    const int labelWidth = text_.width(QStringLiteral("88:88:88"), font());
    const double step = timeTickStep(l.span, l.plot.width(), labelWidth + 2.0 * kItemGap);
    // Ticks on the local clock's round times.
    const double offset = utcOffset(l.now);
    const QColor grid = gridColour(pal, 50);
    const int labelTop = l.plot.bottom() + 4;
    for (const double t : ticksWithin(l.now - l.span, l.now, step, offset)) {
        const int x = static_cast<int>(std::lround(l.xOf(t)));
        verticalLine(p, x, l.plot.top() + 1, l.plot.bottom() - 1, grid);
        p.setPen(pal.color(QPalette::Mid));
        p.drawLine(x, l.plot.bottom(), x, l.plot.bottom() + 3);
        const QString& label = clockLabel(t, step);
        const int w = text_.width(label, font());
        const int left = std::clamp(x - w / 2, 0, width() - w);
        p.setPen(pal.color(QPalette::Text));
        text_.draw(p, QRect(left, labelTop, w + 1, fm.height()), Qt::AlignCenter, label);
    }
}

void HistoryChart::drawLines(QPainter& p, const Layout& l, const std::vector<ColumnPair>& columns) const
{
    // Per axis: each pixel column's stroke from its minimum to its maximum,
    // joined to the next column that has values unless the line breaks
    // there. What lies beyond a fixed range is not drawn: a mark at the
    // edge it passed says it is there.
    std::vector<QLineF> lines;
    lines.reserve(columns.size() * 2);
    for (int axis = 0; axis < 2; ++axis) {
        lines.clear();
        QPainterPath marks;
        double lastAbove = -kMarkerEvery, lastBelow = -kMarkerEvery;
        std::optional<QPointF> previous;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const Extent& e = axis == 0 ? columns[i].x : columns[i].y;
            if (e.empty())
                continue;
            const double x = l.plot.left() + static_cast<double>(i) + 0.5;
            const double a = toShown_(axis, e.min), b = toShown_(axis, e.max);
            if (!std::isfinite(a) || !std::isfinite(b)) {
                previous.reset();
                continue;
            }
            const ClippedExtent c = clipToRange(std::min(a, b), std::max(a, b), l.lo, l.hi);
            if (c.above && x - lastAbove >= kMarkerEvery) {
                lastAbove = x;
                const double y = l.plot.top() + 1;
                marks.addPolygon(QPolygonF({QPointF(x - 3.5, y + 6), QPointF(x + 3.5, y + 6), QPointF(x, y)}));
            }
            if (c.below && x - lastBelow >= kMarkerEvery) {
                lastBelow = x;
                const double y = l.plot.bottom() - 1;
                marks.addPolygon(QPolygonF({QPointF(x - 3.5, y - 6), QPointF(x + 3.5, y - 6), QPointF(x, y)}));
            }
            if (!c.shown) {
                previous.reset();
                continue;
            }
            const QPointF top(x, l.yOf(c.high)), bottom(x, l.yOf(c.low));
            const QPointF mid(x, (top.y() + bottom.y()) / 2);
            if (previous && !columns[i].gapBefore)
                lines.emplace_back(*previous, mid);
            if (top != bottom)
                lines.emplace_back(top, bottom);
            previous = mid;
        }
        p.setPen(QPen(kAxisColours[axis], 1.5));
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
        if (!marks.isEmpty()) {
            p.setPen(Qt::NoPen);
            p.fillPath(marks, kAxisColours[axis]);
        }
    }
}

} // namespace plovex::chart
