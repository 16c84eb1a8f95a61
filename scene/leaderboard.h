#ifndef VELMARO_SCENE_LEADERBOARD_H
#define VELMARO_SCENE_LEADERBOARD_H

#include "map/geo.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

#include <limits>

class GateItem;
class Ship;
class Track;

// One gate of the course as the ranking sees it: a line from a to b, with the
// centre that the legs between gates run through.
struct CourseGate {
    QString name;
    GeoPoint a;
    GeoPoint b;
    GeoPoint centre;
};

// A boat at the shown moment. `track` holds its fixes in time order (the raw
// track, so that no gate rounding is lost to simplification) and must stay
// alive until the next update; `position` and `speedKnots` are where the boat
// is at that moment (Ship::positionAt).
struct LeaderboardBoat {
    int id = 0;
    QString klasse;
    QString startnr;
    QString name;
    const Track *track = nullptr;
    bool hasPosition = false;
    GeoPoint position;
    double speedKnots = 0.0;
};

// One line of the leaderboard. Distances are NaN where they mean nothing: no
// course, or no position.
struct LeaderboardRow {
    static constexpr double none = std::numeric_limits<double>::quiet_NaN();

    int id = 0;
    QString klasse;
    QString startnr;
    QString name;
    int rank = 0;          // 1 = leader of the class; 0 when unranked
    int gatesPassed = 0;   // in course order
    int nextGate = -1;     // index into the course; -1 when finished or no course
    QString nextGateName;  // empty when finished or no course
    bool finished = false; // passed the last gate
    int finishTime = 0;    // Unix seconds, when finished
    bool hasPosition = false;
    double distanceNextKm = none;
    double distanceFinishKm = none;
    double gapKm = none; // to the leader of the class
    double speedKnots = 0.0;

    double gapNm() const { return gapKm / 1.852; }
};

// Ranks the boats of a race along its course for a moment. The state of each
// boat (fixes already looked at, gates passed and where) is kept between
// updates, so moving forward looks only at the new fixes and moving back only
// forgets the gates passed after the new moment.
class Leaderboard
{
public:
    // A boat within this distance of a gate line has passed it, even when no
    // leg between two of its fixes crosses the line (sparse fixes).
    static constexpr double passRadiusKm = 0.3;

    Leaderboard() = default;

    // Replaces the course (gates in course order) and forgets every boat.
    void setCourse(const QList<CourseGate> &gates);
    const QList<CourseGate> &course() const { return m_course; }
    bool hasCourse() const { return !m_course.isEmpty(); }
    // Sum of the legs between the centres of gates `from` .. last, in km.
    double remainingLegsKm(int from) const;

    // Rows for moment t: grouped by class (classes in alphabetical order),
    // ranked within each class by gates passed (most first; finished boats
    // by finish time), then distance to finish. Boats without a position
    // follow, by start number. Without a course every boat is unranked and
    // listed by class and start number.
    QList<LeaderboardRow> update(const QList<LeaderboardBoat> &boats, int t);

    // When the boat passed each gate so far, in course order (empty when none).
    QVector<double> passTimes(int id) const { return m_states.value(id).passTime; }

    // How many fixes the updates have examined so far (for tests and the
    // benchmark: stays flat when time goes back).
    qint64 fixesExamined() const { return m_fixesExamined; }

    // The gates of a built course.
    static QList<CourseGate> gatesOf(const QList<GateItem *> &gates);
    // The visible boats of a race, at their current point (as set for the
    // shown moment by the slider).
    static QList<LeaderboardBoat> boatsOf(const QList<Ship *> &ships);

    // Start numbers compared as numbers where both are numbers.
    static bool startnrLess(const QString &a, const QString &b);

private:
    struct Frame {
        GeoPoint origin;
        double kx = 0.0;                               // km per degree of longitude at the origin
        double ky = 0.0;                               // km per degree of latitude
        double ax = 0.0, ay = 0.0, bx = 0.0, by = 0.0; // gate ends in km
    };
    struct BoatState {
        const Track *track = nullptr;
        int consumed = 0;         // fixes 0 .. consumed-1 are accounted for
        QVector<int> passFix;     // per passed gate: the fix whose consumption passed it
        QVector<double> passTime; // per passed gate: the moment it was passed
    };

    void advance(BoatState &state, const Track *track, int t);
    // Distance (km) between the gate and the leg p..q, with the fraction of
    // the leg at the closest approach.
    double legDistance(int gate, const GeoPoint &p, const GeoPoint &q, double *fraction) const;
    // Nearest point of the gate line to p, and its distance in km.
    double gateDistance(int gate, const GeoPoint &p) const;

    QList<CourseGate> m_course;
    QVector<Frame> m_frames;
    QVector<double> m_remaining; // m_remaining[k] = legs from gate k to the last
    QHash<int, BoatState> m_states;
    qint64 m_fixesExamined = 0;
};

#endif
