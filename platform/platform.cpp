#include "platform/platform.h"

#include "platform/identity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
    // Through the opened folder itself: a link swapped in after the check
    // above is refused by O_NOFOLLOW instead of having its target changed.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    const bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
                    ::fchmod(fd, S_IRWXU) == 0 && ::fstat(fd, &st) == 0 &&
                    (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
    ::close(fd);
    return ok;
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
