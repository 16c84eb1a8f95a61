#ifndef VELMARO_SCENE_LEADERBOARD_H
#define VELMARO_SCENE_LEADERBOARD_H

#include "map/geo.h"
#include "store/ratingstore.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

#include <limits>
#include <vector>

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

// One line of the leaderboard: every figure a plain number, times in Unix
// seconds, durations in seconds. Figures are NaN where they mean nothing: no
// course, no position, not enough track, or a boat that is not under way.
struct LeaderboardRow {
    static constexpr double none = std::numeric_limits<double>::quiet_NaN();
    enum class LegWind { None, Upwind, Downwind };

    int id = 0;
    QString klasse;
    QString startnr;
    QString name;
    int rank = 0;         // as listed: 1 = first of the class; 0 when unranked
    int courseRank = 0;   // along the course, whatever the list is ranked by
    int gatesPassed = 0;  // in course order
    int nextGate = -1;    // index into the course; -1 when finished or no course
    QString nextGateName; // empty when finished or no course
    int leg = 0; // 1 from the start to the first mark, ...; 0 before the start or after the finish
    bool finished = false; // crossed the finish line
    int finishTime = 0;    // Unix seconds, when finished
    bool hasPosition = false;
    double distanceNextKm = none;
    double distanceFinishKm = none;
    double gapKm = none;   // to the leader of the class along the course
    double gapSecs = none; // the same in time
    double speedKnots = 0.0;

    double vmcKnots = none; // towards the next mark, over the last minute
    double vmgKnots = none; // towards the wind (upwind) or away from it (downwind)
    LegWind legWind = LegWind::None;
    double averageKnots1h = none; // distance sailed over the last hour of race time
    double averageKnots4h = none;
    double averageKnots24h = none;
    double vmcKnots1h = none; // made good towards the finish over the last hour
    double etaTime = none;    // at the finish, at vmcKnots1h
    int lastFixTime = 0;      // the newest fix at or before the shown moment
    double fixAgeSecs = none;

    Rating rating;
    double elapsedSecs = none;   // start to finish, when finished
    double correctedSecs = none; // at the finish, or projected from the ETA
    bool correctedProjected = false;

    double gapNm() const { return gapKm / 1.852; }
};

// Ranks the boats of a race along its course for a moment. A boat passes a
// gate when the leg between two of its fixes crosses the gate's line (or
// ends within 5 m of it, which rounded coordinates and GPS cannot tell
// apart), the gates in course order, and finishes on crossing the last one. The state of
// each boat (fixes already looked at, gates passed and when, distance
// sailed) is kept between updates, so moving forward looks only at the new
// fixes and moving back only forgets the gates passed after the new moment.
class Leaderboard
{
public:
    // Window of the course made good towards the next mark (longer when the
    // fixes are further apart).
    static constexpr int vmcWindowSecs = 60;
    // A leg within this angle of the wind (or of dead downwind) is a beat (a run).
    static constexpr double windLegDegrees = 60.0;

    Leaderboard() = default;

    // Replaces the course (gates in course order) and forgets every boat.
    void setCourse(const QList<CourseGate> &gates);
    const QList<CourseGate> &course() const { return m_course; }
    bool hasCourse() const { return !m_course.isEmpty(); }
    // Sum of the legs between the centres of gates `from` .. last, in km.
    double remainingLegsKm(int from) const;

    // The gun: elapsed times run from it, and averages look no further back.
    // 0 when unknown (elapsed times then run from each boat's start).
    void setRaceStart(qint64 start) { m_raceStart = start; }
    // Ratings by boat id.
    void setRatings(const QHash<int, Rating> &ratings) { m_ratings = ratings; }
    // Fixes implying more than 50 kn from their neighbours rank as if they
    // were not there (on by default).
    void setOutliersIgnored(bool ignored) { m_ignoreOutliers = ignored; }
    const QHash<int, Rating> &ratings() const { return m_ratings; }
    bool hasRatings() const { return !m_ratings.isEmpty(); }
    // Ranks each class by corrected time (at the finish, or projected) instead
    // of along the course; boats without one follow in course order.
    void setRankByCorrected(bool on) { m_rankByCorrected = on; }
    bool ranksByCorrected() const { return m_rankByCorrected; }
    // The course length in nautical miles that time-on-distance allowances apply to.
    double courseNm() const { return remainingLegsKm(0) / 1.852; }

    // Rows for moment t: grouped by class (classes in alphabetical order),
    // ranked within each class by gates passed (most first; finished boats
    // by finish time), then distance to finish. Boats without a position
    // follow, by start number. Without a course every boat is unranked and
    // listed by class and start number. windFrom (degrees, NaN when unknown)
    // tells beats and runs for the VMG.
    QList<LeaderboardRow> update(const QList<LeaderboardBoat> &boats, int t,
                                 double windFrom = LeaderboardRow::none);

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
        int consumed = 0;          // fixes 0 .. consumed-1 are accounted for
        QVector<int> passFix;      // per passed gate: the fix whose consumption passed it
        QVector<double> passTime;  // per passed gate: the moment it was passed
        std::vector<float> sailed; // km from the first fix to each fix measured so far
    };
    // Where a boat was at a moment of its track up to the shown position.
    struct Sample {
        GeoPoint position;
        double sailedKm = 0.0;
    };

    bool outlier(const Track *track, int i) const;
    void advance(BoatState &state, const Track *track, int t);
    void measure(BoatState &state, const Track *track, int upTo) const;
    Sample sampleAt(const BoatState &state, const Track *track, double when, const GeoPoint &shown,
                    int t) const;
    void fillFigures(LeaderboardRow &row, const BoatState &state, const LeaderboardBoat &boat,
                     int t, double windFrom) const;
    // Whether the leg p..q crosses the gate's line, with the fraction of the
    // leg where it does.
    bool crosses(int gate, const GeoPoint &p, const GeoPoint &q, double *fraction) const;
    // Nearest point of the gate line to p.
    GeoPoint nearestOnGate(int gate, const GeoPoint &p) const;
    double gateDistance(int gate, const GeoPoint &p) const;
    void rank(QList<LeaderboardRow> &rows, int t) const;

    QList<CourseGate> m_course;
    QVector<Frame> m_frames;
    QVector<double> m_remaining; // m_remaining[k] = legs from gate k to the last
    QHash<int, BoatState> m_states;
    QHash<int, Rating> m_ratings;
    qint64 m_raceStart = 0;
    bool m_rankByCorrected = false;
    qint64 m_fixesExamined = 0;
    bool m_ignoreOutliers = true;
};

#endif
