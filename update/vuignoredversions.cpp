#include "update/vuignoredversions.h"

#include "update/vuversioncomparator.h"

#include <QCoreApplication>
#include <QSettings>

namespace
{
QString runningVersion()
{
    return QCoreApplication::applicationVersion();
}
} // namespace

bool VUIgnoredVersions::isIgnored(const QString &version)
{
    if (version == runningVersion())
        return true;

    const QSettings settings;
    if (settings.contains(QLatin1String(settingsKey)) &&
        settings.value(QLatin1String(settingsKey)).toString() == version)
        return true;

    return VuVersionComparator::compareVersions(runningVersion().toLatin1(), version.toLatin1()) !=
           -1;
}

void VUIgnoredVersions::ignore(const QString &version)
{
    if (version.isEmpty() || version == runningVersion())
        return;
    QSettings settings;
    settings.setValue(QLatin1String(settingsKey), version);
}

bool VUIgnoredVersions::meetsMinimumVersion(const QString &minPrevVersion)
{
    if (minPrevVersion == runningVersion())
        return true;
    return VuVersionComparator::compareVersions(runningVersion().toLatin1(),
                                                minPrevVersion.toLatin1()) != -1;
}
