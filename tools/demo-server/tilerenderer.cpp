#include "tilerenderer.h"

#include "map/geo.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <cmath>

namespace TileRenderer
{
namespace
{

QString degreeLabel(int degrees, bool latitude)
{
    if (degrees == 0)
        return QStringLiteral("0°");
    const QChar hemisphere = latitude ? (degrees > 0 ? u'N' : u'S') : (degrees > 0 ? u'E' : u'W');
    return QStringLiteral("%1°%2").arg(std::abs(degrees)).arg(hemisphere);
}

// Degrees between grid lines: whole degrees, but never so dense that the
// labels run into each other at low zoom.
int gridStep(double pixelsPerDegree)
{
    static const int steps[] = {1, 2, 5, 10, 15, 30, 45, 90};
    for (int s : steps) {
        if (s * pixelsPerDegree >= 48.0)
            return s;
    }
    return 90;
}

} // namespace

bool isValidTile(int z, int x, int y)
{
    if (z < 0 || z > maxZoom)
        return false;
    const qint64 n = qint64(1) << z;
    return x >= 0 && y >= 0 && x < n && y < n;
}

QByteArray pngOf(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray renderPng(int z, int x, int y)
{
    if (!isValidTile(z, x, y))
        return {};
    const int size = Geo::tileSize;
    const double n = double(qint64(1) << z);
    const TileBounds b = Geo::tileBounds(x, y, n);

    QImage image(size, size, QImage::Format_RGB32);
    image.fill(QColor(170, 211, 223));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(150, 190, 205), 1));
    p.drawRect(0, 0, size - 1, size - 1);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(10);
    p.setFont(font);
    const QColor gridColour(60, 110, 150);
    p.setPen(QPen(gridColour, 1));

    const double pixelsPerDegree = n * size / 360.0;
    const int step = gridStep(pixelsPerDegree);
    // Meridians.
    for (int lng = int(std::ceil(b.west / step)) * step; lng <= b.east; lng += step) {
        const int px = int(std::lround((lng - b.west) * pixelsPerDegree));
        if (px < 0 || px >= size)
            continue;
        p.drawLine(px, 0, px, size - 1);
        p.drawText(px + 3, size - 6, degreeLabel(lng, false));
    }
    // Parallels: the projection is not linear in latitude, so place each one
    // through the tile arithmetic.
    for (int lat = int(std::ceil(b.south / step)) * step; lat <= b.north; lat += step) {
        if (std::abs(lat) > 85)
            continue;
        const double row = Geo::tilePosition(lat, b.west, n).y();
        const int py = int(std::lround((row - y) * size));
        if (py < 0 || py >= size)
            continue;
        p.drawLine(0, py, size - 1, py);
        p.drawText(4, py - 3, degreeLabel(lat, true));
    }

    QFont big(font);
    big.setPixelSize(14);
    big.setBold(true);
    p.setFont(big);
    p.setPen(QColor(90, 130, 160));
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter,
               QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y));
    p.end();

    return pngOf(image);
}

QByteArray renderSeamarkPng(int z, int x, int y)
{
    if (!isValidTile(z, x, y))
        return {};
    const int size = Geo::tileSize;
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(30, 30, 30), 1));
    quint32 h = quint32(z) * 2654435761u ^ quint32(x) * 40503u ^ quint32(y) * 2246822519u;
    const auto next = [&h] { return (h = h * 1664525u + 1013904223u) >> 8; };
    const int marks = int(next() % 4);
    for (int i = 0; i < marks; ++i) {
        const QPointF at(24 + next() % (size - 48), 24 + next() % (size - 48));
        // Port hand red cans, starboard hand green cones.
        if (next() % 2) {
            p.setBrush(QColor(220, 30, 30));
            p.drawRect(QRectF(at - QPointF(5, 7), QSizeF(10, 14)));
        } else {
            p.setBrush(QColor(20, 160, 60));
            p.drawPolygon(
                QPolygonF({at + QPointF(0, -8), at + QPointF(6, 7), at + QPointF(-6, 7)}));
        }
    }
    p.end();
    return pngOf(image);
}

} // namespace TileRenderer
