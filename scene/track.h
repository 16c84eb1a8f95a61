#ifndef VELMARO_SCENE_TRACK_H
#define VELMARO_SCENE_TRACK_H

#include "map/geo.h"

#include <QColor>
#include <QList>
#include <QPoint>
#include <QString>

#include <deque>
#include <limits>

// One position fix of a boat.
struct TrackPoint {
    TrackPoint() = default;
    TrackPoint(double lat, double lng, int tstamp, double heading)
        : position(lat, lng), heading(heading), tstamp(tstamp)
    {
    }
    TrackPoint(const GeoPoint &position, int tstamp, double heading)
        : position(position), heading(heading), tstamp(tstamp)
    {
    }

    GeoPoint position;
    double heading = 0.0; // degrees clockwise from north
    int tstamp = 0;       // Unix seconds
    int index = 0;        // place in the track, as last found by Ship::positionAt
    bool keep = false;    // mark of Ship::simplifyTrack
    // False for fixes read from the database, which stores no heading.
    bool headingKnown = true;
};

// The leg between two consecutive fixes of a track, with cached view pixels.
struct TrackSegment {
    GeoPoint start;
    GeoPoint end;
    // Mercator row of `start` at zoom 0; NaN until first projected. Saves the
    // logarithm when the track is reprojected on every refresh.
    double startMercator = std::numeric_limits<double>::quiet_NaN();
    int tstamp = 0; // time stamp of the later fix
    QPoint startPixel;
    QPoint endPixel;
};

// Converts positions to view pixels exactly as MapProjection::geoToView does,
// but reuses the tile bounds of the previous call and a segment's cached
// Mercator row, which makes reprojecting long tracks cheap.
class TrackProjector
{
public:
    explicit TrackProjector(const MapProjection &projection);

    QPoint toView(const GeoPoint &position) const;
    QPoint toView(const GeoPoint &position, double mercator) const;
    QPoint toView(TrackSegment &segment) const; // start position; fills the cache

    // Row of the latitude in the tile grid of zoom 0 (row = mercator * n).
    static double mercator(double lat);

    // Identifies the pixel grid: two projections with equal keys give equal pixels.
    struct Key {
        int zoom = std::numeric_limits<int>::min();
        QPoint topLeftTile;
        QPoint firstTileOffset;
        bool operator==(const Key &o) const
        {
            return zoom == o.zoom && topLeftTile == o.topLeftTile &&
                   firstTileOffset == o.firstTileOffset;
        }
        bool operator!=(const Key &o) const { return !(*this == o); }
    };
    Key key() const { return m_key; }

private:
    double m_n;
    int m_left;
    int m_top;
    QPoint m_offset;
    Key m_key;
    mutable int m_column = std::numeric_limits<int>::min();
    mutable int m_row = std::numeric_limits<int>::min();
    mutable TileBounds m_bounds;
};

// One route of one boat: fixes in time order and the segments between them.
// Points added from values are made and owned by the track; points added as
// pointers stay owned by whoever made them (the simplified track refers to
// the points of the raw track). Segments are always owned by the track.
class Track
{
public:
    explicit Track(const QString &name = QString());
    Track(const Track &) = delete;
    Track &operator=(const Track &) = delete;

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    int count() const { return m_points.size(); }
    bool isEmpty() const { return m_points.isEmpty(); }
    TrackPoint *pointAt(int i) const { return m_points.at(i); }
    TrackPoint *first() const { return m_points.isEmpty() ? nullptr : m_points.first(); }
    TrackPoint *last() const { return m_points.isEmpty() ? nullptr : m_points.last(); }
    const QList<TrackPoint *> &points() const { return m_points; }
    // The largest time stamp held (0 when empty): a reply may come out of
    // order, so the last point need not be the newest.
    int newestTime() const { return m_newest; }

    int segmentCount() const { return static_cast<int>(m_segments.size()); }
    TrackSegment &segmentAt(int i) { return m_segments[static_cast<size_t>(i)]; }
    const TrackSegment &segmentAt(int i) const { return m_segments[static_cast<size_t>(i)]; }

    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour) { m_colour = colour; }

    // Geographic bounding box; min starts at (90, 180), max at (-90, -180).
    GeoPoint minCorner() const { return m_min; }
    GeoPoint maxCorner() const { return m_max; }

    // `unused` is the service's fifth column, carried but not read.
    TrackPoint *addPoint(double lat, double lng, int tstamp, double heading, double unused = 0.0);
    void addPoint(TrackPoint *point);
    void reserve(int n);
    // Drops every point and segment and resets the bounding box.
    void clear();

    // Fills start and end pixels of every segment. Segments already projected
    // onto the same pixel grid are skipped, so repeated placements are cheap.
    void projectSegments(const MapProjection &projection);
    // Whether segment i holds pixels of the grid `key`.
    bool hasPixels(int i, const TrackProjector::Key &key) const
    {
        return i < m_projectedSegments && key == m_pixelKey;
    }
    TrackProjector::Key pixelKey() const { return m_pixelKey; }
    // Called when segment pixels were rewritten for another grid.
    void invalidatePixels() { m_projectedSegments = 0; }

private:
    void append(TrackPoint *point);

    QString m_name;
    GeoPoint m_min{90.0, 180.0};
    GeoPoint m_max{-90.0, -180.0};
    QColor m_colour{QStringLiteral("#FFFFFF")};
    QList<TrackPoint *> m_points;
    std::deque<TrackPoint> m_ownedPoints; // stable addresses while growing
    std::deque<TrackSegment> m_segments;
    TrackProjector::Key m_pixelKey;
    int m_projectedSegments = 0;
    int m_newest = 0;
};

#endif
