#pragma once
// The one QApplication of the gauge tests, on the offscreen platform, made on first use.

#include <QColor>
#include <QImage>

class QWidget;

namespace gaugetest {

void ensureApplication();

// What the widget paints, at one pixel per unit, over a white background.
QImage renderWidget(QWidget& widget);

// Colour of the needle and hub in these tests; nothing in the dial artwork uses it.
inline const QColor kInk(0x10, 0xa0, 0x30);

} // namespace gaugetest
