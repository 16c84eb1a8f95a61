#include "platform/paths.h"

#include "platform/identity.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace Paths
{

QString dataFolder()
{
    return QDir(Platform::localAppDataFolder())
        .filePath(QString::fromLatin1(Identity::applicationName));
}

QString databaseFolder()
{
    const QString folder = Platform::installedDatabaseFolder();
    return folder.isEmpty() ? dataFolder() : folder;
}

QString databasePath()
{
    return QDir(databaseFolder()).filePath(QStringLiteral("velmaro.db"));
}

QString asset(const QString &relativePath)
{
    const QString inCwd = QDir::current().filePath(relativePath);
    if (QFileInfo::exists(inCwd))
        return inCwd;
    if (QCoreApplication::instance()) {
        const QDir exeDir(QCoreApplication::applicationDirPath());
        const QString besideExe = exeDir.filePath(relativePath);
        if (QFileInfo::exists(besideExe))
            return besideExe;
        const QString shared = exeDir.filePath(QStringLiteral("../share/velmaro/") + relativePath);
        if (QFileInfo::exists(shared))
            return QDir::cleanPath(shared);
    }
    return inCwd;
}

bool ensureFolder(const QString &path)
{
    return QDir().mkpath(path);
}

} // namespace Paths
