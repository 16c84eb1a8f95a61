#ifndef VELMARO_TESTS_UI_UITEST_H
#define VELMARO_TESTS_UI_UITEST_H

#include "map/karte.h"
#include "messagerecorder.h"
#include "store/database.h"
#include "testdatabase.h"
#include "tracking/trackingclient.h"
#include "ui/mainwindow.h"
#include "ui/regatta.h"

#include <QtWidgets>

namespace UiTest
{

constexpr qint64 fixedNow = 1400000000; // 2014, after both seeded races

// Copies the asset folders of the source tree into the working directory,
// where the window looks first.
inline void installAssets()
{
    const QDir source(qEnvironmentVariable("VELMARO_SOURCE_DIR"));
    for (const QString folder : {"img", "sprites"}) {
        const QDir from(source.filePath(folder));
        if (QFileInfo(from.path()).canonicalFilePath() == QFileInfo(folder).canonicalFilePath())
            continue; // run from the source tree: the assets are already here
        QDir().mkpath(folder);
        for (const QString &file : from.entryList(QDir::Files)) {
            QFile::remove(QDir(folder).filePath(file));
            QFile::copy(from.filePath(file), QDir(folder).filePath(file));
        }
    }
}

inline void initCase()
{
    installAssets();
    Seams::setClock([] { return QDateTime::fromSecsSinceEpoch(fixedNow); });
}

inline QAction *findAction(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        // Race entries carry their start date after the name.
        if (action->text() == text || action->text().startsWith(text + QStringLiteral(" (")))
            return action;
    }
    return nullptr;
}

// A window on a new database with the seeded races and no stored settings,
// its traffic on a loopback port nothing listens on (requests fail at once)
// and its tile cache in the test's own folder.
struct Window {
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<MessageRecorder> boxes;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Regatta> regatta;

    bool open(const QStringList &sql, const QSize &size)
    {
        db = std::make_unique<TestDatabase>();
        boxes = std::make_unique<MessageRecorder>();
        if (!db->isOpen() || Database::ensureSchema(false) != Database::SchemaResult::Created ||
            !db->exec(sql))
            return false;
        boxes->clear(); // the notice of a new database
        QSettings("velmaro.org", "Velmaro").clear();
        window = std::make_unique<MainWindow>();
        window->tracking()->setBaseUrl("http://127.0.0.1:1");
        window->karte()->setTileServer("http://127.0.0.1:1");
        window->karte()->setTileCacheFolder(QDir::current().filePath("maps"));
        window->resize(size);
        return true;
    }
    void start(int eventId = 10, int taskId = 88)
    {
        regatta = std::make_unique<Regatta>(window.get(), eventId, taskId);
    }
    void close()
    {
        regatta.reset();
        window.reset();
        boxes.reset();
        db.reset();
    }
};

} // namespace UiTest

#endif
