// Draws the dial of the tilt gauges and writes it as a PNG, and draws the
// application's icon from the same face and marks, as a PNG or an SVG.
//
//   make_gauge [OUTPUT.png [SIZE]]      the dial (defaults: plovex_gauge.png, 480)
//   make_gauge --icon OUTPUT.png SIZE   the icon, SIZE pixels square
//   make_gauge --icon OUTPUT.svg        the icon, scalable
//
// The scale is tilt in degrees: 0 at the top, positive clockwise, -90 and +90 at the sides,
// 180 at the bottom. A mark every 10 degrees, longer ones every 30 and 90, a number every 30.
// The face is nearly transparent and the marks mid-grey, so the dial reads on light and dark
// windows alike and the needle (drawn in the window's text colour) always stands out.
// The gauge's needle is 110 units long on a 240-unit dial, so the marks sit just past its tip.
// The icon is that dial with an opaque face and bolder marks (every 10 degrees from 64
// pixels, every 30 from 32, every 90 below), a needle tilted to 30 degrees and the tilt
// from zero shaded.

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRegularExpression>
#include <QRectF>
#include <QSaveFile>
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
const QColor kIconFaceColour(0xfa, 0xfa, 0xfa);
const QColor kNeedleColour(0x20, 0x20, 0x20);
const QColor kTiltColour(0xc8, 0x3c, 0x28, 0x48);

// A point at the given radius and dial angle (degrees from 12 o'clock, clockwise) in image
// coordinates, where y grows downward.
QPointF onDial(QPointF centre, double radius, double degrees)
{
    const double r = degrees * std::numbers::pi / 180.0;
    return {centre.x() + radius * std::sin(r), centre.y() - radius * std::cos(r)};
}

// What the drawings are made of. The PNGs are painted through it and the SVG
// is written through it, so both show the same shapes.
class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void disc(QPointF centre, double radius, const QColor& fill) = 0;
    virtual void ring(QPointF centre, double radius, double width, const QColor& colour) = 0;
    virtual void line(QPointF from, QPointF to, double width, const QColor& colour, bool roundCap) = 0;
    // The slice of the disc from dial angle `from` clockwise to `to` (less than 180 degrees on).
    virtual void sector(QPointF centre, double radius, double from, double to, const QColor& fill) = 0;
};

class PainterCanvas final : public Canvas {
public:
    explicit PainterCanvas(QPainter& p) : p_(p) {}
    void disc(QPointF centre, double radius, const QColor& fill) override
    {
        p_.setPen(Qt::NoPen);
        p_.setBrush(fill);
        p_.drawEllipse(centre, radius, radius);
    }
    void ring(QPointF centre, double radius, double width, const QColor& colour) override
    {
        p_.setBrush(Qt::NoBrush);
        p_.setPen(QPen(colour, width));
        p_.drawEllipse(centre, radius, radius);
    }
    void line(QPointF from, QPointF to, double width, const QColor& colour, bool roundCap) override
    {
        p_.setPen(QPen(colour, width, Qt::SolidLine, roundCap ? Qt::RoundCap : Qt::FlatCap));
        p_.drawLine(from, to);
    }
    void sector(QPointF centre, double radius, double from, double to, const QColor& fill) override
    {
        // Qt counts sixteenths of a degree from 3 o'clock, anticlockwise.
        p_.setPen(Qt::NoPen);
        p_.setBrush(fill);
        p_.drawPie(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
                   static_cast<int>(std::lround((90.0 - from) * 16)), static_cast<int>(std::lround((from - to) * 16)));
    }

private:
    QPainter& p_;
};

class SvgCanvas final : public Canvas {
public:
    explicit SvgCanvas(int size)
    {
        const QString n = QString::number(size);
        text_ = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n")
                    .arg(n);
    }
    void disc(QPointF centre, double radius, const QColor& fill) override
    {
        text_ += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4/>\n")
                     .arg(num(centre.x()), num(centre.y()), num(radius), fill.name() + QStringLiteral("\"") + opacity(fill));
    }
    void ring(QPointF centre, double radius, double width, const QColor& colour) override
    {
        text_ += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"none\" stroke=\"%4\" stroke-width=\"%5\"/>\n")
                     .arg(num(centre.x()), num(centre.y()), num(radius), colour.name(), num(width));
    }
    void line(QPointF from, QPointF to, double width, const QColor& colour, bool roundCap) override
    {
        text_ += QStringLiteral("  <line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" stroke=\"%5\" stroke-width=\"%6\" "
                                "stroke-linecap=\"%7\"/>\n")
                     .arg(num(from.x()), num(from.y()), num(to.x()), num(to.y()), colour.name(), num(width),
                          roundCap ? QStringLiteral("round") : QStringLiteral("butt"));
    }
    void sector(QPointF centre, double radius, double from, double to, const QColor& fill) override
    {
        const QPointF a = onDial(centre, radius, from), b = onDial(centre, radius, to);
        text_ += QStringLiteral("  <path d=\"M %1 %2 L %3 %4 A %5 %5 0 0 1 %6 %7 Z\" fill=\"%8\"%9/>\n")
                     .arg(num(centre.x()), num(centre.y()), num(a.x()), num(a.y()), num(radius), num(b.x()), num(b.y()),
                          fill.name(), opacity(fill));
    }
    QByteArray finish() const { return (text_ + QStringLiteral("</svg>\n")).toUtf8(); }

private:
    static QString opacity(const QColor& c)
    {
        return c.alpha() == 255 ? QString() : QStringLiteral(" fill-opacity=\"%1\"").arg(num(c.alphaF()));
    }
    static QString num(double v) { return QString::number(v, 'f', 3).remove(QRegularExpression("\\.?0+$")); }
    QString text_;
};

QString labelFor(int degrees)
{
    if (degrees < 0) {
        return QString(QChar(0x2212)) + QString::number(-degrees);  // a true minus sign
    }
    return QString::number(degrees);
}

// Face and rim, on a dial of radius R about c; the rim's width is weight times the dial's.
void drawFace(Canvas& canvas, QPointF c, double R, const QColor& face, double weight)
{
    canvas.disc(c, 0.975 * R, face);
    canvas.ring(c, 0.975 * R, 0.018 * R * weight, kMarkColour);
}

// The scale's marks at every multiple of `every` degrees (10, 30 or 90), the zero mark
// in red; all end on the same outer circle. Their widths are weight times the dial's.
void drawMarks(Canvas& canvas, QPointF c, double R, int every, double weight)
{
    const double outer = 0.945 * R;
    for (int deg = -180 + every; deg <= 180; deg += every) {
        double inner = 0.875 * R;
        double width = 0.010 * R;
        if (deg % 90 == 0) {
            inner = 0.79 * R;
            width = 0.024 * R;
        } else if (deg % 30 == 0) {
            inner = 0.825 * R;
            width = 0.016 * R;
        }
        canvas.line(onDial(c, inner, deg), onDial(c, outer, deg), width * weight, deg == 0 ? kZeroColour : kMarkColour,
                    false);
    }
}

// The icon, size units square: the dial with an opaque face, the tilt from zero shaded,
// and the needle at 30 degrees. The finer marks only where there are pixels for them.
void drawIcon(Canvas& canvas, int size)
{
    const QPointF c(size / 2.0, size / 2.0);
    const double R = 0.96 * size / 2.0; // room for the bolder rim
    const int every = size >= 64 ? 10 : size >= 32 ? 30 : 90;
    const double weight = size >= 64 ? 2.5 : size >= 32 ? 3.0 : 4.0;
    constexpr double kTilt = 30.0;
    drawFace(canvas, c, R, kIconFaceColour, weight);
    canvas.sector(c, 0.75 * R, 0.0, kTilt, kTiltColour);
    drawMarks(canvas, c, R, every, weight);
    canvas.line(onDial(c, 0.16 * R, kTilt + 180.0), onDial(c, 0.72 * R, kTilt), 0.09 * R, kNeedleColour, true);
    canvas.disc(c, 0.13 * R, kNeedleColour);
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

    PainterCanvas canvas(p);
    drawFace(canvas, c, R, kFaceColour, 1.0);
    drawMarks(canvas, c, R, 10, 1.0);

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

const char* const kUsage = "usage: make_gauge [OUTPUT.png [SIZE]]     the dial (defaults: plovex_gauge.png 480)\n"
                          "       make_gauge --icon OUTPUT.png SIZE   the icon, SIZE pixels square\n"
                          "       make_gauge --icon OUTPUT.svg        the icon, scalable\n";

// text as a whole number from min to max; 0 (after saying why) when it is not one.
int readSize(const char* text, int min, int max)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < min || value > max) {
        std::fprintf(stderr, "make_gauge: size must be a whole number from %d to %d, not \"%s\"\n", min, max, text);
        return 0;
    }
    return static_cast<int>(value);
}

// Writes the icon as a PNG of size pixels, or (size 0) as an SVG.
int writeIcon(const QString& output, int size)
{
    bool written = false;
    if (size == 0) {
        SvgCanvas canvas(256);
        drawIcon(canvas, 256);
        QSaveFile file(output);
        written = file.open(QIODevice::WriteOnly) && file.write(canvas.finish()) >= 0 && file.commit();
    } else {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        PainterCanvas canvas(p);
        drawIcon(canvas, size);
        p.end();
        written = image.save(output, "PNG");
    }
    if (!written) {
        std::fprintf(stderr, "make_gauge: cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0; // quiet: the build runs this for every icon
}

} // namespace

int main(int argc, char** argv)
{
    // The icon has no text: it is painted without the GUI application.
    if (argc > 1 && std::strcmp(argv[1], "--icon") == 0) {
        const QString output = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
        const bool svg = output.endsWith(QStringLiteral(".svg"));
        if (argc != (svg ? 3 : 4)) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        const int size = svg ? 0 : readSize(argv[3], 16, 1024);
        return svg || size ? writeIcon(output, size) : 2;
    }

    // Drawing text needs the GUI application, but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc > 3 || (argc > 1 && argv[1][0] == '-')) {
        const bool help = argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
        std::fputs(kUsage, help ? stdout : stderr);
        return help ? 0 : 2;
    }
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("plovex_gauge.png");
    const int size = argc > 2 ? readSize(argv[2], 64, 4096) : 480;
    if (size == 0)
        return 2;

    const QImage dial = drawDial(size);
    if (!dial.save(output, "PNG")) {
        std::fprintf(stderr, "make_gauge: cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s: %dx%d dial written\n", qPrintable(output), size, size);
    return 0;
}
