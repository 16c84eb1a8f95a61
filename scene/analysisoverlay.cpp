#include "scene/analysisoverlay.h"

#include "map/geo.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>

AnalysisOverlay::AnalysisOverlay()
{
    setZValue(2); // above tracks and boats
}

void AnalysisOverlay::setMarks(const QVector<Sailing::Manoeuvre> &marks)
{
    m_marks = marks;
}

void AnalysisOverlay::setLaylines(const QVector<QPair<GeoPoint, GeoPoint>> &lines)
{
    m_lines = lines;
}

void AnalysisOverlay::setWind(bool valid, double from, const QString &label)
{
    m_windValid = valid;
    m_windFrom = from;
    m_windLabel = label;
}

void AnalysisOverlay::updateGeometry(const MapProjection &projection)
{
    prepareGeometryChange();
    m_view = QRectF(0, 0, projection.width(), projection.height());
    m_markPixels.clear();
    for (const Sailing::Manoeuvre &m : std::as_const(m_marks))
        m_markPixels.append(projection.geoToView(m.position));
    m_linePixels.clear();
    for (const auto &[a, b] : std::as_const(m_lines))
        m_linePixels.append(QLine(projection.geoToView(a), projection.geoToView(b)));
}

QRectF AnalysisOverlay::boundingRect() const
{
    return m_view;
}

void AnalysisOverlay::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    QPen dashed(QColor(40, 40, 40, 180), 1.5, Qt::DashLine);
    dashed.setCosmetic(true);
    painter->setPen(dashed);
    for (const QLine &line : std::as_const(m_linePixels))
        painter->drawLine(line);

    painter->setPen(QPen(QColor(30, 30, 30), 1.0));
    for (int i = 0; i < m_markPixels.size(); ++i) {
        const bool tack = m_marks.at(i).kind == Sailing::ManoeuvreKind::Tack;
        painter->setBrush(tack ? QColor(255, 255, 255) : QColor(255, 170, 0));
        painter->drawEllipse(QPointF(m_markPixels.at(i)), 4.0, 4.0);
    }

    if (m_windValid && m_view.width() > 120) {
        // The arrow points where the wind blows to.
        const QPointF centre(m_view.right() - 44, 44);
        painter->setBrush(QColor(255, 255, 255, 200));
        painter->drawEllipse(centre, 26, 26);
        painter->save();
        painter->translate(centre);
        painter->rotate(m_windFrom + 180.0);
        painter->setBrush(QColor(20, 60, 120));
        painter->setPen(Qt::NoPen);
        painter->drawPolygon(QPolygonF({QPointF(0, -20), QPointF(0, -20), QPointF(4, -20),
                                        QPointF(4, 8), QPointF(10, 8), QPointF(0, 20),
                                        QPointF(-10, 8), QPointF(-4, 8), QPointF(-4, -20)}));
        painter->restore();
        painter->setPen(QColor(20, 20, 20));
        const QRectF text(m_view.right() - 120, 74, 116, 18);
        painter->drawText(text, Qt::AlignRight | Qt::AlignVCenter, m_windLabel);
    }
    painter->restore();
}
