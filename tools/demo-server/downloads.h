#ifndef VELMARO_TOOLS_DEMOSERVER_DOWNLOADS_H
#define VELMARO_TOOLS_DEMOSERVER_DOWNLOADS_H

#include "platform/version.h"

#include <QByteArray>
#include <QString>

// Documents of the demo download server: download page, update feed,
// release notes and installers.
namespace DemoDownloads
{
inline constexpr const char *currentVersion = VELMARO_VERSION; // the viewer's own
inline constexpr const char *feedPath = "/downloads/setup/velmaro.xml";
inline constexpr const char *movedFeedPath = "/downloads/setup/velmaro-moved.xml";

// Only these characters make it into paths and the feed.
bool isSafeVersion(const QString &version);

QString installerPath(const QString &version);    // "/downloads/setup/velmaro-setup-V.sh"
QString releaseNotesPath(const QString &version); // "/downloads/setup/releasenotes-V.html"
// The version named by an installer or release-notes path, empty for others.
QString versionOfInstallerPath(const QString &path);
QString versionOfReleaseNotesPath(const QString &path);

QByteArray installerScript(const QString &version);
// markup, when given, goes into the notes as it is (for the html fault).
QByteArray releaseNotes(const QString &version, const QString &markup = QString());
QByteArray downloadPage(const QString &baseUrl);

// The feed: an item offering offeredVersion for the running platform first
// (when not empty), then the running version for the running platform, then
// an item for another platform. markup, when given, ends every item's title
// (as text, escaped).
QByteArray feed(const QString &baseUrl, const QString &offeredVersion,
                const QString &markup = QString());
// A feed that breaks off with mismatched tags, for parser error paths.
QByteArray brokenFeed(const QString &baseUrl, const QString &offeredVersion);
} // namespace DemoDownloads

#endif
