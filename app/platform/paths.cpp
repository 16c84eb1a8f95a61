#include "paths.h"

#include "identity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace Paths {

QString dataFolder()
{
#ifdef Q_OS_WIN
    QSettings shellFolders(
        QStringLiteral(
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
        QSettings::NativeFormat);
    const QString base = shellFolders.value(QStringLiteral("Local AppData")).toString();
    if (!base.isEmpty())
        return QDir(base).filePath(QString::fromLatin1(Identity::applicationName));
#endif
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QString::fromLatin1(Identity::applicationName));
}

QString databaseFolder()
{
#ifdef Q_OS_WIN
    QSettings machine(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\")
                          + QString::fromLatin1(Identity::organizationDomain),
                      QSettings::NativeFormat);
#else
    QSettings machine(QSettings::SystemScope, QString::fromLatin1(Identity::organizationDomain),
                      QString::fromLatin1(Identity::applicationName));
#endif
    const QString folder = machine.value(QStringLiteral("VELMARODB")).toString();
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
