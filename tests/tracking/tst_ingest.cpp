// CSV ingest of boat lists, positions and the race list, without a server.
#include "store/database.h"
#include "tracking/ingest.h"
#include "tracking/racelist.h"

#include "testdatabase.h"

#include <QtTest>

#include <cmath>

using namespace Tracking;

namespace
{

QByteArray boatLine(int id, int event, const QByteArray &name = QByteArray(), int tsmin = 1000)
{
    const QByteArray n = QByteArray::number(id);
    return "Laser|" + n + "|x|" + QByteArray::number(100 + id) + "|" +
           (name.isEmpty() ? "Boat" + n : name) + "|Team" + n + "|Skipper" + n + "|y|" +
           QByteArray::number(tsmin) + "|" + QByteArray::number(event) + "\n";
}

const auto fixLine = [](int t) {
    return "54.300000;10.100000;" + QByteArray::number(t) + ";90.5;7.2\n";
};

const auto column = [](const QString &sql) {
    QStringList values;
    QSqlQuery q(sql);
    while (q.next())
        values.append(q.value(0).toString());
    return values;
};

const auto storedTimes = [](int shipId) {
    QList<int> times;
    for (const QString &t : column(
             QStringLiteral("SELECT tstamp FROM track WHERE ship_id=%1 ORDER BY id").arg(shipId)))
        times.append(t.toInt());
    return times;
};

} // namespace

class TestIngest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    QVariant ship(int id, const QString &field)
    {
        return m_db->scalar(QStringLiteral("SELECT %1 FROM ship WHERE id=%2").arg(field).arg(id));
    }

private slots:
    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->exec(trackingSchema()));
    }
    void cleanup() { m_db.reset(); }

    void boatListStoresNewBoats()
    {
        const BoatListResult result =
            ingestBoatList(boatLine(5, 21, "M\xF6we \xDF", 1302905000) + boatLine(6, 21), 21);
        QCOMPARE(std::pair(result.committed, result.records), std::pair(true, 2));
        QCOMPARE(m_db->scalar("SELECT id||regatta_id||name||skipper||team||klasse||startnr||farbe||"
                              "lastget||show||follow||typeof(show) FROM ship WHERE id=5")
                     .toString(),
                 QStringLiteral("521Möwe ßSkipper5Team5Laser105#ff008a1302905000truefalsetext"));
        // UTF-8 names too.
        QVERIFY(ingestBoatList(boatLine(7, 21, "M\xC3\xB6we"), 21).committed);
        QCOMPARE(ship(7, "name").toString(), QStringLiteral("Möwe"));
    }

    void boatListRefetchClearsFixesAndResetsLastget()
    {
        QVERIFY(ingestBoatList(boatLine(5, 21) + boatLine(6, 21), 21).committed);
        QVERIFY(ingestPositions(fixLine(2000) + fixLine(2030), {0, 5, 21, false, 0}, nullptr)
                    .committed);
        QVERIFY(ingestPositions(fixLine(2000), {1, 6, 21, false, 0}, nullptr).committed);
        QVERIFY(m_db->exec({"INSERT INTO track (ship_id, regatta_id, lat, lng, tstamp) "
                            "VALUES (99, 10, 1, 1, 5)"}));
        QCOMPARE(ship(5, "lastget").toInt(), 2030);
        // Second list, order swapped: colours follow the new order.
        QVERIFY(ingestBoatList(boatLine(6, 21, "Beta2") + boatLine(5, 21), 21).committed);
        QCOMPARE(m_db->count("track", "regatta_id=21"), 0);
        QCOMPARE(m_db->count("track", "ship_id=99"), 1);
        QCOMPARE(column("SELECT id||' '||name||' '||farbe||' '||lastget FROM ship ORDER BY id"),
                 QStringList({"5 Boat5 #00ffcc 0", "6 Beta2 #ff008a 0"}));
    }

    void boatListSkipsMalformedLines()
    {
        const QByteArray body = "Laser|1|x|2|Short|T|S|y|1000\n" // 9 fields
                                "\n"
                                "Laser|2|x|2|Long|T|S|y|1000|21|extra\n"   // 11 fields
                                "Laser|4294967297|x|2|Big|T|S|y|1000|21\n" // beyond 32 bits
                                "Laser|0|x|2|Zero|T|S|y|1000|21\n" +
                                boatLine(3, 21) + "garbage\r\n" +
                                boatLine(4, 21).trimmed(); // no final break
        const BoatListResult result = ingestBoatList(body, 21);
        QCOMPARE(std::pair(result.committed, result.records), std::pair(true, 2));
        // Colours count only the records taken.
        QCOMPARE(column("SELECT id||farbe||regatta_id FROM ship ORDER BY id"),
                 QStringList({"3#ff008a21", "4#00ffcc21"}));
    }

    void boatListKeepsOtherBoatsWhenOneIdBelongsToAnotherRace()
    {
        QVERIFY(ingestBoatList(boatLine(5, 10), 10).committed);
        const BoatListResult result = ingestBoatList(boatLine(5, 21) + boatLine(6, 21), 21);
        QCOMPARE(std::pair(result.committed, result.failedRecords), std::pair(true, 1));
        QCOMPARE(ship(5, "regatta_id").toInt(), 10);
        QCOMPARE(m_db->count("ship", "regatta_id=21"), 1);
        // Every record refused: nothing is committed as if it were stored.
        const BoatListResult none = ingestBoatList(boatLine(5, 21), 21);
        QCOMPARE(std::pair(none.committed, none.failedRecords), std::pair(false, 1));
    }

    // Another program holds the write lock, or a statement fails half-way: the
    // whole reply is rolled back, the failure says why, and once the obstacle
    // is gone the connection takes the same reply.
    void refusedWriteStoresNothing_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::newRow("write lock held") << true;
        QTest::newRow("third fix refused") << false;
    }
    void refusedWriteStoresNothing()
    {
        QFETCH(bool, locked);
        QVERIFY(ingestBoatList(boatLine(5, 21, {}, 50), 21).committed);
        QVERIFY(m_db->exec({"PRAGMA busy_timeout=20"}));
        const QByteArray body = fixLine(100) + fixLine(130) + fixLine(160) + fixLine(190);
        {
            QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
            locker.setDatabaseName(QSqlDatabase::database().databaseName());
            QVERIFY(locker.open());
            QVERIFY(locked ? QSqlQuery(locker).exec("BEGIN IMMEDIATE")
                           : m_db->exec({"CREATE TRIGGER refuse BEFORE INSERT ON track WHEN "
                                         "NEW.tstamp = 160 BEGIN SELECT RAISE(ABORT, 'x'); END"}));
            const PositionsResult failed = ingestPositions(body, {0, 5, 21, false, 0}, nullptr);
            QVERIFY(!failed.committed && failed.fixes.isEmpty() && !failed.error.isEmpty());
            if (locked) {
                QCOMPARE(Database::failureOf(failed.error), Database::WriteFailure::Locked);
                const BoatListResult list = ingestBoatList(boatLine(6, 21) + boatLine(7, 21), 21);
                // The first refusal ends the reply.
                QCOMPARE(std::pair(list.committed, list.failedRecords), std::pair(false, 1));
                QCOMPARE(Database::failureOf(list.error), Database::WriteFailure::Locked);
            }
            QVERIFY(locked ? locker.rollback() : m_db->exec({"DROP TRIGGER refuse"}));
        }
        QSqlDatabase::removeDatabase("locker");
        QCOMPARE(std::tuple(m_db->count("ship"), m_db->count("track"), ship(5, "lastget").toInt()),
                 std::tuple(1, 0, 50));
        QVERIFY(ingestPositions(body, {0, 5, 21, false, 0}, nullptr).committed);
        QCOMPARE(storedTimes(5), (QList<int>{100, 130, 160, 190}));
        QCOMPARE(ship(5, "lastget").toInt(), 190);
    }

    void positions_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("newestFix"); // 0: the boat holds no fixes
        QTest::addColumn<QList<int>>("stored");
        QTest::addColumn<int>("malformed");
        QTest::addColumn<int>("lastget"); // 0: left as it was
        QTest::addColumn<int>("latestAllowed");
        QTest::newRow("plain") << fixLine(100) + fixLine(130) + fixLine(160) << 0
                               << QList<int>{100, 130, 160} << 0 << 160 << 0;
        QTest::newRow("adjacent repeats stored once")
            << fixLine(100) + fixLine(100) + fixLine(130) + fixLine(130) + fixLine(130) << 0
            << QList<int>{100, 130} << 0 << 130 << 0;
        QTest::newRow("out of order: lastget is the largest time")
            << fixLine(100) + fixLine(130) + fixLine(100) << 0 << QList<int>{100, 130, 100} << 0
            << 130 << 0;
        QTest::newRow("first line at time 0 skipped")
            << QByteArray("1;2;0;3;4\n") + fixLine(100) << 0 << QList<int>{100} << 0 << 100 << 0;
        QTest::newRow("crlf, no final line break") << QByteArray("1;2;100;3;4\r\n1;2;130;3;4") << 0
                                                   << QList<int>{100, 130} << 0 << 130 << 0;
        QTest::newRow("4 and 6 fields and empty line")
            << fixLine(100) + "1;2;110;3\n\n1;2;120;3;4;5\n" + fixLine(130) << 0
            << QList<int>{100, 130} << 3 << 130 << 0;
        QTest::newRow("server repeats the fix at la")
            << fixLine(160) + fixLine(190) << 160 << QList<int>{190} << 0 << 190 << 0;
        QTest::newRow("fixes older than those held skipped")
            << fixLine(100) + fixLine(130) + fixLine(170) + fixLine(200) << 160
            << QList<int>{170, 200} << 0 << 200 << 0;
        QTest::newRow("coordinates off the globe are malformed")
            << fixLine(100) + "nan;15;110;3;4\n43;inf;120;3;4\n91;15;130;3;4\n43;-180.5;140;3;4\n"
            << 0 << QList<int>{100} << 4 << 100 << 0;
        QTest::newRow("negative time stamp kept without fixes")
            << fixLine(-5) << 0 << QList<int>{-5} << 0 << 0 << 0;
        QTest::newRow("fixes after the latest allowed time refused")
            << fixLine(900) + fixLine(1000) + fixLine(316000000) << 0 << QList<int>{900, 1000} << 1
            << 1000 << 1000;
    }
    void positions()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, newestFix);
        QFETCH(QList<int>, stored);
        QFETCH(int, lastget);
        QFETCH(int, latestAllowed);
        QVERIFY(ingestBoatList(boatLine(5, 21, {}, 77), 21).committed);
        const PositionsResult result = ingestPositions(
            body, PositionsTarget{2, 5, 21, newestFix != 0, newestFix, latestAllowed}, nullptr);
        QVERIFY(result.committed);
        QCOMPARE(storedTimes(5), stored);
        QList<int> times;
        for (const Fix &f : result.fixes)
            times.append(f.tstamp);
        QCOMPARE(times, stored);
        QTEST(result.malformedLines, "malformed");
        QCOMPARE(std::pair(result.lastgetChanged, result.lastgetChanged ? result.lastget : 0),
                 std::pair(lastget != 0, lastget));
        QCOMPARE(ship(5, "lastget").toInt(), lastget != 0 ? lastget : 77);
    }

    void numbersReadAsQStringReadsThem_data()
    {
        QTest::addColumn<QByteArray>("field");
        for (const char *text : {"54.123456", " 12", "+5", "1e3", "", "nan", "0x10", "1,5",
                                 "2147483648", "1e400", "0.1000000000000000055511151231257827"})
            QTest::newRow(text) << QByteArray(text);
    }
    // The fast number path must read every field exactly as QString does.
    void numbersReadAsQStringReadsThem()
    {
        QFETCH(QByteArray, field);
        QVERIFY(ingestBoatList(boatLine(5, 21), 21).committed);
        const QString asText = decodeReplyBody(field);
        const PositionsTarget target{0, 5, 21, false, 0};
        const double d = asText.toDouble();
        // Off the globe the line is malformed; heading and extra still show the reading.
        const bool onGlobe = std::isfinite(d) && std::abs(d) <= 90.0;
        const PositionsResult doubles = ingestPositions(
            field + ";" + field + ";100;" + field + ";" + field + "\n", target, nullptr);
        QCOMPARE(doubles.fixes.size(), onGlobe ? 1 : 0);
        if (onGlobe) // exactly, not within QCOMPARE's tolerance
            QCOMPARE(std::pair(doubles.fixes.first().lat, doubles.fixes.first().lng),
                     std::pair(d, d));
        const PositionsResult rest =
            ingestPositions("0;0;100;" + field + ";" + field + "\n", target, nullptr);
        QCOMPARE(rest.fixes.size(), 1);
        QCOMPARE(qIsNaN(rest.fixes.first().heading), qIsNaN(d));
        if (!qIsNaN(d))
            QCOMPARE(std::pair(rest.fixes.first().heading, rest.fixes.first().extra),
                     std::pair(d, d));
        const PositionsResult ints = ingestPositions("0;0;" + field + ";0;0\n", target, nullptr);
        const int t = asText.toInt();
        QCOMPARE(ints.fixes.size(), t == 0 ? 0 : 1);
        if (t != 0)
            QCOMPARE(ints.fixes.first().tstamp, t);
    }

    void raceList_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<Race>>("races");
        QTest::addColumn<int>("skipped");
        const Race live{0, 30, 300, QStringLiteral("Live"), 1699989200, 1700086400};
        const Race woche{0, 5, 1, QStringLiteral("Kieler Wöche"), 10, 20};
        QTest::newRow("no final break, CRLF, blank lines")
            << QByteArray("\r\n30|300|Live|1699989200|1700086400\r\n\r\n  \n10|88|A|1|2")
            << QList<Race>{live, {0, 10, 88, QStringLiteral("A"), 1, 2}} << 0;
        QTest::newRow("UTF-8 name") << QByteArray("\xEF\xBB\xBF"
                                                  "5|1|Kieler W\xC3\xB6"
                                                  "che|10|20\n")
                                    << QList<Race>{woche} << 0;
        QTest::newRow("Latin-1 name") << QByteArray("5|1|Kieler W\xF6"
                                                    "che|10|20\n")
                                      << QList<Race>{woche} << 0;
        const char *const bad[] = {
            "30|300|Live|1699989200",                     // four fields
            "30|300|Li|ve|1699989200|1700086400",         // "|" in the name
            "0|300|Live|1699989200|1700086400",           // event 0
            "30|300|   |1699989200|1700086400",           // blank name
            "30|300|Live|1699989200|1699989200",          // end at start
            "30|300|Live|1699989200|99999999999",         // after 2038
            "99999999999|300|Live|1699989200|1700086400", // event beyond int
        };
        for (const char *line : bad) {
            QTest::newRow(line) << (QByteArray(line) + "\n30|300|Live|1699989200|1700086400\n")
                                << QList<Race>{live} << 1;
        }
    }

    void raceList()
    {
        QFETCH(QByteArray, body);
        const Tracking::ParsedRaceList parsed = Tracking::parseRaceList(body);
        QTEST(parsed.races, "races");
        QTEST(parsed.skippedLines, "skipped");
    }
};

QTEST_MAIN(TestIngest)
#include "tst_ingest.moc"
