#ifndef VELMARO_UPDATE_VUIGNOREDVERSIONS_H
#define VELMARO_UPDATE_VUIGNOREDVERSIONS_H

#include <QObject>
#include <QString>

// Decides against the running version (the application object's version)
// and the one skipped version kept in the default settings store.
class VUIgnoredVersions : public QObject
{
    Q_OBJECT
public:
    static inline const char *settingsKey = "VULatestSkippedVersion";

    // True when the offered version must not be proposed: it is the running
    // version, the skipped one, or not newer.
    static bool isIgnored(const QString &version);
    // Remembers the version as skipped (only the latest one is kept).
    static void ignore(const QString &version);
    // True when the running version may take an item with this minimum.
    static bool meetsMinimumVersion(const QString &minPrevVersion);

private:
    VUIgnoredVersions() = delete;
};

#endif
