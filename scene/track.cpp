#include "scene/track.h"

#include <algorithm>
#include <cmath>

TrackProjector::TrackProjector(const MapProjection &projection)
    : m_n(projection.n()), m_left(projection.visibleTiles().left()),
      m_top(projection.visibleTiles().top()), m_offset(projection.firstTileOffset())
{
    m_key.zoom = projection.zoom();
    m_key.topLeftTile = QPoint(m_left, m_top);
    m_key.firstTileOffset = m_offset;
}

double TrackProjector::mercator(double lat)
{
    // The same operations, in the same order, as Geo::tilePosition, so that
    // mercator(lat) * n is bit-identical to its row.
    const double phi = Geo::pi * lat / 180.0;
    return (std::log(std::tan(phi) + 1.0 / std::cos(phi)) / (-Geo::pi) + 1.0) * 0.5;
}

QPoint TrackProjector::toView(const GeoPoint &position) const
{
    return toView(position, mercator(position.lat()));
}

QPoint TrackProjector::toView(const GeoPoint &position, double mercator) const
{
    const double lng = position.lng();
    const double lat = position.lat();
    const double tx = (lng + 180.0) / 360.0 * m_n;
    const double ty = mercator * m_n;
    const int column = static_cast<int>(tx);
    const int row = static_cast<int>(ty);
    if (column != m_column || row != m_row) {
        m_bounds = Geo::tileBounds(column, row, m_n);
        m_column = column;
        m_row = row;
    }
    const TileBounds &b = m_bounds;
    const int x =
        static_cast<int>(256.0 * (lng - b.west) / (b.east - b.west) + 256.0 * (column - m_left)) +
        m_offset.x();
    const int y =
        static_cast<int>(256.0 * (lat - b.north) / (b.south - b.north) + 256.0 * (row - m_top)) +
        m_offset.y();
    return QPoint(x, y);
}

QPoint TrackProjector::toView(TrackSegment &segment) const
{
    if (std::isnan(segment.startMercator))
        segment.startMercator = mercator(segment.start.lat());
    return toView(segment.start, segment.startMercator);
}

Track::Track(const QString &name) : m_name(name) {}

TrackPoint *Track::addPoint(double lat, double lng, int tstamp, double heading, double unused)
{
    Q_UNUSED(unused)
    m_ownedPoints.emplace_back(lat, lng, tstamp, heading);
    TrackPoint *point = &m_ownedPoints.back();
    append(point);
    return point;
}

void Track::addPoint(TrackPoint *point)
{
    if (point)
        append(point);
}

void Track::append(TrackPoint *point)
{
    m_points.append(point);
    m_newest = std::max(m_newest, point->tstamp);
    const int n = m_points.size();
    if (n > 1) {
        TrackSegment segment;
        segment.start = m_points.at(n - 2)->position;
        segment.end = point->position;
        segment.tstamp = point->tstamp;
        m_segments.push_back(segment);
    }
    const GeoPoint &p = point->position;
    if (p.lat() < m_min.lat())
        m_min.setLat(p.lat());
    if (p.lng() < m_min.lng())
        m_min.setLng(p.lng());
    if (p.lat() > m_max.lat())
        m_max.setLat(p.lat());
    if (p.lng() > m_max.lng())
        m_max.setLng(p.lng());
}

void Track::reserve(int n)
{
    m_points.reserve(n);
}

void Track::clear()
{
    m_points.clear();
    m_ownedPoints.clear();
    m_segments.clear();
    m_min = GeoPoint(90.0, 180.0);
    m_max = GeoPoint(-90.0, -180.0);
    m_projectedSegments = 0;
    m_newest = 0;
}

void Track::projectSegments(const MapProjection &projection)
{
    const TrackProjector projector(projection);
    if (projector.key() != m_pixelKey) {
        m_pixelKey = projector.key();
        m_projectedSegments = 0;
    }
    const int n = segmentCount();
    for (int i = m_projectedSegments; i < n; ++i) {
        TrackSegment &s = m_segments[static_cast<size_t>(i)];
        s.startPixel = projector.toView(s);
        // A segment ends where the next one starts.
        if (i > 0)
            m_segments[static_cast<size_t>(i - 1)].endPixel = s.startPixel;
    }
    if (n > m_projectedSegments)
        m_segments.back().endPixel = projector.toView(m_segments.back().end);
    m_projectedSegments = n;
}
