// Draws the dial of the tilt gauges and writes it as a PNG.
//
//   make_gauge [OUTPUT.png [SIZE]]      (defaults: plovex_gauge.png, 480)
//
// The scale is tilt in degrees: 0 at the top, positive clockwise, -90 and +90 at the sides,
// 180 at the bottom. A mark every 10 degrees, longer ones every 30 and 90, a number every 30.
// The face is nearly transparent and the marks mid-grey, so the dial reads on light and dark
// windows alike and the needle (drawn in the window's text colour) always stands out.
// The gauge's needle is 110 units long on a 240-unit dial, so the marks sit just past its tip.

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>

namespace {

const QColor kMarkColour(0x70, 0x70, 0x70);
const QColor kZeroColour(0xc8, 0x3c, 0x28);
const QColor kFaceColour(0x80, 0x80, 0x80, 0x1c);

// A point at the given radius and dial angle (degrees from 12 o'clock, clockwise) in image
// coordinates, where y grows downward.
QPointF onDial(QPointF centre, double radius, double degrees)
{
    const double r = degrees * std::numbers::pi / 180.0;
    return {centre.x() + radius * std::sin(r), centre.y() - radius * std::cos(r)};
}

QString labelFor(int degrees)
{
    if (degrees < 0) {
        return QString(QChar(0x2212)) + QString::number(-degrees);  // a true minus sign
    }
    return QString::number(degrees);
}

QImage drawDial(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const double R = size / 2.0;  // everything below is a fraction of the dial's radius
    const QPointF c(R, R);

    // Face and rim.
    p.setPen(Qt::NoPen);
    p.setBrush(kFaceColour);
    p.drawEllipse(c, 0.975 * R, 0.975 * R);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kMarkColour, 0.018 * R));
    p.drawEllipse(c, 0.975 * R, 0.975 * R);

    // Marks every 10 degrees; all end on the same outer circle.
    const double outer = 0.945 * R;
    for (int deg = -170; deg <= 180; deg += 10) {
        double inner = 0.875 * R;
        double width = 0.010 * R;
        if (deg % 90 == 0) {
            inner = 0.79 * R;
            width = 0.024 * R;
        } else if (deg % 30 == 0) {
            inner = 0.825 * R;
            width = 0.016 * R;
        }
        p.setPen(QPen(deg == 0 ? kZeroColour : kMarkColour, width, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(onDial(c, inner, deg), onDial(c, outer, deg));
    }

    // Numbers every 30 degrees, upright, centred on their place on the scale.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(static_cast<int>(std::lround(0.1 * R)));
    font.setBold(true);
    p.setFont(font);
    const double box = 0.3 * R;
    for (int deg = -150; deg <= 180; deg += 30) {
        const QPointF at = onDial(c, 0.635 * R, deg);
        p.setPen(deg == 0 ? kZeroColour : kMarkColour);
        p.drawText(QRectF(at.x() - box / 2, at.y() - box / 2, box, box), Qt::AlignCenter, labelFor(deg));
    }

    // Unit, below the hub.
    QFont small(font);
    small.setBold(false);
    small.setPixelSize(static_cast<int>(std::lround(0.075 * R)));
    p.setFont(small);
    p.setPen(kMarkColour);
    p.drawText(QRectF(c.x() - R / 2, c.y() + 0.27 * R, R, 0.14 * R), Qt::AlignCenter, QStringLiteral("degrees"));

    p.end();
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing text needs the GUI application, but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);

    if (argc > 3 || (argc > 1 && argv[1][0] == '-')) {
        const bool help = argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
        std::fprintf(help ? stdout : stderr, "usage: make_gauge [OUTPUT.png [SIZE]]   (defaults: plovex_gauge.png 480)\n");
        return help ? 0 : 2;
    }
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("plovex_gauge.png");
    int size = 480;
    if (argc > 2) {
        char* end = nullptr;
        const long value = std::strtol(argv[2], &end, 10);
        if (end == argv[2] || *end != '\0' || value < 64 || value > 4096) {
            std::fprintf(stderr, "make_gauge: size must be a whole number from 64 to 4096, not \"%s\"\n", argv[2]);
            return 2;
        }
        size = static_cast<int>(value);
    }

    const QImage dial = drawDial(size);
    if (!dial.save(output, "PNG")) {
        std::fprintf(stderr, "make_gauge: cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s: %dx%d dial written\n", qPrintable(output), size, size);
    return 0;
}
