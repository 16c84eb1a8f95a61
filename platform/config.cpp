#include "platform/config.h"

#include "platform/identity.h"

#include <QSettings>

namespace
{
QString lookup(const char *envName, const QString &key, const QString &fallback)
{
    QString value = qEnvironmentVariable(envName);
    if (value.isEmpty()) {
        QSettings settings(Identity::organizationDomain, Identity::applicationName);
        value = settings.value(key).toString();
    }
    if (value.trimmed().isEmpty())
        value = fallback;
    return Config::stripTrailingSlash(value.trimmed());
}
} // namespace

namespace Config
{

QString stripTrailingSlash(QString url)
{
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}

QString trackingUrl()
{
    return lookup("VELMARO_TRACKING_URL", QStringLiteral("trackingUrl"),
                  QStringLiteral("http://127.0.0.1:8787"));
}

QString downloadUrl()
{
    return lookup("VELMARO_DOWNLOAD_URL", QStringLiteral("downloadUrl"),
                  QStringLiteral("http://127.0.0.1:8787"));
}

QString tileUrl()
{
    return lookup("VELMARO_TILE_URL", QStringLiteral("tileUrl"),
                  QStringLiteral("https://tile.openstreetmap.org"));
}

QString seamarkUrl()
{
    return lookup("VELMARO_SEAMARK_URL", QStringLiteral("seamarkUrl"),
                  QStringLiteral("https://tiles.openseamap.org/seamark"));
}

QSettings *windowSettings()
{
    return new QSettings(Identity::organizationDomain, Identity::applicationName);
}

} // namespace Config
