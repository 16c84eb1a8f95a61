#include "platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Platform {

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
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                           | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    if (!QFile::setPermissions(path, ownerOnly))
        return false;
    QFileInfo after(path);
    after.refresh();
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                        | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return after.isDir() && !after.isSymLink() && (after.permissions() & others) == 0;
#endif
}

} // namespace Platform
