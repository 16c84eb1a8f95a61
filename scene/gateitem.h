#ifndef VELMARO_SCENE_GATEITEM_H
#define VELMARO_SCENE_GATEITEM_H

#include "map/geo.h"
#include "map/projecteditem.h"

#include <QGraphicsItem>
#include <QPoint>
#include <QString>
#include <QtGlobal>

class MapProjection;

// A course gate: a line on the water between two ends, drawn as two small red
// circles joined by a line. Item coordinates are view pixels.
class GateItem : public QGraphicsItem, public ProjectedItem
{
public:
    enum { Type = UserType + 2 };

    // A second end of exactly (0, 0) is derived from the first end, the
    // bearing (degrees) and the length (km); otherwise both are ignored.
    GateItem(double latA, double lngA, double latB, double lngB, double bearingDeg, double lengthKm,
             const QString &name, bool midpointCentre);

    int type() const override { return Type; }

    GeoPoint posA() const { return m_posA; }
    GeoPoint posB() const { return m_posB; }
    GeoPoint centre() const { return m_centre; }
    QString name() const { return m_name; }
    double bearingDeg() const { return m_bearingDeg; }
    double lengthKm() const { return m_lengthKm; }
    bool midpointCentre() const { return m_midpointCentre; }
    QRgb lineColour() const { return m_lineColour; }
    QPoint pixA() const { return m_pixA; }
    QPoint pixB() const { return m_pixB; }
    void setPixels(const QPoint &a, const QPoint &b);

    void reproject(const MapProjection &projection) override;

    // Covers both end circles and the pens, whichever way the gate points.
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

private:
    QPoint m_pixA;
    QPoint m_pixB;
    GeoPoint m_posA;
    GeoPoint m_posB;
    GeoPoint m_centre;
    double m_bearingDeg;
    double m_lengthKm;
    QString m_name;
    bool m_midpointCentre;
    QRgb m_lineColour;
};

#endif
