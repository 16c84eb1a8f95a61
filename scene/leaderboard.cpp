#include "scene/leaderboard.h"

#include "scene/gateitem.h"
#include "scene/handicap.h"
#include "scene/ship.h"
#include "scene/track.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr double kmPerDegree = Geo::earthRadiusKm * Geo::pi / 180.0;
// A leg this close to a gate line touches it (GPS noise, rounded coordinates).
constexpr double touchKm = 0.005;

struct Vec {
    double x;
    double y;
};

double cross(const Vec &a, const Vec &b)
{
    return a.x * b.y - a.y * b.x;
}

// Distance from p to the segment a..b, with the fraction along a..b of the
// nearest point.
double pointSegment(const Vec &p, const Vec &a, const Vec &b, double *fraction)
{
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double u = 0.0;
    if (len2 > 0.0)
        u = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0);
    if (fraction)
        *fraction = u;
    return std::hypot(p.x - (a.x + u * dx), p.y - (a.y + u * dy));
}

bool finite(const GeoPoint &p)
{
    return std::isfinite(p.lat()) && std::isfinite(p.lng());
}

// How many of the first n fixes are at or before t.
int fixesUpTo(const Track *track, int n, double t)
{
    int lo = 0;
    int hi = n;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (track->pointAt(mid)->tstamp <= t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

} // namespace

bool Leaderboard::startnrLess(const QString &a, const QString &b)
{
    bool okA = false;
    bool okB = false;
    const qlonglong na = a.toLongLong(&okA);
    const qlonglong nb = b.toLongLong(&okB);
    if (okA && okB && na != nb)
        return na < nb;
    if (okA != okB)
        return okA; // numbers before texts
    return a < b;
}

void Leaderboard::setCourse(const QList<CourseGate> &gates)
{
    m_course = gates;
    m_states.clear();
    m_frames.clear();
    m_frames.reserve(gates.size());
    for (const CourseGate &g : gates) {
        Frame f;
        f.origin = g.centre;
        f.ky = kmPerDegree;
        f.kx = kmPerDegree * std::cos(g.centre.latRad());
        f.ax = (g.a.lng() - f.origin.lng()) * f.kx;
        f.ay = (g.a.lat() - f.origin.lat()) * f.ky;
        f.bx = (g.b.lng() - f.origin.lng()) * f.kx;
        f.by = (g.b.lat() - f.origin.lat()) * f.ky;
        m_frames.append(f);
    }
    const int n = gates.size();
    m_remaining = QVector<double>(n, 0.0);
    for (int k = n - 2; k >= 0; --k)
        m_remaining[k] = m_remaining[k + 1] + Geo::distanceKm(gates[k].centre, gates[k + 1].centre);
}

double Leaderboard::remainingLegsKm(int from) const
{
    if (from < 0 || from >= m_remaining.size())
        return 0.0;
    return m_remaining[from];
}

bool Leaderboard::crosses(int gate, const GeoPoint &p, const GeoPoint &q, double *fraction) const
{
    if (p == q)
        return false; // a lone fix or one stored twice goes nowhere
    const Frame &f = m_frames[gate];
    const Vec a{f.ax, f.ay};
    const Vec b{f.bx, f.by};
    const Vec pv{(p.lng() - f.origin.lng()) * f.kx, (p.lat() - f.origin.lat()) * f.ky};
    const Vec qv{(q.lng() - f.origin.lng()) * f.kx, (q.lat() - f.origin.lat()) * f.ky};
    // Most legs are nowhere near the gate.
    if (std::max(pv.x, qv.x) < std::min(a.x, b.x) - touchKm ||
        std::min(pv.x, qv.x) > std::max(a.x, b.x) + touchKm ||
        std::max(pv.y, qv.y) < std::min(a.y, b.y) - touchKm ||
        std::min(pv.y, qv.y) > std::max(a.y, b.y) + touchKm)
        return false;
    const Vec leg{qv.x - pv.x, qv.y - pv.y};
    const Vec line{b.x - a.x, b.y - a.y};
    const double d = cross(leg, line);
    if (std::abs(d) > 1e-12) {
        const Vec ap{a.x - pv.x, a.y - pv.y};
        const double s = cross(ap, line) / d; // along the leg
        const double u = cross(ap, leg) / d;  // along the gate
        if (s >= 0.0 && s <= 1.0 && u >= 0.0 && u <= 1.0) {
            *fraction = s;
            return true;
        }
    }
    // A leg that ends on the line or on one of its ends, to within what the
    // stored coordinates and GPS tell apart, touches it: a fix placed right
    // at a mark passes it.
    double best = touchKm;
    bool touched = false;
    const auto consider = [&](double dist, double at) {
        if (dist <= best) {
            best = dist;
            *fraction = at;
            touched = true;
        }
    };
    consider(pointSegment(qv, a, b, nullptr), 1.0);
    consider(pointSegment(pv, a, b, nullptr), 0.0);
    double s = 0.0;
    const double da = pointSegment(a, pv, qv, &s);
    consider(da, s);
    const double db = pointSegment(b, pv, qv, &s);
    consider(db, s);
    return touched;
}

GeoPoint Leaderboard::nearestOnGate(int gate, const GeoPoint &p) const
{
    const Frame &f = m_frames[gate];
    const Vec pv{(p.lng() - f.origin.lng()) * f.kx, (p.lat() - f.origin.lat()) * f.ky};
    double u = 0.0;
    pointSegment(pv, Vec{f.ax, f.ay}, Vec{f.bx, f.by}, &u);
    const CourseGate &g = m_course[gate];
    return GeoPoint(g.a.lat() + u * (g.b.lat() - g.a.lat()),
                    g.a.lng() + u * (g.b.lng() - g.a.lng()));
}

double Leaderboard::gateDistance(int gate, const GeoPoint &p) const
{
    return Geo::distanceKm(p, nearestOnGate(gate, p));
}

bool Leaderboard::outlier(const Track *track, int i) const
{
    return m_ignoreOutliers && track->isOutlier(i);
}

void Leaderboard::measure(BoatState &state, const Track *track, int upTo) const
{
    std::vector<float> &sailed = state.sailed;
    if (sailed.size() >= static_cast<size_t>(upTo))
        return;
    sailed.reserve(static_cast<size_t>(track->count()));
    for (int i = static_cast<int>(sailed.size()); i < upTo; ++i) {
        if (i == 0) {
            sailed.push_back(0.0f);
            continue;
        }
        // An outlier adds no distance: the leg runs from the last good fix.
        int prev = i - 1;
        while (prev > 0 && outlier(track, prev))
            --prev;
        if (outlier(track, i)) {
            sailed.push_back(sailed.back());
            continue;
        }
        const GeoPoint p = track->pointAt(prev)->position;
        const GeoPoint q = track->pointAt(i)->position;
        // Flat over one leg between fixes: a cosine instead of a haversine,
        // as every fix of a long race passes here once.
        double leg = 0.0;
        if (finite(p) && finite(q)) {
            const double kx = std::cos((p.lat() + q.lat()) * 0.5 / Geo::degPerRad);
            const double dx = (q.lng() - p.lng()) * kx;
            const double dy = q.lat() - p.lat();
            leg = kmPerDegree * std::sqrt(dx * dx + dy * dy);
        }
        sailed.push_back(static_cast<float>(sailed.back() + leg));
    }
}

void Leaderboard::advance(BoatState &state, const Track *track, int t)
{
    const int n = track ? track->count() : 0;
    if (state.track != track || state.consumed > n) {
        state = BoatState();
        state.track = track;
    }
    if (n == 0)
        return;

    if (state.consumed > 0 && track->pointAt(state.consumed - 1)->tstamp > t) {
        // Back in time: the state after the first k fixes is exactly the
        // gates passed while consuming them, so forget the later ones.
        const int k = fixesUpTo(track, state.consumed, t);
        while (!state.passFix.isEmpty() && state.passFix.last() >= k) {
            state.passFix.removeLast();
            state.passTime.removeLast();
        }
        state.consumed = k;
        return;
    }

    const int gates = m_course.size();
    while (state.consumed < n) {
        const int i = state.consumed;
        const TrackPointRef fix = track->pointAt(i);
        if (fix->tstamp > t)
            break;
        ++m_fixesExamined;
        // Outliers neither pass gates nor start the leg to the next fix.
        int before = i - 1;
        while (before > 0 && outlier(track, before))
            --before;
        const TrackPointRef prev = i > 0 ? track->pointAt(before) : fix;
        if (!outlier(track, i) && finite(fix->position) && finite(prev->position)) {
            double fraction = 0.0;
            // One leg may cross several gates, each further along it.
            double from = 0.0;
            while (state.passFix.size() < gates &&
                   crosses(state.passFix.size(), prev->position, fix->position, &fraction) &&
                   fraction >= from) {
                from = fraction;
                state.passFix.append(i);
                state.passTime.append(prev->tstamp + fraction * (fix->tstamp - prev->tstamp));
            }
        }
        state.consumed = i + 1;
    }
    measure(state, track, state.consumed);
}

Leaderboard::Sample Leaderboard::sampleAt(const BoatState &state, const Track *track, double when,
                                          const GeoPoint &shown, int t) const
{
    const int k = state.consumed;
    const int j = std::max(0, fixesUpTo(track, k, when) - 1);
    const TrackPointRef a = track->pointAt(j);
    Sample sample{a->position, static_cast<double>(state.sailed[static_cast<size_t>(j)])};
    GeoPoint next = shown;
    double nextTime = t;
    double nextSailed = sample.sailedKm;
    if (j + 1 < k) {
        const TrackPointRef b = track->pointAt(j + 1);
        next = b->position;
        nextTime = b->tstamp;
        nextSailed = state.sailed[static_cast<size_t>(j + 1)];
    } else if (finite(a->position) && finite(shown)) {
        nextSailed += Geo::distanceKm(a->position, shown);
    }
    if (nextTime > a->tstamp && when > a->tstamp && finite(next)) {
        const double u = std::min(1.0, (when - a->tstamp) / (nextTime - a->tstamp));
        sample.position = GeoPoint(a->position.lat() + u * (next.lat() - a->position.lat()),
                                   a->position.lng() + u * (next.lng() - a->position.lng()));
        sample.sailedKm += u * (nextSailed - sample.sailedKm);
    }
    return sample;
}

void Leaderboard::fillFigures(LeaderboardRow &row, const BoatState &state,
                              const LeaderboardBoat &boat, int t, double windFrom) const
{
    const Track *track = boat.track;
    const int k = state.consumed;
    if (!track || k == 0 || static_cast<int>(state.sailed.size()) < k)
        return;
    const TrackPointRef last = track->pointAt(k - 1);
    row.lastFixTime = last->tstamp;
    row.fixAgeSecs = t - last->tstamp;

    const double first = std::max<double>(track->pointAt(0)->tstamp, m_raceStart);
    const Sample now = sampleAt(state, track, t, boat.position, t);
    const auto average = [&](int hours) {
        const double from = std::max<double>(t - hours * 3600.0, first);
        if (from >= t)
            return LeaderboardRow::none;
        const Sample then = sampleAt(state, track, from, boat.position, t);
        return (now.sailedKm - then.sailedKm) / (t - from) * 3600.0 / 1.852;
    };
    row.averageKnots1h = average(1);
    row.averageKnots4h = average(4);
    row.averageKnots24h = average(24);

    const int gates = m_course.size();
    if (gates == 0 || row.finished)
        return;

    // The chord over the last minute (or the last fix interval, when longer).
    int window = vmcWindowSecs;
    if (k >= 2)
        window = std::max(window, last->tstamp - track->pointAt(k - 2)->tstamp);
    const double from = std::max<double>(t - window, track->pointAt(0)->tstamp);
    if (from < t) {
        const GeoPoint p = sampleAt(state, track, from, boat.position, t).position;
        const double knots = Geo::distanceKm(p, boat.position) / (t - from) * 3600.0 / 1.852;
        const double cog = Geo::bearingTo(p, boat.position);
        const double toMark =
            Geo::bearingTo(boat.position, nearestOnGate(row.nextGate, boat.position));
        row.vmcKnots = knots * std::cos(Geo::angleDiff(cog, toMark) / Geo::degPerRad);
        if (row.leg > 0 && std::isfinite(windFrom)) {
            const double leg =
                Geo::bearingTo(m_course[row.leg - 1].centre, m_course[row.leg].centre);
            if (std::abs(Geo::angleDiff(leg, windFrom)) < windLegDegrees)
                row.legWind = LeaderboardRow::LegWind::Upwind;
            else if (std::abs(Geo::angleDiff(leg, windFrom + 180.0)) < windLegDegrees)
                row.legWind = LeaderboardRow::LegWind::Downwind;
            const double target =
                row.legWind == LeaderboardRow::LegWind::Upwind ? windFrom : windFrom + 180.0;
            if (row.legWind != LeaderboardRow::LegWind::None)
                row.vmgKnots = knots * std::cos(Geo::angleDiff(cog, target) / Geo::degPerRad);
        }
    }

    // Made good towards the finish over the last hour, marks rounded included.
    const double hourAgo = std::max<double>(t - 3600.0, first);
    if (hourAgo < t) {
        const GeoPoint p = sampleAt(state, track, hourAgo, boat.position, t).position;
        const int passed =
            static_cast<int>(std::count_if(state.passTime.begin(), state.passTime.end(),
                                           [hourAgo](double when) { return when <= hourAgo; }));
        const double before = passed >= gates ? 0.0 : gateDistance(passed, p) + m_remaining[passed];
        row.vmcKnots1h = (before - row.distanceFinishKm) / (t - hourAgo) * 3600.0 / 1.852;
        if (row.vmcKnots1h > 0.0)
            row.etaTime = t + row.distanceFinishKm / (row.vmcKnots1h * 1.852) * 3600.0;
    }
}

QList<LeaderboardRow> Leaderboard::update(const QList<LeaderboardBoat> &boats, int t,
                                          double windFrom)
{
    QList<LeaderboardRow> rows;
    rows.reserve(boats.size());
    const int gates = m_course.size();
    const double courseLength = courseNm();
    for (const LeaderboardBoat &boat : boats) {
        LeaderboardRow row;
        row.id = boat.id;
        row.klasse = boat.klasse;
        row.startnr = boat.startnr;
        row.name = boat.name;
        row.hasPosition = boat.hasPosition && finite(boat.position) && boat.track;
        row.speedKnots = boat.speedKnots;
        row.rating = m_ratings.value(boat.id);
        if (!row.hasPosition) {
            rows.append(row);
            continue;
        }
        BoatState &state = m_states[boat.id];
        advance(state, boat.track, t);
        int passed = state.passFix.size();
        double lastPass = state.passTime.isEmpty() ? 0.0 : state.passTime.last();
        // The leg from the last fix to the shown position counts for now,
        // but is not remembered: the next moment sees it again.
        if (state.consumed > 0 && passed < gates) {
            const TrackPointRef fix = boat.track->pointAt(state.consumed - 1);
            if (finite(fix->position) && fix->position != boat.position && t > fix->tstamp) {
                double fraction = 0.0;
                double from = 0.0;
                while (passed < gates && crosses(passed, fix->position, boat.position, &fraction) &&
                       fraction >= from) {
                    from = fraction;
                    lastPass = fix->tstamp + fraction * (t - fix->tstamp);
                    ++passed;
                }
            }
        }
        row.gatesPassed = passed;
        if (gates > 0 && passed >= gates) {
            row.finished = true;
            row.finishTime = static_cast<int>(std::lround(lastPass));
            row.distanceNextKm = 0.0;
            row.distanceFinishKm = 0.0;
            const double start = m_raceStart > 0             ? double(m_raceStart)
                                 : !state.passTime.isEmpty() ? state.passTime.first()
                                                             : LeaderboardRow::none;
            row.elapsedSecs = lastPass - start;
        } else if (gates > 0) {
            row.nextGate = passed;
            row.leg = passed;
            row.nextGateName = m_course[passed].name;
            row.distanceNextKm = gateDistance(passed, boat.position);
            row.distanceFinishKm = row.distanceNextKm + m_remaining[passed];
        }
        fillFigures(row, state, boat, t, windFrom);
        if (row.rating.isSet()) {
            if (row.finished) {
                row.correctedSecs = Handicap::corrected(row.rating, row.elapsedSecs, courseLength);
            } else if (std::isfinite(row.etaTime)) {
                const double start = m_raceStart > 0            ? double(m_raceStart)
                                     : state.passTime.isEmpty() ? LeaderboardRow::none
                                                                : state.passTime.first();
                row.correctedSecs =
                    Handicap::corrected(row.rating, row.etaTime - start, courseLength);
                row.correctedProjected = std::isfinite(row.correctedSecs);
            }
        }
        rows.append(row);
    }
    rank(rows, t);
    return rows;
}

void Leaderboard::rank(QList<LeaderboardRow> &rows, int t) const
{
    const bool ranked = !m_course.isEmpty();
    const auto alongCourse = [ranked](const LeaderboardRow &a, const LeaderboardRow &b) {
        if (a.klasse != b.klasse)
            return a.klasse < b.klasse;
        if (ranked) {
            if (a.hasPosition != b.hasPosition)
                return a.hasPosition;
            if (a.hasPosition) {
                if (a.finished != b.finished)
                    return a.finished;
                if (a.finished && a.finishTime != b.finishTime)
                    return a.finishTime < b.finishTime;
                if (a.gatesPassed != b.gatesPassed)
                    return a.gatesPassed > b.gatesPassed;
                if (a.distanceFinishKm != b.distanceFinishKm)
                    return a.distanceFinishKm < b.distanceFinishKm;
            }
        }
        if (a.startnr != b.startnr)
            return startnrLess(a.startnr, b.startnr);
        return a.id < b.id;
    };
    std::stable_sort(rows.begin(), rows.end(), alongCourse);
    if (!ranked)
        return;

    const LeaderboardRow *leader = nullptr;
    int rank = 0;
    for (int i = 0; i < rows.size(); ++i) {
        LeaderboardRow &row = rows[i];
        if (i == 0 || row.klasse != rows[i - 1].klasse) {
            leader = &row;
            rank = 0;
        }
        if (!row.hasPosition)
            continue;
        row.courseRank = row.rank = ++rank;
        row.gapKm = row.distanceFinishKm - leader->distanceFinishKm;
        if (&row == leader) {
            row.gapSecs = 0.0;
        } else if (row.finished) {
            row.gapSecs = row.finishTime - leader->finishTime;
        } else if (row.vmcKnots > 0.0) {
            // Behind a finished leader the time since its finish counts as well.
            const double behind = row.gapKm / (row.vmcKnots * 1.852) * 3600.0;
            row.gapSecs = leader->finished ? t - leader->finishTime + behind : behind;
        }
    }

    if (!m_rankByCorrected)
        return;
    std::stable_sort(rows.begin(), rows.end(),
                     [](const LeaderboardRow &a, const LeaderboardRow &b) {
                         if (a.klasse != b.klasse)
                             return a.klasse < b.klasse;
                         const bool ca = std::isfinite(a.correctedSecs);
                         const bool cb = std::isfinite(b.correctedSecs);
                         if (ca != cb)
                             return ca;
                         if (ca && a.correctedSecs != b.correctedSecs)
                             return a.correctedSecs < b.correctedSecs;
                         return false; // the course order stays
                     });
    rank = 0;
    for (int i = 0; i < rows.size(); ++i) {
        if (i == 0 || rows[i].klasse != rows[i - 1].klasse)
            rank = 0;
        if (rows[i].hasPosition)
            rows[i].rank = ++rank;
    }
}

QList<CourseGate> Leaderboard::gatesOf(const QList<GateItem *> &gates)
{
    QList<CourseGate> course;
    course.reserve(gates.size());
    for (const GateItem *g : gates) {
        if (g)
            course.append(CourseGate{g->name(), g->posA(), g->posB(), g->centre()});
    }
    // A single mark is drawn as a short stroke that no boat sails through. It
    // is rounded once a boat crosses the line through it square to the leg
    // that leads there, within a kilometre of it.
    for (int k = 0; k < course.size(); ++k) {
        CourseGate &gate = course[k];
        if (!(Geo::distanceKm(gate.a, gate.b) < 0.1) || course.size() < 2)
            continue;
        const GeoPoint from = k > 0 ? course[k - 1].centre : gate.centre;
        const GeoPoint to = k > 0 ? gate.centre : course[k + 1].centre;
        const double kx = std::cos(gate.centre.lat() / Geo::degPerRad);
        const double dx = (to.lng() - from.lng()) * kx;
        const double dy = to.lat() - from.lat();
        const double len = std::hypot(dx, dy);
        if (!(len > 0.0) || !(kx > 0.0))
            continue;
        const double half = 1.0 / kmPerDegree; // a kilometre, in degrees of latitude
        const double px = -dy / len * half, py = dx / len * half;
        gate.a = GeoPoint(gate.centre.lat() + py, gate.centre.lng() + px / kx);
        gate.b = GeoPoint(gate.centre.lat() - py, gate.centre.lng() - px / kx);
    }
    return course;
}

QList<LeaderboardBoat> Leaderboard::boatsOf(const QList<Ship *> &ships)
{
    QList<LeaderboardBoat> boats;
    boats.reserve(ships.size());
    for (const Ship *ship : ships) {
        if (!ship || !ship->isShown())
            continue;
        LeaderboardBoat boat;
        boat.id = ship->id();
        boat.klasse = ship->klasse();
        boat.startnr = ship->startnr();
        boat.name = ship->name();
        boat.track = ship->rawTrack();
        const TrackPoint *point = ship->currentPoint();
        boat.hasPosition = ship->hasPositions() && ship->positionKnown() && point && boat.track &&
                           !boat.track->isEmpty();
        if (point)
            boat.position = point->position;
        boat.speedKnots = ship->speed();
        boats.append(boat);
    }
    return boats;
}
