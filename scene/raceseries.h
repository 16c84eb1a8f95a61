#ifndef VELMARO_SCENE_RACESERIES_H
#define VELMARO_SCENE_RACESERIES_H

#include "scene/leaderboard.h"
#include "scene/manoeuvres.h"

#include <QHash>
#include <QList>
#include <QVector>

#include <functional>
#include <optional>

// The figures of the graphs over race time for a few boats: speed over
// ground, velocity made good towards the next mark (VMC), the distance to
// the leader of the boat's class as the ranking has it, and on beats and
// runs the velocity made good to the wind (VMG). Worked out at evenly
// spaced moments, a slice at a time, so that a long race never holds up a
// frame.
class RaceSeries
{
public:
    enum Figure { Speed, Vmc, GapToLeader, Vmg, FigureCount };

    struct Input {
        // Every boat that may lead a class, with its raw track; position and
        // speed are not read.
        QList<LeaderboardBoat> fleet;
        QList<int> charted; // ids of the boats to chart
        QList<CourseGate> course;
        // Where the wind comes from at a moment; nothing where it is not known.
        std::function<std::optional<double>(int)> windFrom;
        int from = 0; // race time covered, Unix seconds
        int to = 0;
        int samples = 300;
    };

    // Forgets what was worked out and begins anew. The tracks must stay
    // alive until clear() or the next start().
    void start(Input input);
    void clear();
    // Works out further moments until budgetMs have passed (at least one);
    // true once every moment is done.
    bool advance(int budgetMs);
    bool isDone() const { return m_next >= m_times.size(); }

    // The moments, and a boat's figure at each (NaN where it has none: no
    // fix yet, finished, or no beat or run for the VMG). Knots and nautical
    // miles; each speed is the mean over the fixes within half a step of the
    // moment, or that of the next fix where none is so near.
    const QVector<int> &times() const { return m_times; }
    QVector<double> values(int id, Figure figure) const;

private:
    struct Charted {
        QVector<Sailing::Motion> motion;
        int cursor = 0; // first motion not before the previous window
        QVector<double> values[FigureCount];
    };
    void sampleAt(int k);

    Input m_input;
    QVector<int> m_times;
    int m_halfStep = 0;
    int m_next = 0;
    Leaderboard m_board;
    QList<LeaderboardBoat> m_rivals; // boats of the charted classes
    QHash<int, Charted> m_charted;
};

#endif
