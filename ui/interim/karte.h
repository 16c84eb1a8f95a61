#ifndef VELMARO_UI_INTERIM_KARTE_H
#define VELMARO_UI_INTERIM_KARTE_H

// Temporary stand-in for the map view until the map library provides it;
// only what the window calls. Removed when the real view lands.

#include "geo.h"
#include "maphost.h"
#include "scheme.h"

#include <QGraphicsView>
#include <QList>

class Karte : public QGraphicsView
{
    Q_OBJECT
public:
    Karte(Scheme *scene, MapHost *host, QWidget *parent = nullptr)
        : QGraphicsView(scene, parent), m_host(host)
    {
    }
    void setCenterGeo(double lat, double lng) { m_projection.setCentre(lat, lng); }
    void setCenterGeo(const GeoPoint &p) { m_projection.setCentre(p); }
    void setZoomLevel(int zoom) { m_projection.setZoom(zoom); }
    int zoom() const { return m_projection.zoom(); }
    void relayout()
    {
        ++relayouts;
        scene()->setSceneRect(0, 0, width(), height());
        m_projection.layout(width(), height());
        for (ProjectedItem *item : m_gates)
            item->reproject(m_projection);
        m_host->updateShipGeometry(m_projection);
    }
    const MapProjection &projection() const { return m_projection; }
    void setGateItems(const QList<ProjectedItem *> &gates) { m_gates = gates; }
    int relayouts = 0;

private:
    MapHost *m_host;
    MapProjection m_projection;
    QList<ProjectedItem *> m_gates;
};

#endif
