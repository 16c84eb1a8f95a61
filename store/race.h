#ifndef VELMARO_STORE_RACE_H
#define VELMARO_STORE_RACE_H

#include <QMetaType>
#include <QString>
#include <QStringView>

// A race as the service's list, the race dialog and table regatta describe it.
// id is the row id, 0 for a race not stored yet.
struct Race {
    int id = 0;
    int eventId = 0;
    int taskId = 0;
    QString name;
    qint64 start = 0; // Unix seconds
    qint64 end = 0;
    bool showCompleteTracks = false;

    bool operator==(const Race &o) const
    {
        return id == o.id && eventId == o.eventId && taskId == o.taskId && name == o.name &&
               start == o.start && end == o.end && showCompleteTracks == o.showCompleteTracks;
    }
    bool operator!=(const Race &o) const { return !(*this == o); }
};

// Times are kept within what the int columns and the int time stamps of the
// rest of the program hold.
inline constexpr qint64 maxRaceTime = 2147483647;

// Races imported from files take event numbers from here on; the service's
// race list and the race dialog may not use them.
inline constexpr int importedEventBase = 2000000000;
inline bool isImportedEvent(int eventId)
{
    return eventId >= importedEventBase;
}

// A positive decimal integer of at most maxValue, digits only after trimming
// white space (no sign, no fraction, no exponent); 0 for anything else.
qint64 parsePositiveInteger(QStringView text, qint64 maxValue);
// True when the text is such a number but greater than maxValue.
bool isTooLarge(QStringView text, qint64 maxValue);

// True when the numbers are positive and in range, the name is not blank and
// the end lies after the start.
bool isWellFormed(const Race &race);

Q_DECLARE_METATYPE(Race)

#endif
