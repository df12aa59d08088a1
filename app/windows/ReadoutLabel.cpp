#include "app/windows/ReadoutLabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyleOption>

namespace plovex {

ReadoutLabel::ReadoutLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
}

const ReadoutLabel::Glyph& ReadoutLabel::glyph(QChar c)
{
    auto it = glyphs_.find(c.unicode());
    if (it == glyphs_.end()) {
        Glyph g;
        g.text = QStaticText(QString(c));
        g.text.setTextFormat(Qt::PlainText);
        g.text.prepare(QTransform(), font());
        g.advance = QFontMetricsF(font()).horizontalAdvance(c);
        it = glyphs_.emplace(c.unicode(), std::move(g)).first;
    }
    return it->second;
}

void ReadoutLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QStyleOption option;
    option.initFrom(this); // the colour group of the label's state: greyed when disabled
    p.setPen(option.palette.color(foregroundRole()));
    p.setFont(font());
    const QString shown = text();
    qreal width = 0;
    for (const QChar c : shown)
        width += glyph(c).advance;
    const QRectF room = contentsRect();
    const Qt::Alignment along = QStyle::visualAlignment(layoutDirection(), alignment()) & Qt::AlignHorizontal_Mask;
    qreal x = along & Qt::AlignRight    ? room.right() + 1 - width
              : along & Qt::AlignHCenter ? room.left() + (room.width() - width) / 2
                                          : room.left();
    const qreal y = room.top() + (room.height() - QFontMetricsF(font()).height()) / 2;
    for (const QChar c : shown) {
        const Glyph& g = glyph(c);
        p.drawStaticText(QPointF(x, y), g.text);
        x += g.advance;
    }
}

void ReadoutLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        glyphs_.clear();
    QLabel::changeEvent(event);
}

} // namespace plovex
