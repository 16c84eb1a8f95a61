#ifndef VELMARO_APP_RACEEXPORTS_H
#define VELMARO_APP_RACEEXPORTS_H

#include "store/race.h"

#include <QString>

#include <optional>

// The command line's fetch and its leaderboard and GPX exports, run once the
// arguments are checked and the database is open.
namespace RaceExports
{

// An ISO 8601 moment ("2011-04-19T16:00:00Z", an offset instead of Z, or no
// zone for UTC) or Unix seconds; nothing for any other text.
std::optional<qint64> parseMoment(const QString &text);

// Looks for the race in the database, and with `fetchList` also in the
// tracking service's race list (storing what is new there); nothing when
// neither has it, with the reason in `problem` when the list failed.
std::optional<Race> findRace(int eventId, int taskId, bool fetchList, QString *problem);

// Downloads what the tracking service has for the race into the database,
// as choosing it in the window does (boat list when needed, every boat's
// missing history, new positions of a running race), under the transfer
// timeouts. Empty when every reply was stored, else the problem.
QString fetch(const Race &race);

// Writes the list at moment `at` (the newest fix when not given) as CSV, or
// the tracks of the shown boats as GPX, atomically. Empty on success, else
// the problem.
QString writeLeaderboard(const Race &race, std::optional<qint64> at, const QString &path);
QString writeGpx(const Race &race, const QString &path);

} // namespace RaceExports

#endif
