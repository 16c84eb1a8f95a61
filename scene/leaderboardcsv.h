#ifndef VELMARO_SCENE_LEADERBOARDCSV_H
#define VELMARO_SCENE_LEADERBOARDCSV_H

#include "scene/leaderboard.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class Ship;

// The leaderboard as a file: UTF-8 CSV with a header row, one line per row
// in list order, numbers with a point, times in ISO 8601 UTC, empty fields
// where the list shows nothing. A new column of the list is one more entry
// of columns().
namespace LeaderboardCsv
{

struct Column {
    QString header;
    std::function<QString(const LeaderboardRow &)> value;
};
const QList<Column> &columns();

QByteArray write(const QList<LeaderboardRow> &rows);

// A field with the separator, a quote or a line break goes in quotes.
QString field(QString text);

// The ranking of the boats at moment t, each placed there on its raw track
// as the slider would place it; the course of the race (gates in course
// order) may be empty.
QList<LeaderboardRow> rowsAt(const QList<Ship *> &ships, const QList<CourseGate> &course, int t);

} // namespace LeaderboardCsv

#endif
