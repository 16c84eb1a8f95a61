#ifndef VELMARO_SCENE_TRACK_H
#define VELMARO_SCENE_TRACK_H

#include "map/geo.h"
#include "scene/tracklod.h"

#include <QColor>
#include <QString>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

// One position fix of a boat as a value: copied out of a Track, or made
// between two fixes by Ship::positionAt.
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
    int index = 0;        // place in the track (Ship::positionAt: the later fix)
    // False for fixes read from the database, which stores no heading.
    bool headingKnown = true;
};

// A fix read out of a track, used like a pointer (`track->pointAt(i)->tstamp`).
// It is a copy: the track keeps its fixes packed, not as TrackPoint objects.
// first() and last() of an empty track give a null one.
class TrackPointRef
{
public:
    TrackPointRef() = default;
    explicit TrackPointRef(const TrackPoint &point) : m_point(point), m_valid(true) {}
    const TrackPoint *operator->() const { return &m_point; }
    const TrackPoint &operator*() const { return m_point; }
    explicit operator bool() const { return m_valid; }

private:
    TrackPoint m_point;
    bool m_valid = false;
};

// One route of one boat: its fixes in arrival order (time order, unless a
// reply came out of order), packed field by field, 14 bytes a fix:
// latitude and longitude in 1e-7 degrees (under 1.2 cm), 32-bit times,
// headings in 1/100 degree. Lines for drawing are derived per zoom on demand
// (TrackLod) and extended as fixes arrive.
class Track
{
public:
    explicit Track(const QString &name = QString());
    ~Track();
    Track(const Track &) = delete;
    Track &operator=(const Track &) = delete;

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    int count() const { return static_cast<int>(m_time.size()); }
    bool isEmpty() const { return m_time.empty(); }
    TrackPointRef pointAt(int i) const;
    TrackPointRef first() const { return isEmpty() ? TrackPointRef() : pointAt(0); }
    TrackPointRef last() const { return isEmpty() ? TrackPointRef() : pointAt(count() - 1); }
    // The largest time stamp held (0 when empty): a reply may come out of
    // order, so the last point need not be the newest.
    int newestTime() const { return m_newest; }

    // Single fields of fix i, for loops over many fixes.
    double latAt(int i) const { return m_lat[static_cast<size_t>(i)] / coordinateScale; }
    double lngAt(int i) const { return m_lng[static_cast<size_t>(i)] / coordinateScale; }
    GeoPoint positionOf(int i) const { return GeoPoint(latAt(i), lngAt(i)); }
    int timeAt(int i) const { return m_time[static_cast<size_t>(i)]; }
    bool headingKnown(int i) const { return m_heading[static_cast<size_t>(i)] != unknownHeading; }
    double headingAt(int i) const;
    // Stores a heading derived later (NaN: unknown).
    void setHeading(int i, double heading);

    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour) { m_colour = colour; }

    // Geographic bounding box; min starts at (90, 180), max at (-90, -180).
    GeoPoint minCorner() const { return m_min; }
    GeoPoint maxCorner() const { return m_max; }

    // `unused` is the service's fifth column, carried but not read. A heading
    // that is not a number marks the heading as unknown (stored fixes).
    void addPoint(double lat, double lng, int tstamp, double heading, double unused = 0.0);
    void reserve(int n);
    // Drops every fix and cached line and resets the bounding box.
    void clear();

    // Fix i implies more than maxKnots from each of its neighbours (from its
    // one neighbour at either end): a spike of the receiver, kept in the
    // database but ignored for drawing and for the boat's position.
    static constexpr double maxKnots = 50.0;
    bool isOutlier(int i) const;
    int outlierCount() const;
    // The neighbouring fix before (after) i that is no outlier; -1 when none.
    int validBefore(int i) const;
    int validAfter(int i) const;

    // The boat's usual time between fixes: the median of the positive
    // intervals of its last fixes (seconds; 0 with fewer than two fixes).
    int usualInterval() const;
    // A time between fixes longer than this many usual intervals is a gap.
    static constexpr int gapFactor = 3;
    bool isGap(int earlierFix, int laterFix) const;

    // The line of the track at the zoom, brought up to date with the fixes.
    const TrackLod &lod(int zoom) const;

private:
    static constexpr double coordinateScale = 1e7;
    static constexpr quint16 unknownHeading = 0xffff;

    QString m_name;
    GeoPoint m_min{90.0, 180.0};
    GeoPoint m_max{-90.0, -180.0};
    QColor m_colour{QStringLiteral("#FFFFFF")};
    std::vector<qint32> m_lat;
    std::vector<qint32> m_lng;
    std::vector<qint32> m_time;
    std::vector<quint16> m_heading;
    int m_newest = 0;
    mutable int m_usualInterval = 0;
    mutable int m_usualIntervalCount = -1; // fixes the usual interval was found for
    mutable std::array<std::unique_ptr<TrackLod>, Geo::maxZoom + 1> m_lods;
};

#endif
