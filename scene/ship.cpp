#include "scene/ship.h"

#include "scene/spritestrip.h"
#include "scene/tracklayer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <atomic>
#include <vector>

Ship::Ship(int id, const QString &name, const QString &sourceKind, const QString &sourceLocation)
    : m_id(id), m_name(name), m_sourceKind(sourceKind), m_sourceLocation(sourceLocation),
      m_initialTrack(std::make_unique<Track>(name)), m_rawTrack(std::make_unique<Track>(name)),
      m_simplifiedTrack(std::make_unique<Track>(name)), m_displayTrack(m_initialTrack.get())
{
    static std::atomic<quint64> made{0};
    m_serial = ++made;
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

TrackPoint *Ship::makePoint(const TrackPoint &point)
{
    // The current point may be the one made last time; keep it alive until it
    // is replaced as the current point.
    if (m_madePoint && m_madePoint.get() == m_currentPoint)
        m_currentMadePoint = std::move(m_madePoint);
    m_madePoint = std::make_unique<TrackPoint>(point);
    return m_madePoint.get();
}

namespace
{

// The bearing fix i was reached on; a boat that had not moved yet takes the
// bearing of its first move. Used for fixes without a recorded heading.
double derivedHeading(const Track &track, int i)
{
    const GeoPoint here = track.positionOf(i);
    for (int k = i; k > 0; --k) {
        const int before = track.validBefore(k);
        if (before < 0)
            break;
        if (track.positionOf(before) != track.positionOf(k))
            return Geo::bearingTo(track.positionOf(before), track.positionOf(k));
        k = before + 1;
    }
    for (int k = track.validAfter(i); k >= 0; k = track.validAfter(k)) {
        if (track.positionOf(k) != here)
            return Geo::bearingTo(here, track.positionOf(k));
    }
    return track.headingAt(i);
}

} // namespace

TrackPoint *Ship::fixPoint(int i)
{
    Track *track = m_displayTrack;
    if (!track->headingKnown(i))
        track->setHeading(i, derivedHeading(*track, i));
    takeSpeedAt(*track, i);
    return makePoint(*track->pointAt(i));
}

TrackPoint *Ship::positionAt(int t)
{
    const Track *track = m_displayTrack;
    const int n = track->count();
    if (n == 0)
        return nullptr;
    // Outliers are not where the boat was; a track of nothing else keeps them.
    int last = track->isOutlier(n - 1) ? track->validBefore(n - 1) : n - 1;
    if (last < 0)
        last = n - 1;
    if (t >= track->timeAt(last) || m_pointCount < 2 || n < 2) {
        TrackPoint p = *track->pointAt(last);
        const int before = track->validBefore(last);
        if (before >= 0) {
            p.heading = Geo::bearingTo(track->positionOf(before), p.position);
            takeSpeedAt(*track, last);
        }
        return makePoint(p);
    }

    // The last fix at or before t, the first after it.
    int lo = -1;
    int hi = last;
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (track->timeAt(mid) <= t)
            lo = mid;
        else
            hi = mid;
    }
    if (lo >= 0 && track->isOutlier(lo))
        lo = track->validBefore(lo);
    // Before the first fix: extrapolate back along the first leg.
    if (lo < 0) {
        lo = track->isOutlier(0) ? track->validAfter(0) : 0;
        if (lo < 0 || lo >= last)
            return fixPoint(last);
    } else if (track->timeAt(lo) == t) {
        return fixPoint(lo);
    }
    hi = track->validAfter(lo);
    if (hi < 0)
        return fixPoint(lo);
    const GeoPoint a = track->positionOf(lo);
    const GeoPoint b = track->positionOf(hi);
    const int dt = track->timeAt(hi) - track->timeAt(lo);
    if (dt <= 0) {
        // A fix stored twice: no speed to compute, stay on the earlier one.
        return makePoint(*track->pointAt(lo));
    }
    const double v = Geo::distanceKm(a, b) / dt; // km/s
    m_speed = v * 3600.0 / 1.852;
    const double bearing = Geo::bearingTo(a, b);
    TrackPoint made(
        Geo::destinationPoint(a, v * (static_cast<double>(t) - track->timeAt(lo)), bearing), t,
        bearing);
    made.index = hi;
    return makePoint(made);
}

void Ship::takeSpeedAt(const Track &track, int i)
{
    // On a fix the boat goes at the speed it arrived with (the first fix: the
    // one it leaves with); a fix stored twice keeps the speed shown before.
    const int before = track.validBefore(i);
    const int from = before >= 0 ? before : i;
    const int to = before >= 0 ? i : track.validAfter(i);
    if (to < 0 || to >= track.count())
        return;
    const int dt = track.timeAt(to) - track.timeAt(from);
    if (dt > 0)
        m_speed =
            Geo::distanceKm(track.positionOf(from), track.positionOf(to)) / dt * 3600.0 / 1.852;
}

bool Ship::isStale() const
{
    // Two usual intervals without a fix: the boat is no longer reporting.
    const Track *track = m_rawTrack.get();
    const int usual = track->usualInterval();
    return usual > 0 && !track->isEmpty() &&
           static_cast<qint64>(m_currentTime) - track->newestTime() > 2LL * usual;
}

void Ship::simplifyTrack(double tolerance)
{
    m_simplifyTolerance = tolerance;
    m_simplifyToleranceSquared = tolerance * tolerance;
    const Track *raw = m_rawTrack.get();
    const int n = raw->count();
    m_simplifiedTrack->clear();
    if (n == 0)
        return;
    std::vector<char> keep(static_cast<size_t>(n), 0);

    // Ranges still to reduce; a stack instead of recursion keeps long
    // straight runs from exhausting the call stack.
    std::vector<std::pair<int, int>> ranges;
    ranges.emplace_back(0, n - 1);
    while (!ranges.empty()) {
        const auto [first, last] = ranges.back();
        ranges.pop_back();
        if (first + 1 >= last)
            continue;
        const GeoPoint a = raw->positionOf(first);
        const GeoPoint b = raw->positionOf(last);
        const double wLat = b.lat() - a.lat();
        const double wLng = b.lng() - a.lng();
        const double w2 = wLat * wLat + wLng * wLng;
        const double wLen = std::sqrt(w2);
        double best = -1.0;
        int winner = first;
        for (int i = first + 1; i < last; ++i) {
            const GeoPoint p = raw->positionOf(i);
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
        keep[static_cast<size_t>(winner)] = 1;
        ranges.emplace_back(winner, last);
        ranges.emplace_back(first, winner);
    }
    keep.front() = 1;
    keep.back() = 1;

    for (int i = 0; i < n; ++i) {
        if (keep[static_cast<size_t>(i)])
            m_simplifiedTrack->addPoint(raw->latAt(i), raw->lngAt(i), raw->timeAt(i),
                                        raw->headingKnown(i) ? raw->headingAt(i) : std::nan(""));
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
    if (m_pointCount <= 0 || !m_hasPositions || !m_currentPoint) {
        m_span = LineSpan{}; // nothing placed in this view
        return;
    }
    prepareGeometryChange();
    m_screenPos = projection.geoToView(m_currentPoint->position);

    const QColor colour = m_colour.isValid() ? m_colour : fallbackColour();
    const bool stale = isStale();
    const QPixmap *strip = m_spriteStrip.get();
    const int frame = SpriteStrip::frameForHeading(m_currentPoint->heading);
    // Tinting is most of a boat's work per frame; a boat on the same course
    // in the same colour keeps its sprite.
    const SpriteKey key{frame, colour.rgba(), stale, strip ? strip->cacheKey() : 0};
    if (m_positionKnown && !(key == m_spriteKey && !m_sprite.isNull())) {
        m_spriteKey = key;
        const QSize size(SpriteStrip::frameSize, SpriteStrip::frameSize);
        if (m_sprite.size() != size)
            m_sprite = QImage(size, QImage::Format_ARGB32_Premultiplied);
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
            const QImage rim = shape(stale ? staleColour() : outlineColour());
            m_sprite.fill(Qt::transparent);
            QPainter p(&m_sprite);
            for (const QPoint offset : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
                p.drawImage(offset, rim);
            // A boat that stopped reporting keeps only its grey rim.
            if (stale)
                p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            p.drawImage(0, 0, shape(colour));
        } else {
            // No strip to cut from: a dot in the boat colour still shows where it is.
            m_sprite.fill(Qt::transparent);
            QPainter p(&m_sprite);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(stale ? staleColour() : outlineColour(), stale ? 2.0 : 1.0));
            p.setBrush(stale ? QBrush(Qt::NoBrush) : QBrush(colour));
            p.drawEllipse(QRectF(8, 8, 16, 16));
        }
    }

    // Refilled in place: the buffers keep their room from frame to frame.
    m_endLine.resize(0);
    m_endGaps.resize(0);
    m_span = LineSpan{};
    const Track *track = m_displayTrack;
    const int n = track->count();
    if (m_showTrack && n > 1) {
        m_endLine.append(m_screenPos);
        // Fix 0 starts the first leg, which the tail never reaches.
        const int current = std::min(m_currentPoint->index, n - 1);
        const int high = std::min(current - 1, n - 2);
        int low = 1;
        if (!m_completeTrack) {
            // Fix j is drawn while the fix after it is inside the tail.
            const qint64 cutoff = static_cast<qint64>(m_currentTime) - tailSeconds;
            int a = 0;
            int b = n;
            while (a < b) {
                const int mid = a + (b - a) / 2;
                if (track->timeAt(mid) < cutoff)
                    a = mid + 1;
                else
                    b = mid;
            }
            low = std::max(1, a - 1);
        }
        if (high >= low) {
            LineSpan &span = m_span;
            span.line.track = track;
            span.high = high;
            span.line.low = low;
            span.highIsGap = track->isGap(high, current);
            span.line.zoom = projection.zoom();
            span.line.origin = WorldProjector::viewOrigin(projection);
            span.line.clip =
                QRectF(0, 0, projection.width(), projection.height()).adjusted(-8, -8, 8, 8);
            const TrackLod &lod = track->lod(span.line.zoom);
            span.line.lod = lod.serial();
            // Up to the newest kept fix the line is settled and drawn once by
            // the track layer; only the stretch from the boat back to it moves.
            const int settled = lod.keptAtOrBefore(high);
            span.line.settled = settled > low ? settled : -1;
            lod.appendLine(*track, high, span.line.settled >= 0 ? span.line.settled : low,
                           span.line.origin, span.line.clip, span.highIsGap, &m_endLine,
                           &m_endGaps);
        }
    }
    updateBounds();
}

void Ship::wholeLine(QPolygonF *line, QVector<int> *gaps) const
{
    if (m_span.high < 0 || m_span.line.track != m_displayTrack)
        return;
    line->append(m_screenPos);
    m_span.line.track->lod(m_span.line.zoom)
        .appendLine(*m_span.line.track, m_span.high, m_span.line.low, m_span.line.origin,
                    m_span.line.clip, m_span.highIsGap, line, gaps);
}

QPolygonF Ship::trackPolygon() const
{
    QPolygonF line;
    QVector<int> gaps;
    wholeLine(&line, &gaps);
    return line;
}

QVector<int> Ship::trackGaps() const
{
    QPolygonF line;
    QVector<int> gaps;
    wholeLine(&line, &gaps);
    return gaps;
}

QPen Ship::linePen() const
{
    QPen pen;
    pen.setCosmetic(true);
    pen.setWidth(m_follow ? 2 : 1);
    const QColor colour = m_displayTrack->colour();
    pen.setColor(colour.isValid() ? colour : fallbackColour());
    return pen;
}

Ship::SettledLine Ship::settledLine() const
{
    SettledLine line;
    if (!m_show || !m_hasPositions || m_pointCount <= 0 || !m_showTrack || !isVisible() ||
        m_span.line.settled < 0 || m_span.line.track != m_displayTrack)
        return line;
    line = m_span.line;
    const QPen pen = linePen();
    line.colour = pen.color().rgba();
    line.width = pen.width();
    return line;
}

void Ship::updateBounds()
{
    QRectF r;
    if (!m_endLine.isEmpty())
        r = m_endLine.boundingRect();
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
    path.addPolygon(trackPolygon());
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

    if (m_showTrack && m_endLine.size() > 1)
        TrackLayer::drawLine(painter, m_endLine, m_endGaps, linePen());
    painter->restore();
}
