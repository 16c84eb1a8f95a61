#include "platform/platform.h"

#include "platform/identity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace Platform
{

QString feedPlatformId()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Q_OS_WIN32");
#else
    return QStringLiteral("Q_OS_LINUX");
#endif
}

bool makeExecutable(const QString &path)
{
#ifdef Q_OS_WIN
    return QFileInfo::exists(path);
#else
    QFile file(path);
    return file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
#endif
}

bool makePrivateFolder(const QString &path)
{
    QFileInfo info(path);
    if (info.isSymLink())
        return false;
    if (!info.exists() && !QDir().mkpath(path))
        return false;
#ifdef Q_OS_WIN
    return QFileInfo(path).isDir();
#else
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ExeOwner | QFileDevice::ReadUser | QFileDevice::WriteUser |
                           QFileDevice::ExeUser;
    if (!QFile::setPermissions(path, ownerOnly))
        return false;
    QFileInfo after(path);
    after.refresh();
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return after.isDir() && !after.isSymLink() && (after.permissions() & others) == 0;
#endif
}

QString localAppDataFolder()
{
#ifdef Q_OS_WIN
    QSettings shellFolders(
        QStringLiteral(
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
            "Folders"),
        QSettings::NativeFormat);
    const QString base = shellFolders.value(QStringLiteral("Local AppData")).toString();
    if (!base.isEmpty())
        return base;
#endif
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString installedDatabaseFolder()
{
#ifdef Q_OS_WIN
    QSettings machine(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\") +
                          QString::fromLatin1(Identity::organizationDomain),
                      QSettings::NativeFormat);
#else
    QSettings machine(QSettings::SystemScope, QString::fromLatin1(Identity::organizationDomain),
                      QString::fromLatin1(Identity::applicationName));
#endif
    return machine.value(QStringLiteral("VELMARODB")).toString();
}

QString residentMemory()
{
#ifdef Q_OS_LINUX
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                return QString::fromLatin1(line.mid(6).trimmed());
        }
    }
#endif
    return QStringLiteral("n/a");
}

} // namespace Platform
