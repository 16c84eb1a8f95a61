#ifndef VELMARO_TRACKING_VERSIONNOTICE_H
#define VELMARO_TRACKING_VERSIONNOTICE_H

#include <QString>

namespace Tracking
{

// The tracking server names a newer program: offers the download page
// (downloadBase + "/downloads/") and ends the program once a browser shows it.
void showNewVersionNotice(const QString &downloadBase);
void showNewVersionNotice(); // Config::downloadUrl()

} // namespace Tracking

#endif
