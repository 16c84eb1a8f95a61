#ifndef VELMARO_APP_PLATFORM_PLATFORM_H
#define VELMARO_APP_PLATFORM_PLATFORM_H

#include <QString>

// The only place with code that differs between Linux and Windows.
namespace Platform {
// Identifier of the running platform in the update feed.
QString feedPlatformId(); // "Q_OS_LINUX" or "Q_OS_WIN32"

// Makes a downloaded program startable (owner-execute bit where that exists).
bool makeExecutable(const QString &path);

// Creates a folder that only the current user may read, write and enter.
// True when it exists afterwards with those rights.
bool makePrivateFolder(const QString &path);
} // namespace Platform

#endif
