#ifndef VELMARO_MAP_MAPHOST_H
#define VELMARO_MAP_MAPHOST_H

#include <QtGlobal>

class MapProjection;

// What the map view needs from the window that owns it: status reports,
// clicks, the animation state, the boat geometry update and the transfer lamp.
// The main window implements it; tests use a recorder.
class MapHost
{
public:
    virtual ~MapHost() = default;

    virtual void setXYStatus(int x, int y, qreal lat, qreal lng, int zoom) = 0;
    virtual void setZoomStatus(int zoom) = 0;
    virtual void advanceFrame() = 0;
    // A click (press and release without dragging) at view pixel (x, y).
    virtual void mapClicked(int x, int y) = 0;
    virtual bool isAnimating() const = 0;
    // Clears the follow flag of the first followed boat (memory only).
    virtual void stopFollowing() = 0;
    // Recomputes every boat's view geometry for the projection.
    virtual void updateShipGeometry(const MapProjection &projection) = 0;
    // Transfer lamp: once before each request, once per finished reply.
    virtual void setNetLedOn() = 0;
    virtual void setNetLedOff() = 0;
    // Whether missing tiles may be downloaded; read at each decision.
    virtual bool loadMapsEnabled() const = 0;
};

// A scene item whose pixels follow the map projection (the course gates);
// the map view reprojects the ones it holds on every refresh.
class ProjectedItem
{
public:
    virtual ~ProjectedItem() = default;
    virtual void reproject(const MapProjection &projection) = 0;
};

#endif
