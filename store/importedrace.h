#ifndef VELMARO_STORE_IMPORTEDRACE_H
#define VELMARO_STORE_IMPORTEDRACE_H

#include "store/boatstore.h"
#include "store/race.h"

#include <QString>
#include <QVector>

// Races made from a sailor's own files: their row in table regatta, their
// boats and fixes, and their course in table mark. Their event numbers lie
// at or above importedEventBase, a range the service's race list may not use,
// and their boat ids at or above the same number.
namespace ImportedRace
{

struct Boat {
    QString name;
    QString klasse;
    QString startnr;
    QVector<FixRow> fixes; // in time order
};

// One mark of the course: a gate from a to b, or a single mark where b == a.
struct Mark {
    QString name;
    double latA = 0.0;
    double lngA = 0.0;
    double latB = 0.0;
    double lngB = 0.0;
};

struct Result {
    bool ok = false;
    Race race; // the stored row, when ok
    QString error;
};

// Stores the race in one transaction: start and end from the first and last
// fix, the next free event number of the range, task number 1. Nothing is
// stored when a boat has no fix, the name is blank or a statement fails.
Result store(const QString &name, const QVector<Boat> &boats, const QVector<Mark> &marks);

// The course stored for the race, in course order; empty when it has none.
QVector<Mark> marks(int eventId, int taskId);

} // namespace ImportedRace

#endif
