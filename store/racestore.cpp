#include "store/racestore.h"

#include <QCoreApplication>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <limits>

namespace RaceStore
{

namespace
{

Race rowOf(const QSqlQuery &q)
{
    Race r;
    r.id = q.value(0).toInt();
    r.eventId = q.value(1).toInt();
    r.taskId = q.value(2).toInt();
    r.name = q.value(3).toString();
    r.start = q.value(4).toLongLong();
    r.end = q.value(5).toLongLong();
    r.showCompleteTracks = q.value(6).toInt() == 1;
    return r;
}

const QString selectColumns =
    QStringLiteral("SELECT id, event_id, task_id, name, von, bis, showcompletetracks FROM regatta");

bool pairStored(QSqlDatabase &db, int eventId, int taskId, bool *exists, QString *error)
{
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("SELECT count(*) FROM regatta WHERE event_id=:event_id AND "
                                  "task_id=:task_id"))) {
        *error = q.lastError().text();
        return false;
    }
    q.bindValue(QStringLiteral(":event_id"), eventId);
    q.bindValue(QStringLiteral(":task_id"), taskId);
    if (!q.exec() || !q.next()) {
        *error = q.lastError().text();
        return false;
    }
    *exists = q.value(0).toInt() > 0;
    return true;
}

// Inserts one row inside the caller's transaction.
bool insertRow(QSqlDatabase &db, const Race &race, Race *stored, QString *error)
{
    QSqlQuery next(db);
    if (!next.exec(QStringLiteral("SELECT coalesce(max(id), 0) + 1 FROM regatta")) ||
        !next.next()) {
        *error = next.lastError().text();
        return false;
    }
    Race s = race;
    s.id = next.value(0).toInt();
    s.name = race.name.trimmed();
    s.showCompleteTracks = false;
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral(
            "INSERT INTO regatta (id, event_id, task_id, name, von, bis, showcompletetracks) "
            "VALUES (:id, :event_id, :task_id, :name, :von, :bis, 0)"))) {
        *error = insert.lastError().text();
        return false;
    }
    insert.bindValue(QStringLiteral(":id"), s.id);
    insert.bindValue(QStringLiteral(":event_id"), s.eventId);
    insert.bindValue(QStringLiteral(":task_id"), s.taskId);
    insert.bindValue(QStringLiteral(":name"), s.name);
    insert.bindValue(QStringLiteral(":von"), s.start);
    insert.bindValue(QStringLiteral(":bis"), s.end);
    if (!insert.exec()) {
        *error = insert.lastError().text();
        return false;
    }
    *stored = s;
    return true;
}

bool commitOrRollback(QSqlDatabase &db, QString *error)
{
    if (db.commit())
        return true;
    *error = db.lastError().text();
    db.rollback();
    return false;
}

// Runs a DELETE with one bound value; the number of rows, -1 on failure.
int deleteRows(QSqlDatabase &db, const QString &sql, const QString &name, int value, QString *error)
{
    QSqlQuery q(db);
    if (!q.prepare(sql)) {
        *error = q.lastError().text();
        return -1;
    }
    q.bindValue(name, value);
    if (!q.exec()) {
        *error = q.lastError().text();
        return -1;
    }
    return q.numRowsAffected();
}

} // namespace

bool isSeeded(int id, int eventId, int taskId)
{
    return id == 1 || id == 2 || (eventId == 10 && taskId == 88) ||
           (eventId == 21 && taskId == 120);
}

bool isSeeded(const Race &race)
{
    return isSeeded(race.id, race.eventId, race.taskId);
}

QVector<Race> races(bool *ok)
{
    QVector<Race> list;
    QSqlQuery q;
    const bool ran = q.exec(selectColumns + QStringLiteral(" ORDER BY von DESC"));
    while (ran && q.next())
        list.append(rowOf(q));
    if (ok)
        *ok = ran;
    return list;
}

QList<RacePair> knownPairs()
{
    QList<RacePair> pairs;
    for (const Race &s : races())
        pairs.append({s.eventId, s.taskId});
    return pairs;
}

bool exists(int eventId, int taskId)
{
    QSqlDatabase db = QSqlDatabase::database();
    bool found = false;
    QString error;
    return pairStored(db, eventId, taskId, &found, &error) && found;
}

Race race(int id)
{
    QSqlQuery q;
    q.prepare(selectColumns + QStringLiteral(" WHERE id=:id"));
    q.bindValue(QStringLiteral(":id"), id);
    if (q.exec() && q.next())
        return rowOf(q);
    return Race();
}

bool setShowCompleteTracks(int id, bool on)
{
    QSqlQuery query;
    if (!query.prepare(QStringLiteral("UPDATE regatta SET "
                                      "showcompletetracks=:showcompletetracks "
                                      "WHERE id=:regatta_id")))
        return false;
    query.bindValue(QStringLiteral(":showcompletetracks"), on ? 1 : 0);
    query.bindValue(QStringLiteral(":regatta_id"), id);
    return query.exec();
}

InsertResult insert(const Race &race)
{
    InsertResult result;
    if (!isWellFormed(race)) {
        result.status = InsertResult::Invalid;
        return result;
    }
    QSqlDatabase db = QSqlDatabase::database();
    if (!db.transaction()) {
        result.error = db.lastError().text();
        return result;
    }
    bool found = false;
    if (!pairStored(db, race.eventId, race.taskId, &found, &result.error)) {
        db.rollback();
        return result;
    }
    if (found) {
        db.rollback();
        result.status = InsertResult::Duplicate;
        return result;
    }
    if (!insertRow(db, race, &result.stored, &result.error)) {
        db.rollback();
        return result;
    }
    if (!commitOrRollback(db, &result.error))
        return result;
    result.status = InsertResult::Inserted;
    return result;
}

ImportResult importRaces(const QVector<Race> &list)
{
    ImportResult result;
    QSqlDatabase db = QSqlDatabase::database();
    if (!db.transaction()) {
        result.error = db.lastError().text();
        return result;
    }
    QSet<RacePair> seen;
    for (const Race &race : list) {
        if (!isWellFormed(race) || isImportedEvent(race.eventId)) {
            ++result.invalid;
            continue;
        }
        const RacePair pair{race.eventId, race.taskId};
        bool found = seen.contains(pair);
        if (!found && !pairStored(db, race.eventId, race.taskId, &found, &result.error)) {
            db.rollback();
            result.added.clear();
            return result;
        }
        seen.insert(pair);
        if (found) {
            ++result.known;
            continue;
        }
        Race stored;
        if (!insertRow(db, race, &stored, &result.error)) {
            db.rollback();
            result.added.clear();
            return result;
        }
        result.added.append(stored);
    }
    if (!commitOrRollback(db, &result.error)) {
        result.added.clear();
        return result;
    }
    result.ok = true;
    return result;
}

RemoveResult remove(int id)
{
    RemoveResult result;
    QSqlDatabase db = QSqlDatabase::database();
    if (!db.transaction()) {
        result.error = db.lastError().text();
        return result;
    }
    auto fail = [&db, &result]() {
        db.rollback();
        result.status = RemoveResult::Failed;
        result.boats = result.fixes = 0;
        return result;
    };

    QSqlQuery find(db);
    if (!find.prepare(QStringLiteral("SELECT id, event_id, task_id FROM regatta WHERE id=:id"))) {
        result.error = find.lastError().text();
        return fail();
    }
    find.bindValue(QStringLiteral(":id"), id);
    if (!find.exec()) {
        result.error = find.lastError().text();
        return fail();
    }
    if (!find.next()) {
        find.finish();
        db.rollback();
        result.status = RemoveResult::NotFound;
        return result;
    }
    const int eventId = find.value(1).toInt();
    const int taskId = find.value(2).toInt();
    find.finish();
    if (isSeeded(id, eventId, taskId)) {
        db.rollback();
        result.status = RemoveResult::Seeded;
        return result;
    }

    QSqlQuery others(db);
    if (!others.prepare(
            QStringLiteral("SELECT count(*) FROM regatta WHERE event_id=:event_id AND id<>:id"))) {
        result.error = others.lastError().text();
        return fail();
    }
    others.bindValue(QStringLiteral(":event_id"), eventId);
    others.bindValue(QStringLiteral(":id"), id);
    if (!others.exec() || !others.next()) {
        result.error = others.lastError().text();
        return fail();
    }
    const bool shared = others.value(0).toInt() > 0;
    others.finish();

    if (!shared) {
        result.fixes = deleteRows(db, QStringLiteral("DELETE FROM track WHERE regatta_id=:r"),
                                  QStringLiteral(":r"), eventId, &result.error);
        if (result.fixes < 0)
            return fail();
        result.boats = deleteRows(db, QStringLiteral("DELETE FROM ship WHERE regatta_id=:r"),
                                  QStringLiteral(":r"), eventId, &result.error);
        if (result.boats < 0)
            return fail();
    }
    for (const QString &table : {QStringLiteral("mark"), QStringLiteral("moment")}) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("DELETE FROM %1 WHERE event_id=:e AND task_id=:t").arg(table));
        q.bindValue(QStringLiteral(":e"), eventId);
        q.bindValue(QStringLiteral(":t"), taskId);
        if (!q.exec()) {
            result.error = q.lastError().text();
            return fail();
        }
    }
    if (deleteRows(db, QStringLiteral("DELETE FROM regatta WHERE id=:id"), QStringLiteral(":id"),
                   id, &result.error) != 1)
        return fail();
    if (!commitOrRollback(db, &result.error))
        return fail();
    result.status = RemoveResult::Removed;
    return result;
}

QString emptyNameMessage()
{
    return QCoreApplication::translate("RaceStore", "Bitte einen Namen für die Regatta eingeben.");
}

QString badEventMessage()
{
    return QCoreApplication::translate("RaceStore",
                                       "Die Eventnummer muss eine positive ganze Zahl sein.");
}

QString badTaskMessage()
{
    return QCoreApplication::translate("RaceStore",
                                       "Die Tasknummer muss eine positive ganze Zahl sein.");
}

QString eventTooLargeMessage()
{
    return QCoreApplication::translate("RaceStore", "Die Eventnummer ist zu groß (höchstens %1).")
        .arg(std::numeric_limits<int>::max());
}

QString taskTooLargeMessage()
{
    return QCoreApplication::translate("RaceStore", "Die Tasknummer ist zu groß (höchstens %1).")
        .arg(std::numeric_limits<int>::max());
}

QString importedRangeMessage()
{
    return QCoreApplication::translate(
               "RaceStore",
               "Eventnummern ab %1 sind aus Dateien importierten Regatten vorbehalten.")
        .arg(importedEventBase);
}

QString endBeforeStartMessage()
{
    return QCoreApplication::translate("RaceStore", "Das Ende muss nach dem Start liegen.");
}

QString timeRangeMessage()
{
    return QCoreApplication::translate("RaceStore",
                                       "Start und Ende müssen zwischen 1970 und 2038 liegen.");
}

QString duplicateMessage(int eventId, int taskId)
{
    return QCoreApplication::translate(
               "RaceStore", "Eine Regatta mit Eventnummer %1 und Tasknummer %2 gibt es schon.")
        .arg(eventId)
        .arg(taskId);
}

Validation validate(const RaceInput &input, const QList<RacePair> &known)
{
    Validation v;
    constexpr qint64 maxNumber = std::numeric_limits<int>::max();
    v.race.name = input.name.trimmed();
    v.race.eventId = int(parsePositiveInteger(input.eventText, maxNumber));
    v.race.taskId = int(parsePositiveInteger(input.taskText, maxNumber));
    v.race.start = input.start;
    v.race.end = input.end;
    if (v.race.name.isEmpty())
        v.messages.append(emptyNameMessage());
    if (v.race.eventId == 0)
        v.messages.append(isTooLarge(input.eventText, maxNumber) ? eventTooLargeMessage()
                                                                 : badEventMessage());
    else if (isImportedEvent(v.race.eventId))
        v.messages.append(importedRangeMessage());
    if (v.race.taskId == 0)
        v.messages.append(isTooLarge(input.taskText, maxNumber) ? taskTooLargeMessage()
                                                                : badTaskMessage());
    if (input.start <= 0 || input.end > maxRaceTime)
        v.messages.append(timeRangeMessage());
    else if (input.end <= input.start)
        v.messages.append(endBeforeStartMessage());
    if (v.race.eventId > 0 && v.race.taskId > 0 &&
        known.contains(RacePair{v.race.eventId, v.race.taskId}))
        v.messages.append(duplicateMessage(v.race.eventId, v.race.taskId));
    return v;
}

} // namespace RaceStore
