#include "chart/TextCache.h"

#include <QPainter>
#include <QTransform>

#include <cmath>

namespace plovex::chart {

const QStaticText& TextCache::laidOut(const QString& text, const QFont& font)
{
    if (font != font_) {
        texts_.clear();
        font_ = font;
    }
    if (auto it = texts_.constFind(text); it != texts_.constEnd())
        return *it;
    if (texts_.size() >= kMostKept)
        texts_.clear(); // the statistics change with the values; the labels are laid out again at once
    QStaticText laid(text);
    laid.setTextFormat(Qt::PlainText);
    laid.setPerformanceHint(QStaticText::AggressiveCaching);
    laid.prepare(QTransform(), font);
    return *texts_.insert(text, laid);
}

int TextCache::width(const QString& text, const QFont& font)
{
    return static_cast<int>(std::ceil(laidOut(text, font).size().width()));
}

void TextCache::draw(QPainter& p, const QRect& rect, Qt::Alignment alignment, const QString& text)
{
    const QStaticText& laid = laidOut(text, p.font());
    const QSizeF size = laid.size();
    qreal x = rect.left();
    if (alignment & Qt::AlignRight)
        x = rect.left() + rect.width() - size.width();
    else if (alignment & Qt::AlignHCenter)
        x = rect.left() + (rect.width() - size.width()) / 2;
    qreal y = rect.top();
    if (alignment & Qt::AlignBottom)
        y = rect.top() + rect.height() - size.height();
    else if (alignment & Qt::AlignVCenter)
        y = rect.top() + (rect.height() - size.height()) / 2;
    p.drawStaticText(QPointF(x, y), laid);
}

} // namespace plovex::chart
