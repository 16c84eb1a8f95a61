#include "scene/leaderboardcsv.h"

#include "scene/ship.h"

#include <QDateTime>

#include <cmath>

namespace LeaderboardCsv
{

namespace
{

QString number(double value, int decimals)
{
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QString();
}

// Distances mean nothing once a boat is in, as in the list.
QString racingNumber(const LeaderboardRow &row, double value, int decimals)
{
    return row.finished ? QString() : number(value, decimals);
}

} // namespace

const QList<Column> &columns()
{
    static const QList<Column> list{
        {QStringLiteral("class"), [](const LeaderboardRow &r) { return r.klasse; }},
        {QStringLiteral("rank"),
         [](const LeaderboardRow &r) { return r.rank > 0 ? QString::number(r.rank) : QString(); }},
        {QStringLiteral("sail_number"), [](const LeaderboardRow &r) { return r.startnr; }},
        {QStringLiteral("boat"), [](const LeaderboardRow &r) { return r.name; }},
        {QStringLiteral("next_mark"), [](const LeaderboardRow &r) { return r.nextGateName; }},
        {QStringLiteral("finish_time"),
         [](const LeaderboardRow &r) {
             return r.finished
                        ? QDateTime::fromSecsSinceEpoch(r.finishTime, Qt::UTC).toString(Qt::ISODate)
                        : QString();
         }},
        {QStringLiteral("distance_next_km"),
         [](const LeaderboardRow &r) { return racingNumber(r, r.distanceNextKm, 3); }},
        {QStringLiteral("distance_finish_km"),
         [](const LeaderboardRow &r) { return racingNumber(r, r.distanceFinishKm, 3); }},
        {QStringLiteral("speed_kn"),
         [](const LeaderboardRow &r) {
             return r.hasPosition ? number(r.speedKnots, 2) : QString();
         }},
        {QStringLiteral("gap_km"),
         [](const LeaderboardRow &r) { return racingNumber(r, r.gapKm, 3); }},
        {QStringLiteral("gap_nm"),
         [](const LeaderboardRow &r) { return racingNumber(r, r.gapNm(), 3); }},
        {QStringLiteral("gap_s"),
         [](const LeaderboardRow &r) { return racingNumber(r, r.gapSecs, 0); }},
        {QStringLiteral("leg"),
         [](const LeaderboardRow &r) { return r.leg > 0 ? QString::number(r.leg) : QString(); }},
        {QStringLiteral("vmc_kn"),
         [](const LeaderboardRow &r) { return racingNumber(r, r.vmcKnots, 2); }},
        {QStringLiteral("vmg_kn"),
         [](const LeaderboardRow &r) { return racingNumber(r, r.vmgKnots, 2); }},
        {QStringLiteral("average_1h_kn"),
         [](const LeaderboardRow &r) { return number(r.averageKnots1h, 2); }},
        {QStringLiteral("average_4h_kn"),
         [](const LeaderboardRow &r) { return number(r.averageKnots4h, 2); }},
        {QStringLiteral("average_24h_kn"),
         [](const LeaderboardRow &r) { return number(r.averageKnots24h, 2); }},
        {QStringLiteral("eta"),
         [](const LeaderboardRow &r) {
             return !r.finished && std::isfinite(r.etaTime)
                        ? QDateTime::fromSecsSinceEpoch(std::llround(r.etaTime), Qt::UTC)
                              .toString(Qt::ISODate)
                        : QString();
         }},
        {QStringLiteral("last_fix"),
         [](const LeaderboardRow &r) {
             return r.lastFixTime > 0 ? QDateTime::fromSecsSinceEpoch(r.lastFixTime, Qt::UTC)
                                            .toString(Qt::ISODate)
                                      : QString();
         }},
        {QStringLiteral("fix_age_s"),
         [](const LeaderboardRow &r) { return number(r.fixAgeSecs, 0); }},
        {QStringLiteral("elapsed_s"),
         [](const LeaderboardRow &r) { return number(r.elapsedSecs, 0); }},
        {QStringLiteral("corrected_s"),
         [](const LeaderboardRow &r) { return number(r.correctedSecs, 0); }},
        {QStringLiteral("corrected_projected"),
         [](const LeaderboardRow &r) {
             return std::isfinite(r.correctedSecs)
                        ? QString::fromLatin1(r.correctedProjected ? "yes" : "no")
                        : QString();
         }},
    };
    return list;
}

QString field(QString text)
{
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
               QLatin1Char('"');
    return text;
}

QByteArray write(const QList<LeaderboardRow> &rows)
{
    QStringList line;
    for (const Column &column : columns())
        line << column.header;
    QString out = line.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (const LeaderboardRow &row : rows) {
        line.clear();
        for (const Column &column : columns())
            line << field(column.value(row));
        out += line.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return out.toUtf8();
}

QList<LeaderboardRow> rowsAt(const QList<Ship *> &ships, const QList<CourseGate> &course, int t)
{
    for (Ship *ship : ships) {
        Track *raw = ship->rawTrack();
        const bool fixes = raw && raw->count() > 0;
        ship->setHasPositions(fixes);
        if (!fixes)
            continue;
        if (ship->displayTrack() != raw)
            ship->setDisplayTrack(raw);
        ship->setCurrentPoint(ship->positionAt(t));
        ship->setCurrentTime(t);
        ship->setPositionKnown(true);
    }
    Leaderboard board;
    board.setCourse(course);
    return board.update(Leaderboard::boatsOf(ships), t);
}

} // namespace LeaderboardCsv
