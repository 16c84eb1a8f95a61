// The race actions of the window, offscreen: a race entry chooses only its
// race, a removed one is gone from the menu and the database, and a late boat
// list of a removed race is not stored.
#include "app/startup.h"
#include "demoserver.h"
#include "messagerecorder.h"
#include "platform/seams.h"
#include "store/racestore.h"
#include "testdatabase.h"
#include "tracking/trackingclient.h"
#include "ui/mainwindow.h"
#include "ui/regatta.h"
#include "uitest.h"

#include <QAction>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

#include <memory>

namespace
{

constexpr qint64 anchor = 1700000000; // the demo's live race runs 3 h before to a day after
qint64 g_now = anchor;

} // namespace

class TestRaceActions : public QObject
{
    Q_OBJECT

private:
    void start() { m_regatta = std::make_unique<Regatta>(m_window.get(), 10, 88); }
    int addRace(const QString &name, int eventId, int taskId, qint64 start, qint64 end)
    {
        const RaceStore::InsertResult r = RaceStore::insert({0, eventId, taskId, name, start, end});
        return r.status == RaceStore::InsertResult::Inserted ? r.stored.id : 0;
    }
    bool waitIdle()
    {
        // The lamp counts tile transfers too and leaves out the probe, so it
        // alone does not tell that every tracking reply is in.
        QNetworkAccessManager *manager = m_window->tracking()->networkManager();
        return QTest::qWaitFor(
            [manager] { return manager->findChildren<QNetworkReply *>().isEmpty(); }, 20000);
    }

    std::unique_ptr<DemoServer> m_server;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<MessageRecorder> m_boxes;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<Regatta> m_regatta;

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        UiTest::installAssets();
        Seams::setClock([] { return QDateTime::fromSecsSinceEpoch(g_now); });
    }

    void init()
    {
        g_now = anchor;
        DemoServer::Options options;
        options.quiet = true;
        options.boatsPerRace = 4;
        options.liveAnchor = anchor;
        m_server = std::make_unique<DemoServer>(options);
        m_server->setClock([] { return g_now; });
        QVERIFY(m_server->listen(0) != 0);
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(UiTest::createSchema(*m_db));
        QVERIFY(m_db->exec({QStringLiteral("UPDATE prefs SET loadmaps=0, autoload=1")}));
        m_boxes = std::make_unique<MessageRecorder>();
        m_window = std::make_unique<MainWindow>();
        UiTest::isolate(m_window.get());
        m_window->tracking()->setBaseUrl(m_server->baseUrl());
        m_window->tracking()->setDiagnosticStream(nullptr);
        m_window->resize(900, 700);
    }

    void cleanup()
    {
        m_regatta.reset();
        m_window.reset();
        m_boxes.reset();
        m_db.reset();
        m_server.reset();
    }

    void raceEntryShowsItsNameAndChoosesOnlyItsRace()
    {
        // "Live & Co" starts with "Live"; its entry must not also select
        // "Live", and its "&" is not a shortcut marker.
        const int first = addRace(QStringLiteral("Live"), 61, 1, anchor - 7200, anchor + 3600);
        const int second =
            addRace(QStringLiteral("Live & Co"), 62, 1, anchor - 3600, anchor + 3600);
        start();
        const QList<QAction *> races = m_window->raceActions();
        QVERIFY(races.at(0)->iconText().startsWith(QStringLiteral("Live & Co (")));
        races.at(0)->trigger();
        QCOMPARE(m_regatta->id(), second);
        races.at(1)->trigger();
        QCOMPARE(m_regatta->id(), first);
        QVERIFY(waitIdle());
    }

    void removingCurrentRaceSelectsAnother()
    {
        const int id = addRace(QStringLiteral("Weg damit"), 30, 300, anchor - 3600, anchor + 3600);
        start();
        m_window->refreshRaces(id);
        QCOMPARE(m_regatta->id(), id);
        QVERIFY(waitIdle());
        QVERIFY(m_db->count("track", "regatta_id=30") > 0);

        m_boxes->queueAnswer(QMessageBox::Yes);
        m_window->removeRaceAction()->trigger();
        QCOMPARE(m_boxes->count(), 1);
        QCOMPARE(m_db->count("regatta", QStringLiteral("id=%1").arg(id)) +
                     m_db->count("ship", "regatta_id=30") + m_db->count("track", "regatta_id=30"),
                 0);
        QCOMPARE(m_window->raceActions().size(), 2); // the seeded races
        // The newest remaining race takes over.
        QCOMPARE(m_regatta->id(), 2);
        QVERIFY(!m_window->removeRaceAction()->isEnabled());
        QVERIFY(waitIdle());
    }

    void lateBoatListOfRemovedRaceIsNotStored()
    {
        m_server->setFault(QStringLiteral("getBoats"), DemoServer::Fault::Delay, 300);
        const int id = addRace(QStringLiteral("Kurz"), 30, 300, anchor - 3600, anchor + 3600);
        start();
        QVERIFY(waitIdle());
        m_window->refreshRaces(id);
        QCOMPARE(m_server->requestCount(QStringLiteral("getBoats")), 1); // under way
        m_boxes->queueAnswer(QMessageBox::Yes);
        QVERIFY(m_window->removeRaceWithId(id));
        QVERIFY(waitIdle());
        QCOMPARE(m_db->count("ship", "regatta_id=30"), 0);
        QCOMPARE(m_window->pendingRequests(), 0);
    }
};

QTEST_MAIN(TestRaceActions)
#include "tst_raceactions.moc"
