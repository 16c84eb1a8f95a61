#include "scene/coursetable.h"
#include "demoserver.h"
#include "map/geo.h"
#include "platform/platform.h"

#include <QAuthenticator>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>

namespace
{

struct Fetched {
    bool finished = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray body;
    QUrl url;
    QByteArray contentType;
    QByteArray wwwAuthenticate;
    qint64 announcedLength = -1;
};

// Per item of the feed: the enclosure's attributes and the texts of the
// item's elements, by qualified name.
using FeedItem = QHash<QString, QString>;

QList<FeedItem> parseFeed(const QByteArray &xml, QString *error)
{
    QList<FeedItem> items;
    QXmlStreamReader reader(xml);
    QString element;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            element = reader.qualifiedName().toString();
            if (element == QLatin1String("item"))
                items.append(FeedItem());
            if (element == QLatin1String("enclosure") && !items.isEmpty())
                for (const QXmlStreamAttribute &a : reader.attributes())
                    items.last().insert(a.qualifiedName().toString(), a.value().toString());
        } else if (reader.isCharacters() && !reader.isWhitespace() && !items.isEmpty()) {
            items.last()[element] += reader.text().toString().trimmed();
        }
    }
    if (error)
        *error = reader.hasError() ? reader.errorString() : QString();
    return items;
}

// Local flat projection around p; good to a few metres over a leg.
double distanceToSegmentKm(const GeoPoint &p, const GeoPoint &a, const GeoPoint &b)
{
    const double kx = 111.32 * std::cos(p.lat() / Geo::degPerRad);
    const double ky = 110.57;
    const double ax = (a.lng() - p.lng()) * kx, ay = (a.lat() - p.lat()) * ky;
    const double bx = (b.lng() - p.lng()) * kx, by = (b.lat() - p.lat()) * ky;
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? std::clamp(-(ax * dx + ay * dy) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(ax + t * dx, ay + t * dy);
}

QList<GeoPoint> gateCentres(int eventId, int taskId)
{
    QList<GeoPoint> centres;
    for (const CourseRow &row : CourseTable::rowsFor(eventId, taskId)) {
        const GeoPoint a(row.latA, row.lngA);
        GeoPoint b(row.latB, row.lngB);
        if (row.latB == 0.0 && row.lngB == 0.0)
            b = Geo::destinationPoint(a, row.lengthKm, row.bearingDeg);
        centres.append(row.midpointCentre ? Geo::midpointOf(a, b) : a);
    }
    return centres;
}

QList<QByteArray> lines(const QByteArray &body)
{
    QList<QByteArray> out;
    for (const QByteArray &line : body.split('\n')) {
        if (!line.isEmpty())
            out.append(line);
    }
    return out;
}

} // namespace

class TestDemoServer : public QObject
{
    Q_OBJECT

private:
    Fetched fetch(const QUrl &url, int transferTimeoutMs = 10000,
                  const QList<QPair<QByteArray, QByteArray>> &headers = {},
                  const QString &user = QString(), const QString &password = QString());
    Fetched get(const QString &pathAndQuery, int transferTimeoutMs = 10000,
                const QList<QPair<QByteArray, QByteArray>> &headers = {})
    {
        return fetch(QUrl(m_server->baseUrl() + pathAndQuery), transferTimeoutMs, headers);
    }
    QList<FeedItem> feed(QString *error = nullptr)
    {
        return parseFeed(get(QStringLiteral("/downloads/setup/velmaro.xml")).body, error);
    }

    std::unique_ptr<DemoServer> m_server;
    QNetworkAccessManager m_nam;

private slots:
    void init();
    void cleanup();

    void boatListHasTenFieldsAndUniqueIds();
    void statusAndEmptyBodies_data();
    void statusAndEmptyBodies();
    void positionsAreOrderedInsideSpanAndNearCourse_data();
    void positionsAreOrderedInsideSpanAndNearCourse();
    void positionsStartAtSince();
    void fleetsFollowSeedAndSize();
    void raceListNamesSeededAndLiveRaces();
    void liveRaceServesOnlyFixesUpToClock();
    void requestLogVersionAndProbe();

    void delayAndHang();
    void delayedReplyToVanishedClientIsDropped();
    void destroyingServerEndsHungAndDelayedReplies();
    void cutBodyIsShorterThanAnnounced();
    void malformedMixesGarbageLines_data();
    void malformedMixesGarbageLines();
    void redirectIsFollowed_data();
    void redirectIsFollowed();
    void endpointFaultAndClear();
    void feedBasicAuthentication();
    void parseFaultSpecs_data();
    void parseFaultSpecs();

    void tilesArePngOrNotFound_data();
    void tilesArePngOrNotFound();

    void feedOffersNothingNewerByDefault();
    void offeredVersionComesFirstWithMatchingInstaller();
    void installerScriptLeavesMarker();
    void staticFilesAreServedAndRemoved();

    void programPrintsAddressServesAndRejectsBadFault();
};

Fetched TestDemoServer::fetch(const QUrl &url, int transferTimeoutMs,
                              const QList<QPair<QByteArray, QByteArray>> &headers,
                              const QString &user, const QString &password)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(transferTimeoutMs);
    for (const auto &h : headers)
        request.setRawHeader(h.first, h.second);
    QNetworkReply *reply = m_nam.get(request);
    QMetaObject::Connection auth;
    if (!user.isEmpty()) {
        auth = connect(&m_nam, &QNetworkAccessManager::authenticationRequired, this,
                       [user, password](QNetworkReply *, QAuthenticator *a) {
                           a->setUser(user);
                           a->setPassword(password);
                       });
    }
    QSignalSpy spy(reply, &QNetworkReply::finished);
    Fetched f;
    f.finished = reply->isFinished() || spy.wait(transferTimeoutMs + 5000);
    disconnect(auth);
    f.error = reply->error();
    f.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    f.body = reply->readAll();
    f.url = reply->url();
    f.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    f.wwwAuthenticate = reply->rawHeader("WWW-Authenticate");
    if (reply->hasRawHeader("Content-Length"))
        f.announcedLength = reply->rawHeader("Content-Length").toLongLong();
    reply->abort();
    reply->deleteLater();
    return f;
}

void TestDemoServer::init()
{
    DemoServer::Options options;
    options.quiet = true;
    options.liveAnchor = 1800000000;
    m_server = std::make_unique<DemoServer>(options);
    QVERIFY(m_server->listen(0) != 0);
    m_nam.clearConnectionCache();
}

void TestDemoServer::cleanup()
{
    m_server.reset();
}

void TestDemoServer::boatListHasTenFieldsAndUniqueIds()
{
    QSet<int> ids;
    for (const DemoServer::Race &race : m_server->races()) {
        const Fetched f = get(QStringLiteral("/api/getBoats.php?rg=%1&wf=%2&csv=1")
                                  .arg(race.eventId)
                                  .arg(race.taskId));
        QCOMPARE(f.status, 200);
        const QStringList records =
            QString::fromUtf8(f.body).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(records.size() >= 20, qPrintable(race.name));
        QCOMPARE(records.size(), m_server->boats(race.eventId).size());
        QSet<QString> classes;
        bool umlaut = false;
        for (const QString &record : records) {
            const QStringList fields = record.split(QLatin1Char('|'), Qt::KeepEmptyParts);
            QCOMPARE(fields.size(), 10);
            const int id = fields[1].toInt();
            QVERIFY2(id > 0 && id != 38, "the viewer skips boat 38");
            QVERIFY2(!ids.contains(id), qPrintable(QStringLiteral("duplicate id %1").arg(id)));
            ids.insert(id);
            for (int i : {3, 4, 5, 6})
                QVERIFY(!fields[i].isEmpty());
            QCOMPARE(fields[8].toLongLong(), race.start);
            QCOMPARE(fields[9].toInt(), race.eventId);
            classes.insert(fields[0]);
            umlaut = umlaut || record.contains(QRegularExpression(QStringLiteral("[äöüÄÖÜß]")));
        }
        QVERIFY(classes.size() >= 3 && classes.size() <= 4);
        QVERIFY2(umlaut, "names with umlauts survive as UTF-8");
    }
}

void TestDemoServer::statusAndEmptyBodies_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status"); // an empty body with 200
    QTest::newRow("boats of unknown race") << "/api/getBoats.php?rg=99&wf=1&csv=1" << 200;
    QTest::newRow("boats with wrong task") << "/api/getBoats.php?rg=10&wf=120&csv=1" << 200;
    QTest::newRow("unknown boat")
        << "/api/getPosition.php?rg=10&wf=88&bo=99999&h=5&la=0&csv=1&lid=0" << 200;
    QTest::newRow("boat of another race")
        << "/api/getPosition.php?rg=10&wf=88&bo=2001&h=5&la=0&csv=1&lid=0" << 200;
    QTest::newRow("no query") << "/api/getPosition.php" << 200;
    QTest::newRow("after the race")
        << "/api/getPosition.php?rg=10&wf=88&bo=1001&la=1300000000" << 200;
    QTest::newRow("no such page") << "/nothing/here" << 404;
    QTest::newRow("error fault, default 500") << "/api/isup.html?fault=error" << 500;
    QTest::newRow("error fault 503")
        << "/api/getPosition.php?rg=10&wf=88&bo=1001&fault=error&faultValue=503" << 503;
    QTest::newRow("error fault 404 for a tile") << "/1/0/0.png?fault=error&faultValue=404" << 404;
}

void TestDemoServer::statusAndEmptyBodies()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    const Fetched f = get(path);
    QCOMPARE(f.status, status);
    QCOMPARE(f.error != QNetworkReply::NoError, status != 200);
    if (status == 200)
        QVERIFY(f.body.isEmpty());
}

void TestDemoServer::positionsAreOrderedInsideSpanAndNearCourse_data()
{
    QTest::addColumn<int>("raceIndex");
    QTest::addColumn<int>("minFixes");
    QTest::newRow("event 10") << 0 << 5000;
    QTest::newRow("event 21") << 1 << 10000;
}

void TestDemoServer::positionsAreOrderedInsideSpanAndNearCourse()
{
    QFETCH(int, raceIndex);
    QFETCH(int, minFixes);
    const DemoServer::Race race = m_server->races().at(raceIndex);
    const QList<GeoPoint> centres = gateCentres(race.eventId, race.taskId);
    QVERIFY(centres.size() >= 2);
    const QList<DemoServer::Boat> boats = m_server->boats(race.eventId);
    static const QRegularExpression sixDecimals(QStringLiteral("^-?\\d+\\.\\d{6}$"));

    // Over HTTP for a few boats, through the API for the whole fleet.
    for (int i = 0; i < boats.size(); ++i) {
        QList<DemoServer::Fix> fixes = m_server->fixes(race.eventId, boats[i].id);
        if (i < 3) {
            const Fetched f =
                get(QStringLiteral("/api/getPosition.php?rg=%1&wf=%2&bo=%3&h=5&la=%4&csv=1&lid=%4")
                        .arg(race.eventId)
                        .arg(race.taskId)
                        .arg(boats[i].id)
                        .arg(race.start));
            const QList<QByteArray> records = lines(f.body);
            QCOMPARE(records.size(), fixes.size());
            for (int k = 0; k < records.size(); ++k) {
                const QList<QByteArray> fields = records[k].split(';');
                QCOMPARE(fields.size(), 5);
                for (int c : {0, 1})
                    QVERIFY2(sixDecimals.match(QString::fromLatin1(fields[c])).hasMatch(),
                             records[k]);
                QCOMPARE(fields[2].toLongLong(), fixes[k].tstamp);
                QVERIFY(std::abs(fields[0].toDouble() - fixes[k].lat) < 5.1e-7);
            }
        }
        QVERIFY2(fixes.size() >= minFixes, qPrintable(QString::number(fixes.size())));
        qint64 previous = 0;
        for (const DemoServer::Fix &fix : fixes) {
            QVERIFY(fix.tstamp >= race.start && fix.tstamp <= race.end);
            if (previous > 0)
                QVERIFY(fix.tstamp - previous >= 30 && fix.tstamp - previous <= 60);
            previous = fix.tstamp;
            QVERIFY(fix.heading >= 0 && fix.heading < 360);
            QVERIFY(fix.speed >= 0 && fix.speed < 40);
            double nearest = 1e9;
            for (int g = 1; g < centres.size(); ++g)
                nearest = std::min(nearest, distanceToSegmentKm(GeoPoint(fix.lat, fix.lng),
                                                                centres[g - 1], centres[g]));
            if (nearest > 2.0)
                QFAIL(qPrintable(QStringLiteral("fix %1 of boat %2 is %3 km off the course")
                                     .arg(fix.tstamp)
                                     .arg(boats[i].id)
                                     .arg(nearest)));
        }
    }
}

void TestDemoServer::positionsStartAtSince()
{
    const int boat = m_server->boats(10).at(4).id;
    const QList<DemoServer::Fix> all = m_server->fixes(10, boat);
    const qint64 since = all.at(all.size() / 2).tstamp;
    const QList<QByteArray> records =
        lines(get(QStringLiteral("/api/getPosition.php?rg=10&wf=88&bo=%1&h=5&la=%2&csv=1&lid=%2")
                      .arg(boat)
                      .arg(since))
                  .body);
    QCOMPARE(records.size(), all.size() - all.size() / 2); // the fix at `since` is included
    QCOMPARE(records.first().split(';').at(2).toLongLong(), since);
}

void TestDemoServer::fleetsFollowSeedAndSize()
{
    DemoServer::Options options;
    options.quiet = true;
    options.seed = 7;
    options.liveAnchor = 1800000000;
    DemoServer a(options), b(options);
    options.seed = 8;
    DemoServer c(options);
    const int boat = a.boats(21).at(3).id;
    QCOMPARE(a.boats(21).at(3).name, b.boats(21).at(3).name);
    const QList<DemoServer::Fix> fa = a.fixes(21, boat);
    const QList<DemoServer::Fix> fb = b.fixes(21, boat);
    QCOMPARE(fa.size(), fb.size());
    for (int i = 0; i < fa.size(); i += 97) {
        QCOMPARE(fa[i].tstamp, fb[i].tstamp);
        QCOMPARE(GeoPoint(fa[i].lat, fa[i].lng), GeoPoint(fb[i].lat, fb[i].lng));
    }
    const QList<DemoServer::Fix> fc = c.fixes(21, c.boats(21).at(3).id);
    bool differs = fc.size() != fa.size();
    for (int i = 0; !differs && i < fa.size(); ++i)
        differs = fa[i].lat != fc[i].lat || fa[i].tstamp != fc[i].tstamp;
    QVERIFY2(differs, "another seed gives other tracks");

    options.boatsPerRace = 5;
    DemoServer small(options);
    QSet<int> ids;
    for (const DemoServer::Race &race : small.races()) {
        QCOMPARE(small.boats(race.eventId).size(), 5);
        for (const DemoServer::Boat &boat : small.boats(race.eventId))
            ids.insert(boat.id);
    }
    QCOMPARE(ids.size(), 15);
}

void TestDemoServer::raceListNamesSeededAndLiveRaces()
{
    const Fetched f = get(QStringLiteral("/api/getRaces.php?csv=1"));
    QCOMPARE(f.status, 200);
    const QList<QByteArray> records = lines(f.body);
    QCOMPARE(records.size(), 3);
    QCOMPARE(records[0], QByteArray("10|88|Dorur Izadidiva Dazidevire 2010|1270458000|1270764000"));
    QCOMPARE(records[1],
             QByteArray("21|120|Vudav Avazavava Zerevudeva 2011|1302905280|1303509600"));
    const QList<QByteArray> live = records[2].split('|');
    QCOMPARE(live.size(), 5);
    QCOMPARE(live[0].toInt(), DemoServer::liveEventId);
    QCOMPARE(live[1].toInt(), DemoServer::liveTaskId);
    QCOMPARE(live[3].toLongLong(), 1800000000 - 3 * 3600);
    QCOMPARE(live[4].toLongLong(), 1800000000 + 24 * 3600);
    QCOMPARE(CourseTable::rowsFor(DemoServer::liveEventId, DemoServer::liveTaskId).size(), 11);
}

void TestDemoServer::liveRaceServesOnlyFixesUpToClock()
{
    qint64 now = 1800000000;
    m_server->setClock([&now] { return now; });
    const int boat = m_server->boats(DemoServer::liveEventId).at(0).id;
    const QString path =
        QStringLiteral("/api/getPosition.php?rg=30&wf=300&bo=%1&h=5&la=%2&csv=1&lid=%2")
            .arg(boat)
            .arg(1800000000 - 3 * 3600);
    const auto tstamp = [](const QByteArray &line) { return line.split(';').at(2).toLongLong(); };

    const QList<QByteArray> first = lines(get(path).body);
    QVERIFY(first.size() > 100);
    QVERIFY(tstamp(first.last()) <= now && tstamp(first.last()) > now - 61);

    now += 600;
    const QList<QByteArray> second = lines(get(path).body);
    QVERIFY(second.size() >= first.size() + 10);
    QCOMPARE(second.mid(0, first.size()), first);
    QVERIFY(tstamp(second.last()) <= now);
    QVERIFY(m_server->fixes(DemoServer::liveEventId, boat).size() > second.size());
}

void TestDemoServer::requestLogVersionAndProbe()
{
    get(QStringLiteral("/api/getBoats.php?rg=10&wf=88&csv=1"), 10000,
        {{"User-Agent", "2.7.2"}, {"Track-Type", "getnewboats"}});
    QCOMPARE(get(QStringLiteral("/api/isup.html")).status, 200);
    QCOMPARE(m_server->requestCount(QStringLiteral("getBoats")), 1);
    QCOMPARE(m_server->requestCount(QStringLiteral("isup")), 1);
    const QList<DemoServer::Request> log = m_server->requestLog();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[0].endpoint, QStringLiteral("getBoats"));
    QCOMPARE(log[0].path, QStringLiteral("/api/getBoats.php"));
    QCOMPARE(log[0].query, QStringLiteral("rg=10&wf=88&csv=1"));
    QCOMPARE(log[0].userAgent, QByteArray("2.7.2"));
    QCOMPARE(log[0].trackType, QByteArray("getnewboats"));
    QVERIFY(log[1].trackType.isEmpty());
    m_server->clearRequestLog();
    QCOMPARE(m_server->requestCount(QStringLiteral("isup")), 0);

    QCOMPARE(get(QStringLiteral("/api/version.html")).body, QByteArray("2.7.2"));
    m_server->setVersionText(QStringLiteral("2.8.0"));
    QCOMPARE(get(QStringLiteral("/api/version.html")).body, QByteArray("2.8.0"));
    QVERIFY(get(QStringLiteral("/downloads/")).contentType.startsWith("text/html"));
}

void TestDemoServer::delayAndHang()
{
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(get(QStringLiteral("/api/isup.html?fault=delay&faultValue=300")).status, 200);
    QVERIFY(timer.elapsed() >= 300);

    const Fetched f = get(QStringLiteral("/api/getBoats.php?rg=10&wf=88&csv=1&fault=hang"), 400);
    QVERIFY(f.finished);
    QCOMPARE(f.error, QNetworkReply::OperationCanceledError); // the transfer timeout
    QCOMPARE(f.status, 0);
    // The server keeps serving other connections.
    QCOMPARE(get(QStringLiteral("/api/isup.html")).status, 200);
}

void TestDemoServer::delayedReplyToVanishedClientIsDropped()
{
    QNetworkRequest request(
        QUrl(m_server->baseUrl() + QStringLiteral("/api/isup.html?fault=delay&faultValue=150")));
    QNetworkReply *reply = m_nam.get(request);
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(QStringLiteral("isup")), 1, 5000);
    reply->abort();
    reply->deleteLater();
    m_nam.clearConnectionCache();
    QSignalSpy served(m_server.get(), &DemoServer::requestServed);
    QVERIFY(!served.wait(400)); // the answer had nowhere to go
    QCOMPARE(get(QStringLiteral("/api/isup.html")).status, 200);
}

void TestDemoServer::destroyingServerEndsHungAndDelayedReplies()
{
    QList<QNetworkReply *> replies;
    for (const char *path :
         {"/api/isup.html?fault=hang", "/api/version.html?fault=delay&faultValue=60000"}) {
        QNetworkRequest request(QUrl(m_server->baseUrl() + QLatin1String(path)));
        request.setTransferTimeout(20000);
        replies << m_nam.get(request);
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requestLog().size(), 2, 5000);
    QSignalSpy aDone(replies[0], &QNetworkReply::finished);
    QSignalSpy bDone(replies[1], &QNetworkReply::finished);
    m_server.reset();
    QTRY_VERIFY_WITH_TIMEOUT(aDone.count() == 1 && bDone.count() == 1, 5000);
    for (QNetworkReply *reply : replies) {
        QVERIFY(reply->error() != QNetworkReply::NoError);
        reply->deleteLater();
    }
}

void TestDemoServer::cutBodyIsShorterThanAnnounced()
{
    const Fetched whole = get(QStringLiteral("/api/getPosition.php?rg=10&wf=88&bo=1001&la=0"));
    const Fetched cut =
        get(QStringLiteral("/api/getPosition.php?rg=10&wf=88&bo=1001&la=0&fault=cut"));
    QVERIFY(cut.finished);
    QVERIFY(cut.error != QNetworkReply::NoError);
    QVERIFY(cut.body.size() < whole.body.size());
    QVERIFY(whole.body.startsWith(cut.body));
    QVERIFY2(!cut.body.endsWith('\n'), "the body ends inside a record");
}

void TestDemoServer::malformedMixesGarbageLines_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<char>("separator");
    QTest::addColumn<int>("fields");
    QTest::newRow("positions") << "/api/getPosition.php?rg=10&wf=88&bo=1001&la=0&fault=malformed"
                               << ';' << 5;
    QTest::newRow("boats") << "/api/getBoats.php?rg=21&wf=120&fault=malformed" << '|' << 10;
    QTest::newRow("races") << "/api/getRaces.php?csv=1&fault=malformed" << '|' << 5;
    QTest::newRow("feed is broken XML")
        << "/downloads/setup/velmaro.xml?fault=malformed" << '<' << 0;
}

void TestDemoServer::malformedMixesGarbageLines()
{
    QFETCH(QString, path);
    QFETCH(char, separator);
    QFETCH(int, fields);
    const Fetched f = get(path);
    QCOMPARE(f.status, 200);
    if (fields == 0) {
        QXmlStreamReader reader(f.body);
        while (!reader.atEnd())
            reader.readNext();
        QVERIFY(reader.hasError());
        QVERIFY(reader.error() != QXmlStreamReader::PrematureEndOfDocumentError);
        return;
    }
    int good = 0, bad = 0;
    for (const QByteArray &line : lines(f.body))
        (line.split(separator).size() == fields ? good : bad) += 1;
    QVERIFY(good >= 3);
    QVERIFY(bad >= 2);
}

void TestDemoServer::redirectIsFollowed_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("finalPath");
    QTest::newRow("feed") << "/downloads/setup/velmaro.xml?fault=redirect"
                          << "/downloads/setup/velmaro-moved.xml";
    QTest::newRow("positions") << "/api/getPosition.php?rg=10&wf=88&bo=1002&la=0&fault=redirect"
                               << "/api/getPosition.php";
}

void TestDemoServer::redirectIsFollowed()
{
    QFETCH(QString, path);
    QFETCH(QString, finalPath);
    const Fetched f = get(path);
    QCOMPARE(f.status, 200);
    QCOMPARE(f.url.path(), finalPath);
    QVERIFY(f.url != QUrl(m_server->baseUrl() + path));
    QString unfaulted = path;
    unfaulted.remove(QStringLiteral("?fault=redirect")).remove(QStringLiteral("&fault=redirect"));
    QCOMPARE(f.body, get(unfaulted).body);
}

void TestDemoServer::endpointFaultAndClear()
{
    m_server->setFault(QStringLiteral("version"), DemoServer::Fault::HttpError, 502);
    m_server->setFault(QStringLiteral("feed"), DemoServer::Fault::Redirect);
    QCOMPARE(get(QStringLiteral("/api/version.html")).status, 502);
    QCOMPARE(get(QStringLiteral("/api/isup.html")).status, 200);
    const Fetched moved = get(QStringLiteral("/downloads/setup/velmaro.xml"));
    QCOMPARE(moved.status, 200); // the moved feed is not redirected again
    QCOMPARE(moved.url.path(), QStringLiteral("/downloads/setup/velmaro-moved.xml"));
    m_server->clearFaults();
    QCOMPARE(get(QStringLiteral("/api/version.html")).status, 200);
}

void TestDemoServer::feedBasicAuthentication()
{
    const QUrl url(m_server->baseUrl() + QStringLiteral("/downloads/setup/velmaro.xml"));
    const QString user = QStringLiteral("segler");
    m_server->setFeedCredentials(user, QStringLiteral("Bö 7"));
    const Fetched missing = fetch(url);
    QCOMPARE(missing.status, 401);
    QVERIFY(missing.wwwAuthenticate.startsWith("Basic realm="));
    QCOMPARE(fetch(url, 10000, {}, user, QStringLiteral("falsch")).status, 401);
    m_nam.clearAccessCache();
    const Fetched right = fetch(url, 10000, {}, user, QStringLiteral("Bö 7"));
    QCOMPARE(right.status, 200);
    QVERIFY(right.body.contains("<rss"));
    // Only the feed is protected.
    QCOMPARE(get(QStringLiteral("/api/isup.html")).status, 200);
    m_server->setFeedCredentials(QString(), QString());
    m_nam.clearAccessCache();
    QCOMPARE(fetch(url).status, 200);
}

void TestDemoServer::parseFaultSpecs_data()
{
    QTest::addColumn<QString>("spec");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("value");
    QTest::newRow("delay with value") << "getPosition=delay:1500" << true << "getPosition"
                                      << int(DemoServer::Fault::Delay) << 1500;
    QTest::newRow("hang") << "feed=hang" << true << "feed" << int(DemoServer::Fault::Hang) << 0;
    QTest::newRow("error") << "isup=error:503" << true << "isup"
                           << int(DemoServer::Fault::HttpError) << 503;
    QTest::newRow("cut") << "installer=cut" << true << "installer"
                         << int(DemoServer::Fault::CutBody) << 0;
    QTest::newRow("malformed") << "getBoats=malformed" << true << "getBoats"
                               << int(DemoServer::Fault::Malformed) << 0;
    QTest::newRow("redirect") << "feed=redirect" << true << "feed"
                              << int(DemoServer::Fault::Redirect) << 0;
    QTest::newRow("unknown kind") << "feed=explode" << false << "" << 0 << 0;
    QTest::newRow("no endpoint") << "=delay" << false << "" << 0 << 0;
    QTest::newRow("bad value") << "feed=delay:soon" << false << "" << 0 << 0;
    QTest::newRow("empty") << "" << false << "" << 0 << 0;
}

void TestDemoServer::parseFaultSpecs()
{
    QFETCH(QString, spec);
    QFETCH(bool, ok);
    QString endpoint;
    DemoServer::Fault fault = DemoServer::Fault::None;
    int value = -1;
    QCOMPARE(DemoServer::parseFault(spec, &endpoint, &fault, &value), ok);
    if (ok) {
        QTEST(endpoint, "endpoint");
        QTEST(int(fault), "fault");
        QTEST(value, "value");
    }
}

void TestDemoServer::tilesArePngOrNotFound_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("exists");
    QTest::newRow("world") << "/0/0/0.png" << true;
    QTest::newRow("Adriatic") << "/10/555/372.png" << true;
    QTest::newRow("last tile of zoom 19") << "/19/524287/524287.png" << true;
    QTest::newRow("column past the edge") << "/3/8/0.png" << false;
    QTest::newRow("row past the edge") << "/3/0/8.png" << false;
    QTest::newRow("zoom too deep") << "/20/0/0.png" << false;
    QTest::newRow("not a number") << "/a/b/c.png" << false;
}

void TestDemoServer::tilesArePngOrNotFound()
{
    QFETCH(QString, path);
    QFETCH(bool, exists);
    const Fetched f = get(path);
    QCOMPARE(f.status, exists ? 200 : 404);
    if (!exists)
        return;
    QCOMPARE(f.contentType, QByteArray("image/png"));
    QImage image;
    QVERIFY(image.loadFromData(f.body, "PNG"));
    QCOMPARE(image.size(), QSize(256, 256));
    QCOMPARE(get(path).body, f.body); // served again from the cache, same bytes
}

void TestDemoServer::feedOffersNothingNewerByDefault()
{
    QString error;
    const QList<FeedItem> items = feed(&error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(items.size() >= 2);
    bool ownPlatform = false, otherPlatform = false;
    for (const FeedItem &item : items) {
        const bool own =
            item.value(QStringLiteral("velmaro:platform")) == Platform::feedPlatformId();
        (own ? ownPlatform : otherPlatform) = true;
        if (own)
            QCOMPARE(item.value(QStringLiteral("update:version")), QStringLiteral("2.7.2"));
    }
    QVERIFY(ownPlatform && otherPlatform);
}

void TestDemoServer::offeredVersionComesFirstWithMatchingInstaller()
{
    m_server->setOfferedVersion(QStringLiteral("2.8.0"));
    const QByteArray feedBefore = get(QStringLiteral("/downloads/setup/velmaro.xml")).body;
    QString error;
    const QList<FeedItem> items = parseFeed(feedBefore, &error);
    QVERIFY2(error.isEmpty() && !items.isEmpty(), qPrintable(error));
    const FeedItem &first = items.first();
    const QString notesLink = first.value(QStringLiteral("update:releaseNotesLink"));
    const QUrl url(first.value(QStringLiteral("url")));
    const qint64 length = first.value(QStringLiteral("length")).toLongLong();
    QCOMPARE(first.value(QStringLiteral("velmaro:platform")), Platform::feedPlatformId());
    QCOMPARE(first.value(QStringLiteral("update:version")), QStringLiteral("2.8.0"));
    QCOMPARE(first.value(QStringLiteral("velmaro:programType")), QStringLiteral("FULL"));
    QVERIFY(notesLink.startsWith(m_server->baseUrl()));
    QVERIFY(url.toString().startsWith(m_server->baseUrl()));

    const Fetched notes = fetch(QUrl(notesLink));
    QVERIFY(notes.contentType.startsWith("text/html"));
    QVERIFY(notes.body.contains("2.8.0"));

    const Fetched installer = fetch(url);
    QCOMPARE(installer.status, 200);
    QCOMPARE(installer.contentType, QByteArray("application/octet-stream"));
    QCOMPARE(installer.announcedLength, length);
    QCOMPARE(qint64(installer.body.size()), length);
    QCOMPARE(QString::fromLatin1(
                 QCryptographicHash::hash(installer.body, QCryptographicHash::Sha256).toHex()),
             first.value(QStringLiteral("sha256")));
    QVERIFY(installer.body.startsWith("#!/bin/sh\n"));

    // A tampered installer: the feed keeps announcing the original length and hash.
    m_server->setInstallerTamper("#!/bin/sh\nexit 3\n");
    QCOMPARE(get(QStringLiteral("/downloads/setup/velmaro.xml")).body, feedBefore);
    QCOMPARE(fetch(url).body, QByteArray("#!/bin/sh\nexit 3\n"));
    m_server->setInstallerTamper(QByteArray());
    QCOMPARE(fetch(url).body, installer.body);
}

void TestDemoServer::installerScriptLeavesMarker()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("velmaro-setup-2.8.0.sh"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(DemoServer::installerBytes(QStringLiteral("2.8.0")));
    file.close();
    // With VELMARO_INSTALLER_MARKER it leaves the marker there, else in $TMPDIR.
    for (const QString &marker : {dir.filePath(QStringLiteral("marker")),
                                  dir.filePath(QStringLiteral("velmaro-installer-ran"))}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), dir.path());
        if (marker.endsWith(QLatin1String("/marker")))
            env.insert(QStringLiteral("VELMARO_INSTALLER_MARKER"), marker);
        else
            env.remove(QStringLiteral("VELMARO_INSTALLER_MARKER"));
        QProcess sh;
        sh.setProcessEnvironment(env);
        sh.start(QStringLiteral("/bin/sh"), {script});
        QVERIFY(sh.waitForFinished(10000));
        QCOMPARE(sh.exitCode(), 0);
        QVERIFY2(QFile::exists(marker), qPrintable(marker));
    }
}

void TestDemoServer::staticFilesAreServedAndRemoved()
{
    const QString path = QStringLiteral("/downloads/setup/other.xml");
    m_server->setStaticFile(path, "<rss/>", "application/xml");
    const Fetched f = get(path);
    QCOMPARE(f.body, QByteArray("<rss/>"));
    QCOMPARE(f.contentType, QByteArray("application/xml"));
    QCOMPARE(m_server->requestCount(QStringLiteral("static")), 1);
    m_server->setStaticFile(path, QByteArray());
    QCOMPARE(get(path).status, 404);
}

void TestDemoServer::programPrintsAddressServesAndRejectsBadFault()
{
    const QString program =
        qEnvironmentVariable("VELMARO_BINARY_DIR") + QStringLiteral("/bin/velmaro-demo-server");
    QVERIFY2(QFile::exists(program), qPrintable(program));
    QProcess process;
    process.start(program,
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--quiet"),
                   QStringLiteral("--version-text"), QStringLiteral("9.9.9"),
                   QStringLiteral("--fault"), QStringLiteral("isup=error:503")});
    QVERIFY(process.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine(), 10000);
    const QString first = QString::fromLatin1(process.readLine()).trimmed();
    QVERIFY2(QRegularExpression(QStringLiteral("^http://127\\.0\\.0\\.1:(\\d+)$"))
                 .match(first)
                 .hasMatch(),
             qPrintable(first));
    QCOMPARE(fetch(QUrl(first + QStringLiteral("/api/version.html"))).body, QByteArray("9.9.9"));
    QCOMPARE(fetch(QUrl(first + QStringLiteral("/api/isup.html"))).status, 503);
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QVERIFY(!process.readAllStandardError().contains("GET ")); // --quiet

    process.start(program, {QStringLiteral("--port"), QStringLiteral("0"),
                            QStringLiteral("--fault"), QStringLiteral("feed=explode")});
    QVERIFY(process.waitForFinished(10000));
    QVERIFY(process.exitCode() != 0);
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

QTEST_MAIN(TestDemoServer)
#include "tst_demoserver.moc"
