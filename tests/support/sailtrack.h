#ifndef VELMARO_TESTS_SUPPORT_SAILTRACK_H
#define VELMARO_TESTS_SUPPORT_SAILTRACK_H

#include "scene/manoeuvres.h"

#include <QList>
#include <QVector>

#include <cmath>
#include <tuple>

// A boat sailing a known course in a wind from 250 degrees at 3 m/s, with an
// 8 s turn at 1.2 m/s into each next leg: upwind on both tacks, a bear-away
// round the top mark (no tack), then a gybe.
namespace SailTrack
{

inline constexpr double wind = 250.0;
// Headings, each sailed for legSecs (90 unless asked) before the turn into
// the next.
inline const QList<std::pair<int, double>> legs = {
    {90, 205}, {90, 295}, {90, 205}, {90, 100}, {90, 40}};
// Where the bow passes through the wind or dead downwind, in the middles of
// the turns 1, 2 and 4 (turn 3 is the bear-away): the fix that ends the
// second in which it passes, seconds from the start.
// Metres lost: the 8 s of the turn at 1.2 m/s against the velocity made good
// before. Tack: 8 x (3 cos 45 - 1.2 x mean cos over -45..45 = 0.9003) = 8.3;
// gybe: 8 x (3 cos 30 - 1.2 x 0.955) = 11.6.
struct Expected {
    int t;
    Sailing::ManoeuvreKind kind;
    double lost;
};
inline const QList<Expected> expected = {{93, Sailing::ManoeuvreKind::Tack, 8.3},
                                         {191, Sailing::ManoeuvreKind::Tack, 8.3},
                                         {387, Sailing::ManoeuvreKind::Gybe, 11.6}};

// (time, latitude, longitude) of a fix every `step` seconds from `start`,
// positions off by up to `noise` metres.
inline QVector<std::tuple<int, double, double>> fixes(int start, int step, double noise,
                                                      double lat0 = 54.4, double lng0 = 10.2,
                                                      unsigned seed = 7, int legSecs = 90)
{
    QVector<std::tuple<int, double, double>> out;
    double x = 0, y = 0;
    const auto jitter = [&] {
        seed = seed * 1103515245u + 12345u;
        return ((seed >> 16) % 2001 / 1000.0 - 1.0) * noise;
    };
    int t = 0, leg = 0, legStart = 0;
    while (leg < legs.size()) {
        const int into = t - legStart;
        const double from = legs.at(leg).second;
        if (into >= legSecs + 8) {
            legStart = t;
            ++leg;
            continue;
        }
        double course = from, speed = 3.0;
        if (into >= legSecs && leg + 1 < legs.size()) {
            const double turned = (into - legSecs) / 8.0;
            course = from + Sailing::angleDiff(legs.at(leg + 1).second, from) * turned;
            speed = 1.2; // a turn costs speed
        }
        x += speed * std::sin(course / Geo::degPerRad);
        y += speed * std::cos(course / Geo::degPerRad);
        if (t % step == 0)
            out.append({start + t, lat0 + (y + jitter()) / 110540.0,
                        lng0 + (x + jitter()) / (111320.0 * std::cos(lat0 / Geo::degPerRad))});
        ++t;
    }
    return out;
}

} // namespace SailTrack

#endif
