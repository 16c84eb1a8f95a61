#include "scene/manoeuvres.h"

#include "scene/track.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <utility>

namespace Sailing
{

namespace
{

constexpr double metresPerDegLat = 110540.0;
constexpr double metresPerDegLng = 111320.0;
constexpr double knotsPerMps = 1.9438444924406;
// Seconds of steady course looked at on each side of a turn, and the time
// the turn itself may take on each side of its middle: at 1 Hz a quarter of
// a minute and a few seconds, at sparser fixes enough of them.
struct Windows {
    int steady;
    int half;
};
Windows windowsFor(int fixInterval)
{
    return {std::max(15, 4 * fixInterval), std::max(6, fixInterval)};
}
// Mean resultant length of the courses of a steady window (about 14 degrees
// of spread at 0.97).
constexpr double steadyR = 0.97;

double normalized(double deg)
{
    return Geo::normalizedDegrees(deg);
}

struct Mean {
    double deg = 0.0;
    double r = 0.0; // 0 .. 1, 1 when every course is the same
    int count = 0;
};

// Circular mean of the courses with time in [from, to].
Mean meanCourse(const QVector<Motion> &m, int from, int to)
{
    double s = 0.0, c = 0.0;
    int n = 0;
    const auto first =
        std::lower_bound(m.begin(), m.end(), from, [](const Motion &x, int t) { return x.t < t; });
    for (auto it = first; it != m.end() && it->t <= to; ++it) {
        s += std::sin(it->cog / Geo::degPerRad);
        c += std::cos(it->cog / Geo::degPerRad);
        ++n;
    }
    Mean mean;
    mean.count = n;
    if (n > 0) {
        mean.deg = normalized(std::atan2(s, c) * Geo::degPerRad);
        mean.r = std::hypot(s, c) / n;
    }
    return mean;
}

int medianInterval(const QVector<Motion> &m)
{
    if (m.size() < 2)
        return 0;
    QVector<int> gaps;
    gaps.reserve(m.size() - 1);
    for (int i = 1; i < m.size(); ++i)
        gaps.append(m.at(i).t - m.at(i - 1).t);
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    return gaps.at(gaps.size() / 2);
}

// Metres east and north of `origin`; flat over the few kilometres of a manoeuvre.
QPointF local(const GeoPoint &p, const GeoPoint &origin)
{
    return QPointF((p.lng() - origin.lng()) * std::cos(origin.latRad()) * metresPerDegLng,
                   (p.lat() - origin.lat()) * metresPerDegLat);
}

QPointF unit(double deg)
{
    return QPointF(std::sin(deg / Geo::degPerRad), std::cos(deg / Geo::degPerRad));
}

} // namespace

QVector<Motion> smoothedMotion(const Track &fixes)
{
    QVector<Motion> m;
    m.reserve(fixes.count());
    for (int i = 0; i < fixes.count(); ++i) {
        if ((!m.isEmpty() && fixes.timeAt(i) <= m.last().t) || fixes.isOutlier(i))
            continue;
        Motion x;
        x.t = fixes.timeAt(i);
        x.position = fixes.positionOf(i);
        m.append(x);
    }
    const int dt = std::max(1, medianInterval(m));
    const int k = std::clamp(int(std::lround(3.0 / dt)), 1, 5);
    // At 1 Hz each end of the chord is the mean of three fixes, which takes
    // the edge off GPS noise; minutes apart, a fix is its own end.
    const int ends = dt <= 2 ? 1 : 0;
    const int last = int(m.size()) - 1;
    const auto endAt = [&](int centre) {
        double lat = 0.0, lng = 0.0, t = 0.0;
        int n = 0;
        for (int j = std::max(0, centre - ends); j <= std::min(last, centre + ends); ++j, ++n) {
            lat += m.at(j).position.lat();
            lng += m.at(j).position.lng();
            t += m.at(j).t;
        }
        return std::pair(GeoPoint(lat / n, lng / n), t / n);
    };
    QVector<std::pair<double, double>> motion(m.size());
    for (int i = 0; i < m.size(); ++i) {
        const auto [a, ta] = endAt(std::max(0, i - k));
        const auto [b, tb] = endAt(std::min(last, i + k));
        if (tb <= ta)
            continue;
        motion[i] = {Geo::bearingTo(a, b),
                     Geo::distanceKm(a, b) * 1000.0 / (tb - ta) * knotsPerMps};
    }
    for (int i = 0; i < m.size(); ++i)
        std::tie(m[i].cog, m[i].sogKn) = motion.at(i);
    return m;
}

QVector<Turn> findTurns(const QVector<Motion> &m)
{
    QVector<Turn> turns;
    const int dt = medianInterval(m);
    if (dt <= 0 || dt > maxFixIntervalSecs)
        return turns; // a turn falls between two fixes
    const auto [steadySecs, turnHalfSecs] = windowsFor(dt);
    const int minFixes = std::max(3, steadySecs / dt / 2);
    int skipUntil = 0;
    for (int i = 0; i < m.size(); ++i) {
        const int t = m.at(i).t;
        if (t < skipUntil)
            continue;
        const Mean before = meanCourse(m, t - turnHalfSecs - steadySecs, t - turnHalfSecs);
        const Mean after = meanCourse(m, t + turnHalfSecs, t + turnHalfSecs + steadySecs);
        if (before.count < minFixes || after.count < minFixes || before.r < steadyR ||
            after.r < steadyR || std::abs(angleDiff(after.deg, before.deg)) < 30.0)
            continue;
        // The middle of the turn: where the change between the two sides peaks.
        int best = i;
        double bestChange = 0.0;
        for (int j = i; j < m.size() && m.at(j).t <= t + 2 * turnHalfSecs; ++j) {
            const int tj = m.at(j).t;
            const Mean b = meanCourse(m, tj - turnHalfSecs - steadySecs, tj - turnHalfSecs);
            const Mean a = meanCourse(m, tj + turnHalfSecs, tj + turnHalfSecs + steadySecs);
            const double change = std::abs(angleDiff(a.deg, b.deg)) * std::min(a.r, b.r);
            if (change > bestChange) {
                bestChange = change;
                best = j;
            }
        }
        const int tb = m.at(best).t;
        Turn turn;
        turn.t = tb;
        turn.before = meanCourse(m, tb - turnHalfSecs - steadySecs, tb - turnHalfSecs).deg;
        turn.after = meanCourse(m, tb + turnHalfSecs, tb + turnHalfSecs + steadySecs).deg;
        turns.append(turn);
        skipUntil = tb + turnHalfSecs + steadySecs;
    }
    return turns;
}

QVector<Manoeuvre> detectManoeuvres(const QVector<Motion> &m, double windFrom)
{
    return detectManoeuvres(m, findTurns(m), [windFrom](int) { return windFrom; });
}

QVector<Manoeuvre> detectManoeuvres(const QVector<Motion> &m, const QVector<Turn> &turns,
                                    const std::function<double(int)> &windAt)
{
    QVector<Manoeuvre> found;
    const int dt = std::max(1, medianInterval(m));
    const auto [steadySecs, turnHalfSecs] = windowsFor(dt);
    for (const Turn &turn : turns) {
        const double windFrom = windAt(turn.t);
        // Walk the short way from the old course to the new one, measured
        // from the wind: through 0 is a tack, through 180 a gybe.
        const double start = angleDiff(turn.before, windFrom);
        const double end = start + angleDiff(turn.after, turn.before);
        const double low = std::min(start, end), high = std::max(start, end);
        ManoeuvreKind kind;
        if (low < 0.0 && high > 0.0)
            kind = ManoeuvreKind::Tack;
        else if (low < -180.0 || high > 180.0)
            kind = ManoeuvreKind::Gybe;
        else
            continue; // a bear-away or a rounding on one tack
        const double axis = kind == ManoeuvreKind::Tack ? windFrom : windFrom + 180.0;

        // The moment the course passes the axis: the passing nearest the
        // middle of the turn, as noise may make it pass more than once.
        const auto indexAt = [&m](int t) {
            return int(std::lower_bound(m.begin(), m.end(), t,
                                        [](const Motion &x, int v) { return x.t < v; }) -
                       m.begin());
        };
        // Every fix looked at below lies within this stretch around the turn.
        const int windowStart = std::max(1, indexAt(turn.t - 4 * turnHalfSecs));
        const int windowEnd = indexAt(turn.t + 4 * turnHalfSecs + 1);
        int cross = indexAt(turn.t);
        int bestGap = 3 * turnHalfSecs + 1;
        for (int j = windowStart; j < windowEnd; ++j) {
            const int gap = std::abs(m.at(j).t - turn.t);
            if (gap < bestGap &&
                (angleDiff(m.at(j - 1).cog, axis) < 0) != (angleDiff(m.at(j).cog, axis) < 0)) {
                bestGap = gap;
                cross = j;
            }
        }
        cross = std::clamp(cross, 0, int(m.size()) - 1);

        // From the last fix on the old course to the first on the new one.
        int from = cross, to = cross;
        while (from > 0 && m.at(cross).t - m.at(from).t < std::max(60, 3 * dt) &&
               std::abs(angleDiff(m.at(from).cog, turn.before)) > 10.0)
            --from;
        while (to + 1 < m.size() && m.at(to).t - m.at(cross).t < std::max(60, 3 * dt) &&
               std::abs(angleDiff(m.at(to).cog, turn.after)) > 10.0)
            ++to;

        // Noise makes the course pass the axis more than once, so the
        // passing and the length of the turn come from sums over the share
        // of the turn done at each fix: for a steady turn from 0 to 1, the
        // time spent below 1 ends at its middle, and done x (1 - done) sums
        // to a sixth of its length.
        const double turned = angleDiff(turn.after, turn.before);
        const int first = turn.t - 2 * turnHalfSecs;
        double middle = first;
        int previousT = first;
        QVector<std::pair<int, double>> share; // (time, share of the turn done)
        for (int j = windowStart - 1; j < windowEnd; ++j) {
            const Motion &x = m.at(j);
            if (x.t <= first || x.t > turn.t + 2 * turnHalfSecs)
                continue;
            const double done = std::clamp(angleDiff(x.cog, turn.before) / turned, -0.5, 1.5);
            middle += (1.0 - done) * (x.t - previousT);
            previousT = x.t;
            share.append({x.t, done});
        }
        // Its length: from 20 to 80 per cent of the way, on shares smoothed
        // by a median of five, stretched to the whole way.
        QVector<double> smooth(share.size());
        for (int j = 0; j < share.size(); ++j) {
            std::array<double, 5> near{};
            int n = 0;
            for (int k = std::max(0, j - 2); k <= std::min(int(share.size()) - 1, j + 2); ++k)
                near[size_t(n++)] = share.at(k).second;
            std::sort(near.begin(), near.begin() + n);
            smooth[j] = near[size_t(n / 2)];
        }
        int mid = 0;
        for (int j = 0; j < share.size(); ++j)
            if (std::abs(share.at(j).first - middle) < std::abs(share.at(mid).first - middle))
                mid = j;
        int begins = mid, ends = mid;
        while (begins > 0 && smooth.at(begins) > 0.2)
            --begins;
        while (ends + 1 < share.size() && smooth.at(ends) < 0.8)
            ++ends;
        const int duration =
            share.isEmpty()
                ? 0
                : std::max(1,
                           int(std::lround((share.at(ends).first - share.at(begins).first) / 0.6)));
        for (int j = windowStart - 1; j < windowEnd; ++j)
            if (std::abs(m.at(j).t - middle) < std::abs(m.at(cross).t - middle))
                cross = j;

        // The loss over the turn and the smoothing around it, where the boat
        // still sails its old and new courses at their usual speed.
        int wideFrom = from, wideTo = to;
        while (wideFrom > 0 && m.at(from).t - m.at(wideFrom - 1).t <= std::max(3, dt))
            --wideFrom;
        while (wideTo + 1 < m.size() && m.at(wideTo + 1).t - m.at(to).t <= std::max(3, dt))
            ++wideTo;
        // Velocity made good along the axis before the turn (m/s), from the
        // way made over half a minute on the steady course; each end is the
        // mean of the fixes of two seconds around it, against GPS noise.
        int steady = wideFrom;
        while (steady > 0 && m.at(wideFrom).t - m.at(steady - 1).t <= 2 * steadySecs)
            --steady;
        const QPointF along = unit(axis);
        const GeoPoint origin = m.at(wideFrom).position;
        const auto endAt = [&](int i) {
            QPointF sum;
            int n = 0;
            for (int j = std::max(0, i - 2); j <= std::min(int(m.size()) - 1, i + 2); ++j) {
                if (std::abs(m.at(j).t - m.at(i).t) <= 2) {
                    sum += local(m.at(j).position, origin);
                    ++n;
                }
            }
            return sum / n;
        };
        const auto alongAxis = [&](int a, int b) {
            const QPointF d = endAt(b) - endAt(a);
            return d.x() * along.x() + d.y() * along.y();
        };
        const double vmg = steady < wideFrom
                               ? alongAxis(steady, wideFrom) / (m.at(wideFrom).t - m.at(steady).t)
                               : 0.0;
        const double made = alongAxis(wideFrom, wideTo);

        Manoeuvre man;
        man.kind = kind;
        man.t = m.at(cross).t;
        man.position = m.at(cross).position;
        man.durationSecs = duration;
        man.metresLost = vmg * (m.at(wideTo).t - m.at(wideFrom).t) - made;
        found.append(man);
    }
    return found;
}

WindEstimate estimateWind(const QVector<QVector<Turn>> &fleetTurns, int t, int windowSecs)
{
    struct Candidate {
        double from;
        int boat;
    };
    QVector<Candidate> candidates;
    // A boat tacking or gybing up or down a leg turns back and forth between
    // the same two courses; a rounding or a course change does not, and
    // would point the estimate anywhere.
    const auto mirrors = [](const Turn &a, const Turn &b) {
        return std::abs(angleDiff(a.after, b.before)) < 20.0 &&
               std::abs(angleDiff(a.before, b.after)) < 25.0;
    };
    for (int boat = 0; boat < fleetTurns.size(); ++boat) {
        const QVector<Turn> &turns = fleetTurns.at(boat);
        for (int i = 0; i < turns.size(); ++i) {
            const Turn &turn = turns.at(i);
            if (std::abs(turn.t - t) > windowSecs)
                continue;
            if (!(i > 0 && mirrors(turns.at(i - 1), turn)) &&
                !(i + 1 < turns.size() && mirrors(turn, turns.at(i + 1))))
                continue;
            const double change = angleDiff(turn.after, turn.before);
            const double bisector = normalized(turn.before + change / 2.0);
            const double angle = std::abs(change);
            if (angle >= 70.0 && angle <= 120.0)
                candidates.append({bisector, boat}); // tacking angle: into the wind
            else if (angle >= 30.0 && angle < 70.0)
                candidates.append({normalized(bisector + 180.0), boat}); // gybing angle
        }
    }
    WindEstimate wind;
    if (candidates.isEmpty())
        return wind;
    // The direction most turns agree with (within 20 degrees, counted on a
    // one-degree ring), then the mean of those near it: roundings and odd
    // turns stay out.
    std::array<int, 360> ring{};
    for (const Candidate &cand : std::as_const(candidates))
        ++ring[size_t(int(cand.from) % 360)];
    int seedDir = 0, bestSupport = -1;
    for (int dir = 0; dir < 360; ++dir) {
        int support = 0;
        for (int d = -20; d <= 20; ++d)
            support += ring[size_t((dir + d + 360) % 360)];
        if (support > bestSupport) {
            bestSupport = support;
            seedDir = dir;
        }
    }
    const Candidate seed{double(seedDir) + 0.5, -1};
    double s = 0.0, c = 0.0;
    QSet<int> boats;
    for (const Candidate &cand : std::as_const(candidates)) {
        if (std::abs(angleDiff(cand.from, seed.from)) > 25.0)
            continue;
        s += std::sin(cand.from / Geo::degPerRad);
        c += std::cos(cand.from / Geo::degPerRad);
        ++wind.turns;
        boats.insert(cand.boat);
    }
    wind.valid = true;
    wind.from = normalized(std::atan2(s, c) * Geo::degPerRad);
    wind.boats = int(boats.size());
    return wind;
}

} // namespace Sailing
