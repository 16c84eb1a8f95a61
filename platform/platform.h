#ifndef VELMARO_APP_PLATFORM_PLATFORM_H
#define VELMARO_APP_PLATFORM_PLATFORM_H

#include <QString>

// The only place with code that differs between Linux and Windows.
namespace Platform
{
// Identifier of the running platform in the update feed.
QString feedPlatformId(); // "Q_OS_LINUX" or "Q_OS_WIN32"

// Makes a downloaded program startable (owner-execute bit where that exists).
bool makeExecutable(const QString &path);

// Creates a folder that only the current user may read, write and enter.
// True when it exists afterwards with those rights.
bool makePrivateFolder(const QString &path);

// Base of the per-user data folder: the "Local AppData" shell folder on
// Windows (the generic data location when the registry has none), the XDG
// data home elsewhere.
QString localAppDataFolder();

// The installation's database folder: registry value "VELMARODB" below
// HKEY_LOCAL_MACHINE\Software\<organization domain> on Windows, the key of
// the same name in the organization's system-wide settings elsewhere. Empty
// when unset.
QString installedDatabaseFolder();

// Resident memory of this process, e.g. "143864 kB"; "n/a" where unknown.
QString residentMemory();
} // namespace Platform

#endif
