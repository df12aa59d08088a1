#include "chart/FileChart.h"

#include "record/LocalTime.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace plovex::chart {

namespace {

const QColor kLineColours[] = {QColor(0xc0, 0x39, 0x2b), QColor(0x1f, 0x5f, 0xb4)};
constexpr int kPlotLeft = 84, kPlotRight = 8, kPlotTop = 8, kPlotBottom = 20;
constexpr double kZoomStep = 1.25; // one wheel notch or key press
constexpr double kPanStep = 0.2;   // of the width, one key press
// The narrowest span: a few rows across the chart.
constexpr double kNarrowestRows = 4;

} // namespace

FileChart::FileChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    toShown_ = [](int, float degrees) { return static_cast<double>(degrees); };
    format_ = [] { return std::pair<QString, int>(QStringLiteral("°"), 2); };
}

void FileChart::setHistory(const RecordingHistory* history)
{
    history_ = history;
    detail_.reset();
    cursor_.reset();
    readError_.clear();
    span_.reset();
    if (history_) {
        const HistorySummary& s = history_->summary();
        // The row spacing: the file's length over its rows (an averaged
        // log's interval, a recording's period at its rate).
        const double spacing = s.rows > 1 ? s.last / static_cast<double>(s.rows - 1) : 1.0;
        span_.emplace(0.0, s.last, std::max(spacing * kNarrowestRows, 1e-3));
    }
    update();
}

void FileChart::setPresentation(Presentation toShown, Format format)
{
    toShown_ = std::move(toShown);
    format_ = std::move(format);
    update();
}

QRect FileChart::plot() const
{
    return {kPlotLeft, kPlotTop, std::max(1, width() - kPlotLeft - kPlotRight), std::max(1, height() - kPlotTop - kPlotBottom)};
}

double FileChart::timeAt(double x) const
{
    const QRect p = plot();
    return span_->from() + (x - p.left()) / p.width() * span_->width();
}

void FileChart::setCursor(double t)
{
    if (!span_)
        return;
    cursor_ = std::clamp(t, 0.0, history_->summary().last);
    update();
    if (onCursor_)
        onCursor_(*cursor_);
}

void FileChart::zoom(double factor, std::optional<double> about)
{
    if (!span_)
        return;
    span_->zoom(factor, about.value_or(span_->from() + span_->width() / 2));
    update();
}

void FileChart::pan(double shareOfWidth)
{
    if (!span_)
        return;
    span_->pan(shareOfWidth * span_->width());
    update();
}

void FileChart::showAll()
{
    if (!span_)
        return;
    span_->showAll();
    update();
}

std::vector<ColumnPair> FileChart::shownColumns(int pixels)
{
    const double from = span_->from(), to = span_->to();
    const double perPixel = (to - from) / pixels;
    const SpanReduction& overview = history_->overview();
    if (perPixel >= overview.columnSeconds())
        return overview.toPixels(from, to, pixels);
    // Finer than the overview: the span read again, with a span's width on
    // each side so that a pan or a small zoom out needs no reading.
    if (!detail_ || from < detailFrom_ || to > detailTo_ || detail_->columnSeconds() > perPixel ||
        detail_->columnSeconds() < perPixel / 4) {
        std::string error;
        const double w = to - from;
        detail_ = history_->detail(from - w, to + w, perPixel, &error);
        detailFrom_ = from - w;
        detailTo_ = to + w;
        readError_ = QString::fromStdString(error);
        if (!detail_)
            return overview.toPixels(from, to, pixels);
    }
    return detail_->toPixels(from, to, pixels);
}

QString FileChart::timeText(double t) const
{
    // "2026-12-07 08:30:00.125", local, as the file writes it.
    QString s = QString::fromStdString(record::isoLocalTime(history_->timeOf(t)));
    s.truncate(23);
    return s.replace(QLatin1Char('T'), QLatin1Char(' '));
}

void FileChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QPalette& pal = palette();
    const QRect area = plot();
    p.setPen(pal.color(QPalette::Mid));
    p.drawRect(area.adjusted(0, 0, -1, -1));
    if (!span_)
        return;
    const auto columns = shownColumns(area.width());
    const std::pair<QString, int> format = format_();
    const QString& unitSymbol = format.first;
    const int decimals = format.second;

    // The vertical range: what is shown, with a little room.
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const auto& c : columns)
        for (int axis = 0; axis < 2; ++axis) {
            const Extent& e = axis == 0 ? c.x : c.y;
            if (e.empty())
                continue;
            const double a = toShown_(axis, e.min), b = toShown_(axis, e.max);
            if (std::isfinite(a) && std::isfinite(b)) {
                lo = std::min({lo, a, b});
                hi = std::max({hi, a, b});
            }
        }
    if (!(lo <= hi))
        lo = -1.0, hi = 1.0;
    const double room = std::max((hi - lo) * 0.08, std::pow(10.0, -decimals) * 5);
    lo -= room;
    hi += room;
    const auto yOf = [&](double v) { return area.top() + std::clamp((hi - v) / (hi - lo), 0.0, 1.0) * (area.height() - 1); };

    p.setPen(pal.color(QPalette::Text));
    const auto number = [&](double v) { return QString::number(v, 'f', decimals) + unitSymbol; };
    p.drawText(QRect(0, area.top() - 6, kPlotLeft - 4, 14), Qt::AlignRight | Qt::AlignVCenter, number(hi));
    p.drawText(QRect(0, area.bottom() - 8, kPlotLeft - 4, 14), Qt::AlignRight | Qt::AlignVCenter, number(lo));
    const QRect timeRow(area.left(), area.bottom() + 2, area.width(), kPlotBottom - 2);
    p.drawText(timeRow, Qt::AlignLeft | Qt::AlignVCenter, timeText(span_->from()));
    p.drawText(timeRow, Qt::AlignRight | Qt::AlignVCenter, timeText(span_->to()));
    if (lo < 0 && hi > 0) {
        p.setPen(QPen(pal.color(QPalette::Mid), 1, Qt::DotLine));
        p.drawLine(QPointF(area.left(), yOf(0)), QPointF(area.right(), yOf(0)));
    }

    // Each pixel column's stroke from its minimum to its maximum, joined to
    // the next column with values unless the line breaks there.
    std::vector<QLineF> lines;
    for (int axis = 0; axis < 2; ++axis) {
        lines.clear();
        std::optional<QPointF> previous;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const Extent& e = axis == 0 ? columns[i].x : columns[i].y;
            if (e.empty())
                continue;
            const double x = area.left() + static_cast<double>(i) + 0.5;
            const double a = toShown_(axis, e.min), b = toShown_(axis, e.max);
            if (!std::isfinite(a) || !std::isfinite(b)) {
                previous.reset();
                continue;
            }
            const QPointF top(x, yOf(b)), bottom(x, yOf(a)), mid(x, (yOf(a) + yOf(b)) / 2);
            if (previous && !columns[i].gapBefore)
                lines.emplace_back(*previous, mid);
            if (top != bottom)
                lines.emplace_back(top, bottom);
            previous = mid;
        }
        p.setPen(QPen(kLineColours[axis], 1.5));
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
    }

    if (cursor_ && *cursor_ >= span_->from() && *cursor_ <= span_->to()) {
        const double x = area.left() + (*cursor_ - span_->from()) / span_->width() * area.width();
        p.setPen(QPen(pal.color(QPalette::Text), 1, Qt::DashLine));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
}

void FileChart::wheelEvent(QWheelEvent* event)
{
    if (!span_)
        return;
    const double notches = event->angleDelta().y() / 120.0;
    zoom(std::pow(kZoomStep, -notches), timeAt(event->position().x()));
    event->accept();
}

void FileChart::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !span_)
        return;
    dragFrom_ = event->position().x();
    dragged_ = false;
}

void FileChart::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragFrom_ || !span_)
        return;
    const double dx = event->position().x() - *dragFrom_;
    if (!dragged_ && std::abs(dx) < 4)
        return;
    dragged_ = true;
    // The file moves with the pointer: right shows earlier times.
    pan(-dx / plot().width());
    dragFrom_ = event->position().x();
}

void FileChart::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !dragFrom_)
        return;
    if (!dragged_)
        setCursor(timeAt(event->position().x()));
    dragFrom_.reset();
}

void FileChart::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoom(1 / kZoomStep, cursor_); break;
    case Qt::Key_Minus: zoom(kZoomStep, cursor_); break;
    case Qt::Key_Left: pan(-kPanStep); break;
    case Qt::Key_Right: pan(kPanStep); break;
    case Qt::Key_Home: showAll(); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

} // namespace plovex::chart
