// Draws the viewer's button pictures and its application icon. Everything is
// vector drawing with QPainter, so the artwork can be changed here and
// regenerated instead of being edited pixel by pixel.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace
{

constexpr int buttonSize = 32;

QImage blank(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Rounded plate shared by the two animation buttons.
void drawPlate(QPainter &p, const QColor &top, const QColor &bottom)
{
    QLinearGradient fill(0, 2, 0, buttonSize - 2);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setPen(QPen(bottom.darker(140), 1.2));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2.5, 2.5, buttonSize - 5, buttonSize - 5), 7, 7);
    // soft highlight on the upper half
    QLinearGradient shine(0, 3, 0, buttonSize / 2.0);
    shine.setColorAt(0, QColor(255, 255, 255, 110));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawRoundedRect(QRectF(4, 4, buttonSize - 8, buttonSize / 2.0 - 3), 5, 5);
}

QImage playButton()
{
    QImage image = blank(buttonSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawPlate(p, QColor(0x3f, 0xa7, 0xd6), QColor(0x1d, 0x5f, 0x8c));
    QPainterPath triangle;
    triangle.moveTo(12.5, 9);
    triangle.lineTo(23.5, 16);
    triangle.lineTo(12.5, 23);
    triangle.closeSubpath();
    p.setPen(QPen(QColor(255, 255, 255), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 255, 255));
    p.drawPath(triangle);
    return image;
}

QImage pauseButton()
{
    QImage image = blank(buttonSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawPlate(p, QColor(0xf0, 0x9a, 0x3e), QColor(0xb3, 0x5a, 0x12));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255));
    p.drawRoundedRect(QRectF(10.5, 9, 4, 14), 1.2, 1.2);
    p.drawRoundedRect(QRectF(17.5, 9, 4, 14), 1.2, 1.2);
    return image;
}

// The transfer lamp: a glass bulb, lit (load) or dark (idle), with a
// down arrow for "fetch". The automatic variants carry a small circular
// arrow badge in the lower right corner.
QImage lamp(bool lit, bool automatic)
{
    QImage image = blank(buttonSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const QPointF c(15, 15);
    const double r = 11.5;
    QRadialGradient glass(c.x() - 3, c.y() - 4, r * 1.4);
    if (lit) {
        glass.setColorAt(0, QColor(0xff, 0xf4, 0xa8));
        glass.setColorAt(0.45, QColor(0xff, 0xb3, 0x1f));
        glass.setColorAt(1, QColor(0xc2, 0x52, 0x00));
    } else {
        glass.setColorAt(0, QColor(0xc8, 0xe6, 0xc9));
        glass.setColorAt(0.5, QColor(0x5b, 0x9a, 0x68));
        glass.setColorAt(1, QColor(0x2a, 0x55, 0x33));
    }
    if (lit) { // halo
        QRadialGradient halo(c, r + 4);
        halo.setColorAt(0.7, QColor(255, 190, 40, 120));
        halo.setColorAt(1, QColor(255, 190, 40, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(c, r + 4, r + 4);
    }
    p.setPen(QPen(lit ? QColor(0x8a, 0x3a, 0x00) : QColor(0x1f, 0x3d, 0x25), 1.2));
    p.setBrush(glass);
    p.drawEllipse(c, r, r);

    // down arrow
    QPainterPath arrow;
    arrow.moveTo(c.x(), c.y() - 6.5);
    arrow.lineTo(c.x(), c.y() + 4.5);
    arrow.moveTo(c.x() - 4.5, c.y());
    arrow.lineTo(c.x(), c.y() + 5);
    arrow.lineTo(c.x() + 4.5, c.y());
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, lit ? 255 : 220), 2.4, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.drawPath(arrow);

    // specular spot
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(QPointF(c.x() - 5, c.y() - 6), 3, 2);

    if (automatic) {
        const QPointF b(25, 25);
        p.setPen(QPen(QColor(0x1d, 0x5f, 0x8c), 1));
        p.setBrush(QColor(255, 255, 255));
        p.drawEllipse(b, 6.2, 6.2);
        // circular arrow: an open arc with a head
        QPen arc(QColor(0x1d, 0x5f, 0x8c), 1.8, Qt::SolidLine, Qt::RoundCap);
        p.setPen(arc);
        p.setBrush(Qt::NoBrush);
        const QRectF box(b.x() - 3.5, b.y() - 3.5, 7, 7);
        p.drawArc(box, 90 * 16, 270 * 16);
        QPainterPath head;
        head.moveTo(b.x() + 0.2, b.y() - 5.6);
        head.lineTo(b.x() + 2.6, b.y() - 3.5);
        head.lineTo(b.x() + 0.2, b.y() - 1.4);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1d, 0x5f, 0x8c));
        p.drawPath(head);
    }
    return image;
}

// Application icon: a white sail on a blue disc above two waves.
QImage appIcon(int size)
{
    QImage image = blank(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    QLinearGradient sea(0, 0, 0, 64);
    sea.setColorAt(0, QColor(0x4f, 0xb8, 0xe8));
    sea.setColorAt(1, QColor(0x0d, 0x3f, 0x73));
    p.setPen(QPen(QColor(0x0b, 0x33, 0x5c), 1.5));
    p.setBrush(sea);
    p.drawEllipse(QRectF(2, 2, 60, 60));

    QPainterPath main;
    main.moveTo(31, 9);
    main.cubicTo(40, 20, 44, 32, 45, 43);
    main.lineTo(31, 43);
    main.closeSubpath();
    QPainterPath jib;
    jib.moveTo(28, 14);
    jib.lineTo(28, 43);
    jib.lineTo(17, 43);
    jib.cubicTo(21, 33, 24, 23, 28, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255));
    p.drawPath(main);
    p.setBrush(QColor(0xff, 0xd5, 0x4f));
    p.drawPath(jib);

    QPainterPath hull;
    hull.moveTo(14, 46);
    hull.lineTo(50, 46);
    hull.lineTo(45, 51);
    hull.lineTo(19, 51);
    hull.closeSubpath();
    p.setBrush(QColor(0xe5, 0x39, 0x35));
    p.drawPath(hull);

    QPen wave(QColor(255, 255, 255, 200), 2, Qt::SolidLine, Qt::RoundCap);
    p.setPen(wave);
    p.setBrush(Qt::NoBrush);
    QPainterPath w;
    w.moveTo(12, 55);
    for (int x = 12; x < 52; x += 8) {
        w.quadTo(x + 2, 52.5, x + 4, 55);
        w.quadTo(x + 6, 57.5, x + 8, 55);
    }
    p.drawPath(w);
    return image;
}

bool save(const QImage &image, const QDir &dir, const char *name)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (!image.save(path, "png")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmaro-draw-icons <img folder>\n");
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = save(playButton(), dir, "playbutton.png");
    ok = save(pauseButton(), dir, "pausebutton.png") && ok;
    ok = save(lamp(true, false), dir, "loadicon.png") && ok;
    ok = save(lamp(true, true), dir, "loadicon_auto.png") && ok;
    ok = save(lamp(false, false), dir, "idleicon.png") && ok;
    ok = save(lamp(false, true), dir, "idleicon_auto.png") && ok;
    ok = save(appIcon(64), dir, "velmaro.png") && ok;
    return ok ? 0 : 1;
}
