#ifndef VELMARO_SCENE_TRACKLAYER_H
#define VELMARO_SCENE_TRACKLAYER_H

#include "scene/ship.h"

#include <QGraphicsItem>
#include <QImage>
#include <QPen>
#include <QPolygonF>
#include <QRect>
#include <QVector>

#include <vector>

class QGraphicsScene;
class Track;
class TrackLod;

// The settled track lines of every boat in the scene, kept drawn in one
// image of the view below the boats. A frame extends the image by what each
// line grew since the last one and then costs one copy of the image, however
// long the tracks; it is drawn anew only when the view, a boat's look or its
// shown span otherwise changes. Each boat draws the short stretch from
// itself back to its settled line (Ship::endLine).
class TrackLayer : public QGraphicsItem
{
public:
    enum { Type = UserType + 3 };

    TrackLayer();
    int type() const override { return Type; }

    // The scene's layer, made and added when it has none.
    static TrackLayer *ensureIn(QGraphicsScene *scene);

    // Solid runs between the gaps, each gap a dashed line of its own.
    static void drawLine(QPainter *painter, const QPolygonF &line, const QVector<int> &gaps,
                         QPen pen);

    // Times the image was drawn from scratch, and extended.
    int redraws() const { return m_redraws; }
    int extensions() const { return m_extensions; }
    int scrolls() const { return m_scrolls; }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

private:
    struct Drawn : Ship::SettledLine {
        quint64 ship = 0;
        const TrackLod *lodLine = nullptr; // of this frame
        // Same line in the same look; `settled` may differ.
        bool sameLine(const Drawn &o) const
        {
            return ship == o.ship && track == o.track && lod == o.lod && low == o.low &&
                   colour == o.colour && width == o.width;
        }
    };
    // A line's points on their way to the image, and where they inked it.
    struct Scratch {
        QPolygonF line;
        QVector<int> gaps;
        QRect inked;
    };
    void bringUpToDate(qreal dpr);
    // Moves the image by `moved` world pixels of the view's origin and draws
    // the drawn lines where it uncovered the view; false when it cannot.
    bool scroll(const QPointF &moved);
    // Every wanted line from scratch, the image's two halves at once.
    void drawAll();
    // Draws fixes `low` .. `high` of the line; what lies beyond `clip` (view
    // pixels, 8 beyond the part drawn) may be left out.
    void draw(QPainter *painter, const Drawn &line, int high, int low, const QRectF &clip,
              Scratch *scratch) const;

    QImage m_image;
    int m_zoom = -1;
    QPointF m_origin;
    QRectF m_clip;
    std::vector<Drawn> m_drawn;
    std::vector<Drawn> m_wanted;
    std::vector<Drawn> m_lines; // every boat's, in whatever view
    QRect m_inked;              // the part of the image drawn on, in view pixels
    Scratch m_scratch;
    Scratch m_secondScratch;
    int m_redraws = 0;
    int m_extensions = 0;
    int m_scrolls = 0;
};

#endif
