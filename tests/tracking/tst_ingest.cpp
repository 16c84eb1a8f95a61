// CSV ingest of boat lists and positions, request building and the version
// notice, without a server.
#include "ingest.h"
#include "trackingrequest.h"
#include "versionnotice.h"

#include "identity.h"
#include "messagerecorder.h"
#include "seams.h"
#include "testdatabase.h"
#include "trackingschema.h"

#include <QDesktopServices>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>

using namespace Tracking;

namespace {

QByteArray boatLine(int id, int event, const QByteArray &name = QByteArray(),
                    const QByteArray &klasse = "Laser", int tsmin = 1000)
{
    const QByteArray n = name.isEmpty() ? "Boat" + QByteArray::number(id) : name;
    return klasse + "|" + QByteArray::number(id) + "|x|" + QByteArray::number(100 + id) + "|" + n
        + "|Team" + QByteArray::number(id) + "|Skipper" + QByteArray::number(id) + "|y|"
        + QByteArray::number(tsmin) + "|" + QByteArray::number(event) + "\n";
}

QByteArray fixLine(int t, double lat = 54.3, double lng = 10.1)
{
    return QByteArray::number(lat, 'f', 6) + ";" + QByteArray::number(lng, 'f', 6) + ";"
        + QByteArray::number(t) + ";90.5;7.2\n";
}

QList<int> storedTimes(int shipId)
{
    QList<int> times;
    QSqlQuery q;
    q.prepare(QStringLiteral("SELECT tstamp FROM track WHERE ship_id=:id ORDER BY id"));
    q.bindValue(QStringLiteral(":id"), shipId);
    q.exec();
    while (q.next())
        times.append(q.value(0).toInt());
    return times;
}

QList<int> fixTimes(const QVector<Fix> &fixes)
{
    QList<int> times;
    for (const Fix &f : fixes)
        times.append(f.tstamp);
    return times;
}

// Collects what a function writes to a FILE.
class CapturedStream
{
public:
    CapturedStream() : m_file(std::tmpfile()) {}
    ~CapturedStream() { std::fclose(m_file); }
    std::FILE *file() const { return m_file; }
    QByteArray text() const
    {
        std::fflush(m_file);
        std::rewind(m_file);
        QByteArray all;
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, m_file)) > 0)
            all.append(buf, qsizetype(n));
        return all;
    }

private:
    std::FILE *m_file;
};

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void openUrl(const QUrl &url) { urls.append(url); }
};

} // namespace

class TestIngest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void requestUrls_data();
    void requestUrls();
    void requestHeadersAndTags_data();
    void requestHeadersAndTags();
    void plainRequests();

    void decodeUtf8AndLatin1();

    void boatListStoresNewBoats();
    void boatListColoursWrapAfterFifteen();
    void boatListRefetchClearsFixesAndResetsLastget();
    void boatListSkipsMalformedLines();
    void boatListReadsLatin1Names();
    void boatListKeepsOtherBoatsWhenOneIdBelongsToAnotherRace();

    void positions_data();
    void positions();
    void numbersReadAsQStringReadsThem_data();
    void numbersReadAsQStringReadsThem();
    void positionsDiagnosticNamesTheIndex();
    void positionsEmptyReplyKeepsLastget();
    void failedInsertRollsBackWholeReply();
    void garbageBodyGivesDiagnosticsOnly();
    void hugeNonsenseBodyFinishes();

    void storedAutoloadPreference_data();
    void storedAutoloadPreference();

    void versionNoticeNoDoesNothing();
    void versionNoticeYesOpensDownloadPageAndExits();
    void versionNoticeBrowserFailureShowsCriticalBox();

private:
    TestDatabase *m_db = nullptr;
};

void TestIngest::init()
{
    m_db = new TestDatabase;
    QVERIFY(m_db->isOpen());
    QVERIFY(m_db->exec(trackingSchema()));
}

void TestIngest::cleanup()
{
    delete m_db;
    m_db = nullptr;
}

void TestIngest::requestUrls_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("expected");
    const QString base = QStringLiteral("http://127.0.0.1:8787");
    QTest::newRow("positions boat 7 of event 21")
        << positionsUrl(base, 21, 120, 7, 1302905280)
        << base + "/api/getPosition.php?rg=21&wf=120&bo=7&h=5&la=1302905280&csv=1&lid=1302905280";
    QTest::newRow("positions since 0")
        << positionsUrl(base, 10, 88, 1234, 0)
        << base + "/api/getPosition.php?rg=10&wf=88&bo=1234&h=5&la=0&csv=1&lid=0";
    QTest::newRow("boat list") << boatListUrl(base, 21, 120)
                               << base + "/api/getBoats.php?rg=21&wf=120&csv=1";
    QTest::newRow("probe") << probeUrl(base) << base + "/api/isup.html";
    QTest::newRow("version") << versionUrl(base) << base + "/api/version.html";
}

void TestIngest::requestUrls()
{
    QFETCH(QString, url);
    QFETCH(QString, expected);
    QCOMPARE(url, expected);
}

void TestIngest::requestHeadersAndTags_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("trackType");
    QTest::newRow("1") << 1 << QByteArray("getoldpos");
    QTest::newRow("2") << 2 << QByteArray("getnewboats");
    QTest::newRow("3") << 3 << QByteArray("getnewpos");
    QTest::newRow("0 sends nothing") << 0 << QByteArray();
    QTest::newRow("4 sends nothing") << 4 << QByteArray();
}

void TestIngest::requestHeadersAndTags()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, trackType);
    const RequestTag tag{4, 21, 120, 77};
    const QNetworkRequest request =
        makeTrackingRequest(QStringLiteral("http://127.0.0.1:1/api/getPosition.php"), kind, tag,
                            1234);
    if (trackType.isEmpty()) {
        QVERIFY(request.url().isEmpty());
        return;
    }
    QCOMPARE(request.rawHeader("User-Agent"), QByteArray("2.7.2"));
    QCOMPARE(request.rawHeader("Track-Type"), trackType);
    QCOMPARE(request.attribute(QNetworkRequest::User).toInt(), 4);
    QCOMPARE(request.transferTimeout(), 1234);
    const RequestTag back = tagOf(request);
    QCOMPARE(back.index, 4);
    QCOMPARE(back.eventId, 21);
    QCOMPARE(back.taskId, 120);
    QCOMPARE(back.boatId, 77);
}

void TestIngest::plainRequests()
{
    const QNetworkRequest request =
        makePlainRequest(QStringLiteral("http://127.0.0.1:1/api/isup.html"), 999);
    QCOMPARE(request.rawHeader("User-Agent"), QByteArray("2.7.2"));
    QVERIFY(!request.hasRawHeader("Track-Type"));
    QCOMPARE(request.attribute(QNetworkRequest::User).toInt(), 100);
    QCOMPARE(request.transferTimeout(), 999);
}

void TestIngest::decodeUtf8AndLatin1()
{
    QCOMPARE(decodeReplyBody("K\xC3\xB6nig"), QStringLiteral("König"));
    QCOMPARE(decodeReplyBody("K\xF6nig"), QStringLiteral("König"));
    QCOMPARE(decodeReplyBody("\xEF\xBB\xBF" "abc"), QStringLiteral("abc"));
    QCOMPARE(decodeReplyBody(QByteArray()), QString());
}

void TestIngest::boatListStoresNewBoats()
{
    const QByteArray body = boatLine(5, 21, "Alpha", "Laser", 1302905000)
        + boatLine(6, 21, "Beta", "Finn", 1302905100);
    const BoatListResult result = ingestBoatList(body, 21);
    QVERIFY(result.committed);
    QCOMPARE(result.records, 2);
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("SELECT id, regatta_id, name, skipper, team, klasse, startnr, "
                                  "farbe, lastget, show, follow, typeof(show) FROM ship "
                                  "ORDER BY id")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 5);
    QCOMPARE(q.value(1).toInt(), 21);
    QCOMPARE(q.value(2).toString(), QStringLiteral("Alpha"));
    QCOMPARE(q.value(3).toString(), QStringLiteral("Skipper5"));
    QCOMPARE(q.value(4).toString(), QStringLiteral("Team5"));
    QCOMPARE(q.value(5).toString(), QStringLiteral("Laser"));
    QCOMPARE(q.value(6).toString(), QStringLiteral("105"));
    QCOMPARE(q.value(7).toString(), QStringLiteral("#ff008a"));
    QCOMPARE(q.value(8).toInt(), 1302905000);
    QCOMPARE(q.value(9).toString(), QStringLiteral("true"));
    QCOMPARE(q.value(10).toString(), QStringLiteral("false"));
    QCOMPARE(q.value(11).toString(), QStringLiteral("text"));
    QVERIFY(q.next());
    QCOMPARE(q.value(7).toString(), QStringLiteral("#00ffcc"));
    QCOMPARE(q.value(8).toInt(), 1302905100);
    QVERIFY(!q.next());
}

void TestIngest::boatListColoursWrapAfterFifteen()
{
    QByteArray body;
    for (int i = 1; i <= 16; ++i)
        body += boatLine(i, 21);
    QVERIFY(ingestBoatList(body, 21).committed);
    const QStringList expected = {"#ff008a", "#00ffcc", "#9000ff", "#ffffff", "#00ff00",
                                  "#ffff00", "#0000ff", "#ff0000", "#e19a00", "#7fe100",
                                  "#000000", "#4c4c4c", "#cccccc", "#ff7800", "#b10034",
                                  "#ff008a"};
    QSqlQuery q(QStringLiteral("SELECT farbe FROM ship ORDER BY id"));
    QStringList colours;
    while (q.next())
        colours.append(q.value(0).toString());
    QCOMPARE(colours, expected);
}

void TestIngest::boatListRefetchClearsFixesAndResetsLastget()
{
    QVERIFY(ingestBoatList(boatLine(5, 21) + boatLine(6, 21), 21).committed);
    PositionsTarget target{0, 5, 21, false, 0};
    QVERIFY(ingestPositions(fixLine(2000) + fixLine(2030), target, nullptr).committed);
    QVERIFY(ingestPositions(fixLine(2000), PositionsTarget{1, 6, 21, false, 0}, nullptr)
                .committed);
    QVERIFY(m_db->exec({QStringLiteral("INSERT INTO track (ship_id, regatta_id, lat, lng, tstamp) "
                                       "VALUES (99, 10, 1, 1, 5)")}));
    QCOMPARE(m_db->scalar("SELECT lastget FROM ship WHERE id=5").toInt(), 2030);

    // Second list, order swapped: colours follow the new order.
    const BoatListResult again = ingestBoatList(boatLine(6, 21, "Beta2") + boatLine(5, 21), 21);
    QVERIFY(again.committed);
    QCOMPARE(m_db->count("track", "regatta_id=21"), 0);
    QCOMPARE(m_db->count("track", "ship_id=99"), 1);
    QCOMPARE(m_db->scalar("SELECT lastget FROM ship WHERE id=5").toInt(), 0);
    QCOMPARE(m_db->scalar("SELECT lastget FROM ship WHERE id=6").toInt(), 0);
    QCOMPARE(m_db->scalar("SELECT name FROM ship WHERE id=6").toString(), QStringLiteral("Beta2"));
    QCOMPARE(m_db->scalar("SELECT farbe FROM ship WHERE id=6").toString(),
             QStringLiteral("#ff008a"));
    QCOMPARE(m_db->scalar("SELECT farbe FROM ship WHERE id=5").toString(),
             QStringLiteral("#00ffcc"));
    QCOMPARE(m_db->count("ship"), 2);
}

void TestIngest::boatListSkipsMalformedLines()
{
    const QByteArray body = "Laser|1|x|2|Short|T|S|y|1000\n" // 9 fields
                            "\n"
                            "Laser|2|x|2|Long|T|S|y|1000|21|extra\n" // 11 fields
        + boatLine(3, 21) + "garbage\r\n" + boatLine(4, 21).trimmed(); // no final line break
    const BoatListResult result = ingestBoatList(body, 21);
    QVERIFY(result.committed);
    QCOMPARE(result.records, 2);
    QCOMPARE(m_db->count("ship"), 2);
    // Colours count only the records taken.
    QCOMPARE(m_db->scalar("SELECT farbe FROM ship WHERE id=4").toString(),
             QStringLiteral("#00ffcc"));
    QCOMPARE(m_db->scalar("SELECT regatta_id FROM ship WHERE id=4").toInt(), 21);
}

void TestIngest::boatListReadsLatin1Names()
{
    QVERIFY(ingestBoatList(boatLine(5, 21, "M\xF6we \xDF"), 21).committed);
    QCOMPARE(m_db->scalar("SELECT name FROM ship WHERE id=5").toString(),
             QStringLiteral("Möwe ß"));
    QVERIFY(ingestBoatList(boatLine(6, 21, "M\xC3\xB6we"), 21).committed);
    QCOMPARE(m_db->scalar("SELECT name FROM ship WHERE id=6").toString(), QStringLiteral("Möwe"));
}

void TestIngest::boatListKeepsOtherBoatsWhenOneIdBelongsToAnotherRace()
{
    QVERIFY(ingestBoatList(boatLine(5, 10), 10).committed);
    const BoatListResult result = ingestBoatList(boatLine(5, 21) + boatLine(6, 21), 21);
    QVERIFY(result.committed);
    QCOMPARE(result.failedRecords, 1);
    QCOMPARE(m_db->scalar("SELECT regatta_id FROM ship WHERE id=5").toInt(), 10);
    QCOMPARE(m_db->count("ship", "regatta_id=21"), 1);
}

void TestIngest::positions_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("hasFixes");
    QTest::addColumn<int>("newestFix");
    QTest::addColumn<QList<int>>("stored");
    QTest::addColumn<int>("malformed");
    QTest::addColumn<int>("lastget");

    QTest::newRow("plain") << fixLine(100) + fixLine(130) + fixLine(160) << false << 0
                           << QList<int>{100, 130, 160} << 0 << 160;
    QTest::newRow("adjacent repeats stored once")
        << fixLine(100) + fixLine(100) + fixLine(130) + fixLine(130) + fixLine(130) << false << 0
        << QList<int>{100, 130} << 0 << 130;
    QTest::newRow("non-adjacent repeat stored again")
        << fixLine(100) + fixLine(130) + fixLine(100) << false << 0
        << QList<int>{100, 130, 100} << 0 << 100;
    QTest::newRow("first line at time 0 skipped")
        << QByteArray("1;2;0;3;4\n") + fixLine(100) << false << 0 << QList<int>{100} << 0 << 100;
    QTest::newRow("time stamp not a number") << QByteArray("1;2;abc;3;4\n") << false << 0
                                             << QList<int>{} << 0 << 0;
    QTest::newRow("crlf line ends") << QByteArray("1;2;100;3;4\r\n1;2;130;3;4\r\n") << false << 0
                                    << QList<int>{100, 130} << 0 << 130;
    QTest::newRow("no final line break") << fixLine(100) + QByteArray("1;2;130;3;4") << false
                                         << 0 << QList<int>{100, 130} << 0 << 130;
    QTest::newRow("4 and 6 fields and empty line")
        << fixLine(100) + "1;2;110;3\n\n1;2;120;3;4;5\n" + fixLine(130) << false << 0
        << QList<int>{100, 130} << 3 << 130;
    QTest::newRow("server repeats the fix at la")
        << fixLine(160) + fixLine(190) << true << 160 << QList<int>{190} << 0 << 190;
    QTest::newRow("fixes older than those held skipped")
        << fixLine(100) + fixLine(130) + fixLine(170) + fixLine(200) << true << 160
        << QList<int>{170, 200} << 0 << 200;
    QTest::newRow("nothing newer than held") << fixLine(100) + fixLine(160) << true << 160
                                             << QList<int>{} << 0 << 0;
    QTest::newRow("negative time stamp kept without fixes")
        << fixLine(-5) << false << 0 << QList<int>{-5} << 0 << 0;
}

void TestIngest::positions()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, hasFixes);
    QFETCH(int, newestFix);
    QFETCH(QList<int>, stored);
    QFETCH(int, malformed);
    QFETCH(int, lastget);

    QVERIFY(ingestBoatList(boatLine(5, 21, {}, "Laser", 77), 21).committed);
    const PositionsResult result =
        ingestPositions(body, PositionsTarget{2, 5, 21, hasFixes, newestFix}, nullptr);
    QVERIFY(result.committed);
    QCOMPARE(storedTimes(5), stored);
    QCOMPARE(fixTimes(result.fixes), stored);
    QCOMPARE(result.malformedLines, malformed);
    QCOMPARE(result.lastgetChanged, lastget != 0);
    if (lastget != 0)
        QCOMPARE(result.lastget, lastget);
    QCOMPARE(m_db->scalar("SELECT lastget FROM ship WHERE id=5").toInt(),
             lastget != 0 ? lastget : 77);
    QCOMPARE(m_db->count("track", "regatta_id=21 AND ship_id=5"), stored.size());
}

void TestIngest::numbersReadAsQStringReadsThem_data()
{
    QTest::addColumn<QByteArray>("field");
    for (const char *text : {"54.123456", "-0.5", "12", "007", " 12", "12 ", "+5", "1e3", "1.",
                             ".5", "-", "", "nan", "inf", "-inf", "0x10", "1,5", "12abc",
                             "1302905280", "2147483647", "2147483648", "-2147483648",
                             "-2147483649", "99999999999999999999", "1.7976931348623157e308",
                             "1e400", "0.1000000000000000055511151231257827", "Ã©",
                             "é"})
        QTest::newRow(text) << QByteArray(text);
}

// The fast number path must read every field exactly as QString does.
void TestIngest::numbersReadAsQStringReadsThem()
{
    QFETCH(QByteArray, field);
    QVERIFY(ingestBoatList(boatLine(5, 21), 21).committed);
    const QString asText = decodeReplyBody(field);
    const PositionsTarget target{0, 5, 21, false, 0};

    const PositionsResult doubles = ingestPositions(
        field + ";" + field + ";100;" + field + ";" + field + "\n", target, nullptr);
    QVERIFY(doubles.committed);
    QCOMPARE(doubles.fixes.size(), 1);
    const Fix &fix = doubles.fixes.first();
    const double d = asText.toDouble();
    QCOMPARE(qIsNaN(fix.lat), qIsNaN(d));
    if (!qIsNaN(d)) {
        QCOMPARE(fix.lat, d);
        QCOMPARE(fix.lng, d);
        QCOMPARE(fix.heading, d);
        QCOMPARE(fix.extra, d);
    }

    const PositionsResult ints = ingestPositions("0;0;" + field + ";0;0\n", target, nullptr);
    QVERIFY(ints.committed);
    const int t = asText.toInt();
    QCOMPARE(ints.fixes.size(), t == 0 ? 0 : 1);
    if (t != 0)
        QCOMPARE(ints.fixes.first().tstamp, t);
}

void TestIngest::positionsDiagnosticNamesTheIndex()
{
    QVERIFY(ingestBoatList(boatLine(5, 21), 21).committed);
    CapturedStream out;
    const QByteArray body = fixLine(100) + "54.1;10.2;130;45\n" + fixLine(160);
    const PositionsResult result = ingestPositions(body, PositionsTarget{3, 5, 21, false, 0},
                                                   out.file());
    QVERIFY(result.committed);
    QCOMPARE(out.text(), QByteArray(" shipidx (httpFinished) = 3, ungleich 5...\n"));
    QCOMPARE(storedTimes(5), (QList<int>{100, 160}));
    const Fix &first = result.fixes.first();
    QCOMPARE(first.lat, 54.3);
    QCOMPARE(first.lng, 10.1);
    QCOMPARE(first.heading, 90.5);
    QCOMPARE(first.extra, 7.2);
    QSqlQuery q(QStringLiteral("SELECT lat, lng, regatta_id FROM track ORDER BY id"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toDouble(), 54.3);
    QCOMPARE(q.value(1).toDouble(), 10.1);
    QCOMPARE(q.value(2).toInt(), 21);
}

void TestIngest::positionsEmptyReplyKeepsLastget()
{
    QVERIFY(ingestBoatList(boatLine(5, 21, {}, "Laser", 555), 21).committed);
    CapturedStream out;
    const PositionsResult result =
        ingestPositions(QByteArray(), PositionsTarget{0, 5, 21, false, 0}, out.file());
    QVERIFY(result.committed);
    QVERIFY(!result.lastgetChanged);
    QVERIFY(result.fixes.isEmpty());
    QVERIFY(out.text().isEmpty());
    QCOMPARE(m_db->scalar("SELECT lastget FROM ship WHERE id=5").toInt(), 555);
}

void TestIngest::failedInsertRollsBackWholeReply()
{
    QVERIFY(ingestBoatList(boatLine(5, 21, {}, "Laser", 50), 21).committed);
    QVERIFY(m_db->exec({QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON track WHEN "
                                       "NEW.tstamp = 160 BEGIN SELECT RAISE(ABORT, 'refused'); "
                                       "END")}));
    const QByteArray body = fixLine(100) + fixLine(130) + fixLine(160) + fixLine(190);
    const PositionsTarget target{0, 5, 21, false, 0};
    const PositionsResult failed = ingestPositions(body, target, nullptr);
    QVERIFY(!failed.committed);
    QVERIFY(failed.fixes.isEmpty());
    QVERIFY(!failed.error.isEmpty());
    QCOMPARE(m_db->count("track"), 0);
    QCOMPARE(m_db->scalar("SELECT lastget FROM ship WHERE id=5").toInt(), 50);

    // The connection is usable again and the same reply now goes through.
    QVERIFY(m_db->exec({QStringLiteral("DROP TRIGGER refuse")}));
    const PositionsResult retried = ingestPositions(body, target, nullptr);
    QVERIFY(retried.committed);
    QCOMPARE(storedTimes(5), (QList<int>{100, 130, 160, 190}));
    QCOMPARE(m_db->scalar("SELECT lastget FROM ship WHERE id=5").toInt(), 190);
}

void TestIngest::garbageBodyGivesDiagnosticsOnly()
{
    QVERIFY(ingestBoatList(boatLine(5, 21), 21).committed);
    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(7);
    for (char &c : garbage)
        c = char(rng.bounded(256));
    const int lines = int(garbage.count('\n')) + (garbage.endsWith('\n') ? 0 : 1);
    CapturedStream out;
    const PositionsResult result =
        ingestPositions(garbage, PositionsTarget{1, 5, 21, false, 0}, out.file());
    QVERIFY(result.committed);
    // Every line that is not five fields gives one diagnostic line.
    QCOMPARE(out.text().count(" shipidx (httpFinished) = 1, ungleich 5...\n"),
             result.malformedLines);
    QCOMPARE(result.malformedLines + result.skippedLines + result.fixes.size(), lines);
    QVERIFY(result.malformedLines > lines / 2);
    QCOMPARE(m_db->count("track"), result.fixes.size());

    const BoatListResult boats = ingestBoatList(garbage, 21);
    QVERIFY(boats.committed);
}

void TestIngest::hugeNonsenseBodyFinishes()
{
    QVERIFY(ingestBoatList(boatLine(5, 21), 21).committed);
    QByteArray body;
    body.reserve(50 * 1024 * 1024 + 64);
    const QByteArray a = "nonsense;line\n";
    const QByteArray b = "x;y;z;w;v\n"; // five fields, time stamp 0
    const QByteArray c = "\xff\xfe;\x01\x02;;;\n";
    while (body.size() < 50 * 1024 * 1024) {
        body += a;
        body += b;
        body += c;
    }
    const int rounds = int(body.size() / (a.size() + b.size() + c.size()));
    const PositionsResult result =
        ingestPositions(body, PositionsTarget{0, 5, 21, false, 0}, nullptr);
    QVERIFY(result.committed);
    QCOMPARE(result.malformedLines, rounds);
    QCOMPARE(m_db->count("track"), 0);
}

void TestIngest::storedAutoloadPreference_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("expected");
    QTest::newRow("1") << "update prefs set autoload=1" << true;
    QTest::newRow("0") << "update prefs set autoload=0" << false;
    QTest::newRow("2 is off") << "update prefs set autoload=2" << false;
    QTest::newRow("no row") << "delete from prefs" << false;
    QTest::newRow("no table") << "drop table prefs" << false;
}

void TestIngest::storedAutoloadPreference()
{
    QFETCH(QString, setup);
    QFETCH(bool, expected);
    QVERIFY(m_db->exec({setup}));
    QCOMPARE(Tracking::storedAutoloadPreference(), expected);
}

void TestIngest::versionNoticeNoDoesNothing()
{
    MessageRecorder boxes;
    boxes.queueAnswer(QMessageBox::No);
    UrlRecorder urls;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &urls, "openUrl");
    QList<int> exits;
    Seams::setExitHandler([&](int status) { exits.append(status); });
    showNewVersionNotice(QStringLiteral("http://127.0.0.1:9"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    Seams::setExitHandler({});

    QCOMPARE(boxes.count(), 1);
    const Seams::MessageBoxRequest &box = boxes.boxes().first();
    QCOMPARE(box.text,
             QStringLiteral("Eine neue Programmversion steht am Server zum Download bereit! "));
    QCOMPARE(box.informativeText,
             QStringLiteral("Möchten Sie diese nun herunterladen und installieren? "));
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.defaultButton, QMessageBox::Yes);
    QCOMPARE(box.buttonTexts.size(), 2);
    QCOMPARE(box.buttonTexts.at(0).first, QMessageBox::Yes);
    QCOMPARE(box.buttonTexts.at(0).second, QStringLiteral("Ja"));
    QCOMPARE(box.buttonTexts.at(1).first, QMessageBox::No);
    QCOMPARE(box.buttonTexts.at(1).second, QStringLiteral("Nein"));
    QVERIFY(urls.urls.isEmpty());
    QVERIFY(exits.isEmpty());
}

void TestIngest::versionNoticeYesOpensDownloadPageAndExits()
{
    MessageRecorder boxes;
    boxes.queueAnswer(QMessageBox::Yes);
    UrlRecorder urls;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &urls, "openUrl");
    QList<int> exits;
    Seams::setExitHandler([&](int status) { exits.append(status); });
    showNewVersionNotice(QStringLiteral("http://127.0.0.1:9"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    Seams::setExitHandler({});

    QCOMPARE(boxes.count(), 1);
    QCOMPARE(urls.urls, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:9/downloads/"))});
    QCOMPARE(exits, QList<int>{0});
}

void TestIngest::versionNoticeBrowserFailureShowsCriticalBox()
{
    MessageRecorder boxes;
    boxes.queueAnswer(QMessageBox::Yes);
    QList<int> exits;
    Seams::setExitHandler([&](int status) { exits.append(status); });
    // An address no browser can open: QDesktopServices refuses it at once.
    const QString bad = QStringLiteral("http://[::1");
    QVERIFY(!QUrl(bad + "/downloads/").isValid());
    showNewVersionNotice(bad);
    Seams::setExitHandler({});

    QVERIFY(exits.isEmpty());
    QCOMPARE(boxes.count(), 2);
    const Seams::MessageBoxRequest &box = boxes.boxes().at(1);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.title, QStringLiteral("Velmaro Info"));
    QCOMPARE(box.text, QStringLiteral("Beim Versuch das Update herunterzuladen gab es einen "
                                      "Fehler.\nProbieren Sie es bitte später noch einmal."));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
}

QTEST_MAIN(TestIngest)
#include "tst_ingest.moc"
