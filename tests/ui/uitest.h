#ifndef VELMARO_TESTS_UI_UITEST_H
#define VELMARO_TESTS_UI_UITEST_H

#include "database.h"
#include "karte.h"
#include "mainwindow.h"
#include "messagerecorder.h"
#include "testdatabase.h"
#include "trackingclient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace UiTest
{

// The newest schema with its seed rows, as a new database file has them.
inline bool createSchema(TestDatabase &)
{
    MessageRecorder creationBox;
    return Database::ensureSchema(false) == Database::SchemaResult::Created;
}

// A loopback address nothing listens on: requests fail at once.
inline QString closedPortUrl()
{
    return QStringLiteral("http://127.0.0.1:1");
}

// Keeps a window's traffic on loopback ports nothing listens on, and its
// tile cache in the test's own folder.
inline void isolate(MainWindow *window)
{
    window->tracking()->setBaseUrl(closedPortUrl());
    window->karte()->setTileServer(closedPortUrl());
    window->karte()->setTileCacheFolder(QDir::current().filePath(QStringLiteral("maps")));
}

// Copies the asset folders of the source tree into the working directory,
// where the window looks first.
inline void installAssets()
{
    const QDir source(qEnvironmentVariable("VELMARO_SOURCE_DIR"));
    for (const QString &folder : {QStringLiteral("img"), QStringLiteral("sprites")}) {
        const QDir from(source.filePath(folder));
        if (QFileInfo(from.path()).canonicalFilePath() == QFileInfo(folder).canonicalFilePath())
            continue; // run from the source tree: the assets are already here
        QDir().mkpath(folder);
        const QStringList files = from.entryList(QDir::Files);
        for (const QString &file : files) {
            const QString target = QDir(folder).filePath(file);
            QFile::remove(target);
            QFile::copy(from.filePath(file), target);
        }
    }
}

} // namespace UiTest

#endif
