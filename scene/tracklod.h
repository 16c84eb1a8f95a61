#ifndef VELMARO_SCENE_TRACKLOD_H
#define VELMARO_SCENE_TRACKLOD_H

#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QVector>

#include <climits>
#include <vector>

class MapProjection;
class Track;

// Pixels of the whole world at one zoom, placed exactly as
// MapProjection::geoToView places a position before the view's offset is
// taken off (linear in latitude within a tile row). Remembers the bounds of
// the last row, which saves most of the work along a track.
class WorldProjector
{
public:
    explicit WorldProjector(int zoom);
    QPointF operator()(double lat, double lng) const;
    // World pixel of the view's top left corner: view = world - origin.
    static QPointF viewOrigin(const MapProjection &projection);

private:
    double m_n;
    mutable int m_row = INT_MIN;
    mutable double m_north = 0.0;
    mutable double m_south = 0.0;
};

// The line of one track at one zoom: the fixes it keeps are such that every
// fix between two of them lies within `tolerance` pixels of the straight line
// joining them, so the line drawn through the kept fixes stays within a pixel
// of the line through every fix. Outliers are left out, a gap between two
// fixes is always a line of its own. Built once per zoom and extended as
// fixes arrive; each fix but the newest, whose neighbour is still to come,
// is taken in once.
class TrackLod
{
public:
    static constexpr double tolerance = 0.5; // pixels
    // At most this many fixes lie between two kept ones, which bounds the
    // fixes walked one by one at either end of a drawn stretch.
    static constexpr int maxRun = 48;

    explicit TrackLod(int zoom);
    int zoom() const { return m_zoom; }
    // The usual fix interval the gaps were judged by.
    int usualInterval() const { return m_usualInterval; }
    // Takes in fixes processed() .. count - 2 of the track.
    void extend(const Track &track);
    int processed() const { return m_processed; }
    int keptCount() const { return static_cast<int>(m_kept.size()); }
    int keptIndex(int k) const { return static_cast<int>(m_kept[static_cast<size_t>(k)].index); }
    // The newest kept fix at or before fix `index`, or -1. Kept fixes stay
    // kept as the line is extended, so the line up to there is settled.
    int keptAtOrBefore(int index) const;
    // Tells one line from another, also a rebuilt one at the same place.
    quint64 serial() const { return m_serial; }

    // Appends to `line` the view pixels of the track from fix `high` down to
    // fix `low` (outliers left out), and to `gaps` the place in `line` of
    // every point whose line from the point before it crosses a gap. Runs of
    // points all beyond one edge of `clip` shrink to their two ends, which
    // changes nothing inside it. `highIsGap`: the line from the point already
    // last in `line` to fix `high` crosses a gap.
    void appendLine(const Track &track, int high, int low, const QPointF &viewOrigin,
                    const QRectF &clip, bool highIsGap, QPolygonF *line, QVector<int> *gaps) const;

private:
    struct Kept {
        quint32 index : 31;
        quint32 gapBefore : 1;
        float x; // world pixels from m_origin
        float y;
    };
    struct RunPoint {
        int index;
        double x;
        double y;
    };
    void keep(int index, double x, double y, bool gapBefore);

    int m_zoom;
    quint64 m_serial;
    int m_usualInterval = 0;
    int m_processed = 0;
    QPointF m_origin;
    std::vector<Kept> m_kept;
    // Fixes after the last kept one, still to be decided.
    std::vector<RunPoint> m_run;
    int m_lastValid = -1; // newest fix taken in that is no outlier
};

#endif
