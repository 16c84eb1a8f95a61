#include "scene/track.h"

#include <algorithm>
#include <cmath>

Track::Track(const QString &name) : m_name(name) {}

Track::~Track() = default;

TrackPointRef Track::pointAt(int i) const
{
    TrackPoint p(latAt(i), lngAt(i), timeAt(i), headingAt(i));
    p.index = i;
    p.headingKnown = headingKnown(i);
    return TrackPointRef(p);
}

double Track::headingAt(int i) const
{
    const quint16 h = m_heading[static_cast<size_t>(i)];
    return h == unknownHeading ? 0.0 : h / 100.0;
}

void Track::setHeading(int i, double heading)
{
    quint16 h = unknownHeading;
    if (std::isfinite(heading)) {
        const double deg = Geo::normalizedDegrees(heading);
        h = static_cast<quint16>(std::min(35999L, std::lround(deg * 100.0)));
    }
    m_heading[static_cast<size_t>(i)] = h;
}

void Track::addPoint(double lat, double lng, int tstamp, double heading, double unused)
{
    Q_UNUSED(unused)
    m_lat.push_back(static_cast<qint32>(std::lround(lat * coordinateScale)));
    m_lng.push_back(static_cast<qint32>(std::lround(lng * coordinateScale)));
    m_time.push_back(tstamp);
    m_heading.push_back(unknownHeading);
    setHeading(count() - 1, heading);
    m_newest = std::max(m_newest, tstamp);
    if (lat < m_min.lat())
        m_min.setLat(lat);
    if (lng < m_min.lng())
        m_min.setLng(lng);
    if (lat > m_max.lat())
        m_max.setLat(lat);
    if (lng > m_max.lng())
        m_max.setLng(lng);
}

void Track::reserve(int n)
{
    const size_t size = static_cast<size_t>(std::max(0, n));
    m_lat.reserve(size);
    m_lng.reserve(size);
    m_time.reserve(size);
    m_heading.reserve(size);
}

void Track::clear()
{
    // Swapping with empty vectors frees the memory, which clear() keeps.
    std::vector<qint32>().swap(m_lat);
    std::vector<qint32>().swap(m_lng);
    std::vector<qint32>().swap(m_time);
    std::vector<quint16>().swap(m_heading);
    m_min = GeoPoint(90.0, 180.0);
    m_max = GeoPoint(-90.0, -180.0);
    m_newest = 0;
    m_usualIntervalCount = -1;
    for (auto &lod : m_lods)
        lod.reset();
}

namespace
{

// Whether going from fix a to fix b takes more than `knots`; a jump without
// time between them counts as infinitely fast, standing still as zero. Most
// legs are far below the limit, which the cheap bound (a degree is at most
// 60.1 nautical miles along either axis) settles without the haversine.
bool fasterThan(const Track &track, int a, int b, double knots)
{
    const double dt = std::abs(track.timeAt(b) - track.timeAt(a));
    const double bound = 60.1 * (std::abs(track.latAt(b) - track.latAt(a)) +
                                 std::abs(track.lngAt(b) - track.lngAt(a)));
    if (bound * 3600.0 <= knots * dt)
        return false;
    const double km = Geo::distanceKm(track.positionOf(a), track.positionOf(b));
    if (dt == 0)
        return km > 0.0;
    return km / dt * 3600.0 / 1.852 > knots;
}

} // namespace

bool Track::isOutlier(int i) const
{
    const int n = count();
    if (i < 0 || i >= n || n < 2)
        return false;
    if (i > 0 && !fasterThan(*this, i - 1, i, maxKnots))
        return false;
    if (i + 1 < n && !fasterThan(*this, i, i + 1, maxKnots))
        return false;
    return true;
}

int Track::outlierCount() const
{
    int n = 0;
    for (int i = 0; i < count(); ++i)
        n += isOutlier(i) ? 1 : 0;
    return n;
}

int Track::validBefore(int i) const
{
    for (int k = std::min(i, count()) - 1; k >= 0; --k) {
        if (!isOutlier(k))
            return k;
    }
    return -1;
}

int Track::validAfter(int i) const
{
    for (int k = std::max(i + 1, 0); k < count(); ++k) {
        if (!isOutlier(k))
            return k;
    }
    return -1;
}

int Track::usualInterval() const
{
    const int n = count();
    // Found again only when the track has grown by a sixteenth, so that a
    // live track does not redo it (nor its lines) with every fix.
    if (m_usualIntervalCount >= 0 && n - m_usualIntervalCount <= m_usualIntervalCount / 16 &&
        (n >= 64 || n == m_usualIntervalCount))
        return m_usualInterval;
    std::vector<int> intervals;
    const int from = std::max(1, n - 2048);
    intervals.reserve(static_cast<size_t>(std::max(0, n - from)));
    for (int i = from; i < n; ++i) {
        const int dt = timeAt(i) - timeAt(i - 1);
        if (dt > 0)
            intervals.push_back(dt);
    }
    m_usualInterval = 0;
    if (!intervals.empty()) {
        auto mid = intervals.begin() + static_cast<std::ptrdiff_t>(intervals.size() / 2);
        std::nth_element(intervals.begin(), mid, intervals.end());
        m_usualInterval = *mid;
    }
    m_usualIntervalCount = n;
    return m_usualInterval;
}

bool Track::isGap(int earlierFix, int laterFix) const
{
    const int usual = usualInterval();
    return usual > 0 && timeAt(laterFix) - timeAt(earlierFix) > gapFactor * usual;
}

const TrackLod &Track::lod(int zoom) const
{
    auto &slot = m_lods[static_cast<size_t>(std::clamp(zoom, 0, Geo::maxZoom))];
    if (!slot || (slot->processed() > 0 && slot->usualInterval() != usualInterval()))
        slot = std::make_unique<TrackLod>(std::clamp(zoom, 0, Geo::maxZoom));
    slot->extend(*this);
    return *slot;
}
