// The tracking client against the demo service on loopback: requests and
// headers, race selection, polling, failed and late replies, version notice.
#include "fakehost.h"
#include "ingest.h"
#include "trackingclient.h"
#include "trackingrequest.h"

#include "demoserver.h"
#include "seams.h"
#include "testdatabase.h"
#include "trackingschema.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QtTest>

#include <cstdio>
#include <memory>

using namespace Tracking;

namespace {

constexpr qint64 anchor = 1700000000; // the live race runs from 3 h before to a day after
qint64 g_now = anchor;

constexpr int liveEvent = DemoServer::liveEventId;
constexpr int liveTask = DemoServer::liveTaskId;

QList<int> storedTimes(int shipId, int eventId)
{
    QList<int> times;
    QSqlQuery q;
    q.prepare(QStringLiteral("SELECT tstamp FROM track WHERE ship_id=:s AND regatta_id=:r "
                             "ORDER BY id"));
    q.bindValue(QStringLiteral(":s"), shipId);
    q.bindValue(QStringLiteral(":r"), eventId);
    q.exec();
    while (q.next())
        times.append(q.value(0).toInt());
    return times;
}

int storedLastget(int shipId)
{
    QSqlQuery q;
    q.prepare(QStringLiteral("SELECT lastget FROM ship WHERE id=:s"));
    q.bindValue(QStringLiteral(":s"), shipId);
    if (q.exec() && q.next())
        return q.value(0).toInt();
    return -1;
}

QList<DemoServer::Request> requestsTo(const DemoServer &server, const QString &endpoint)
{
    QList<DemoServer::Request> list;
    for (const DemoServer::Request &r : server.requestLog()) {
        if (r.endpoint == endpoint)
            list.append(r);
    }
    return list;
}

bool idle(const TrackingClient &client)
{
    return client.networkManager()->findChildren<QNetworkReply *>().isEmpty();
}

} // namespace

#define WAIT_IDLE(client) QTRY_VERIFY_WITH_TIMEOUT(idle(client), 20000)

class TestTrackingClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void requestKindsCarryUrlAndHeaders();
    void unknownKindSendsNothing();
    void finishedRaceCanBeWatched();
    void storedRaceNeedsNoRequests();
    void automaticDownloadOffWaitsForGetData();
    void raceNotStartedAsksOnlyForBoatList();
    void pollingNeitherLosesNorDoublesFixes();
    void failedStatementIsFetchedAgainByNextPoll();
    void getDataHonoursLoadingAndRestartsTimer();

    void failedReply_data();
    void failedReply();
    void hungRequestTimesOutAndCountsDown();
    void failedProbeHoldsBackNextCycle();
    void redirectedReplyIsIngested();
    void malformedReplyWritesDiagnostics();

    void lateReplyAfterRaceChangeIsDropped();
    void replyForChangedListIsDropped();
    void boatListForRaceNoLongerSelectedIsStoredOnly();

    void versionReply_data();
    void versionReply();

private:
    // Selects the race in the host and runs the client's part of it.
    void selectRace(int eventId, int taskId);
    QList<int> expectedTimes(int eventId, int boatId, qint64 from, qint64 until) const;
    void verifyComplete(int eventId, qint64 from, qint64 until);

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<DemoServer> m_server;
    std::unique_ptr<FakeHost> m_host;
    std::unique_ptr<TrackingClient> m_client;
};

void TestTrackingClient::initTestCase()
{
    Seams::setClock([] { return QDateTime::fromSecsSinceEpoch(g_now); });
}

void TestTrackingClient::init()
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
    m_host = std::make_unique<FakeHost>();
    m_client = std::make_unique<TrackingClient>(m_host.get());
    m_host->client = m_client.get();
    m_client->setBaseUrl(m_server->baseUrl());
}

void TestTrackingClient::cleanup()
{
    m_client.reset();
    m_host.reset();
    m_server.reset();
    m_db.reset();
}

void TestTrackingClient::selectRace(int eventId, int taskId)
{
    for (const DemoServer::Race &r : m_server->races()) {
        if (r.eventId == eventId && r.taskId == taskId)
            m_host->setRace(eventId, taskId, r.start, r.end);
    }
    QVERIFY(m_host->race.valid);
    m_client->loadRace();
}

QList<int> TestTrackingClient::expectedTimes(int eventId, int boatId, qint64 from,
                                             qint64 until) const
{
    QList<int> times;
    for (const DemoServer::Fix &f : m_server->fixes(eventId, boatId)) {
        if (f.tstamp >= from && f.tstamp <= until && (times.isEmpty() || times.last() != f.tstamp))
            times.append(int(f.tstamp));
    }
    return times;
}

// Every boat of the host holds exactly the service's fixes in [from, until],
// in memory and in the database, each once and in time order.
void TestTrackingClient::verifyComplete(int eventId, qint64 from, qint64 until)
{
    QVERIFY(m_host->boatCount() > 0);
    for (int i = 0; i < m_host->boatCount(); ++i) {
        const int id = m_host->ships.at(i).info.id;
        const QList<int> expected = expectedTimes(eventId, id, from, until);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(storedTimes(id, eventId), expected);
        QCOMPARE(m_host->fixTimes(i), expected);
        QCOMPARE(m_host->ships.at(i).info.lastget, expected.last());
        QCOMPARE(storedLastget(id), expected.last());
    }
}

void TestTrackingClient::requestKindsCarryUrlAndHeaders()
{
    g_now = anchor;
    selectRace(21, 120);
    WAIT_IDLE(*m_client);
    m_client->probeServer();
    m_client->checkVersion();
    WAIT_IDLE(*m_client);

    const QList<DemoServer::Request> boats = requestsTo(*m_server, QStringLiteral("getBoats"));
    QCOMPARE(boats.size(), 1);
    QCOMPARE(boats.first().path, QStringLiteral("/api/getBoats.php"));
    QCOMPARE(boats.first().query, QStringLiteral("rg=21&wf=120&csv=1"));
    QCOMPARE(boats.first().userAgent, QByteArray("2.7.2"));
    QCOMPARE(boats.first().trackType, QByteArray("getnewboats"));

    const QList<DemoServer::Request> positions =
        requestsTo(*m_server, QStringLiteral("getPosition"));
    QCOMPARE(positions.size(), m_host->boatCount());
    QStringList queries;
    for (const DemoServer::Request &r : positions) {
        QCOMPARE(r.path, QStringLiteral("/api/getPosition.php"));
        QCOMPARE(r.userAgent, QByteArray("2.7.2"));
        QCOMPARE(r.trackType, QByteArray("getnewpos"));
        queries.append(r.query);
    }
    for (const FakeHost::Ship &ship : m_host->ships) {
        QVERIFY2(queries.contains(QStringLiteral("rg=21&wf=120&bo=%1&h=5&la=1302905280&csv=1"
                                                 "&lid=1302905280")
                                      .arg(ship.info.id)),
                 qPrintable(queries.join(' ')));
    }

    for (const char *endpoint : {"isup", "version"}) {
        const QList<DemoServer::Request> plain =
            requestsTo(*m_server, QString::fromLatin1(endpoint));
        QCOMPARE(plain.size(), 1);
        QCOMPARE(plain.first().userAgent, QByteArray("2.7.2"));
        QVERIFY(plain.first().trackType.isEmpty());
    }
    // Only the tracking requests light the lamp.
    QCOMPARE(m_host->ledOn, 1 + positions.size());
}

void TestTrackingClient::unknownKindSendsNothing()
{
    const RequestTag tag{0, 21, 120, 1};
    QVERIFY(!m_client->sendTrackingRequest(m_server->baseUrl() + "/api/getPosition.php", 0, tag));
    QVERIFY(!m_client->sendTrackingRequest(m_server->baseUrl() + "/api/getPosition.php", 4, tag));
    QCOMPARE(m_host->ledOn, 0);
    QVERIFY(idle(*m_client));
}

void TestTrackingClient::finishedRaceCanBeWatched()
{
    // The window clears its flag for a finished race; the stored preference is on.
    m_host->autoloadFlag = false;
    const qint64 start = 1302905280, end = 1303509600;
    selectRace(21, 120);
    WAIT_IDLE(*m_client);
    QCOMPARE(m_host->loadShipsCount, 2); // none stored, then after the boat list
    verifyComplete(21, start, end);
    QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM (SELECT ship_id, tstamp FROM track GROUP BY "
                          "ship_id, tstamp HAVING COUNT(*) > 1)")
                 .toInt(),
             0);
    QVERIFY(!m_host->lastFetch.isEmpty());
    QCOMPARE(m_host->pending, 0);

    // Polling a finished race stays off: only the probe goes out.
    m_server->clearRequestLog();
    m_client->getData();
    WAIT_IDLE(*m_client);
    QCOMPARE(requestsTo(*m_server, "getPosition").size(), 0);
    QCOMPARE(requestsTo(*m_server, "isup").size(), 1);
}

void TestTrackingClient::storedRaceNeedsNoRequests()
{
    selectRace(21, 120);
    WAIT_IDLE(*m_client);
    const int boats = m_host->boatCount();
    m_server->clearRequestLog();

    FakeHost again;
    TrackingClient client(&again);
    again.client = &client;
    client.setBaseUrl(m_server->baseUrl());
    again.setRace(21, 120, 1302905280, 1303509600);
    client.loadRace();
    QCOMPARE(again.boatCount(), boats);
    QVERIFY(idle(client));
    QVERIFY(m_server->requestLog().isEmpty());
    QCOMPARE(again.placeCount, 1);
    for (const FakeHost::Ship &ship : again.ships)
        QVERIFY(ship.hasPositions);
}

void TestTrackingClient::automaticDownloadOffWaitsForGetData()
{
    QVERIFY(m_db->exec({QStringLiteral("update prefs set autoload=0 where id=1")}));
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    QVERIFY(m_host->boatCount() > 0);
    QCOMPARE(requestsTo(*m_server, "getBoats").size(), 1);
    QCOMPARE(requestsTo(*m_server, "getPosition").size(), 0);

    // The first poll asks for the whole history from the race start.
    const qint64 start = m_host->race.start;
    m_client->getData();
    WAIT_IDLE(*m_client);
    const QList<DemoServer::Request> positions = requestsTo(*m_server, "getPosition");
    QCOMPARE(positions.size(), m_host->boatCount());
    for (const DemoServer::Request &r : positions)
        QVERIFY2(r.query.contains(QStringLiteral("&la=%1&").arg(start)), qPrintable(r.query));
    verifyComplete(liveEvent, start, g_now);
}

void TestTrackingClient::raceNotStartedAsksOnlyForBoatList()
{
    const qint64 start = anchor - 3 * 3600;
    g_now = start - 600;
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    QCOMPARE(m_host->loadShipsCount, 1); // only after the boat list
    QVERIFY(m_host->boatCount() > 0);
    QCOMPARE(requestsTo(*m_server, "getBoats").size(), 1);
    QCOMPARE(requestsTo(*m_server, "getPosition").size(), 0);

    m_client->getData();
    QVERIFY(idle(*m_client));

    // Once under way, polling fetches from the boat's first since time.
    g_now = start + 1800;
    m_client->getData();
    WAIT_IDLE(*m_client);
    QCOMPARE(requestsTo(*m_server, "getPosition").size(), m_host->boatCount());
    verifyComplete(liveEvent, start, g_now);
}

void TestTrackingClient::pollingNeitherLosesNorDoublesFixes()
{
    const qint64 start = anchor - 3 * 3600;
    m_host->autoloadFlag = true;
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    verifyComplete(liveEvent, start, g_now);

    // Polls closer together than the fixes, and further apart.
    for (const int step : {10, 45, 200, 1, 600}) {
        g_now += step;
        QVERIFY(!m_client->isLoading());
        m_client->getData();
        WAIT_IDLE(*m_client);
        verifyComplete(liveEvent, start, g_now);
    }
    QCOMPARE(m_host->pollRestarts, 5);
}

void TestTrackingClient::failedStatementIsFetchedAgainByNextPoll()
{
    const qint64 start = anchor - 3 * 3600;
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    verifyComplete(liveEvent, start, g_now);

    const int victim = m_host->ships.at(0).info.id;
    const QList<int> before = storedTimes(victim, liveEvent);
    const int lastgetBefore = m_host->ships.at(0).info.lastget;
    QVERIFY(m_db->exec({QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON track WHEN "
                                       "NEW.ship_id = %1 BEGIN SELECT RAISE(ABORT, 'disk full'); "
                                       "END")
                            .arg(victim)}));
    QSignalSpy handled(m_client.get(), &TrackingClient::replyHandled);
    g_now += 900;
    m_client->getData();
    WAIT_IDLE(*m_client);
    int rolledBack = 0;
    for (const QList<QVariant> &args : handled)
        rolledBack += args.at(1).value<TrackingClient::Outcome>()
            == TrackingClient::Outcome::RolledBack;
    QCOMPARE(rolledBack, 1);
    QCOMPARE(storedTimes(victim, liveEvent), before);
    QCOMPARE(m_host->fixTimes(0), before);
    QCOMPARE(m_host->ships.at(0).info.lastget, lastgetBefore);
    QCOMPARE(storedLastget(victim), lastgetBefore);

    QVERIFY(m_db->exec({QStringLiteral("DROP TRIGGER refuse")}));
    g_now += 30;
    m_client->getData();
    WAIT_IDLE(*m_client);
    verifyComplete(liveEvent, start, g_now);
}

void TestTrackingClient::getDataHonoursLoadingAndRestartsTimer()
{
    m_host->autoloadFlag = true;
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    m_server->clearRequestLog();
    m_server->setFault(QStringLiteral("getPosition"), DemoServer::Fault::Delay, 300);

    m_client->getData();
    QVERIFY(m_client->isLoading());
    QCOMPARE(m_host->pollRestarts, 1);
    m_client->getData(); // a cycle is running: only the probe goes out
    QCOMPARE(m_host->pollRestarts, 1);
    WAIT_IDLE(*m_client);
    QVERIFY(!m_client->isLoading());
    QCOMPARE(requestsTo(*m_server, "getPosition").size(), m_host->boatCount());
    QCOMPARE(requestsTo(*m_server, "isup").size(), 2);

    // Without automatic download the timer is left alone.
    m_host->autoloadFlag = false;
    m_client->getData();
    WAIT_IDLE(*m_client);
    QCOMPARE(m_host->pollRestarts, 1);
}

void TestTrackingClient::failedReply_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("http 500") << int(DemoServer::Fault::HttpError);
    QTest::newRow("body cut short") << int(DemoServer::Fault::CutBody);
}

void TestTrackingClient::failedReply()
{
    QFETCH(int, fault);
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    const QList<int> before = m_host->fixTimes(0);
    const int lastget = m_host->ships.at(0).info.lastget;
    m_server->setFault(QStringLiteral("getPosition"), DemoServer::Fault(fault), 500);
    QSignalSpy handled(m_client.get(), &TrackingClient::replyHandled);

    g_now += 600;
    const int ledOffBefore = m_host->ledOff;
    m_client->requestNewPositions();
    WAIT_IDLE(*m_client);
    QCOMPARE(handled.size(), m_host->boatCount());
    for (const QList<QVariant> &args : handled)
        QCOMPARE(args.at(1).value<TrackingClient::Outcome>(), TrackingClient::Outcome::Failed);
    QVERIFY(!m_client->serverUp());
    QCOMPARE(m_host->ledOff - ledOffBefore, m_host->boatCount());
    QCOMPARE(m_host->pending, 0);
    QCOMPARE(m_host->fixTimes(0), before);
    QCOMPARE(m_host->ships.at(0).info.lastget, lastget);
    QCOMPARE(storedTimes(m_host->ships.at(0).info.id, liveEvent), before);
}

void TestTrackingClient::hungRequestTimesOutAndCountsDown()
{
    m_client->setTransferTimeout(300);
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    m_server->setFault(QStringLiteral("getPosition"), DemoServer::Fault::Hang);
    QSignalSpy handled(m_client.get(), &TrackingClient::replyHandled);

    m_client->getData();
    QVERIFY(m_client->isLoading());
    QTRY_COMPARE_WITH_TIMEOUT(handled.size(), m_host->boatCount() + 1, 10000);
    QVERIFY(!m_client->serverUp());
    QVERIFY(!m_client->isLoading());
    QCOMPARE(m_host->pending, 0);

    // The next trigger only probes; the one after that polls again.
    m_server->clearFaults();
    m_server->clearRequestLog();
    m_client->getData();
    WAIT_IDLE(*m_client);
    QCOMPARE(requestsTo(*m_server, "getPosition").size(), 0);
    QVERIFY(m_client->serverUp());
    m_client->getData();
    WAIT_IDLE(*m_client);
    QCOMPARE(requestsTo(*m_server, "getPosition").size(), m_host->boatCount());
    verifyComplete(liveEvent, anchor - 3 * 3600, g_now);
}

void TestTrackingClient::failedProbeHoldsBackNextCycle()
{
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    m_server->setFault(QStringLiteral("isup"), DemoServer::Fault::HttpError, 503);
    QVERIFY(m_client->serverUp());
    QVERIFY(m_client->probeServer()); // the outcome of the probe before
    WAIT_IDLE(*m_client);
    QVERIFY(!m_client->serverUp());
    QVERIFY(!m_client->probeServer());
    WAIT_IDLE(*m_client);
    m_server->clearRequestLog();
    m_client->getData();
    WAIT_IDLE(*m_client);
    QCOMPARE(requestsTo(*m_server, "getPosition").size(), 0);
    QCOMPARE(requestsTo(*m_server, "isup").size(), 1);
}

void TestTrackingClient::redirectedReplyIsIngested()
{
    m_server->setFault(QStringLiteral("getPosition"), DemoServer::Fault::Redirect);
    m_server->setFault(QStringLiteral("getBoats"), DemoServer::Fault::Redirect);
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    verifyComplete(liveEvent, anchor - 3 * 3600, g_now);
}

void TestTrackingClient::malformedReplyWritesDiagnostics()
{
    std::FILE *out = std::tmpfile();
    m_client->setDiagnosticStream(out);
    m_server->setFault(QStringLiteral("getPosition"), DemoServer::Fault::Malformed);
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    verifyComplete(liveEvent, anchor - 3 * 3600, g_now);

    std::rewind(out);
    QByteArray text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, out)) > 0)
        text.append(buf, qsizetype(n));
    std::fclose(out);
    for (int i = 0; i < m_host->boatCount(); ++i)
        QVERIFY(text.contains(" shipidx (httpFinished) = " + QByteArray::number(i)
                              + ", ungleich 5...\n"));
}

void TestTrackingClient::lateReplyAfterRaceChangeIsDropped()
{
    // Boats stored, tracks not yet: choosing the race sends positions requests.
    QVERIFY(m_db->exec({QStringLiteral("update prefs set autoload=0 where id=1")}));
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    QVERIFY(m_db->exec({QStringLiteral("update prefs set autoload=1 where id=1")}));
    m_server->setFault(QStringLiteral("getPosition"), DemoServer::Fault::Delay, 300);
    selectRace(liveEvent, liveTask);
    const int sent = m_host->boatCount();
    QCOMPARE(requestsTo(*m_server, "getPosition").size(), 0); // still on their way

    // Another race is chosen before the replies arrive; its boats share the indices.
    QSignalSpy handled(m_client.get(), &TrackingClient::replyHandled);
    selectRace(21, 120);
    m_server->setFault(QStringLiteral("getBoats"), DemoServer::Fault::Delay, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(requestsTo(*m_server, "getPosition").size() >= sent, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(handled.size(), sent, 10000);
    for (const QList<QVariant> &args : handled)
        QCOMPARE(args.at(1).value<TrackingClient::Outcome>(), TrackingClient::Outcome::Dropped);
    QCOMPARE(m_db->count("track", QStringLiteral("regatta_id=%1").arg(liveEvent)), 0);
    QCOMPARE(m_db->count("track"), 0);
    WAIT_IDLE(*m_client);
}

void TestTrackingClient::replyForChangedListIsDropped()
{
    QVERIFY(m_db->exec({QStringLiteral("update prefs set autoload=0 where id=1")}));
    selectRace(liveEvent, liveTask);
    WAIT_IDLE(*m_client);
    QVERIFY(m_host->boatCount() >= 3);
    m_server->setFault(QStringLiteral("getPosition"), DemoServer::Fault::Delay, 300);
    m_client->getData();
    // The list is rebuilt in another order while the replies travel.
    std::reverse(m_host->ships.begin(), m_host->ships.end());
    m_host->ships.removeLast();
    QSignalSpy handled(m_client.get(), &TrackingClient::replyHandled);
    WAIT_IDLE(*m_client);

    int applied = 0;
    for (const QList<QVariant> &args : handled) {
        const auto outcome = args.at(1).value<TrackingClient::Outcome>();
        if (args.at(0).toUrl().path().endsWith(QLatin1String("getPosition.php"))) {
            QVERIFY(outcome == TrackingClient::Outcome::Dropped
                    || outcome == TrackingClient::Outcome::Applied);
            applied += outcome == TrackingClient::Outcome::Applied;
        }
    }
    // Whatever was applied went to the boat it was asked for.
    int withFixes = 0;
    for (int i = 0; i < m_host->boatCount(); ++i) {
        const int id = m_host->ships.at(i).info.id;
        const QList<int> times = m_host->fixTimes(i);
        if (times.isEmpty()) {
            QVERIFY(storedTimes(id, liveEvent).isEmpty());
            continue;
        }
        ++withFixes;
        QCOMPARE(times, expectedTimes(liveEvent, id, anchor - 3 * 3600, g_now));
        QCOMPARE(storedTimes(id, liveEvent), times);
    }
    QCOMPARE(withFixes, applied);
    QVERIFY(applied < m_host->boatCount() + 1);
}

void TestTrackingClient::boatListForRaceNoLongerSelectedIsStoredOnly()
{
    m_server->setFault(QStringLiteral("getBoats"), DemoServer::Fault::Delay, 300);
    selectRace(liveEvent, liveTask);
    QCOMPARE(m_host->boatCount(), 0);

    // The 2011 race has stored boats and tracks of its own.
    QVERIFY(m_db->exec(
        {QStringLiteral("insert into ship (id, regatta_id, name, klasse, startnr, farbe, "
                        "lastget, show, follow) values (9001, 21, 'Alt', 'A', '1', '#ff008a', "
                        "1302905300, 'true', 'false')"),
         QStringLiteral("insert into track (ship_id, regatta_id, lat, lng, tstamp) values "
                        "(9001, 21, 54, 10, 1302905300)")}));
    QSignalSpy handled(m_client.get(), &TrackingClient::replyHandled);
    selectRace(21, 120);
    QCOMPARE(m_host->boatCount(), 1);
    const int loads = m_host->loadShipsCount;
    QTRY_COMPARE_WITH_TIMEOUT(handled.size(), 1, 10000);
    QCOMPARE(handled.first().at(1).value<TrackingClient::Outcome>(),
             TrackingClient::Outcome::Stored);
    QCOMPARE(m_db->count("ship", QStringLiteral("regatta_id=%1").arg(liveEvent)),
             m_server->boats(liveEvent).size());
    QCOMPARE(m_host->loadShipsCount, loads);
    QCOMPARE(m_host->boatCount(), 1);
    QCOMPARE(m_host->ships.first().info.id, 9001);
    QCOMPARE(m_host->fixTimes(0), QList<int>{1302905300});
    WAIT_IDLE(*m_client);
    QCOMPARE(requestsTo(*m_server, "getPosition").size(), 0);
}

void TestTrackingClient::versionReply_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("notices");
    QTest::newRow("own version") << "2.7.2" << 0;
    QTest::newRow("own version with line break") << "2.7.2\n" << 0;
    QTest::newRow("newer") << "2.7.3" << 1;
    QTest::newRow("trailing blank counts as different") << "2.7.2 " << 1;
    QTest::newRow("two other lines") << "2.7.3\r\n2.8.0\n" << 2;
    QTest::newRow("empty") << "" << 0;
}

void TestTrackingClient::versionReply()
{
    QFETCH(QString, text);
    QFETCH(int, notices);
    m_server->setVersionText(text);
    m_client->checkVersion();
    WAIT_IDLE(*m_client);
    QCOMPARE(m_host->notices, notices);
    QCOMPARE(m_client->newVersionSeen(), notices > 0);
    QCOMPARE(m_host->ledOn, 0);
}

QTEST_MAIN(TestTrackingClient)
#include "tst_trackingclient.moc"
