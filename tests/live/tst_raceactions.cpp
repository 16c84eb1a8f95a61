#include "app/startup.h"
#include "demoserver.h"
#include "store/racestore.h"
#include "uitest.h"

#include <QtNetwork>
#include <QtTest>

constexpr qint64 anchor = 1700000000; // the demo's live race runs 3 h before to a day after

class TestRaceActions : public QObject
{
    Q_OBJECT
    UiTest::Window f;
    std::unique_ptr<DemoServer> m_server;

    // A race that started `ago` seconds before the anchor and ends an hour after it.
    int addRace(const QString &name, int eventId, int taskId, qint64 ago)
    {
        const RaceStore::InsertResult r =
            RaceStore::insert({0, eventId, taskId, name, anchor - ago, anchor + 3600});
        return r.status == RaceStore::InsertResult::Inserted ? r.stored.id : 0;
    }
    bool waitIdle()
    {
        // The lamp counts tile transfers too and leaves out the probe, so it
        // alone does not tell that every tracking reply is in.
        QNetworkAccessManager *manager = f.window->tracking()->networkManager();
        return QTest::qWaitFor(
            [manager] { return manager->findChildren<QNetworkReply *>().isEmpty(); }, 20000);
    }

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        UiTest::installAssets();
        Seams::setClock([] { return QDateTime::fromSecsSinceEpoch(anchor); });
    }

    void init()
    {
        DemoServer::Options options;
        options.quiet = true;
        options.boatsPerRace = 4;
        options.liveAnchor = anchor;
        m_server = std::make_unique<DemoServer>(options);
        m_server->setClock([] { return anchor; });
        QVERIFY(m_server->listen(0) != 0);
        QVERIFY(f.open({"UPDATE prefs SET loadmaps=0, autoload=1"}, QSize(900, 700)));
        f.window->tracking()->setBaseUrl(m_server->baseUrl());
        f.window->tracking()->setDiagnosticStream(nullptr);
    }

    void cleanup()
    {
        f.close();
        m_server.reset();
    }

    void raceEntryShowsItsNameAndChoosesOnlyItsRace()
    {
        // "Live & Co" starts with "Live"; its entry must not also select
        // "Live", and its "&" is not a shortcut marker.
        const int first = addRace("Live", 61, 1, 7200);
        const int second = addRace("Live & Co", 62, 1, 3600);
        f.start();
        const QList<QAction *> races = f.window->raceActions();
        QVERIFY(races.at(0)->iconText().startsWith(QStringLiteral("Live & Co (")));
        races.at(0)->trigger();
        QCOMPARE(f.regatta->id(), second);
        races.at(1)->trigger();
        QCOMPARE(f.regatta->id(), first);
        QVERIFY(waitIdle());
    }

    void removingCurrentRaceSelectsAnother()
    {
        const int id = addRace("Weg damit", 30, 300, 3600);
        f.start();
        f.window->refreshRaces(id);
        QCOMPARE(f.regatta->id(), id);
        QVERIFY(waitIdle());
        QVERIFY(f.db->count("track", "regatta_id=30") > 0);
        f.boxes->queueAnswer(QMessageBox::Yes);
        f.window->removeRaceAction()->trigger();
        QCOMPARE(f.boxes->count(), 1);
        QCOMPARE(f.db->count("regatta", QStringLiteral("id=%1").arg(id)) +
                     f.db->count("ship", "regatta_id=30") + f.db->count("track", "regatta_id=30"),
                 0);
        QCOMPARE(f.window->raceActions().size(), 2); // the seeded races
        QCOMPARE(f.regatta->id(), 2);                // the newest remaining race takes over
        QVERIFY(!f.window->removeRaceAction()->isEnabled());
        QVERIFY(waitIdle());
    }

    void lateBoatListOfRemovedRaceIsNotStored()
    {
        m_server->setFault("getBoats", DemoServer::Fault::Delay, 300);
        const int id = addRace("Kurz", 30, 300, 3600);
        f.start();
        QVERIFY(waitIdle());
        f.window->refreshRaces(id);
        QCOMPARE(m_server->requestCount("getBoats"), 1); // under way
        f.boxes->queueAnswer(QMessageBox::Yes);
        QVERIFY(f.window->removeRaceWithId(id));
        QVERIFY(waitIdle());
        QCOMPARE(f.db->count("ship", "regatta_id=30"), 0);
        QCOMPARE(f.window->pendingRequests(), 0);
    }
};

QTEST_MAIN(TestRaceActions)
#include "tst_raceactions.moc"
