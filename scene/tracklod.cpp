#include "scene/tracklod.h"

#include "map/geo.h"
#include "scene/track.h"

#include <algorithm>
#include <atomic>
#include <cmath>

WorldProjector::WorldProjector(int zoom) : m_n(std::ldexp(1.0, zoom)) {}

QPointF WorldProjector::operator()(double lat, double lng) const
{
    // Inside the last row (its north edge belongs to it) no logarithm is needed.
    if (!(lat <= m_north && lat > m_south) || m_row == INT_MIN) {
        const QPoint tile = Geo::tileIndexAt(lat, lng, m_n);
        const TileBounds b = Geo::tileBounds(tile.x(), tile.y(), m_n);
        m_north = b.north;
        m_south = b.south;
        m_row = tile.y();
    }
    const double x = 256.0 * (lng + 180.0) / 360.0 * m_n;
    const double y = 256.0 * (lat - m_north) / (m_south - m_north) + 256.0 * m_row;
    return QPointF(x, y);
}

QPointF WorldProjector::viewOrigin(const MapProjection &projection)
{
    const QRect tiles = projection.visibleTiles();
    const QPoint offset = projection.firstTileOffset();
    return QPointF(256.0 * tiles.left() - offset.x(), 256.0 * tiles.top() - offset.y());
}

namespace
{

// Squared distance of p from the segment a-b.
double segmentDistance2(double px, double py, double ax, double ay, double bx, double by)
{
    const double wx = bx - ax;
    const double wy = by - ay;
    const double vx = px - ax;
    const double vy = py - ay;
    const double w2 = wx * wx + wy * wy;
    double s = w2 > 0.0 ? (vx * wx + vy * wy) / w2 : 0.0;
    s = std::clamp(s, 0.0, 1.0);
    const double dx = vx - s * wx;
    const double dy = vy - s * wy;
    return dx * dx + dy * dy;
}

// Bits of the edges of `clip` a point lies beyond.
int outcode(const QPointF &p, const QRectF &clip)
{
    int code = 0;
    if (p.x() < clip.left())
        code |= 1;
    else if (p.x() > clip.right())
        code |= 2;
    if (p.y() < clip.top())
        code |= 4;
    else if (p.y() > clip.bottom())
        code |= 8;
    return code;
}

} // namespace

TrackLod::TrackLod(int zoom) : m_zoom(zoom)
{
    static std::atomic<quint64> made{0};
    m_serial = ++made;
}

int TrackLod::keptAtOrBefore(int index) const
{
    const auto byIndex = [](int i, const Kept &k) { return i < int(k.index); };
    const auto after = std::upper_bound(m_kept.begin(), m_kept.end(), index, byIndex);
    return after == m_kept.begin() ? -1 : int((after - 1)->index);
}

void TrackLod::keep(int index, double x, double y, bool gapBefore)
{
    if (m_kept.empty())
        m_origin = QPointF(x, y);
    Kept k;
    k.index = static_cast<quint32>(index);
    k.gapBefore = gapBefore ? 1 : 0;
    k.x = static_cast<float>(x - m_origin.x());
    k.y = static_cast<float>(y - m_origin.y());
    m_kept.push_back(k);
}

void TrackLod::extend(const Track &track)
{
    if (m_processed == 0)
        m_usualInterval = track.usualInterval();
    const int end = track.count() - 1;
    if (m_processed >= end)
        return;
    const WorldProjector world(m_zoom);
    const double tolerance2 = tolerance * tolerance;
    for (int j = m_processed; j < end; ++j) {
        if (track.isOutlier(j))
            continue;
        const QPointF p = world(track.latAt(j), track.lngAt(j));
        const bool gap = m_lastValid >= 0 && track.isGap(m_lastValid, j);
        m_lastValid = j;
        if (m_kept.empty()) {
            keep(j, p.x(), p.y(), false);
            continue;
        }
        if (gap) {
            if (!m_run.empty())
                keep(m_run.back().index, m_run.back().x, m_run.back().y, false);
            m_run.clear();
            keep(j, p.x(), p.y(), true);
            continue;
        }
        bool fits = int(m_run.size()) < maxRun;
        if (fits && !m_run.empty()) {
            const Kept &a = m_kept.back();
            const double ax = m_origin.x() + a.x;
            const double ay = m_origin.y() + a.y;
            for (const RunPoint &r : m_run) {
                if (segmentDistance2(r.x, r.y, ax, ay, p.x(), p.y()) > tolerance2) {
                    fits = false;
                    break;
                }
            }
        }
        if (!fits) {
            keep(m_run.back().index, m_run.back().x, m_run.back().y, false);
            m_run.clear();
        }
        m_run.push_back(RunPoint{j, p.x(), p.y()});
    }
    m_processed = end;
}

void TrackLod::appendLine(const Track &track, int high, int low, const QPointF &viewOrigin,
                          const QRectF &clip, bool highIsGap, QPolygonF *line,
                          QVector<int> *gaps) const
{
    if (high < low || high < 0)
        return;
    const auto push = [&](const QPointF &p, bool gap) {
        const int n = int(line->size());
        if (!gap && n >= 2 && (gaps->isEmpty() || gaps->last() != n - 1)) {
            if (outcode(p, clip) & outcode(line->at(n - 1), clip) &
                outcode(line->at(n - 2), clip)) {
                (*line)[n - 1] = p;
                return;
            }
        }
        if (gap && n > 0)
            gaps->append(n);
        line->append(p);
    };
    const WorldProjector world(m_zoom);
    const QPointF shift = -viewOrigin;
    int previous = -1; // fix of the last point pushed
    bool pendingGap = highIsGap;
    // Fixes one by one from `from` down to `to`, outliers left out.
    const auto walk = [&](int from, int to) {
        for (int i = from; i >= to; --i) {
            if (track.isOutlier(i))
                continue;
            const bool gap = previous >= 0 ? track.isGap(i, previous) : pendingGap;
            push(world(track.latAt(i), track.lngAt(i)) + shift, gap);
            previous = i;
        }
    };

    // Kept fixes within low..high.
    const auto byIndex = [](const Kept &k, int i) { return int(k.index) < i; };
    const auto first = std::lower_bound(m_kept.begin(), m_kept.end(), low, byIndex);
    auto last = std::lower_bound(first, m_kept.end(), high + 1, byIndex);
    if (first == last) {
        walk(high, low);
        return;
    }
    --last;
    walk(high, int(last->index) + 1);
    const QPointF base = m_origin + shift;
    for (auto k = last;; --k) {
        bool gap;
        if (previous < 0)
            gap = pendingGap;
        else if (k == last)
            gap = track.isGap(int(k->index), previous);
        else
            gap = (k + 1)->gapBefore;
        push(QPointF(base.x() + k->x, base.y() + k->y), gap);
        previous = int(k->index);
        if (k == first)
            break;
    }
    walk(int(first->index) - 1, low);
}
