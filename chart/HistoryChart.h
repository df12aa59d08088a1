#pragma once
// The history chart: X and Y tilt over the last 10 s, 1 min or 10 min, with
// the minimum, maximum and mean of what it shows, auto-scaled or over a
// fixed range, live or paused.
//
// A plain QPainter widget rather than Qt Charts: it draws one vertical
// min-max stroke per pixel column plus the joins between them from a
// bounded reduction (ColumnReduction), which costs the same for 10 s or
// 10 min of records, and brings no extra library (Qt Charts is offered
// under the GPL only and draws every point as a scene item).
//
// The chart keeps the measured angles in degrees and shows them through
// the presentation it is given (zero and unit), so changing either
// redraws the history without losing it. add() only stores: it tells the
// caller when a new pixel column appeared, and the caller schedules the
// repaint (in the window's display pass).
//
// Time is the time of each measurement. The line breaks where the link
// was down and where no measurement came for the gap time (a silent
// board), and the history starts afresh when asked (another board) or
// when the clock was set back.
//
// The axes read as an instrument's: ticks at nice steps (AxisTicks.h) with
// labels in the shown unit, the value labels given the room they need; the
// time axis in local clock time. In a fixed range what lies beyond it is
// marked at the edge it passed (Clipping.h). Paused, it keeps what was on
// screen, at every span, until it is set live again.

#include "chart/ColumnReduction.h"
#include "chart/TextCache.h"

#include <QHash>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <limits>
#include <optional>

namespace plovex::chart {

class HistoryChart final : public QWidget {
public:
    enum class Span { TenSeconds, OneMinute, TenMinutes };
    // The measured angle of an axis (0 X, 1 Y) in degrees, as the chart shows it.
    using Presentation = std::function<double(int axis, float degrees)>;

    // gapSeconds: measurements further apart than this are not joined.
    explicit HistoryChart(double gapSeconds, QWidget* parent = nullptr);

    // A record at t (seconds on the records' clock); valid false for one
    // that carries no angles (the link down), which moves time on and
    // breaks the line. True when the picture is due a repaint: a new pixel
    // column appeared while live, at most ten times a second.
    bool add(double t, float xDegrees, float yDegrees, bool valid);
    // Forgets the history, paused view included.
    void restart();

    void setSpan(Span span);
    Span span() const { return span_; }
    // Paused, the chart keeps showing what was on screen; set live again, it follows the records.
    void setPaused(bool paused);
    bool paused() const { return frozen_.has_value(); }
    // A fixed range, -halfRange to +halfRange in the shown unit; nullopt scales to what is shown.
    void setFixedRange(std::optional<double> halfRange);
    std::optional<double> fixedRange() const { return fixedHalfRange_; }
    void setPresentation(Presentation toShown, QString unitSymbol, int decimals);

    // What is shown now, per axis (0 X, 1 Y), in the shown unit.
    struct Stats {
        double min = 0, max = 0, mean = 0;
        bool any = false;
    };
    std::array<Stats, 2> stats() const;
    // The figures above the plot as last painted, a line each (a tab parts
    // left from right); they are worked out again at most four times a second
    // of the records' time, and at once after a change of unit, span, range
    // or pause.
    const QStringList& shownFigures() const { return header_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    using Reductions = std::array<ColumnReduction, 3>;
    struct Layout;

    const ColumnReduction& current() const;
    std::vector<ColumnPair> shownColumns(int pixels) const;
    long long pixelColumnOf(double t) const;
    double shownNow() const { return frozen_ ? frozenNow_ : now_; }
    // The vertical range shown: fixed, or what is shown with a little room.
    std::pair<double, double> valueRange(const std::array<Stats, 2>& stats) const;
    // The statistics above the plot, one line each axis or both on one.
    QStringList statsLines(const std::array<Stats, 2>& stats, int width) const;
    QString number(double v, int decimals) const;
    // The local clock's offset from UTC at now, in seconds.
    double utcOffset(double now) const;
    // The time of day t, as a tick of step is labelled.
    const QString& clockLabel(double t, double step) const;
    void drawValueAxis(QPainter& p, const Layout& l) const;
    void drawTimeAxis(QPainter& p, const Layout& l) const;
    void drawLines(QPainter& p, const Layout& l, const std::vector<ColumnPair>& columns) const;

    Reductions reductions_;
    Span span_ = Span::OneMinute;
    double now_ = 0.0;              // the time of the last record
    double paintedNow_ = 0.0;       // the time the picture on screen shows
    std::optional<Reductions> frozen_; // the views at every span while paused
    double frozenNow_ = 0.0;
    int plotLeft_ = 48;             // where the plot began in the last picture
    std::optional<double> fixedHalfRange_;
    Presentation toShown_;
    QString unitSymbol_ = QStringLiteral("°");
    int decimals_ = 2;
    long long lastPixelColumn_ = -1;
    static constexpr double kRepaintInterval = 0.1; // seconds
    double lastRepaint_ = -kRepaintInterval;
    // What the repaints work out again and again, kept between them.
    mutable TextCache text_;
    // The figures above the plot, as last worked out.
    static constexpr double kHeaderInterval = 0.25; // seconds
    QStringList header_;
    int headerWidth_ = -1;
    double headerAt_ = 0.0;
    bool headerDue_ = true;
    mutable QHash<qint64, QString> clockLabels_;
    mutable int offset_ = 0;
    mutable double offsetAt_ = std::numeric_limits<double>::quiet_NaN();
};

} // namespace plovex::chart
