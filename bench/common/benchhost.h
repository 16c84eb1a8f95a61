#ifndef VELMARO_BENCH_COMMON_BENCHHOST_H
#define VELMARO_BENCH_COMMON_BENCHHOST_H

// The window's side of a map view, for benchmarks: no status bar, no
// network (tiles come from the disk cache only), and the boats' geometry
// updated on every refresh as the main window does.

#include "map/karte.h"
#include "map/tileloader.h"
#include "scene/ship.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QWidget>
#include <QWindow>

class BenchHost : public QObject
{
public:
    // Call right after creating the view, before its first refresh.
    void attach(Karte *view)
    {
        view->setDownloadEnabled(false); // never touch the network
        view->setAnimating(animating);
        connect(view, &Karte::projectionChanged, this, [this](const MapProjection &projection) {
            for (Ship *ship : std::as_const(ships))
                ship->updateGeometry(projection);
        });
        connect(view->tileLoader(), &TileLoader::transferStarted, this, [this] { ++requests; });
    }

    // Shows the view and waits until its window is exposed: before that a
    // repaint draws nothing, and a frame measured would be empty.
    static void showExposed(QWidget *view)
    {
        view->show();
        QElapsedTimer waited;
        waited.start();
        while (!(view->windowHandle() && view->windowHandle()->isExposed()) &&
               waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents();
    }

    QList<Ship *> ships;
    bool animating = false;
    int requests = 0;
};

#endif
