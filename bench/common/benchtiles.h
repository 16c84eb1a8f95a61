#ifndef VELMARO_BENCH_COMMON_BENCHTILES_H
#define VELMARO_BENCH_COMMON_BENCHTILES_H

// A disk cache of synthetic map tiles for the map view benchmarks.

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QRect>
#include <QString>

namespace BenchTiles
{

// Something with the texture of a map tile, so PNG decoding costs what it
// does for real tiles (tens of kilobytes, not a flat colour).
inline QImage fakeTile(int column, int row)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(QColor(242, 239, 233));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator rng(quint32(column * 7919 + row));
    for (int i = 0; i < 60; ++i) {
        p.setPen(QPen(QColor::fromHsv(rng.bounded(360), 80, 200), rng.bounded(1, 6)));
        p.drawLine(rng.bounded(256), rng.bounded(256), rng.bounded(256), rng.bounded(256));
    }
    p.setPen(Qt::darkGray);
    p.drawText(QRect(0, 0, 256, 256), Qt::AlignCenter,
               QStringLiteral("%1/%2").arg(column).arg(row));
    return image;
}

struct CacheFigures {
    int files = 0;
    qint64 bytes = 0;
};

// Writes cache/<zoom>/<column>/<row>.png for every tile of the rectangle,
// right and bottom edges included.
inline CacheFigures writeCache(const QString &cache, int zoom, const QRect &tiles)
{
    CacheFigures figures;
    for (int c = tiles.left(); c <= tiles.right(); ++c) {
        QDir().mkpath(QStringLiteral("%1/%2/%3").arg(cache).arg(zoom).arg(c));
        for (int r = tiles.top(); r <= tiles.bottom(); ++r) {
            const QString path =
                QStringLiteral("%1/%2/%3/%4.png").arg(cache).arg(zoom).arg(c).arg(r);
            fakeTile(c, r).save(path, "PNG");
            figures.bytes += QFileInfo(path).size();
            ++figures.files;
        }
    }
    return figures;
}

} // namespace BenchTiles

#endif
