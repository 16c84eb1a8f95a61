// Map view figures: a 1920 x 1080 view shown entirely from the disk cache
// (every tile decoded from PNG), and one refresh (relayout + repaint) of a
// view whose tiles are already in memory and whose scene is empty. Each is
// held against its floor: the same tiles decoded and drawn with plain QImage
// and QPainter, without the view.

#include "benchhost.h"
#include "benchresult.h"
#include "benchtiles.h"
#include "map/karte.h"
#include "map/scheme.h"
#include "map/tileloader.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The tiles of the view drawn at their places on a 1920 x 1080 image; with
// decode, each is read from its PNG file first.
double drawTiles(const MapProjection &layout, const QString &cache, const QSize &size,
                 const QList<QImage> &decoded, bool decode)
{
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer t;
    t.start();
    QPainter painter(&target);
    const QRect tiles = layout.visibleTiles();
    int i = 0;
    for (int c = tiles.left(); c <= tiles.right() + 1; ++c) {
        for (int r = tiles.top(); r <= tiles.bottom() + 1; ++r, ++i) {
            const QPoint at((c - tiles.left()) * 256 - 128, (r - tiles.top()) * 256 - 128);
            if (decode) {
                const QImage tile(
                    QStringLiteral("%1/%2/%3/%4.png").arg(cache).arg(layout.zoom()).arg(c).arg(r));
                painter.drawImage(at, tile);
            } else {
                painter.drawImage(at, decoded.at(i % decoded.size()));
            }
        }
    }
    painter.end();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString cache = dir.filePath(QStringLiteral("maps"));
    const QSize size(1920, 1080);
    const int zoom = 10;

    MapProjection layout;
    layout.setZoom(zoom);
    layout.setCentre(42.986766, 16.0203);
    layout.layout(size.width(), size.height());
    const QRect tiles = layout.visibleTiles();
    const BenchTiles::CacheFigures written =
        BenchTiles::writeCache(cache, zoom, tiles.adjusted(0, 0, 1, 1));
    const int files = written.files;
    const qint64 bytes = written.bytes;
    std::printf("disk cache: %d tiles, %.1f KiB average\n", files, bytes / 1024.0 / files);

    BenchHost host;
    Scheme scene;
    const int runs = 15;
    std::vector<double> fromDisk;
    for (int i = 0; i < runs; ++i) {
        // A fresh view holds nothing in memory; its first refresh loads every tile.
        QElapsedTimer t;
        t.start();
        Karte fresh(&scene);
        host.attach(&fresh);
        fresh.setTileCacheFolder(cache);
        fresh.setCenterGeo(42.986766, 16.0203);
        fresh.setZoomLevel(zoom);
        fresh.resize(size);
        BenchHost::showExposed(&fresh);
        fresh.relayout();
        fresh.viewport()->repaint();
        fromDisk.push_back(t.nsecsElapsed() / 1e6);
        if (fresh.tileLoader()->cachedCount() != files)
            std::printf("warning: %d of %d tiles in memory\n", fresh.tileLoader()->cachedCount(),
                        files);
    }
    std::printf("1920x1080 view from the disk cache (%d runs): median %.2f ms, best %.2f ms\n",
                runs, median(fromDisk), *std::min_element(fromDisk.begin(), fromDisk.end()));
    QList<QImage> decoded;
    std::vector<double> floorDisk;
    for (int i = 0; i < runs; ++i)
        floorDisk.push_back(drawTiles(layout, cache, size, decoded, true));
    std::printf("  floor, the same tiles decoded and drawn with QImage: median %.2f ms\n",
                median(floorDisk));
    BenchResult::print("map view: 1920x1080 from the disk cache", median(fromDisk), "ms",
                       "decode + draw the tiles with QImage", median(floorDisk));

    Karte view(&scene);
    host.attach(&view);
    view.setTileCacheFolder(cache);
    view.setCenterGeo(42.986766, 16.0203);
    view.setZoomLevel(zoom);
    view.resize(size);
    view.show();
    QCoreApplication::processEvents();
    std::vector<double> refresh;
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer t;
        t.start();
        view.relayout();
        view.viewport()->repaint();
        refresh.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("refresh of an empty 1920x1080 view, tiles in memory (200 runs): median %.3f ms, "
                "best %.3f ms\n",
                median(refresh), *std::min_element(refresh.begin(), refresh.end()));
    for (int c = tiles.left(); c <= tiles.right() + 1; ++c) {
        for (int r = tiles.top(); r <= tiles.bottom() + 1; ++r)
            decoded.append(
                QImage(QStringLiteral("%1/%2/%3/%4.png").arg(cache).arg(zoom).arg(c).arg(r))
                    .convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    std::vector<double> floorDraw;
    for (int i = 0; i < 200; ++i)
        floorDraw.push_back(drawTiles(layout, cache, size, decoded, false));
    std::printf("  floor, the same tiles drawn from memory with QPainter: median %.3f ms\n",
                median(floorDraw));
    BenchResult::print("map view: refresh, empty scene, tiles in memory", median(refresh), "ms",
                       "draw the decoded tiles with QPainter", median(floorDraw));

    std::vector<double> relayoutOnly;
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer t;
        t.start();
        view.relayout();
        relayoutOnly.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("  of which relayout alone: median %.3f ms\n", median(relayoutOnly));
    BenchResult::print("map view: relayout alone, empty scene", median(relayoutOnly), "ms",
                       "target: frame 16 ms", BenchResult::frameBudgetMs);
    std::printf("network requests: %d\n", host.requests);
    return 0;
}
