#include "scene/tracklayer.h"

#include "scene/ship.h"
#include "scene/track.h"

#include <QGraphicsScene>
#include <QPaintDevice>
#include <QPainter>

TrackLayer::TrackLayer()
{
    // Below the boats and the course, which stay readable over a dense fleet.
    setZValue(-1);
    setAcceptedMouseButtons(Qt::NoButton);
}

TrackLayer *TrackLayer::ensureIn(QGraphicsScene *scene)
{
    if (!scene)
        return nullptr;
    const QList<QGraphicsItem *> items = scene->items();
    for (QGraphicsItem *item : items) {
        if (item->type() == Type)
            return static_cast<TrackLayer *>(item);
    }
    auto *layer = new TrackLayer;
    scene->addItem(layer);
    return layer;
}

void TrackLayer::drawLine(QPainter *painter, const QPolygonF &line, const QVector<int> &gaps,
                          QPen pen)
{
    pen.setStyle(Qt::SolidLine);
    QPen dashed = pen;
    dashed.setStyle(Qt::DashLine);
    const QPointF *points = line.constData();
    int start = 0;
    for (const int gap : gaps) {
        painter->setPen(pen);
        if (gap - start > 1)
            painter->drawPolyline(points + start, gap - start);
        painter->setPen(dashed);
        painter->drawLine(points[gap - 1], points[gap]);
        start = gap;
    }
    painter->setPen(pen);
    if (line.size() - start > 1)
        painter->drawPolyline(points + start, int(line.size()) - start);
}

QRectF TrackLayer::boundingRect() const
{
    // Any view: the image is as large as the view it was drawn for.
    return QRectF(0, 0, 8192, 8192);
}

void TrackLayer::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    const QPaintDevice *device = painter->device();
    bringUpToDate(device ? device->devicePixelRatioF() : 1.0);
    if (m_inked.isEmpty())
        return;
    const qreal dpr = m_image.devicePixelRatio();
    const QRectF source(m_inked.x() * dpr, m_inked.y() * dpr, m_inked.width() * dpr,
                        m_inked.height() * dpr);
    painter->drawImage(QRectF(m_inked), m_image, source);
}

void TrackLayer::bringUpToDate(qreal dpr)
{
    m_wanted.clear();
    int zoom = -1;
    QPointF origin;
    QRectF clip;
    if (scene()) {
        const QList<QGraphicsItem *> items = scene()->items(Qt::AscendingOrder);
        for (const QGraphicsItem *item : items) {
            if (item->type() != Ship::Type)
                continue;
            const Ship *ship = static_cast<const Ship *>(item);
            const Ship::SettledLine line = ship->settledLine();
            // A line whose level of detail was rebuilt since is placed anew
            // before the next frame.
            if (line.settled < 0 || line.track->lod(line.zoom).serial() != line.lod)
                continue;
            if (zoom < 0) {
                zoom = line.zoom;
                origin = line.origin;
                clip = line.clip;
            } else if (line.zoom != zoom || line.origin != origin || line.clip != clip) {
                continue; // not yet placed in this view
            }
            Drawn wanted;
            wanted.ship = ship->serial();
            wanted.track = line.track;
            wanted.lod = line.lod;
            wanted.low = line.low;
            wanted.settled = line.settled;
            wanted.colour = line.colour;
            wanted.width = line.width;
            m_wanted.push_back(wanted);
        }
    }
    // The clip reaches 8 pixels beyond the view on every side.
    const QSize view = clip.adjusted(8, 8, -8, -8).size().toSize();
    const QSize pixels = (QSizeF(view) * dpr).toSize();
    bool fresh = zoom != m_zoom || origin != m_origin || clip != m_clip ||
                 m_image.size() != pixels || m_image.devicePixelRatio() != dpr ||
                 m_wanted.size() != m_drawn.size();
    for (size_t i = 0; !fresh && i < m_wanted.size(); ++i) {
        fresh = !m_wanted[i].sameLine(m_drawn[i]) || m_wanted[i].settled < m_drawn[i].settled;
    }
    if (fresh) {
        m_zoom = zoom;
        m_origin = origin;
        m_clip = clip;
        m_inked = QRect();
        if (pixels.isEmpty()) {
            m_image = QImage();
        } else {
            if (m_image.size() != pixels)
                m_image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
            m_image.setDevicePixelRatio(dpr);
            m_image.fill(Qt::transparent);
            QPainter painter(&m_image);
            for (const Drawn &line : m_wanted)
                draw(&painter, line, line.settled, line.low);
        }
        ++m_redraws;
    } else {
        QPainter painter;
        for (size_t i = 0; i < m_wanted.size(); ++i) {
            if (m_wanted[i].settled <= m_drawn[i].settled)
                continue;
            if (!painter.isActive()) {
                painter.begin(&m_image);
                ++m_extensions;
            }
            draw(&painter, m_wanted[i], m_wanted[i].settled, m_drawn[i].settled);
        }
    }
    m_drawn.swap(m_wanted);
}

void TrackLayer::draw(QPainter *painter, const Drawn &line, int high, int low)
{
    m_scratch.resize(0);
    m_scratchGaps.resize(0);
    line.track->lod(m_zoom).appendLine(*line.track, high, low, m_origin, m_clip, false,
                                       &m_scratch, &m_scratchGaps);
    if (m_scratch.size() < 2)
        return;
    QPen pen;
    pen.setCosmetic(true);
    pen.setWidth(line.width);
    pen.setColor(QColor::fromRgba(line.colour));
    drawLine(painter, m_scratch, m_scratchGaps, pen);
    const QRect bounds = m_scratch.boundingRect().toAlignedRect().adjusted(-2, -2, 2, 2);
    m_inked |= bounds & QRect(QPoint(0, 0), m_image.deviceIndependentSize().toSize());
}
