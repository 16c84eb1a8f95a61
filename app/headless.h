#ifndef VELMARO_APP_HEADLESS_H
#define VELMARO_APP_HEADLESS_H

#include <QPair>
#include <QString>

#include <optional>

// What every command without a window shares: its one-line failures, its
// race argument and the user's database opened with messages on stderr.
namespace Headless
{

// Writes "velmaro: message" to standard error; returns the exit status.
int fail(const QString &message, int status = 2);

// Draws off screen unless the caller chose a platform: no display needed.
void preferOffscreen();

// "EVENT/TASK" as two positive numbers; nothing for any other text.
std::optional<QPair<int, int>> parseRace(const QString &text);

// Opens the user's database with its messages sent to standard error
// instead of boxes. Empty on success, else the problem.
QString openDatabase();

} // namespace Headless

#endif
