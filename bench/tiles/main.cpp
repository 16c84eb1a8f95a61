// Map view figures: a 1920 x 1080 view shown entirely from the disk cache
// (every tile decoded from PNG), and one refresh (relayout + repaint) of a
// view whose tiles are already in memory and whose scene is empty.

#include "karte.h"
#include "maphost.h"
#include "scheme.h"
#include "tileloader.h"

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

class QuietHost : public MapHost
{
public:
    void setXYStatus(int, int, qreal, qreal, int) override {}
    void setZoomStatus(int) override {}
    void advanceFrame() override {}
    void mapClicked(int, int) override {}
    bool isAnimating() const override { return false; }
    void stopFollowing() override {}
    void updateShipGeometry(const MapProjection &) override {}
    void setNetLedOn() override { ++requests; }
    void setNetLedOff() override {}
    bool loadMapsEnabled() const override { return false; } // never touch the network
    int requests = 0;
};

// Something with the texture of a map tile, so PNG decoding costs what it
// does for real tiles (tens of kilobytes, not a flat colour).
QImage fakeTile(int column, int row)
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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
    int files = 0;
    qint64 bytes = 0;
    for (int c = tiles.left(); c <= tiles.right() + 1; ++c) {
        QDir().mkpath(QStringLiteral("%1/%2/%3").arg(cache).arg(zoom).arg(c));
        for (int r = tiles.top(); r <= tiles.bottom() + 1; ++r) {
            const QString path =
                QStringLiteral("%1/%2/%3/%4.png").arg(cache).arg(zoom).arg(c).arg(r);
            fakeTile(c, r).save(path, "PNG");
            bytes += QFileInfo(path).size();
            ++files;
        }
    }
    std::printf("disk cache: %d tiles, %.1f KiB average\n", files, bytes / 1024.0 / files);

    QuietHost host;
    Scheme scene;
    const int runs = 15;
    std::vector<double> fromDisk;
    for (int i = 0; i < runs; ++i) {
        // A fresh view holds nothing in memory; its first refresh loads every tile.
        QElapsedTimer t;
        t.start();
        Karte fresh(&scene, &host);
        fresh.setTileCacheFolder(cache);
        fresh.setCenterGeo(42.986766, 16.0203);
        fresh.setZoomLevel(zoom);
        fresh.resize(size);
        fresh.show();
        fresh.relayout();
        fresh.viewport()->repaint();
        fromDisk.push_back(t.nsecsElapsed() / 1e6);
        if (fresh.tileLoader()->cachedCount() != files)
            std::printf("warning: %d of %d tiles in memory\n", fresh.tileLoader()->cachedCount(),
                        files);
    }
    std::printf("1920x1080 view from the disk cache (%d runs): median %.2f ms, best %.2f ms\n",
                runs, median(fromDisk), *std::min_element(fromDisk.begin(), fromDisk.end()));

    Karte view(&scene, &host);
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

    std::vector<double> relayoutOnly;
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer t;
        t.start();
        view.relayout();
        relayoutOnly.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("  of which relayout alone: median %.3f ms\n", median(relayoutOnly));
    std::printf("network requests: %d\n", host.requests);
    return 0;
}
