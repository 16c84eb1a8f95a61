#include "scene/raceanalysis.h"

#include "scene/ship.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace
{
const QVector<Sailing::Manoeuvre> noManoeuvres;
}

void RaceAnalysis::clear()
{
    ++m_generation;
    m_boats.clear();
    m_estimates.clear();
}

void RaceAnalysis::update(const QList<Ship *> &ships)
{
    // Asked at every shown moment: mostly nothing changed, and then nothing is built.
    const bool same = ships.size() == m_boats.size() &&
                      std::all_of(ships.begin(), ships.end(), [this](const Ship *ship) {
                          const auto it = m_boats.constFind(ship->id());
                          return it != m_boats.constEnd() && it->ship == ship &&
                                 it->pointCount == ship->rawTrack()->count();
                      });
    if (same)
        return;
    bool changed = false;
    QHash<int, Boat> kept;
    for (const Ship *ship : ships) {
        const Track *raw = ship->rawTrack();
        Boat boat = m_boats.value(ship->id());
        boat.ship = ship;
        if (raw && boat.pointCount != raw->count()) {
            boat.pointCount = raw->count();
            boat.turns = Sailing::findTurns(Sailing::smoothedMotion(*raw));
            changed = true;
        }
        kept.insert(ship->id(), boat);
    }
    changed = changed || kept.size() != m_boats.size();
    m_boats = kept;
    if (changed) {
        m_estimates.clear();
        classify();
    }
}

void RaceAnalysis::classify()
{
    ++m_generation;
    for (Boat &boat : m_boats) {
        boat.manoeuvres.clear();
        if (boat.turns.isEmpty() || !boat.ship->rawTrack())
            continue;
        const QVector<Sailing::Motion> motion = Sailing::smoothedMotion(*boat.ship->rawTrack());
        boat.manoeuvres = Sailing::detectManoeuvres(motion, boat.turns, [this](int t) {
            const Wind wind = windAt(t);
            return wind.valid ? wind.from : 0.0;
        });
    }
}

const QVector<Sailing::Manoeuvre> &RaceAnalysis::manoeuvres(int shipId) const
{
    const auto it = m_boats.constFind(shipId);
    return it == m_boats.constEnd() ? noManoeuvres : it->manoeuvres;
}

RaceAnalysis::WindSource RaceAnalysis::source() const
{
    if (m_fixed)
        return WindSource::Fixed;
    return m_samples.isEmpty() ? WindSource::Estimated : WindSource::File;
}

RaceAnalysis::Wind RaceAnalysis::windAt(int t) const
{
    Wind wind;
    wind.source = source();
    if (m_fixed) {
        wind.valid = true;
        wind.from = *m_fixed;
    } else if (!m_samples.isEmpty()) {
        // Between two samples the direction turns the short way.
        const auto after = std::lower_bound(m_samples.begin(), m_samples.end(), t,
                                            [](const WindSample &s, qint64 v) { return s.t < v; });
        wind.valid = true;
        if (after == m_samples.begin()) {
            wind.from = after->from;
        } else if (after == m_samples.end()) {
            wind.from = m_samples.last().from;
        } else {
            const WindSample &a = *(after - 1);
            const double share = double(t - a.t) / double(after->t - a.t);
            wind.from =
                std::fmod(a.from + Sailing::angleDiff(after->from, a.from) * share + 360.0, 360.0);
        }
    } else if (const auto known = m_estimates.constFind(t / 60); known != m_estimates.constEnd()) {
        return *known;
    } else {
        QVector<QVector<Sailing::Turn>> fleet;
        fleet.reserve(m_boats.size());
        for (const Boat &boat : m_boats)
            fleet.append(boat.turns);
        const Sailing::WindEstimate estimate = Sailing::estimateWind(fleet, t);
        wind.valid = estimate.valid;
        wind.from = estimate.from;
        wind.turns = estimate.turns;
        wind.boats = estimate.boats;
        m_estimates.insert(t / 60, wind);
    }
    return wind;
}

double RaceAnalysis::tackingAngle(int shipId) const
{
    double sum = 0.0;
    int n = 0;
    const auto it = m_boats.constFind(shipId);
    if (it != m_boats.constEnd()) {
        for (const Sailing::Turn &turn : it->turns) {
            const double angle = std::abs(Sailing::angleDiff(turn.after, turn.before));
            if (angle >= 70.0 && angle <= 120.0) {
                sum += angle;
                ++n;
            }
        }
    }
    return n > 0 ? sum / n : 90.0;
}

void RaceAnalysis::setFixedWind(std::optional<double> from)
{
    m_fixed = from;
    classify();
}

void RaceAnalysis::setWindSamples(const QVector<WindSample> &samples)
{
    m_samples = samples;
    classify();
}

QString RaceAnalysis::sourceText(WindSource source)
{
    switch (source) {
    case WindSource::Fixed:
        return QCoreApplication::translate("RaceAnalysis", "eingegeben");
    case WindSource::File:
        return QCoreApplication::translate("RaceAnalysis", "Datei");
    case WindSource::Estimated:
        break;
    }
    return QCoreApplication::translate("RaceAnalysis", "geschätzt");
}

namespace
{
QString isoUtc(qint64 t)
{
    return QDateTime::fromSecsSinceEpoch(t, Qt::UTC).toString(Qt::ISODate);
}
// A field with the separator, a quote or a line break goes in quotes.
QString csvField(QString text)
{
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
               QLatin1Char('"');
    return text;
}
} // namespace

QByteArray RaceAnalysis::manoeuvresCsv(const QList<Ship *> &ships) const
{
    QString out =
        QStringLiteral("sail_number,boat,kind,time,latitude,longitude,duration_s,metres_lost\n");
    for (const Ship *ship : ships) {
        for (const Sailing::Manoeuvre &m : manoeuvres(ship->id())) {
            out += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8\n")
                       .arg(csvField(ship->startnr()), csvField(ship->name()),
                            m.kind == Sailing::ManoeuvreKind::Tack ? QStringLiteral("tack")
                                                                   : QStringLiteral("gybe"),
                            isoUtc(m.t))
                       .arg(m.position.lat(), 0, 'f', 6)
                       .arg(m.position.lng(), 0, 'f', 6)
                       .arg(m.durationSecs)
                       .arg(m.metresLost, 0, 'f', 1);
        }
    }
    return out.toUtf8();
}

QByteArray RaceAnalysis::windCsv(qint64 from, qint64 to, int stepSecs) const
{
    QString out = QStringLiteral("time,direction,source,confidence,boats\n");
    for (qint64 t = from; t <= to && stepSecs > 0; t += stepSecs) {
        const Wind wind = windAt(int(t));
        if (!wind.valid)
            continue;
        out += QStringLiteral("%1,%2,%3,%4,%5\n")
                   .arg(isoUtc(t))
                   .arg(wind.from, 0, 'f', 1)
                   .arg(wind.source == WindSource::Estimated ? QStringLiteral("estimated")
                        : wind.source == WindSource::Fixed   ? QStringLiteral("fixed")
                                                             : QStringLiteral("file"))
                   .arg(wind.turns)
                   .arg(wind.boats);
    }
    return out.toUtf8();
}

WindFile RaceAnalysis::parseWindFile(const QByteArray &data)
{
    WindFile file;
    const QList<QByteArray> lines = data.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char(';'));
        const auto bad = [&](const QString &why) {
            file.errors.append(
                QCoreApplication::translate("RaceAnalysis", "Zeile %1: %2").arg(i + 1).arg(why));
        };
        if (fields.size() != 3) {
            bad(QCoreApplication::translate(
                "RaceAnalysis", "drei Felder erwartet (Zeit; Richtung; Geschwindigkeit)"));
            continue;
        }
        WindSample sample;
        bool ok = false;
        sample.t = fields.at(0).trimmed().toLongLong(&ok);
        if (!ok) {
            const QDateTime when = QDateTime::fromString(fields.at(0).trimmed(), Qt::ISODate);
            ok = when.isValid();
            sample.t = when.toSecsSinceEpoch();
        }
        bool dirOk = false, speedOk = false;
        sample.from = fields.at(1).trimmed().toDouble(&dirOk);
        sample.knots = fields.at(2).trimmed().toDouble(&speedOk);
        if (!ok || sample.t <= 0)
            bad(QCoreApplication::translate("RaceAnalysis", "keine Zeit"));
        else if (!dirOk || !std::isfinite(sample.from) || sample.from < 0 || sample.from > 360)
            bad(QCoreApplication::translate("RaceAnalysis",
                                            "Richtung nicht zwischen 0 und 360 Grad"));
        else if (!speedOk || !std::isfinite(sample.knots) || sample.knots < 0 || sample.knots > 200)
            bad(QCoreApplication::translate("RaceAnalysis",
                                            "Geschwindigkeit nicht zwischen 0 und 200 Knoten"));
        else if (!file.samples.isEmpty() && sample.t <= file.samples.last().t)
            bad(QCoreApplication::translate("RaceAnalysis", "Zeit nicht nach der vorigen Zeile"));
        else
            file.samples.append(sample);
    }
    if (!file.errors.isEmpty())
        file.samples.clear(); // nothing of a file with bad lines
    return file;
}
