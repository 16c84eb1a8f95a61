#include "scene/tracklayer.h"

#include "scene/ship.h"
#include "scene/track.h"

#include <QGraphicsScene>
#include <QPaintDevice>
#include <QPainter>
#include <QThread>

#include <cmath>
#include <cstring>
#include <future>

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
    m_lines.clear();
    if (scene()) {
        const QList<QGraphicsItem *> items = scene()->items(Qt::AscendingOrder);
        for (const QGraphicsItem *item : items) {
            if (item->type() != Ship::Type)
                continue;
            const Ship *ship = static_cast<const Ship *>(item);
            const Ship::SettledLine line = ship->settledLine();
            if (line.settled < 0)
                continue;
            // Taken here, on this thread: bringing a line up to date writes to
            // its track, which the drawing threads must only read. A line
            // whose level of detail was rebuilt since is placed anew before
            // the next frame.
            const TrackLod &lod = line.track->lod(line.zoom);
            if (lod.serial() != line.lod)
                continue;
            Drawn drawn;
            static_cast<Ship::SettledLine &>(drawn) = line;
            drawn.ship = ship->serial();
            drawn.lodLine = &lod;
            m_lines.push_back(drawn);
        }
    }
    // The view most lines were placed in; a boat left behind in another one
    // (not placed since) waits for its next placement.
    int zoom = -1;
    QPointF origin;
    QRectF clip;
    int votes = 0;
    for (size_t i = 0; i < m_lines.size() && votes * 2 <= int(m_lines.size()); ++i) {
        const Drawn &a = m_lines[i];
        if (a.zoom == zoom && a.origin == origin && a.clip == clip)
            continue;
        int n = 0;
        for (const Drawn &b : m_lines)
            n += b.zoom == a.zoom && b.origin == a.origin && b.clip == a.clip ? 1 : 0;
        if (n > votes) {
            votes = n;
            zoom = a.zoom;
            origin = a.origin;
            clip = a.clip;
        }
    }
    for (const Drawn &line : m_lines) {
        if (line.zoom == zoom && line.origin == origin && line.clip == clip)
            m_wanted.push_back(line);
    }
    // The clip reaches 8 pixels beyond the view on every side.
    const QSize view = clip.adjusted(8, 8, -8, -8).size().toSize();
    const QSize pixels = (QSizeF(view) * dpr).toSize();
    bool fresh = zoom != m_zoom || clip != m_clip || m_image.size() != pixels ||
                 m_image.devicePixelRatio() != dpr || m_wanted.size() != m_drawn.size();
    for (size_t i = 0; !fresh && i < m_wanted.size(); ++i) {
        fresh = !m_wanted[i].sameLine(m_drawn[i]) || m_wanted[i].settled < m_drawn[i].settled;
    }
    // A map moved by whole pixels, as when following a boat or dragged,
    // keeps what is still in view and draws only the stretches uncovered.
    if (!fresh && origin != m_origin)
        fresh = !scroll(origin - m_origin);
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
            drawAll();
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
            m_scratch.inked = QRect();
            draw(&painter, m_wanted[i], m_wanted[i].settled, m_drawn[i].settled, m_clip,
                 &m_scratch);
            m_inked |= m_scratch.inked;
        }
    }
    m_drawn.swap(m_wanted);
}

bool TrackLayer::scroll(const QPointF &moved)
{
    const qreal dpr = m_image.devicePixelRatio();
    const int w = m_image.width();
    const int h = m_image.height();
    const double fx = moved.x() * dpr;
    const double fy = moved.y() * dpr;
    const int dx = int(std::lround(fx));
    const int dy = int(std::lround(fy));
    if (std::abs(fx - dx) > 1e-6 || std::abs(fy - dy) > 1e-6 || std::abs(dx) >= w / 2 ||
        std::abs(dy) >= h / 2)
        return false;
    // What was at (x + dx, y + dy) is now at (x, y).
    const qsizetype bpl = m_image.bytesPerLine();
    const size_t pixel = 4;
    const size_t kept = size_t(w - std::abs(dx)) * pixel;
    uchar *bits = m_image.bits();
    for (int k = 0; k < h; ++k) {
        const int y = dy > 0 ? k : h - 1 - k;
        uchar *row = bits + qsizetype(y) * bpl;
        const int from = y + dy;
        if (from < 0 || from >= h) {
            std::memset(row, 0, size_t(w) * pixel);
            continue;
        }
        const uchar *source = bits + qsizetype(from) * bpl;
        if (dx >= 0) {
            std::memmove(row, source + size_t(dx) * pixel, kept);
            std::memset(row + kept, 0, size_t(dx) * pixel);
        } else {
            std::memmove(row + size_t(-dx) * pixel, source, kept);
            std::memset(row, 0, size_t(-dx) * pixel);
        }
    }
    m_origin += moved;
    const QRect view(QPoint(0, 0), m_image.deviceIndependentSize().toSize());
    m_inked = m_inked.translated(-moved.toPoint()) & view;
    // The uncovered columns and rows, each drawn clipped to itself.
    const int vx = int(std::lround(moved.x()));
    const int vy = int(std::lround(moved.y()));
    QVector<QRect> strips;
    if (vx > 0)
        strips.append(QRect(view.width() - vx, 0, vx, view.height()));
    else if (vx < 0)
        strips.append(QRect(0, 0, -vx, view.height()));
    if (vy > 0)
        strips.append(QRect(0, view.height() - vy, view.width(), vy));
    else if (vy < 0)
        strips.append(QRect(0, 0, view.width(), -vy));
    QPainter painter(&m_image);
    for (const QRect &strip : std::as_const(strips)) {
        painter.setClipRect(strip);
        m_scratch.inked = QRect();
        // The lines as drawn so far; the wanted ones are the same lines.
        for (size_t i = 0; i < m_wanted.size(); ++i)
            draw(&painter, m_wanted[i], m_drawn[i].settled, m_wanted[i].low,
                 QRectF(strip).adjusted(-8, -8, 8, 8), &m_scratch);
        m_inked |= m_scratch.inked;
    }
    ++m_scrolls;
    return true;
}

void TrackLayer::drawAll()
{
    m_image.fill(Qt::transparent);
    // Two bands of rows, each an image of its own over the same pixels, so
    // that two threads draw at once without sharing a painter.
    const int rows = m_image.height();
    const int bands =
        rows >= 64 && m_wanted.size() >= 16 && QThread::idealThreadCount() > 1 ? 2 : 1;
    const qreal dpr = m_image.devicePixelRatio();
    uchar *bits = m_image.bits();
    const auto drawBand = [&](int band, Scratch *scratch) {
        const int top = rows * band / bands;
        const int bottom = rows * (band + 1) / bands;
        QImage part(bits + qsizetype(top) * m_image.bytesPerLine(), m_image.width(), bottom - top,
                    m_image.bytesPerLine(), m_image.format());
        part.setDevicePixelRatio(dpr);
        QPainter painter(&part);
        const QRectF rect(0, top / dpr, m_image.width() / dpr, (bottom - top) / dpr);
        painter.translate(0, -rect.top());
        painter.setClipRect(rect);
        scratch->inked = QRect();
        for (const Drawn &line : m_wanted)
            draw(&painter, line, line.settled, line.low, rect.adjusted(-8, -8, 8, 8), scratch);
    };
    std::future<void> second;
    if (bands > 1)
        second = std::async(std::launch::async, drawBand, 1, &m_secondScratch);
    drawBand(0, &m_scratch);
    m_inked = m_scratch.inked;
    if (second.valid()) {
        second.wait();
        m_inked |= m_secondScratch.inked;
    }
}

void TrackLayer::draw(QPainter *painter, const Drawn &line, int high, int low, const QRectF &clip,
                      Scratch *scratch) const
{
    scratch->line.resize(0);
    scratch->gaps.resize(0);
    line.lodLine->appendLine(*line.track, high, low, m_origin, clip, false, &scratch->line,
                             &scratch->gaps);
    if (scratch->line.size() < 2)
        return;
    QPen pen;
    pen.setCosmetic(true);
    pen.setWidth(line.width);
    pen.setColor(QColor::fromRgba(line.colour));
    drawLine(painter, scratch->line, scratch->gaps, pen);
    const QRect bounds = scratch->line.boundingRect().toAlignedRect().adjusted(-2, -2, 2, 2);
    scratch->inked |= bounds & clip.toAlignedRect() &
                      QRect(QPoint(0, 0), m_image.deviceIndependentSize().toSize());
}
