#ifndef VELMARO_SCENE_RACEANALYSIS_H
#define VELMARO_SCENE_RACEANALYSIS_H

#include "scene/manoeuvres.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

class Ship;

// One line of a wind file: time (Unix seconds), direction the wind comes
// from (degrees) and its speed (knots).
struct WindSample {
    qint64 t = 0;
    double from = 0.0;
    double knots = 0.0;
};

struct WindFile {
    QVector<WindSample> samples; // empty when any line was bad
    QStringList errors;          // one text per bad line, naming it
};

// Tacks, gybes and the wind of the boats of a race, worked out from their
// raw tracks and kept until a boat's fixes change. The wind is the fleet's
// estimate unless the user gave a fixed direction or a wind file.
class RaceAnalysis
{
public:
    enum class WindSource { Estimated, Fixed, File };

    struct Wind {
        bool valid = false;
        double from = 0.0;
        WindSource source = WindSource::Estimated;
        int turns = 0; // for an estimate: the tacks and gybes it rests on
        int boats = 0;
    };

    void clear();
    // Works out again every boat whose fix count changed since the last call.
    void update(const QList<Ship *> &ships);

    const QVector<Sailing::Manoeuvre> &manoeuvres(int shipId) const;
    // The wind at moment t from the chosen source.
    Wind windAt(int t) const;
    // The mean angle between the two courses of the boat's tacks (90 without any).
    double tackingAngle(int shipId) const;

    void setFixedWind(std::optional<double> from);
    void setWindSamples(const QVector<WindSample> &samples);
    WindSource source() const;
    // Counts every new working out, so views know when to fill again.
    int generation() const { return m_generation; }

    // "time;direction;speed" a line, time in Unix seconds or ISO 8601; lines
    // starting with '#' and blank lines are skipped. Any bad line refuses the
    // whole file.
    static WindFile parseWindFile(const QByteArray &data);
    static QString sourceText(WindSource source);

    // CSV with a header row, times in ISO 8601 UTC: one row per tack or gybe
    // of the boats (in list order), or the wind every `stepSecs` from `from`
    // to `to` with the number of manoeuvres it rests on as its confidence.
    QByteArray manoeuvresCsv(const QList<Ship *> &ships) const;
    QByteArray windCsv(qint64 from, qint64 to, int stepSecs = 60) const;

private:
    void classify();

    struct Boat {
        int pointCount = -1;
        QVector<Sailing::Turn> turns;
        QVector<Sailing::Manoeuvre> manoeuvres;
        const Ship *ship = nullptr;
    };
    QHash<int, Boat> m_boats;
    // Estimates by the minute: the fleet's wind is asked for every frame.
    mutable QHash<int, Wind> m_estimates;
    int m_generation = 0;
    std::optional<double> m_fixed;
    QVector<WindSample> m_samples;
};

#endif
