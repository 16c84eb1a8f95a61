#ifndef VELMARO_SCENE_MANOEUVRES_H
#define VELMARO_SCENE_MANOEUVRES_H

#include "map/geo.h"

#include <QList>
#include <QVector>

#include <functional>

class Track;

// Course and speed over ground, tacks and gybes and the wind they imply,
// from the fixes alone. Pure functions; directions in degrees clockwise from
// north, the wind as the direction it comes from.
namespace Sailing
{

// One fix with its smoothed course and speed over ground.
struct Motion {
    int t = 0;
    GeoPoint position;
    double cog = 0.0;   // degrees in [0, 360)
    double sogKn = 0.0; // knots
};

// Smoothed over a window that fits the fix interval: a few seconds of fixes
// at 1 Hz, the neighbours alone at minutes between fixes. Fixes in time order;
// repeated time stamps are dropped.
QVector<Motion> smoothedMotion(const Track &fixes);

// Signed difference a - b folded into (-180, 180].
inline double angleDiff(double a, double b)
{
    return Geo::angleDiff(a, b);
}

enum class ManoeuvreKind { Tack, Gybe };

struct Manoeuvre {
    ManoeuvreKind kind = ManoeuvreKind::Tack;
    int t = 0;            // when the bow passed through the wind (or dead downwind)
    GeoPoint position;    // where
    int durationSecs = 0; // from leaving the old course to settling on the new one
    double metresLost = 0.0;
};

// Fixes further apart than this cannot show a tack: none are looked for.
// Up to it a tack shows as the turn between two steady courses.
inline constexpr int maxFixIntervalSecs = 60;

// Tacks and gybes of one boat in a wind from windFrom: a turn through the
// wind between two steady courses close to it, or through dead downwind. A
// turn that stays on one side of the wind (a bear-away or a rounding) is
// neither. Metres lost are measured along the wind against the velocity
// made good the boat had before.
QVector<Manoeuvre> detectManoeuvres(const QVector<Motion> &motion, double windFrom);

// A quick turn between two steady courses, before the wind is known.
struct Turn {
    int t = 0;
    double before = 0.0; // steady course before, degrees
    double after = 0.0;  // and after
};
QVector<Turn> findTurns(const QVector<Motion> &motion);
// As above for turns already found, in a wind that changes over time.
QVector<Manoeuvre> detectManoeuvres(const QVector<Motion> &motion, const QVector<Turn> &turns,
                                    const std::function<double(int)> &windAt);

struct WindEstimate {
    bool valid = false;
    double from = 0.0; // degrees
    int turns = 0;     // tacks and gybes it rests on
    int boats = 0;     // boats they came from
};

// The wind at moment t from the turns of the fleet within windowSecs before
// and after: the bisector of the two courses of each tack (about 90 degrees
// apart) or, turned around, of each gybe (narrower), averaged. Only turns
// back to a course the boat sailed before count: one-off turns such as
// roundings do not.
WindEstimate estimateWind(const QVector<QVector<Turn>> &fleetTurns, int t, int windowSecs = 1800);

} // namespace Sailing

#endif
