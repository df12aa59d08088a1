#pragma once
// Text a widget draws again and again (a chart's labels and statistics),
// laid out once per string and font: a repaint then places glyphs already
// shaped instead of shaping every label anew, and a width is a look-up.
// Strings that stop being drawn are let go when too many are kept.

#include <QFont>
#include <QHash>
#include <QRect>
#include <QStaticText>
#include <QString>

class QPainter;

namespace plovex::chart {

class TextCache {
public:
    // The width of text in font, in whole pixels, rounded up.
    int width(const QString& text, const QFont& font);
    // Draws text on one line in rect, placed by alignment as QPainter::drawText
    // places it, in the painter's font and pen.
    void draw(QPainter& p, const QRect& rect, Qt::Alignment alignment, const QString& text);

    static constexpr int kMostKept = 256;

private:
    const QStaticText& laidOut(const QString& text, const QFont& font);

    QFont font_;
    QHash<QString, QStaticText> texts_;
};

} // namespace plovex::chart
