#include "app/windows/WrappedText.h"

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>

#include <climits>

namespace plovex {

namespace {

constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

} // namespace

WrappedText::WrappedText(const QString& text, QWidget* parent) : QWidget(parent), text_(text)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    auto* copy = new QAction(QStringLiteral("Copy"), this);
    connect(copy, &QAction::triggered, this, [this] { QGuiApplication::clipboard()->setText(text_); });
    addAction(copy);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void WrappedText::setText(const QString& text)
{
    if (text == text_)
        return;
    if (laidOutWidth_ != width()) {
        laidOutWidth_ = width();
        laidOutHeight_ = heightForWidth(width());
        laidOutWidest_ = widestWord();
    }
    text_ = text;
    const int height = heightForWidth(width()), widest = widestWord();
    if (height != laidOutHeight_ || widest != laidOutWidest_)
        updateGeometry();
    laidOutHeight_ = height;
    laidOutWidest_ = widest;
    update();
}

int WrappedText::heightForWidth(int width) const
{
    if (text_.isEmpty())
        return fontMetrics().height();
    return fontMetrics().boundingRect(QRect(0, 0, std::max(1, width), INT_MAX / 2), kFlags, text_).height();
}

int WrappedText::widestWord() const
{
    return fontMetrics().boundingRect(QRect(0, 0, 1, INT_MAX / 2), kFlags, text_).width();
}

QSize WrappedText::sizeHint() const
{
    // Asks for no width of its own: it wraps in the width the others give.
    const QSize least = minimumSizeHint();
    return {least.width(), heightForWidth(least.width())};
}

QSize WrappedText::minimumSizeHint() const
{
    return {widestWord(), fontMetrics().height()};
}

void WrappedText::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(palette().color(foregroundRole()));
    p.drawText(rect(), kFlags, text_);
}

void WrappedText::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        laidOutWidth_ = -1;
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

} // namespace plovex
