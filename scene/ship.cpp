#include "scene/ship.h"

#include "scene/spritestrip.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <vector>

Ship::Ship(int id, const QString &name, const QString &sourceKind, const QString &sourceLocation)
    : m_id(id), m_name(name), m_sourceKind(sourceKind), m_sourceLocation(sourceLocation),
      m_initialTrack(std::make_unique<Track>(name)), m_rawTrack(std::make_unique<Track>(name)),
      m_simplifiedTrack(std::make_unique<Track>(name)), m_displayTrack(m_initialTrack.get())
{
    setBoundingRegionGranularity(0.5);
}

Ship::~Ship() = default;

QFont Ship::labelFont()
{
    QFont font(QStringLiteral("Arial"), 10, QFont::Bold, false);
    return font;
}

void Ship::setDisplayTrack(Track *track)
{
    if (track == m_rawTrack.get() || track == m_simplifiedTrack.get() ||
        track == m_initialTrack.get())
        m_displayTrack = track;
}

void Ship::setCurrentPoint(TrackPoint *point)
{
    m_currentPoint = point;
    if (m_currentMadePoint && m_currentMadePoint.get() != point)
        m_currentMadePoint.reset();
}

void Ship::setNamedColour(const QString &text)
{
    m_colour = QColor(text);
    if (!m_colour.isValid())
        m_colour = fallbackColour();
}

QString Ship::speedText() const
{
    return QString::number(m_speed, 'f', 1);
}

QString Ship::labelText() const
{
    if (m_sailNumberLabel && !m_startnr.isEmpty())
        return m_startnr + QLatin1Char(' ') + speedText();
    return speedText();
}

QRectF Ship::labelRect() const
{
    static const QFontMetricsF metrics(labelFont());
    return metrics.boundingRect(labelText()).translated(m_screenPos.x() - 7, m_screenPos.y() - 16);
}

TrackPoint *Ship::makePoint(const GeoPoint &position, int t, double heading, int index)
{
    // The current point may be the one made last time; keep it alive until it
    // is replaced as the current point.
    if (m_madePoint && m_madePoint.get() == m_currentPoint)
        m_currentMadePoint = std::move(m_madePoint);
    m_madePoint = std::make_unique<TrackPoint>(position, t, heading);
    m_madePoint->index = index;
    return m_madePoint.get();
}

namespace
{

// The bearing fix i was reached on; a boat that had not moved yet takes the
// bearing of its first move. Used for fixes without a recorded heading.
void deriveHeading(const Track &track, int i)
{
    TrackPoint *point = track.pointAt(i);
    point->headingKnown = true;
    const GeoPoint here = point->position;
    for (int k = i; k > 0; --k) {
        const GeoPoint before = track.pointAt(k - 1)->position;
        if (before != track.pointAt(k)->position) {
            point->heading = Geo::bearingTo(before, track.pointAt(k)->position);
            return;
        }
    }
    for (int k = i + 1; k < track.count(); ++k) {
        if (track.pointAt(k)->position != here) {
            point->heading = Geo::bearingTo(here, track.pointAt(k)->position);
            return;
        }
    }
}

} // namespace

TrackPoint *Ship::positionAt(int t)
{
    const Track *track = m_displayTrack;
    const int n = track->count();
    if (n == 0)
        return nullptr;
    const int last = n - 1;
    TrackPoint *lastPoint = track->pointAt(last);
    if (t >= lastPoint->tstamp || m_pointCount < 2 || n < 2) {
        lastPoint->index = last;
        if (last > 0) {
            lastPoint->heading =
                Geo::bearingTo(track->pointAt(last - 1)->position, lastPoint->position);
            takeSpeedAt(*track, last);
        }
        return lastPoint;
    }

    int lo = 0;
    int hi = last;
    int mid = hi / 2;
    for (;;) {
        TrackPoint *m = track->pointAt(mid);
        if (m->tstamp == t) {
            m->index = mid;
            if (!m->headingKnown)
                deriveHeading(*track, mid);
            takeSpeedAt(*track, mid);
            return m;
        }
        if (m->tstamp < t)
            lo = mid;
        else
            hi = mid;
        if (hi - 1 <= lo)
            break;
        mid = (lo + hi) / 2;
    }
    // Before the first fix of a two-point track the search ends on (0, 0);
    // extrapolate along the first segment as for longer tracks.
    if (hi <= lo)
        hi = lo + 1;

    TrackPoint *a = track->pointAt(lo);
    // The search never looks at fix 0 itself.
    if (a->tstamp == t) {
        a->index = lo;
        if (!a->headingKnown)
            deriveHeading(*track, lo);
        takeSpeedAt(*track, lo);
        return a;
    }
    const TrackPoint *b = track->pointAt(hi);
    const int dt = b->tstamp - a->tstamp;
    if (dt <= 0) {
        // A fix stored twice: no speed to compute, stay on the earlier one.
        a->index = lo;
        return a;
    }
    const double v = Geo::distanceKm(a->position, b->position) / dt; // km/s
    m_speed = v * 3600.0 / 1.852;
    const double bearing = Geo::bearingTo(a->position, b->position);
    const GeoPoint position =
        Geo::destinationPoint(a->position, v * (static_cast<double>(t) - a->tstamp), bearing);
    return makePoint(position, t, bearing, hi);
}

void Ship::takeSpeedAt(const Track &track, int i)
{
    // On a fix the boat goes at the speed it arrived with (the first fix: the
    // one it leaves with); a fix stored twice keeps the speed shown before.
    const int from = i > 0 ? i - 1 : i;
    const int to = i > 0 ? i : i + 1;
    if (to >= track.count())
        return;
    const TrackPoint *a = track.pointAt(from);
    const TrackPoint *b = track.pointAt(to);
    if (b->tstamp > a->tstamp)
        m_speed =
            Geo::distanceKm(a->position, b->position) / (b->tstamp - a->tstamp) * 3600.0 / 1.852;
}

void Ship::simplifyTrack(double tolerance)
{
    m_simplifyTolerance = tolerance;
    m_simplifyToleranceSquared = tolerance * tolerance;
    const QList<TrackPoint *> &points = m_rawTrack->points();
    const int n = points.size();
    for (TrackPoint *p : points)
        p->keep = false;
    m_simplifiedTrack->clear();
    if (n == 0)
        return;

    // Ranges still to reduce; a stack instead of recursion keeps long
    // straight runs from exhausting the call stack.
    std::vector<std::pair<int, int>> ranges;
    ranges.emplace_back(0, n - 1);
    while (!ranges.empty()) {
        const auto [first, last] = ranges.back();
        ranges.pop_back();
        if (first + 1 >= last)
            continue;
        const GeoPoint a = points.at(first)->position;
        const GeoPoint b = points.at(last)->position;
        const double wLat = b.lat() - a.lat();
        const double wLng = b.lng() - a.lng();
        const double w2 = wLat * wLat + wLng * wLng;
        const double wLen = std::sqrt(w2);
        double best = -1.0;
        int winner = first;
        for (int i = first + 1; i < last; ++i) {
            const GeoPoint p = points.at(i)->position;
            const double pLat = p.lat() - a.lat();
            const double pLng = p.lng() - a.lng();
            const double pa2 = pLat * pLat + pLng * pLng;
            const double s = wLen > 0.0 ? (pLat * wLat + pLng * wLng) / wLen : 0.0;
            double d2;
            if (s <= 0.0) {
                d2 = pa2;
            } else if (s * s >= w2) {
                const double bLat = p.lat() - b.lat();
                const double bLng = p.lng() - b.lng();
                d2 = bLat * bLat + bLng * bLng;
            } else {
                d2 = pa2 - s * s;
            }
            if (d2 > best) {
                best = d2;
                winner = i;
            }
        }
        if (best <= m_simplifyToleranceSquared)
            continue;
        points.at(winner)->keep = true;
        ranges.emplace_back(winner, last);
        ranges.emplace_back(first, winner);
    }
    points.first()->keep = true;
    points.last()->keep = true;

    for (TrackPoint *p : points) {
        if (p->keep)
            m_simplifiedTrack->addPoint(p);
    }
}

void Ship::resetMarks()
{
    for (Ship *ship : std::as_const(m_allShips)) {
        if (!ship)
            continue;
        ship->m_follow = false;
        ship->m_colour = ship->m_originalColour;
    }
}

void Ship::updateGeometry(const MapProjection &projection)
{
    if (m_pointCount <= 0 || !m_hasPositions || !m_currentPoint)
        return;
    prepareGeometryChange();
    m_screenPos = projection.geoToView(m_currentPoint->position);

    if (m_positionKnown) {
        const QSize size(SpriteStrip::frameSize, SpriteStrip::frameSize);
        if (m_sprite.size() != size)
            m_sprite = QImage(size, QImage::Format_ARGB32_Premultiplied);
        const QColor colour = m_colour.isValid() ? m_colour : fallbackColour();
        const QPixmap *strip = m_spriteStrip.get();
        const int frame = SpriteStrip::frameForHeading(m_currentPoint->heading);
        const int sx = SpriteStrip::frameSize * frame;
        if (strip && strip->width() >= sx + SpriteStrip::frameSize &&
            strip->height() >= SpriteStrip::frameSize) {
            // The boat's shape in a colour: its own, and a dark one for a thin rim
            // that keeps a white boat visible on light tiles.
            const auto shape = [&](const QColor &fill) {
                QImage image(size, QImage::Format_ARGB32_Premultiplied);
                image.fill(fill);
                QPainter p(&image);
                p.setRenderHint(QPainter::SmoothPixmapTransform);
                p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
                p.drawPixmap(QRect(QPoint(0, 0), size), *strip,
                             QRect(sx, 0, SpriteStrip::frameSize, SpriteStrip::frameSize));
                return image;
            };
            const QImage rim = shape(outlineColour());
            m_sprite.fill(Qt::transparent);
            QPainter p(&m_sprite);
            for (const QPoint offset : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
                p.drawImage(offset, rim);
            p.drawImage(0, 0, shape(colour));
        } else {
            // No strip to cut from: a dot in the boat colour still shows where it is.
            m_sprite.fill(Qt::transparent);
            QPainter p(&m_sprite);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(outlineColour(), 1.0));
            p.setBrush(colour);
            p.drawEllipse(QRectF(8, 8, 16, 16));
        }
    }

    m_trackPolygon.clear();
    if (m_showTrack) {
        m_trackPolygon.append(m_screenPos);
        Track *track = m_displayTrack;
        const TrackProjector projector(projection);
        const TrackProjector::Key key = projector.key();
        const qint64 cutoff = static_cast<qint64>(m_currentTime) - tailSeconds;
        const int start = std::min(m_currentPoint->index - 1, track->segmentCount() - 1);
        bool rewritten = false;
        // Segment 0 starts at fix 0, which the tail never reaches.
        for (int j = start; j >= 1; --j) {
            TrackSegment &segment = track->segmentAt(j);
            if (!m_completeTrack && segment.tstamp < cutoff)
                break;
            if (!track->hasPixels(j, key)) {
                segment.startPixel = projector.toView(segment);
                rewritten = true;
            }
            m_trackPolygon.append(segment.startPixel);
        }
        if (rewritten && track->pixelKey() != key)
            track->invalidatePixels();
    }
    updateBounds();
}

void Ship::updateBounds()
{
    QRectF r;
    if (!m_trackPolygon.isEmpty())
        r = m_trackPolygon.boundingRect();
    const double x = m_screenPos.x();
    const double y = m_screenPos.y();
    if (m_positionKnown) {
        // Sprite and follow circle, which reaches to x + 18 with a 2 pixel pen.
        r |= QRectF(x - 17, y - 17, 37, 37);
        // Always: thinning may switch the label on after this.
        r |= labelRect();
    }
    if (r.isNull())
        r = QRectF(x, y, 0, 0);
    // Room for the widest pen and antialiased edges.
    m_bounds = r.adjusted(-2, -2, 2, 2);
}

QRectF Ship::boundingRect() const
{
    return m_bounds;
}

QPainterPath Ship::shape() const
{
    QPainterPath path;
    path.addPolygon(m_trackPolygon);
    return path;
}

void Ship::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    if (!m_show || !m_hasPositions || m_pointCount <= 0)
        return;
    painter->save();
    QPen pen = painter->pen();
    pen.setCosmetic(true);
    pen.setStyle(Qt::SolidLine);
    painter->setBrush(Qt::NoBrush);
    const int x = m_screenPos.x();
    const int y = m_screenPos.y();

    if (m_positionKnown) {
        painter->setRenderHint(QPainter::Antialiasing, true);
        if (!m_sprite.isNull())
            painter->drawImage(x - m_spriteHotSpot.x(), y - m_spriteHotSpot.y(), m_sprite);
        if (m_follow) {
            pen.setWidth(2);
            pen.setColor(Qt::red);
            painter->setPen(pen);
            painter->drawEllipse(QRect(QPoint(x - 16, y - 16), QPoint(x + 18, y + 18)));
        }
        if (m_showSpeedLabel) {
            pen.setWidth(2);
            pen.setColor(Qt::black);
            painter->setPen(pen);
            painter->setFont(labelFont());
            painter->drawText(QPoint(x - 7, y - 16), labelText());
        }
        painter->setRenderHint(QPainter::Antialiasing, false);
    }

    if (m_showTrack && m_trackPolygon.size() > 1) {
        pen.setWidth(m_follow ? 2 : 1);
        const QColor colour = m_displayTrack->colour();
        pen.setColor(colour.isValid() ? colour : fallbackColour());
        painter->setPen(pen);
        painter->drawPolyline(m_trackPolygon);
    }
    painter->restore();
}
