// Draws the skin images of the control panel: the connection icons 135 and 136, the slider
// tracks 146 and 147 and the three-frame slider thumb 148; and the program's icon for the desktop
// menu in icons/, one PNG per size. The output is committed in res/; run this again only to change
// the look:
//   korvane-genres <repo>/res
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cstdio>

namespace {

// The panel's ground colour; the tracks and the thumb corners sit on it.
const QColor kGround(3, 41, 62);

QImage drawDisc(const QColor &base)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shade(QPointF(12.0, 11.0), 18.0);
    shade.setColorAt(0.0, base.lighter(160));
    shade.setColorAt(0.55, base);
    shade.setColorAt(1.0, base.darker(140));
    p.setPen(QPen(base.darker(170), 1.0));
    p.setBrush(shade);
    p.drawEllipse(QRectF(2.5, 2.5, 27.0, 27.0));
    return image;
}

// A rounded bar centred on the row where the 13-pixel thumb, placed 8 pixels from the top,
// has its middle, so the thumb sits on the bar.
QImage drawTrack(const QColor &bar)
{
    QImage image(200, 30, QImage::Format_RGB32);
    image.fill(kGround);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF barRect(3.0, 11.5, 194.0, 6.0);
    QLinearGradient shade(barRect.topLeft(), barRect.bottomLeft());
    shade.setColorAt(0.0, bar.lighter(120));
    shade.setColorAt(1.0, bar.darker(125));
    p.setPen(QPen(bar.darker(160), 1.0));
    p.setBrush(shade);
    p.drawRoundedRect(barRect, 3.0, 3.0);
    return image;
}

void drawKnob(QPainter &p, int frame, const QColor &face)
{
    const QRectF cell(frame * 13 + 0.5, 0.5, 12.0, 12.0);
    QRadialGradient shade(cell.center() - QPointF(2.0, 2.0), 8.0);
    shade.setColorAt(0.0, face.lighter(125));
    shade.setColorAt(1.0, face.darker(130));
    p.setPen(QPen(face.darker(220), 1.0));
    p.setBrush(shade);
    p.drawEllipse(cell);
}

QImage drawThumb()
{
    QImage image(39, 13, QImage::Format_RGB32);
    image.fill(kGround);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawKnob(p, 0, QColor(184, 200, 220)); // normal
    drawKnob(p, 1, QColor(248, 252, 255)); // hover: lighter
    drawKnob(p, 2, QColor(112, 132, 160)); // pressed: darker
    return image;
}

// The window's icon (a desk arm on the panel's blue) drawn for any size from its 32-pixel design.
QImage drawAppIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x03, 0x29, 0x3E));
    p.drawRoundedRect(QRectF(0, 0, 32, 32), 6, 6);
    p.setBrush(QColor(0x00, 0xC8, 0xE6));
    p.drawRect(QRectF(7, 25, 14, 3));
    p.setPen(QPen(QColor(240, 240, 240), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 24), QPointF(11, 13));
    p.drawLine(QPointF(11, 13), QPointF(22, 8));
    p.setPen(QPen(QColor(255, 170, 0), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(22, 8), QPointF(26, 6));
    p.drawLine(QPointF(22, 8), QPointF(26, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 80, 80));
    p.drawEllipse(QPointF(11, 13), 2.5, 2.5);
    return image;
}

bool save(const QImage &image, const QDir &dir, const QString &name, const char *format)
{
    const QString path = dir.filePath(name);
    if (!image.save(path, format)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    ok &= save(drawDisc(QColor(222, 34, 34)), dir, "135.png", "PNG");
    ok &= save(drawDisc(QColor(40, 190, 70)), dir, "136.png", "PNG");
    // BMP from an opaque 32-bit image is written with 24 bits per pixel.
    ok &= save(drawTrack(QColor(96, 184, 240)), dir, "146.bmp", "BMP");
    ok &= save(drawTrack(QColor(196, 200, 206)), dir, "147.bmp", "BMP");
    ok &= save(drawThumb(), dir, "148.bmp", "BMP");
    if (!dir.mkpath(QStringLiteral("icons")))
        return 1;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        ok &= save(drawAppIcon(size), dir, QStringLiteral("icons/korvane-%1.png").arg(size), "PNG");
    return ok ? 0 : 1;
}
