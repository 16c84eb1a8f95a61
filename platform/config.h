#ifndef VELMARO_APP_PLATFORM_CONFIG_H
#define VELMARO_APP_PLATFORM_CONFIG_H

#include <QString>

class QSettings;

// Base addresses of the servers. Each comes from an environment
// variable, then a key of the window-state settings, then a built-in default;
// a trailing slash is stripped.
namespace Config
{
QString trackingUrl(); // VELMARO_TRACKING_URL, trackingUrl, http://127.0.0.1:8787
QString downloadUrl(); // VELMARO_DOWNLOAD_URL, downloadUrl, http://127.0.0.1:8787
QString tileUrl();     // VELMARO_TILE_URL, tileUrl, https://tile.openstreetmap.org
// VELMARO_SEAMARK_URL, seamarkUrl, https://tiles.openseamap.org/seamark
QString seamarkUrl();

QString stripTrailingSlash(QString url);

// The window-state settings object (organization domain, "Velmaro").
// Caller owns the result.
QSettings *windowSettings();
} // namespace Config

#endif
