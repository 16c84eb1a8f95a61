// The service's race list: parser rows, the request, 404 and failures
// against the demo service, and a race taken from the list and polled live.
#include "tracking/racelist.h"
#include "tracking/racestore.h"

#include "demoserver.h"
#include "fakerace.h"
#include "platform/seams.h"
#include "testdatabase.h"
#include "tracking/trackingclient.h"
#include "trackingschema.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTcpServer>
#include <QtTest>

#include <memory>

using Tracking::RaceListResult;
using Tracking::RaceRecord;

namespace
{

constexpr qint64 anchor = 1700000000;
qint64 g_now = anchor;

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

bool idle(const TrackingClient &client)
{
    return client.networkManager()->findChildren<QNetworkReply *>().isEmpty();
}

} // namespace

class TestRaceList : public QObject
{
    Q_OBJECT

private:
    RaceListResult fetch(const QString &base, int timeoutMs = 5000)
    {
        Tracking::RaceListFetcher fetcher;
        fetcher.setTransferTimeout(timeoutMs);
        QSignalSpy spy(&fetcher, &Tracking::RaceListFetcher::finished);
        fetcher.fetch(base);
        if (!spy.wait(timeoutMs + 10000))
            return RaceListResult{RaceListResult::Failed, {}, 0, QStringLiteral("no answer")};
        return spy.first().first().value<RaceListResult>();
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<DemoServer> m_server;

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
        options.boatsPerRace = 3;
        m_server = std::make_unique<DemoServer>(options);
        m_server->setClock([] { return g_now; });
        QVERIFY(m_server->listen() != 0);
    }

    void cleanup()
    {
        m_server.reset();
        m_db.reset();
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<RaceRecord>>("races");
        QTest::addColumn<int>("skipped");

        const RaceRecord live{30, 300, QStringLiteral("Live"), 1699989200, 1700086400};
        const RaceRecord woche{5, 1, QStringLiteral("Kieler Wöche"), 10, 20};
        QTest::newRow("empty") << QByteArray() << QList<RaceRecord>{} << 0;
        QTest::newRow("one line") << QByteArray("30|300|Live|1699989200|1700086400\n")
                                  << QList<RaceRecord>{live} << 0;
        QTest::newRow("no final break, CRLF, blank lines")
            << QByteArray("\r\n30|300|Live|1699989200|1700086400\r\n\r\n  \n10|88|A|1|2")
            << QList<RaceRecord>{live, {10, 88, QStringLiteral("A"), 1, 2}} << 0;
        QTest::newRow("fields trimmed")
            << QByteArray(" 30 | 300 |  Live |1699989200 | 1700086400") << QList<RaceRecord>{live} << 0;
        QTest::newRow("UTF-8 name") << QByteArray("\xEF\xBB\xBF"
                                                  "5|1|Kieler W\xC3\xB6"
                                                  "che|10|20\n")
                                    << QList<RaceRecord>{woche} << 0;
        QTest::newRow("Latin-1 name") << QByteArray("5|1|Kieler W\xF6"
                                                    "che|10|20\n")
                                      << QList<RaceRecord>{{5, 1, QStringLiteral("Kieler Wöche"), 10,
                                                            20}}
                                      << 0;

        const char *const bad[] = {
            "30|300|Live|1699989200",                     // four fields
            "30|300|Live|1699989200|1700086400|x",        // six fields
            "30|300|Li|ve|1699989200|1700086400",         // "|" in the name
            "0|300|Live|1699989200|1700086400",           // event 0
            "-30|300|Live|1699989200|1700086400",         // negative event
            "30|3.5|Live|1699989200|1700086400",          // fractional task
            "30|x|Live|1699989200|1700086400",            // task not a number
            "30||Live|1699989200|1700086400",             // empty task
            "30|300||1699989200|1700086400",              // empty name
            "30|300|   |1699989200|1700086400",           // blank name
            "30|300|Live|0|1700086400",                   // start 0
            "30|300|Live|1699989200|1699989200",          // end at start
            "30|300|Live|1700086400|1699989200",          // end before start
            "30|300|Live|1e9|1700086400",                 // exponent
            "30|300|Live|1699989200|99999999999",         // after 2038
            "99999999999|300|Live|1699989200|1700086400", // event beyond int
        };
        for (const char *line : bad) {
            QTest::newRow(line) << (QByteArray(line) + "\n30|300|Live|1699989200|1700086400\n")
                                << QList<RaceRecord>{live} << 1;
        }
    }

    void parse()
    {
        QFETCH(QByteArray, body);
        QFETCH(QList<RaceRecord>, races);
        QFETCH(int, skipped);
        const Tracking::ParsedRaceList parsed = Tracking::parseRaceList(body);
        QCOMPARE(parsed.races, races);
        QCOMPARE(parsed.skippedLines, skipped);
    }

    void requestHasAgentAndTimeoutButNoTrackType()
    {
        const QNetworkRequest request =
            Tracking::makeRaceListRequest(QStringLiteral("http://127.0.0.1:9/base/"), 1234);
        QCOMPARE(request.url(), QUrl(QStringLiteral("http://127.0.0.1:9/base/api/getRaces.php?csv=1")));
        QCOMPARE(request.rawHeader("User-Agent"), QByteArray("2.7.2"));
        QVERIFY(!request.hasRawHeader("Track-Type"));
        QCOMPARE(request.transferTimeout(), 1234);
        QCOMPARE(Tracking::RaceListFetcher().transferTimeout(), 30000);

        QCOMPARE(fetch(m_server->baseUrl()).status, RaceListResult::Ok);
        const QList<DemoServer::Request> log = m_server->requestLog();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.first().path, QStringLiteral("/api/getRaces.php"));
        QCOMPARE(log.first().query, QStringLiteral("csv=1"));
        QCOMPARE(log.first().userAgent, QByteArray("2.7.2"));
        QVERIFY(log.first().trackType.isEmpty());
    }

    void fetchedListImportsOnlyTheLiveRace()
    {
        const RaceListResult result = fetch(m_server->baseUrl());
        QCOMPARE(result.status, RaceListResult::Ok);
        QCOMPARE(result.skippedLines, 0);
        QList<RaceRecord> expected;
        for (const DemoServer::Race &r : m_server->races())
            expected.append({r.eventId, r.taskId, r.name, r.start, r.end});
        QCOMPARE(QList<RaceRecord>(result.races.cbegin(), result.races.cend()), expected);

        const RaceStore::ImportResult imported = RaceStore::importRaces(result.races);
        QVERIFY(imported.ok);
        QCOMPARE(imported.added.size(), 1);
        QCOMPARE(imported.added.first().race.eventId, DemoServer::liveEventId);
        QCOMPARE(imported.added.first().race.taskId, DemoServer::liveTaskId);
        QCOMPARE(imported.added.first().race.start, anchor - 3 * 3600);
        QCOMPARE(imported.added.first().race.end, anchor + 86400);
        QCOMPARE(imported.known, 2);
        QCOMPARE(Tracking::raceListStatusText(result, 1),
                 QStringLiteral("1 neue Regatta vom Server geholt."));

        // The second time round there is nothing new.
        QCOMPARE(RaceStore::importRaces(fetch(m_server->baseUrl()).races).added.size(), 0);
        QCOMPARE(m_db->count("regatta"), 3);
        QCOMPARE(Tracking::raceListStatusText(result, 0),
                 QStringLiteral("Keine neuen Regatten auf dem Server."));
    }

    // A 404 means the service has no list; everything else is a failure.
    void notAvailableOrFailed_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("status");
        const int none = -1, unavailable = RaceListResult::Unavailable;
        const int failed = RaceListResult::Failed;
        QTest::newRow("getRaces answers 404")
            << "" << int(DemoServer::Fault::HttpError) << 404 << unavailable;
        QTest::newRow("no such path") << "/ohne-liste" << none << 0 << unavailable;
        QTest::newRow("500") << "" << int(DemoServer::Fault::HttpError) << 500 << failed;
        QTest::newRow("hang, timed out") << "" << int(DemoServer::Fault::Hang) << 0 << failed;
        QTest::newRow("cut body") << "" << int(DemoServer::Fault::CutBody) << 0 << failed;
        QTest::newRow("refused connection") << "closed port" << none << 0 << failed;
    }
    void notAvailableOrFailed()
    {
        QFETCH(QString, path);
        QFETCH(int, fault);
        QFETCH(int, value);
        QFETCH(int, status);
        QString base = m_server->baseUrl() + path;
        if (fault >= 0)
            m_server->setFault(QStringLiteral("getRaces"), DemoServer::Fault(fault), value);
        if (path == QLatin1String("closed port")) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            base = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
        }
        const RaceListResult result = fetch(base, 500);
        QCOMPARE(int(result.status), status);
        QVERIFY(result.races.isEmpty());
        const QString text = Tracking::raceListStatusText(result, 0);
        if (status == RaceListResult::Unavailable) {
            QCOMPARE(text, QStringLiteral("Der Server bietet keine Regattaliste an."));
        } else {
            QVERIFY(!result.error.isEmpty());
            QVERIFY2(text.startsWith(QStringLiteral("Die Regattaliste konnte nicht geholt "
                                                    "werden: ")),
                     qPrintable(text));
        }
    }

    void malformedReplyKeepsGoodLines()
    {
        m_server->setFault(QStringLiteral("getRaces"), DemoServer::Fault::Malformed);
        const RaceListResult result = fetch(m_server->baseUrl());
        QCOMPARE(result.status, RaceListResult::Ok);
        QVERIFY(result.skippedLines > 0);
        for (const RaceRecord &r : result.races)
            QVERIFY(Tracking::isWellFormed(r));
        const RaceStore::ImportResult imported = RaceStore::importRaces(result.races);
        QVERIFY(imported.ok);
        QCOMPARE(imported.invalid, 0);
        QVERIFY(m_db->count("regatta") >= 2);
    }

    void onlyNewestFetchReports()
    {
        m_server->setFault(QStringLiteral("getRaces"), DemoServer::Fault::Delay, 300);
        Tracking::RaceListFetcher fetcher;
        QSignalSpy spy(&fetcher, &Tracking::RaceListFetcher::finished);
        fetcher.fetch(m_server->baseUrl());
        QVERIFY(fetcher.isBusy());
        fetcher.fetch(m_server->baseUrl());
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.first().first().value<RaceListResult>().status, RaceListResult::Ok);
        QTest::qWait(400); // the aborted one would have answered by now
        QCOMPARE(spy.size(), 1);
        QVERIFY(!fetcher.isBusy());
    }

    void liveRaceFromListPolledTwiceStoresEachFixOnce()
    {
        QVERIFY(RaceStore::importRaces(fetch(m_server->baseUrl()).races).ok);
        RaceStore::StoredRace live;
        for (const RaceStore::StoredRace &s : RaceStore::races()) {
            if (s.race.eventId == DemoServer::liveEventId)
                live = s;
        }
        QVERIFY(live.id > 0);

        TrackingClient client;
        FakeRace host(client);
        client.setBaseUrl(m_server->baseUrl());
        client.setDiagnosticStream(nullptr);
        host.select(live.race.eventId, live.race.taskId, live.race.start, live.race.end);
        QTRY_VERIFY_WITH_TIMEOUT(idle(client), 20000);
        QVERIFY(host.boatCount() > 0);

        int newestBefore = 0;
        for (const qint64 step : {90, 240}) {
            g_now += step;
            m_server->clearRequestLog();
            client.getData();
            QTRY_VERIFY_WITH_TIMEOUT(idle(client), 20000);
            QCOMPARE(m_server->requestCount(QStringLiteral("getPosition")), host.boatCount());
            int newest = 0;
            for (int i = 0; i < host.boatCount(); ++i) {
                const int id = host.ships.at(i).info.id;
                QList<int> expected;
                for (const DemoServer::Fix &f : m_server->fixes(live.race.eventId, id)) {
                    if (f.tstamp >= live.race.start && f.tstamp <= g_now
                        && (expected.isEmpty() || expected.last() != f.tstamp))
                        expected.append(int(f.tstamp));
                }
                // Exactly the service's fixes so far: nothing lost, nothing twice.
                QCOMPARE(storedTimes(id, live.race.eventId), expected);
                QCOMPARE(host.fixTimes(i), expected);
                newest = std::max(newest, expected.last());
            }
            // Each poll brings the boats forward.
            QVERIFY2(newest > newestBefore, qPrintable(QString::number(newest)));
            newestBefore = newest;
        }
    }

    void repliesOfDiscardedRaceAreDroppedUnread_data()
    {
        QTest::addColumn<int>("discardEvent");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("boats");
        QTest::newRow("the removed race")
            << DemoServer::liveEventId << int(TrackingClient::Outcome::Dropped) << 0;
        QTest::newRow("another race") << 21 << int(TrackingClient::Outcome::Applied) << 3;
    }

    void repliesOfDiscardedRaceAreDroppedUnread()
    {
        QFETCH(int, discardEvent);
        QFETCH(int, outcome);
        QFETCH(int, boats);
        m_server->setFault(QStringLiteral("getBoats"), DemoServer::Fault::Delay, 200);
        TrackingClient client;
        FakeRace host(client);
        client.setBaseUrl(m_server->baseUrl());
        QSignalSpy handled(&client, &TrackingClient::replyHandled);
        host.select(DemoServer::liveEventId, DemoServer::liveTaskId, anchor - 3 * 3600,
                    anchor + 86400);
        QCOMPARE(host.pending, 1);
        client.discardRace(discardEvent, discardEvent == 21 ? 120 : DemoServer::liveTaskId);
        QVERIFY(handled.wait(10000));
        QCOMPARE(int(handled.first().at(1).value<TrackingClient::Outcome>()), outcome);
        QCOMPARE(m_db->count("ship", QStringLiteral("regatta_id=%1").arg(DemoServer::liveEventId)),
                 boats);
        QTRY_VERIFY_WITH_TIMEOUT(idle(client), 20000);
        QCOMPARE(host.pending, 0);
    }
};

QTEST_GUILESS_MAIN(TestRaceList)
#include "tst_racelist.moc"
