#pragma once
// The chart of a file looked back at (RecordingHistory): X and Y over the
// span shown, all of the file at first. The wheel zooms about the time
// under the pointer, a drag pans, and keys do both about the middle
// (+ and - zoom, Left and Right pan, Home shows all). Past the overview's
// columns the span shown is read again from the file, as fine as the
// pixels, down to single rows.
//
// A click (or a drag's end without moving, or the pointer with a button
// held) puts the cursor at a time; the chart draws it and tells the
// owner, which shows the row there. Angles are in degrees, shown through
// the presentation given (zero and unit), as the live chart shows them.

#include "chart/RecordingHistory.h"
#include "chart/ViewSpan.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>

namespace plovex::chart {

class FileChart final : public QWidget {
public:
    using Presentation = std::function<double(int axis, float degrees)>;

    explicit FileChart(QWidget* parent = nullptr);

    // Shows history (kept by the caller while shown), all of it; null shows nothing.
    void setHistory(const RecordingHistory* history);
    // The unit's symbol and decimals, asked for at each drawing, so that
    // a unit chosen while the file is shown labels what toShown gives.
    using Format = std::function<std::pair<QString, int>()>;
    void setPresentation(Presentation toShown, Format format);
    // Told the cursor's time (seconds since the file's origin).
    void onCursor(std::function<void(double)> f) { onCursor_ = std::move(f); }

    const std::optional<ViewSpan>& span() const { return span_; }
    std::optional<double> cursor() const { return cursor_; }
    void setCursor(double t);
    void zoom(double factor, std::optional<double> about = std::nullopt);
    void pan(double shareOfWidth);
    void showAll();
    // A message when the file could not be read again for a zoom; "" when it could.
    const QString& readError() const { return readError_; }

    QSize sizeHint() const override { return {640, 220}; }
    QSize minimumSizeHint() const override { return {240, 110}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRect plot() const;
    double timeAt(double x) const;
    // The columns of the span shown, one a pixel: from the overview, or
    // from the file read again when the overview's columns are too wide.
    std::vector<ColumnPair> shownColumns(int pixels);
    QString timeText(double t) const;

    const RecordingHistory* history_ = nullptr;
    std::optional<ViewSpan> span_;
    std::optional<SpanReduction> detail_; // the last span read again
    double detailFrom_ = 0, detailTo_ = 0;
    std::optional<double> cursor_;
    std::optional<double> dragFrom_; // the pointer's x where a drag began
    bool dragged_ = false;
    Presentation toShown_;
    Format format_;
    QString readError_;
    std::function<void(double)> onCursor_;
};

} // namespace plovex::chart
