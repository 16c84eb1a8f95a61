#ifndef VELMARO_BENCH_COMMON_BENCHHOST_H
#define VELMARO_BENCH_COMMON_BENCHHOST_H

// The window's side of a map view, for benchmarks: no status bar, no
// network (tiles come from the disk cache only), and the boats' geometry
// updated on every refresh as the main window does.

#include "map/maphost.h"
#include "scene/ship.h"

#include <QList>

class BenchHost : public MapHost
{
public:
    void setXYStatus(int, int, qreal, qreal, int) override {}
    void setZoomStatus(int) override {}
    void advanceFrame() override {}
    void mapClicked(int, int) override {}
    bool isAnimating() const override { return animating; }
    void stopFollowing() override {}
    void updateShipGeometry(const MapProjection &projection) override
    {
        for (Ship *ship : ships)
            ship->updateGeometry(projection);
    }
    void setNetLedOn() override { ++requests; }
    void setNetLedOff() override {}
    bool loadMapsEnabled() const override { return false; } // never touch the network

    QList<Ship *> ships;
    bool animating = false;
    int requests = 0;
};

#endif
