// The service's race list: parser rows, and the replies of a race removed
// while its boat list is under way.
#include "tracking/racelist.h"

#include "demoserver.h"
#include "fakehost.h"
#include "platform/seams.h"
#include "testdatabase.h"
#include "tracking/trackingclient.h"
#include "trackingschema.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QtTest>

#include <memory>


namespace
{

constexpr qint64 anchor = 1700000000;
qint64 g_now = anchor;

bool idle(const TrackingClient &client)
{
    return client.networkManager()->findChildren<QNetworkReply *>().isEmpty();
}

} // namespace

class TestRaceList : public QObject
{
    Q_OBJECT

private:
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
        QTest::addColumn<QList<Race>>("races");
        QTest::addColumn<int>("skipped");

        const Race live{0, 30, 300, QStringLiteral("Live"), 1699989200, 1700086400};
        const Race woche{0, 5, 1, QStringLiteral("Kieler Wöche"), 10, 20};
        QTest::newRow("empty") << QByteArray() << QList<Race>{} << 0;
        QTest::newRow("one line") << QByteArray("30|300|Live|1699989200|1700086400\n")
                                  << QList<Race>{live} << 0;
        QTest::newRow("no final break, CRLF, blank lines")
            << QByteArray("\r\n30|300|Live|1699989200|1700086400\r\n\r\n  \n10|88|A|1|2")
            << QList<Race>{live, {0, 10, 88, QStringLiteral("A"), 1, 2}} << 0;
        QTest::newRow("fields trimmed") << QByteArray(" 30 | 300 |  Live |1699989200 | 1700086400")
                                        << QList<Race>{live} << 0;
        QTest::newRow("UTF-8 name") << QByteArray("\xEF\xBB\xBF"
                                                  "5|1|Kieler W\xC3\xB6"
                                                  "che|10|20\n")
                                    << QList<Race>{woche} << 0;
        QTest::newRow("Latin-1 name")
            << QByteArray("5|1|Kieler W\xF6"
                          "che|10|20\n")
            << QList<Race>{{0, 5, 1, QStringLiteral("Kieler Wöche"), 10, 20}} << 0;

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
                                << QList<Race>{live} << 1;
        }
    }

    void parse()
    {
        QFETCH(QByteArray, body);
        QFETCH(QList<Race>, races);
        QFETCH(int, skipped);
        const Tracking::ParsedRaceList parsed = Tracking::parseRaceList(body);
        QCOMPARE(parsed.races, races);
        QCOMPARE(parsed.skippedLines, skipped);
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
        FakeHost host;
        TrackingClient client(&host);
        host.client = &client;
        client.setBaseUrl(m_server->baseUrl());
        host.setRace(DemoServer::liveEventId, DemoServer::liveTaskId, anchor - 3 * 3600,
                     anchor + 86400);
        QSignalSpy handled(&client, &TrackingClient::replyHandled);
        client.loadRace();
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
