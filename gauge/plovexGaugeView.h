#pragma once
// The dial gauge: a dial image stretched over the whole widget, a needle from the centre at the
// stored angle, and a round hub over the needle's root. Needle and hub take the palette's text
// colour (QPalette::WindowText).

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace plovex {

class plovexGaugeView : public QWidget {
    Q_OBJECT

public:
    // The dial built into the gauge library.
    static inline const QString kDefaultImagePath = QStringLiteral(":/plovex_gauge.png");

    // Loads the dial image once, from imagePath (a resource or file path). An image that is
    // missing or unreadable leaves the gauge drawing needle and hub only, without complaint.
    explicit plovexGaugeView(QWidget* parent = nullptr, const QString& imagePath = kDefaultImagePath);

    // Needle angle in degrees from 12 o'clock, positive clockwise; 0 at first.
    float angle() const { return angle_; }
    // Stores the angle and nothing else: the caller decides when to repaint (update()).
    void setAngle(float angle) { angle_ = angle; }

    // The dial as loaded; null when it could not be read.
    const QImage& gaugeImage() const { return gaugeImage_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width; }

protected:
    // Always paints the whole widget; the event's region plays no part.
    void paintEvent(QPaintEvent* event) override;

private:
    // The dial scaled to the size being painted, on the window's colour; made
    // again only when that size or colour changes.
    const QPixmap& scaledDial(QSize pixelSize, qreal pixelRatio);

    QImage gaugeImage_;
    QPixmap scaledDial_;
    QColor dialBackground_;
    float angle_ = 0.0f;
};

} // namespace plovex
