#ifndef VELMARO_UPDATE_VUPLATFORM_H
#define VELMARO_UPDATE_VUPLATFORM_H

#include <QObject>
#include <QString>

class VuPlatform : public QObject
{
    Q_OBJECT
public:
    // True when a feed's platform identifier names the running platform
    // ("Q_OS_LINUX", "Q_OS_WIN32"); letter case and surrounding blanks do
    // not matter.
    static bool matchesCurrentPlatform(const QString &platformId);
};

#endif
