// The tracking client against the demo service on loopback: polling, failed
// and late replies, replies of a race no longer chosen or removed.
#include "demoserver.h"
#include "fakerace.h"
#include "testdatabase.h"
#include "tracking/racelist.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

using Outcome = TrackingClient::Outcome;

namespace
{

constexpr qint64 anchor = 1700000000; // the live race runs from 3 h before to a day after
constexpr qint64 liveStart = anchor - 3 * 3600;
qint64 g_now = anchor;

constexpr int liveEvent = DemoServer::liveEventId;
constexpr int liveTask = DemoServer::liveTaskId;

// Of the live race, in the order stored, which must be time order.
QList<int> storedTimes(int shipId)
{
    QList<int> times;
    QSqlQuery q(QStringLiteral("SELECT tstamp FROM track WHERE ship_id=%1 AND regatta_id=%2 "
                               "ORDER BY id")
                    .arg(QString::number(shipId), QString::number(liveEvent)));
    while (q.next())
        times.append(q.value(0).toInt());
    return times;
}

int storedLastget(int shipId)
{
    QSqlQuery q(QStringLiteral("SELECT lastget FROM ship WHERE id=%1").arg(shipId));
    return q.next() ? q.value(0).toInt() : -1;
}

bool idle(const TrackingClient &client)
{
    return client.networkManager()->findChildren<QNetworkReply *>().isEmpty();
}

QList<Outcome> outcomes(const QSignalSpy &spy)
{
    QList<Outcome> list;
    for (const QList<QVariant> &args : spy)
        list.append(args.at(1).value<Outcome>());
    return list;
}

} // namespace

#define WAIT_IDLE() QTRY_VERIFY_WITH_TIMEOUT(idle(*m_client), 20000)

class TestTrackingClient : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<DemoServer> m_server;
    std::unique_ptr<TrackingClient> m_client;
    std::unique_ptr<FakeRace> m_race;

    int served(const char *name) const { return m_server->requestCount(QLatin1String(name)); }

    // Selects the race as the race object does, with the client's part.
    void selectRace(int eventId, int taskId)
    {
        for (const DemoServer::Race &r : m_server->races())
            if (r.eventId == eventId && r.taskId == taskId)
                m_race->select(eventId, taskId, r.start, r.end);
        QVERIFY(m_race->race.valid);
    }
    // A poll cycle after the clock moved on, until every reply is in.
    void poll(int seconds = 0)
    {
        g_now += seconds;
        m_client->getData();
        WAIT_IDLE();
    }
    void selectLiveRace()
    {
        selectRace(liveEvent, liveTask);
        WAIT_IDLE();
    }

    // Every boat holds exactly the service's fixes up to now, in memory and
    // stored, each once and in time order.
    void verifyComplete()
    {
        QVERIFY(m_race->boatCount() > 0);
        for (int i = 0; i < m_race->boatCount(); ++i) {
            const int id = m_race->ships.at(i).info.id;
            QList<int> expected;
            for (const DemoServer::Fix &f : m_server->fixes(liveEvent, id))
                if (f.tstamp >= liveStart && f.tstamp <= g_now &&
                    (expected.isEmpty() || expected.last() != f.tstamp))
                    expected.append(int(f.tstamp));
            QVERIFY(!expected.isEmpty());
            QCOMPARE(storedTimes(id), expected);
            QCOMPARE(m_race->fixTimes(i), expected);
            QCOMPARE(m_race->ships.at(i).info.lastget, expected.last());
            QCOMPARE(storedLastget(id), expected.last());
        }
    }

private slots:
    void initTestCase()
    {
        Seams::setClock([] { return QDateTime::fromSecsSinceEpoch(g_now); });
    }
    void init()
    {
        g_now = anchor;
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->exec(trackingSchema(1)));
        DemoServer::Options options;
        options.quiet = true;
        options.liveAnchor = anchor;
        options.boatsPerRace = 4;
        m_server = std::make_unique<DemoServer>(options);
        m_server->setClock([] { return g_now; });
        QVERIFY(m_server->listen() != 0);
        m_client = std::make_unique<TrackingClient>();
        m_race = std::make_unique<FakeRace>(*m_client);
        m_client->setBaseUrl(m_server->baseUrl());
    }
    void cleanup()
    {
        m_race.reset();
        m_client.reset();
        m_server.reset();
        m_db.reset();
    }

    void pollingNeitherLosesNorDoublesFixes()
    {
        QSignalSpy cycles(m_client.get(), &TrackingClient::pollCycleStarted);
        selectLiveRace();
        verifyComplete();
        // Polls closer together than the fixes, and further apart.
        for (const int step : {10, 45, 200, 1, 600}) {
            QVERIFY(!m_client->isLoading());
            poll(step);
            verifyComplete();
        }
        QCOMPARE(cycles.size(), 5);
        // While a cycle runs, a trigger sends only the probe and leaves the timer.
        m_server->clearRequestLog();
        m_server->setFault("getPosition", DemoServer::Fault::Delay, 300);
        QSignalSpy handled(m_client.get(), &TrackingClient::replyHandled);
        m_client->getData();
        QVERIFY(m_client->isLoading());
        m_client->getData();
        QCOMPARE(cycles.size(), 6);
        // The probes never lit the lamp: their replies leave it on meanwhile.
        QTRY_COMPARE_WITH_TIMEOUT(outcomes(handled).count(Outcome::Probe), 2, 10000);
        QCOMPARE(outcomes(handled).count(Outcome::Applied), 0);
        QCOMPARE(m_race->pending, m_race->boatCount());
        QVERIFY(m_client->isLoading());
        WAIT_IDLE();
        QVERIFY(!m_client->isLoading());
        QCOMPARE(served("getPosition"), m_race->boatCount());
        QCOMPARE(served("isup"), 2);
    }

    // Choosing a running race again brings its boats up to date at once; a
    // poll due while it still loads (every second when following live) asks
    // no boat a second time, and each boat counts once.
    void chosenLiveRaceIsBroughtUpToDate()
    {
        selectLiveRace();
        selectRace(21, 120);
        WAIT_IDLE();
        const int asked = served("getPosition");
        g_now += 900;
        m_server->setFault("getPosition", DemoServer::Fault::Delay, 300);
        QSignalSpy progress(m_client.get(), &TrackingClient::loadProgress);
        selectRace(liveEvent, liveTask);
        m_client->getData();
        WAIT_IDLE();
        QCOMPARE(served("getPosition"), asked + m_race->boatCount());
        QVERIFY(!progress.isEmpty());
        QCOMPARE((std::pair{progress.last().at(0).toInt(), progress.last().at(1).toInt()}),
                 (std::pair{m_race->boatCount(), m_race->boatCount()}));
        verifyComplete();
    }

    // A boat list or fixes that could not be stored are asked for again at the
    // next poll, with nothing half stored and lastget kept; each kind of
    // failure is told once, not once per reply.
    void unstoredRepliesToldOnceAndFetchedAgain()
    {
        QSignalSpy told(m_client.get(), &TrackingClient::storeProblem);
        const auto refuse = [this](const char *table, const char *why) {
            return m_db->exec({QStringLiteral("DROP TRIGGER IF EXISTS refuse"),
                               QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON %1 BEGIN "
                                              "SELECT RAISE(ABORT, '%2'); END")
                                   .arg(table, why)});
        };
        QVERIFY(refuse("ship", "database or disk is full"));
        selectLiveRace();
        QCOMPARE(m_race->boatCount(), 0);
        QCOMPARE(told.count(), 1);
        QVERIFY(told.at(0).at(0).toString().contains("Datenträger ist voll"));
        QVERIFY(m_db->exec({QStringLiteral("DROP TRIGGER refuse")}));
        poll();
        QCOMPARE(served("getBoats"), 2);
        verifyComplete();
        const int boat = m_race->ships.at(0).info.id;
        const QList<int> before = storedTimes(boat);
        const int lastget = storedLastget(boat);
        QVERIFY(refuse("track", "database is locked"));
        QSignalSpy handled(m_client.get(), &TrackingClient::replyHandled);
        poll(900);
        poll(900);
        QCOMPARE(outcomes(handled).count(Outcome::RolledBack), 2 * m_race->boatCount());
        QCOMPARE(storedTimes(boat), before);
        QCOMPARE(storedLastget(boat), lastget);
        QCOMPARE(m_race->ships.at(0).info.lastget, lastget);
        QCOMPARE(told.count(), 2);
        QVERIFY(told.at(1).at(0).toString().contains("gesperrt"));
        QVERIFY(m_db->exec({QStringLiteral("DROP TRIGGER refuse")}));
        poll();
        verifyComplete();
    }

    // A failed, timed-out or endless positions reply changes nothing and
    // counts the lamp down; the next trigger only probes, the one after polls
    // again. Endless and dripping replies never fall silent for the timeout.
    // The race list arrives whole, or is cut when it never ends or drips past
    // the deadline.
    void raceListCut_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("status");
        QTest::newRow("whole") << int(DemoServer::Fault::None) << int(Tracking::RaceListResult::Ok);
        QTest::newRow("endless") << int(DemoServer::Fault::Endless)
                                 << int(Tracking::RaceListResult::Failed);
        QTest::newRow("dripping") << int(DemoServer::Fault::Drip)
                                  << int(Tracking::RaceListResult::Failed);
    }
    void raceListCut()
    {
        QFETCH(int, fault);
        m_server->setFault("getRaces", DemoServer::Fault(fault), 50);
        Tracking::RaceListFetcher fetcher;
        fetcher.setReplyLimits(1 << 16, 1000);
        QSignalSpy done(&fetcher, &Tracking::RaceListFetcher::finished);
        fetcher.fetch(m_server->baseUrl());
        QVERIFY(done.wait(10000));
        const auto result = done.at(0).at(0).value<Tracking::RaceListResult>();
        QTEST(int(result.status), "status");
        QCOMPARE(result.races.size(), fault ? 0 : m_server->races().size());
    }

    void failedReply_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("deadline");
        QTest::newRow("http 500") << int(DemoServer::Fault::HttpError) << 500 << 0;
        QTest::newRow("hung, timed out") << int(DemoServer::Fault::Hang) << 0 << 0;
        QTest::newRow("endless, over the cap") << int(DemoServer::Fault::Endless) << 0 << 0;
        QTest::newRow("dripping, past the deadline") << int(DemoServer::Fault::Drip) << 50 << 1000;
    }
    void failedReply()
    {
        QFETCH(int, fault);
        QFETCH(int, value);
        QFETCH(int, deadline);
        selectLiveRace();
        m_client->setTransferTimeout(300);
        m_client->setReplyLimits(1 << 16, deadline);
        const QList<int> before = m_race->fixTimes(0);
        m_server->setFault("getPosition", DemoServer::Fault(fault), value);
        QSignalSpy handled(m_client.get(), &TrackingClient::replyHandled);
        QSignalSpy ledOff(m_client.get(), &TrackingClient::transferFinished);
        g_now += 600;
        // A request that does not fail at once is met through a poll (and its probe).
        const bool viaPoll = fault != int(DemoServer::Fault::HttpError);
        if (viaPoll)
            m_client->getData();
        else
            m_client->requestNewPositions();
        QCOMPARE(m_client->isLoading(), viaPoll);
        QTRY_COMPARE_WITH_TIMEOUT(handled.size(), m_race->boatCount() + viaPoll, 10000);
        QCOMPARE(outcomes(handled).count(Outcome::Failed), m_race->boatCount());
        QVERIFY(!m_client->serverUp());
        QVERIFY(!m_client->isLoading());
        if (!viaPoll)
            QCOMPARE(ledOff.size(), m_race->boatCount());
        QCOMPARE(m_race->pending, 0);
        QCOMPARE(m_race->fixTimes(0), before);
        QCOMPARE(storedTimes(m_race->ships.at(0).info.id), before);
        m_server->clearFaults();
        m_server->clearRequestLog();
        poll();
        QCOMPARE(served("getPosition"), 0);
        QVERIFY(m_client->serverUp());
        poll();
        verifyComplete();
    }

    void failedProbeHoldsBackNextCycle()
    {
        selectLiveRace();
        m_server->setFault("isup", DemoServer::Fault::HttpError, 503);
        QVERIFY(m_client->probeServer()); // the outcome of the probe before
        WAIT_IDLE();
        QVERIFY(!m_client->serverUp());
        QVERIFY(!m_client->probeServer());
        WAIT_IDLE();
        m_server->clearRequestLog();
        poll();
        QCOMPARE(served("getPosition"), 0);
        QCOMPARE(served("isup"), 1);
        QCOMPARE(m_race->pending, 0);
        QVERIFY(!m_client->isLoading()); // a cycle without requests does not hang on
    }

    void lateReplyAfterRaceChangeIsDropped()
    {
        // Boats stored, tracks not yet: choosing the race sends positions requests.
        QVERIFY(m_db->exec({"update prefs set autoload=0"}));
        selectLiveRace();
        QVERIFY(m_db->exec({"update prefs set autoload=1"}));
        m_server->setFault("getPosition", DemoServer::Fault::Delay, 300);
        selectRace(liveEvent, liveTask);
        const int sent = m_race->boatCount();
        QCOMPARE(served("getPosition"), 0); // still on their way
        // Another race is chosen before the replies arrive; its boats share the indices.
        QSignalSpy handled(m_client.get(), &TrackingClient::replyHandled);
        selectRace(21, 120);
        m_server->setFault("getBoats", DemoServer::Fault::Delay, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(handled.size(), sent, 10000);
        QCOMPARE(outcomes(handled), QList<Outcome>(sent, Outcome::Dropped));
        QCOMPARE(m_db->count("track"), 0);
        WAIT_IDLE();
    }

    // A race removed while its boat list is under way.
    void repliesOfDiscardedRaceAreDroppedUnread_data()
    {
        QTest::addColumn<int>("discardEvent");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("boats");
        QTest::newRow("the removed race") << liveEvent << int(Outcome::Dropped) << 0;
        QTest::newRow("another race") << 21 << int(Outcome::Applied) << 4;
    }
    void repliesOfDiscardedRaceAreDroppedUnread()
    {
        QFETCH(int, discardEvent);
        QFETCH(int, outcome);
        m_server->setFault("getBoats", DemoServer::Fault::Delay, 200);
        QSignalSpy handled(m_client.get(), &TrackingClient::replyHandled);
        selectRace(liveEvent, liveTask);
        QCOMPARE(m_race->pending, 1);
        m_client->discardRace(discardEvent, discardEvent == 21 ? 120 : liveTask);
        QVERIFY(handled.wait(10000));
        QCOMPARE(int(outcomes(handled).first()), outcome);
        QTEST(m_db->count("ship", QStringLiteral("regatta_id=%1").arg(liveEvent)), "boats");
        WAIT_IDLE();
        QCOMPARE(m_race->pending, 0);
    }
};

QTEST_MAIN(TestTrackingClient)
#include "tst_trackingclient.moc"
