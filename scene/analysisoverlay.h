#ifndef VELMARO_SCENE_ANALYSISOVERLAY_H
#define VELMARO_SCENE_ANALYSISOVERLAY_H

#include "map/geo.h"
#include "scene/manoeuvres.h"

#include <QGraphicsItem>
#include <QPair>
#include <QString>
#include <QVector>

class MapProjection;

// What the analysis adds to the map: the followed boat's tacks and gybes as
// marks on its track, its laylines to the next mark, and the wind arrow in
// the top right corner with where the wind comes from. Item coordinates are
// view pixels, like the boats'.
class AnalysisOverlay : public QGraphicsItem
{
public:
    AnalysisOverlay();

    void setMarks(const QVector<Sailing::Manoeuvre> &marks);
    // Pairs of ends; an empty list draws none.
    void setLaylines(const QVector<QPair<GeoPoint, GeoPoint>> &lines);
    // The wind arrow; no arrow when !valid.
    void setWind(bool valid, double from, const QString &label);
    void updateGeometry(const MapProjection &projection);

    int markCount() const { return int(m_marks.size()); }
    int laylineCount() const { return int(m_lines.size()); }
    QString windLabel() const { return m_windValid ? m_windLabel : QString(); }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

private:
    QVector<Sailing::Manoeuvre> m_marks;
    QVector<QPoint> m_markPixels;
    QVector<QPair<GeoPoint, GeoPoint>> m_lines;
    QVector<QLine> m_linePixels;
    bool m_windValid = false;
    double m_windFrom = 0.0;
    QString m_windLabel;
    QRectF m_view;
};

#endif
