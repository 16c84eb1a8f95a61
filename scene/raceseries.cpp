#include "scene/raceseries.h"

#include "scene/sailinglegs.h"
#include "scene/track.h"

#include <QElapsedTimer>
#include <QSet>

#include <cmath>
#include <limits>

namespace
{

constexpr double none = std::numeric_limits<double>::quiet_NaN();

// Where the track puts the boat at t: between its fixes on the line joining
// them, after the last at the last; nothing before the first.
bool positionAt(const Track *track, int t, GeoPoint *at)
{
    const int n = track ? track->count() : 0;
    if (n == 0 || track->pointAt(0)->tstamp > t)
        return false;
    int lo = 0, hi = n - 1; // the last fix not after t
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (track->pointAt(mid)->tstamp <= t)
            lo = mid;
        else
            hi = mid - 1;
    }
    const TrackPointRef a = track->pointAt(lo);
    if (lo == n - 1 || a->tstamp == t) {
        *at = a->position;
        return true;
    }
    const TrackPointRef b = track->pointAt(lo + 1);
    const double f = double(t - a->tstamp) / std::max(1, b->tstamp - a->tstamp);
    *at = GeoPoint(a->position.lat() + f * (b->position.lat() - a->position.lat()),
                   a->position.lng() + f * (b->position.lng() - a->position.lng()));
    return true;
}

double component(const Sailing::Motion &m, double direction)
{
    return m.sogKn * std::cos((m.cog - direction) / Geo::degPerRad);
}

} // namespace

void RaceSeries::clear()
{
    m_input = Input();
    m_times.clear();
    m_next = 0;
    m_rivals.clear();
    m_charted.clear();
    m_board.setCourse({});
}

void RaceSeries::start(Input input)
{
    clear();
    m_input = std::move(input);
    const int samples = std::max(2, m_input.samples);
    if (m_input.to <= m_input.from || m_input.charted.isEmpty())
        return;
    const double step = double(m_input.to - m_input.from) / (samples - 1);
    m_halfStep = std::max(1, int(step / 2));
    for (int k = 0; k < samples; ++k)
        m_times.append(m_input.from + int(std::lround(k * step)));

    QSet<QString> classes;
    for (const LeaderboardBoat &boat : std::as_const(m_input.fleet)) {
        if (!m_input.charted.contains(boat.id) || m_charted.contains(boat.id))
            continue;
        classes.insert(boat.klasse);
        Charted &charted = m_charted[boat.id];
        if (boat.track)
            charted.motion = Sailing::smoothedMotion(*boat.track);
        for (QVector<double> &v : charted.values)
            v.fill(none, samples);
    }
    for (const LeaderboardBoat &boat : std::as_const(m_input.fleet))
        if (classes.contains(boat.klasse))
            m_rivals.append(boat);
    m_board.setCourse(m_input.course);
}

bool RaceSeries::advance(int budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    do {
        if (isDone())
            break;
        sampleAt(m_next++);
    } while (clock.elapsed() < budgetMs);
    return isDone();
}

QVector<double> RaceSeries::values(int id, Figure figure) const
{
    const auto it = m_charted.constFind(id);
    return it == m_charted.constEnd() ? QVector<double>() : it->values[figure];
}

void RaceSeries::sampleAt(int k)
{
    const int t = m_times.at(k);
    for (LeaderboardBoat &boat : m_rivals)
        boat.hasPosition = positionAt(boat.track, t, &boat.position);
    const QList<LeaderboardRow> rows = m_board.update(m_rivals, t);
    double wind = none;
    if (m_input.windFrom)
        wind = m_input.windFrom(t).value_or(none);

    for (const LeaderboardRow &row : rows) {
        const auto found = m_charted.find(row.id);
        if (found == m_charted.end() || !row.hasPosition)
            continue;
        Charted &c = *found;
        if (row.rank > 0 && !row.finished)
            c.values[GapToLeader][k] = row.rank == 1 ? 0.0 : row.gapNm();

        // The fixes near the moment, else the next one; none past the last.
        const QVector<Sailing::Motion> &m = c.motion;
        while (c.cursor < m.size() && m.at(c.cursor).t <= t - m_halfStep)
            ++c.cursor;
        int end = c.cursor;
        while (end < m.size() && m.at(end).t <= t + m_halfStep)
            ++end;
        if (end == c.cursor && end < m.size())
            ++end;
        if (end == c.cursor)
            continue;

        const bool racing = row.nextGate >= 0 && row.nextGate < m_input.course.size();
        const GeoPoint mark = racing ? m_input.course.at(row.nextGate).centre : GeoPoint();
        // The leg's own line, from the mark before: a boat's zigzag up a beat
        // must not turn it into a reach.
        double vmgDirection = none;
        if (racing && row.nextGate > 0 && std::isfinite(wind)) {
            const double leg = Geo::bearingTo(m_input.course.at(row.nextGate - 1).centre, mark);
            const Sailing::LegKind kind = Sailing::legKind(leg, wind);
            if (kind == Sailing::LegKind::Upwind)
                vmgDirection = wind;
            else if (kind == Sailing::LegKind::Downwind)
                vmgDirection = wind + 180.0;
        }
        const bool vmg = std::isfinite(vmgDirection);
        struct {
            double speed = 0.0, vmc = 0.0, vmg = 0.0;
        } sum;
        for (int i = c.cursor; i < end; ++i) {
            sum.speed += m.at(i).sogKn;
            if (racing)
                sum.vmc += component(m.at(i), Geo::bearingTo(m.at(i).position, mark));
            if (vmg)
                sum.vmg += component(m.at(i), vmgDirection);
        }
        const int n = end - c.cursor;
        c.values[Speed][k] = sum.speed / n;
        c.values[Vmc][k] = racing ? sum.vmc / n : none;
        c.values[Vmg][k] = vmg ? sum.vmg / n : none;
    }
}
