#include "scene/gateitem.h"

#include <QPainter>
#include <QPen>

GateItem::GateItem(double latA, double lngA, double latB, double lngB, double bearingDeg,
                   double lengthKm, const QString &name, bool midpointCentre)
    : m_posA(latA, lngA), m_posB(latB, lngB), m_bearingDeg(bearingDeg), m_lengthKm(lengthKm),
      m_name(name), m_midpointCentre(midpointCentre), m_lineColour(qRgba(250, 100, 100, 255))
{
    if (latB == 0.0 && lngB == 0.0)
        m_posB = Geo::destinationPoint(m_posA, lengthKm, bearingDeg);
    m_centre = midpointCentre ? Geo::midpointOf(m_posA, m_posB) : m_posA;
}

void GateItem::setPixels(const QPoint &a, const QPoint &b)
{
    if (a == m_pixA && b == m_pixB)
        return;
    prepareGeometryChange();
    m_pixA = a;
    m_pixB = b;
}

void GateItem::reproject(const MapProjection &projection)
{
    setPixels(projection.geoToView(m_posA.lng(), m_posA.lat()),
              projection.geoToView(m_posB.lng(), m_posB.lat()));
}

QRectF GateItem::boundingRect() const
{
    // The circles reach 5 pixels left/up and 4 right/down of an end; one more
    // for the pens on either side.
    const QRectF ends = QRectF(QPointF(m_pixA), QPointF(m_pixB)).normalized();
    return ends.adjusted(-6, -6, 6, 6);
}

void GateItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    painter->save();
    QPen pen = painter->pen();
    pen.setWidth(1);
    pen.setStyle(Qt::SolidLine);
    pen.setColor(QColor(255, 0, 0, 255));
    pen.setCosmetic(true);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawEllipse(
        QRect(QPoint(m_pixA.x() - 5, m_pixA.y() - 5), QPoint(m_pixA.x() + 4, m_pixA.y() + 4)));
    painter->drawEllipse(
        QRect(QPoint(m_pixB.x() - 5, m_pixB.y() - 5), QPoint(m_pixB.x() + 4, m_pixB.y() + 4)));

    pen.setWidth(2);
    pen.setStyle(Qt::SolidLine);
    pen.setColor(QColor::fromRgba(m_lineColour));
    pen.setCosmetic(true);
    painter->setPen(pen);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->drawLine(m_pixA, m_pixB);
    painter->restore();
}
