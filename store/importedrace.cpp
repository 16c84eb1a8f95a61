#include "store/importedrace.h"

#include "store/fixwriter.h"
#include "store/transaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <limits>

namespace ImportedRace
{

namespace
{

// The next number of the imported range in a column; 0 when it is used up
// or the query failed.
int nextInRange(const QString &table, const QString &column, QString *error)
{
    QSqlQuery q;
    if (!q.prepare(QStringLiteral("SELECT max(%1) FROM %2 WHERE %1 >= :base").arg(column, table))) {
        *error = q.lastError().text();
        return 0;
    }
    q.bindValue(QStringLiteral(":base"), importedEventBase);
    if (!q.exec() || !q.next()) {
        *error = q.lastError().text();
        return 0;
    }
    if (q.value(0).isNull())
        return importedEventBase;
    const qint64 next = q.value(0).toLongLong() + 1;
    if (next > std::numeric_limits<int>::max()) {
        *error = QStringLiteral("no free number left in %1.%2").arg(table, column);
        return 0;
    }
    return int(next);
}

bool exec(QSqlQuery &q, QString *error)
{
    if (q.exec())
        return true;
    *error = q.lastError().text();
    return false;
}

void bindAll(QSqlQuery &q, std::initializer_list<QVariant> values)
{
    int i = 0;
    for (const QVariant &v : values)
        q.bindValue(i++, v);
}

// Tints for the sprites, one a boat in turn.
const char *const colours[] = {"#e6194b", "#3cb44b", "#4363d8", "#f58231", "#911eb4",
                               "#42d4f4", "#f032e6", "#bfef45", "#469990", "#9a6324"};

} // namespace

Result store(const QString &name, const QVector<Boat> &boats, const QVector<Mark> &marks)
{
    Result result;
    qint64 start = std::numeric_limits<qint64>::max();
    qint64 end = 0;
    for (const Boat &boat : boats) {
        if (boat.fixes.isEmpty()) {
            result.error = QStringLiteral("boat without fixes: ") + boat.name;
            return result;
        }
        start = qMin(start, qint64(boat.fixes.first().tstamp));
        end = qMax(end, qint64(boat.fixes.last().tstamp));
    }
    Race race;
    race.name = name.trimmed();
    race.taskId = 1;
    race.start = start;
    // A race needs an end after its start, even with a single fix.
    race.end = qMax(end, start + 1);
    race.eventId = importedEventBase;
    if (boats.isEmpty() || !isWellFormed(race)) {
        result.error = QStringLiteral("no name, no boats or times out of range");
        return result;
    }

    Transaction transaction;
    if (!transaction.isOpen()) {
        result.error = transaction.error();
        return result;
    }
    race.eventId =
        nextInRange(QStringLiteral("regatta"), QStringLiteral("event_id"), &result.error);
    int shipId = nextInRange(QStringLiteral("ship"), QStringLiteral("id"), &result.error);
    if (race.eventId == 0 || shipId == 0 || shipId > std::numeric_limits<int>::max() - boats.size())
        return result;

    QSqlQuery next;
    if (!next.exec(QStringLiteral("SELECT coalesce(max(id), 0) + 1 FROM regatta")) ||
        !next.next()) {
        result.error = next.lastError().text();
        return result;
    }
    race.id = next.value(0).toInt();
    QSqlQuery row;
    row.prepare(QStringLiteral("INSERT INTO regatta (id, event_id, task_id, name, von, bis, "
                               "showcompletetracks) VALUES (?, ?, ?, ?, ?, ?, 0)"));
    bindAll(row, {race.id, race.eventId, race.taskId, race.name, race.start, race.end});
    if (!exec(row, &result.error))
        return result;

    for (int i = 0; i < boats.size(); ++i, ++shipId) {
        const Boat &boat = boats.at(i);
        BoatRow ship;
        ship.id = shipId;
        ship.regattaId = race.eventId;
        ship.name = boat.name;
        ship.klasse = boat.klasse;
        ship.startnr = boat.startnr;
        ship.farbe = QString::fromLatin1(colours[i % std::size(colours)]);
        ship.lastget = boat.fixes.last().tstamp;
        if (!BoatStore::insertBoat(ship, &result.error))
            return result;
        FixWriter writer(shipId, race.eventId);
        if (!writer.prepare()) {
            result.error = writer.error();
            return result;
        }
        for (const FixRow &fix : boat.fixes) {
            if (!writer.insert(fix.lat, fix.lng, fix.tstamp)) {
                result.error = writer.error();
                return result;
            }
        }
    }

    QSqlQuery mark;
    mark.prepare(QStringLiteral("INSERT INTO mark (event_id, task_id, seq, name, lat_a, lng_a, "
                                "lat_b, lng_b) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int i = 0; i < marks.size(); ++i) {
        const Mark &m = marks.at(i);
        bindAll(mark, {race.eventId, race.taskId, i, m.name, m.latA, m.lngA, m.latB, m.lngB});
        if (!exec(mark, &result.error))
            return result;
    }
    if (!transaction.commit()) {
        result.error = transaction.error();
        return result;
    }
    result.ok = true;
    result.race = race;
    return result;
}

QVector<Mark> marks(int eventId, int taskId)
{
    QVector<Mark> list;
    QSqlQuery q;
    q.prepare(QStringLiteral("SELECT name, lat_a, lng_a, lat_b, lng_b FROM mark WHERE "
                             "event_id=:e AND task_id=:t ORDER BY seq"));
    q.bindValue(QStringLiteral(":e"), eventId);
    q.bindValue(QStringLiteral(":t"), taskId);
    if (!q.exec())
        return list;
    while (q.next())
        list.append({q.value(0).toString(), q.value(1).toDouble(), q.value(2).toDouble(),
                     q.value(3).toDouble(), q.value(4).toDouble()});
    return list;
}

} // namespace ImportedRace
