#ifndef VELMARO_APP_PLATFORM_PATHS_H
#define VELMARO_APP_PLATFORM_PATHS_H

#include <QString>

namespace Paths
{
// Per-user data folder (".../Velmaro"); holds the tile cache and, unless the
// installation names another folder, the database. Not created here.
QString dataFolder();

// Installation-provided database folder (system-wide setting "VELMARODB"),
// or the data folder when that is empty.
QString databaseFolder();

// Full path of "velmaro.db" in the database folder.
QString databasePath();

// Finds a run-time asset such as "css/velmaro.qss": working directory first,
// then beside the executable, then ../share/velmaro beside it. Returns the
// working-directory path when none exists.
QString asset(const QString &relativePath);

// Creates a folder and its parents when missing; true when it exists afterwards.
bool ensureFolder(const QString &path);
} // namespace Paths

#endif
