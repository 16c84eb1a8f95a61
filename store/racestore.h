#ifndef VELMARO_STORE_RACESTORE_H
#define VELMARO_STORE_RACESTORE_H

#include "store/race.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// The races of table regatta on the default connection: listing them, adding
// races by hand or from the service's list and removing the ones a user
// added. The two races every new database is seeded with stay.
namespace RaceStore
{

// Event and task number: what tells two races apart.
using RacePair = QPair<int, int>;

// Row ids 1 and 2, pairs 10/88 and 21/120.
bool isSeeded(int id, int eventId, int taskId);
bool isSeeded(const Race &race);

// All races, newest start first (the race menu's order). ok, when given,
// tells whether the query ran.
QVector<Race> races(bool *ok = nullptr);
QList<RacePair> knownPairs();
bool exists(int eventId, int taskId);
// The row with this id; id 0 when there is none.
Race race(int id);

// Whether the race shows its boats' complete tracks; false when the
// statement failed.
bool setShowCompleteTracks(int id, bool on);

struct InsertResult {
    enum Status { Inserted, Duplicate, Invalid, Failed };
    Status status = Failed;
    Race stored;   // when Inserted
    QString error; // SQL error text when Failed
};

// Adds one race with id max(id)+1 and showcompletetracks 0, in one
// transaction. An existing event/task pair and a malformed record are refused.
InsertResult insert(const Race &race);

struct ImportResult {
    bool ok = false;     // false: rolled back, nothing added
    QVector<Race> added; // in list order
    int known = 0;       // pairs already stored or repeated in the list
    int invalid = 0;     // malformed records
    QString error;
};

// Adds the races of a list whose event/task pair is not stored yet, all in
// one transaction. Event numbers of the imported range count as malformed.
ImportResult importRaces(const QVector<Race> &list);

struct RemoveResult {
    enum Status { Removed, Seeded, NotFound, Failed };
    Status status = Failed;
    int boats = 0; // ship rows deleted
    int fixes = 0; // track rows deleted
    QString error;
};

// Removes a race a user added, with its boats and fixes (stored under its
// event number), in one transaction; any failure rolls all of it back. The
// boats and fixes stay when another race keeps the same event number, since
// they are stored under the event number alone.
RemoveResult remove(int id);

// What the race dialog was given.
struct RaceInput {
    QString name;
    QString eventText;
    QString taskText;
    qint64 start = 0; // Unix seconds
    qint64 end = 0;
};

struct Validation {
    QStringList messages; // one German sentence per problem, empty when fine
    Race race;            // the parsed input (trimmed name)
    bool ok() const { return messages.isEmpty(); }
};

// Checks the dialog's input against the pairs already known; touches nothing.
Validation validate(const RaceInput &input, const QList<RacePair> &known);

// The texts of validate().
QString emptyNameMessage();
QString badEventMessage();
QString badTaskMessage();
QString eventTooLargeMessage();
QString taskTooLargeMessage();
QString importedRangeMessage();
QString endBeforeStartMessage();
QString timeRangeMessage();
QString duplicateMessage(int eventId, int taskId);

} // namespace RaceStore

#endif
