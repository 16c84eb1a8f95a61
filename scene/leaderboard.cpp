#include "scene/leaderboard.h"

#include "scene/gateitem.h"
#include "scene/ship.h"
#include "scene/track.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr double kmPerDegree = Geo::earthRadiusKm * Geo::pi / 180.0;

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

double Leaderboard::legDistance(int gate, const GeoPoint &p, const GeoPoint &q,
                                double *fraction) const
{
    const Frame &f = m_frames[gate];
    const Vec a{f.ax, f.ay};
    const Vec b{f.bx, f.by};
    const Vec pv{(p.lng() - f.origin.lng()) * f.kx, (p.lat() - f.origin.lat()) * f.ky};
    const Vec qv{(q.lng() - f.origin.lng()) * f.kx, (q.lat() - f.origin.lat()) * f.ky};
    const Vec leg{qv.x - pv.x, qv.y - pv.y};
    const Vec line{b.x - a.x, b.y - a.y};
    const double d = cross(leg, line);
    if (std::abs(d) > 1e-12) {
        const Vec ap{a.x - pv.x, a.y - pv.y};
        const double s = cross(ap, line) / d; // along the leg
        const double u = cross(ap, leg) / d;  // along the gate
        if (s >= 0.0 && s <= 1.0 && u >= 0.0 && u <= 1.0) {
            *fraction = s;
            return 0.0;
        }
    }
    double best = pointSegment(pv, a, b, nullptr);
    *fraction = 0.0;
    double dist = pointSegment(qv, a, b, nullptr);
    if (dist < best) {
        best = dist;
        *fraction = 1.0;
    }
    double s = 0.0;
    dist = pointSegment(a, pv, qv, &s);
    if (dist < best) {
        best = dist;
        *fraction = s;
    }
    dist = pointSegment(b, pv, qv, &s);
    if (dist < best) {
        best = dist;
        *fraction = s;
    }
    return best;
}

double Leaderboard::gateDistance(int gate, const GeoPoint &p) const
{
    const Frame &f = m_frames[gate];
    const Vec pv{(p.lng() - f.origin.lng()) * f.kx, (p.lat() - f.origin.lat()) * f.ky};
    double u = 0.0;
    pointSegment(pv, Vec{f.ax, f.ay}, Vec{f.bx, f.by}, &u);
    const CourseGate &g = m_course[gate];
    const GeoPoint nearest(g.a.lat() + u * (g.b.lat() - g.a.lat()),
                           g.a.lng() + u * (g.b.lng() - g.a.lng()));
    return Geo::distanceKm(p, nearest);
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
        int k = 0;
        int end = state.consumed;
        while (k < end) {
            const int mid = k + (end - k) / 2;
            if (track->timeAt(mid) <= t)
                k = mid + 1;
            else
                end = mid;
        }
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
        const TrackPointRef prev = i > 0 ? track->pointAt(i - 1) : fix;
        if (finite(fix->position) && finite(prev->position)) {
            while (state.passFix.size() < gates) {
                double fraction = 0.0;
                const double d =
                    legDistance(state.passFix.size(), prev->position, fix->position, &fraction);
                if (!(d <= passRadiusKm))
                    break;
                double when = prev->tstamp + fraction * (fix->tstamp - prev->tstamp);
                if (!state.passTime.isEmpty())
                    when = std::max(when, state.passTime.last());
                state.passFix.append(i);
                state.passTime.append(when);
            }
        }
        state.consumed = i + 1;
    }
}

QList<LeaderboardRow> Leaderboard::update(const QList<LeaderboardBoat> &boats, int t)
{
    QList<LeaderboardRow> rows;
    rows.reserve(boats.size());
    const int gates = m_course.size();
    for (const LeaderboardBoat &boat : boats) {
        LeaderboardRow row;
        row.id = boat.id;
        row.klasse = boat.klasse;
        row.startnr = boat.startnr;
        row.name = boat.name;
        row.hasPosition = boat.hasPosition && finite(boat.position);
        row.speedKnots = boat.speedKnots;
        if (gates > 0 && row.hasPosition) {
            BoatState &state = m_states[boat.id];
            advance(state, boat.track, t);
            int passed = state.passFix.size();
            double lastPass = state.passTime.isEmpty() ? 0.0 : state.passTime.last();
            // The leg from the last fix to the shown position counts for now,
            // but is not remembered: the next moment sees it again.
            if (state.consumed > 0 && passed < gates) {
                const TrackPointRef fix = boat.track->pointAt(state.consumed - 1);
                if (finite(fix->position) && fix->position != boat.position && t > fix->tstamp) {
                    while (passed < gates) {
                        double fraction = 0.0;
                        if (!(legDistance(passed, fix->position, boat.position, &fraction) <=
                              passRadiusKm))
                            break;
                        lastPass = std::max(lastPass, fix->tstamp + fraction * (t - fix->tstamp));
                        ++passed;
                    }
                }
            }
            row.gatesPassed = passed;
            if (passed >= gates) {
                row.finished = true;
                row.finishTime = static_cast<int>(std::lround(lastPass));
                row.distanceNextKm = 0.0;
                row.distanceFinishKm = 0.0;
            } else {
                row.nextGate = passed;
                row.nextGateName = m_course[passed].name;
                row.distanceNextKm = gateDistance(passed, boat.position);
                row.distanceFinishKm = row.distanceNextKm + m_remaining[passed];
            }
        }
        rows.append(row);
    }

    const bool ranked = gates > 0;
    std::stable_sort(rows.begin(), rows.end(),
                     [ranked](const LeaderboardRow &a, const LeaderboardRow &b) {
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
                     });

    if (ranked) {
        int rank = 0;
        double leader = 0.0;
        QString klasse;
        for (int i = 0; i < rows.size(); ++i) {
            LeaderboardRow &row = rows[i];
            if (i == 0 || row.klasse != klasse) {
                klasse = row.klasse;
                rank = 0;
                leader = row.distanceFinishKm;
            }
            if (!row.hasPosition)
                continue;
            row.rank = ++rank;
            row.gapKm = row.distanceFinishKm - leader;
        }
    }
    return rows;
}

QList<CourseGate> Leaderboard::gatesOf(const QList<GateItem *> &gates)
{
    QList<CourseGate> course;
    course.reserve(gates.size());
    for (const GateItem *g : gates) {
        if (g)
            course.append(CourseGate{g->name(), g->posA(), g->posB(), g->centre()});
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
