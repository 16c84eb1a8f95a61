#include "demoserver.h"
#include "fleet.h"
#include "scene/course.h"
#include "scene/gateitem.h"
#include "scene/leaderboard.h"
#include "scene/manoeuvres.h"
#include "scene/track.h"

#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

static const QString track = QStringLiteral("/api/getPosition.php?rg=10&wf=88&bo=1001&la=0");
static const QString boats = QStringLiteral("/api/getBoats.php?rg=10&wf=88");

// The demo service's fault modes and the determinism of its fleets: the
// network tests of the program lean on both.
class TestDemoServer : public QObject
{
    Q_OBJECT

    std::unique_ptr<DemoServer> m_server;
    QNetworkAccessManager m_nam;

    QNetworkReply *start(const QString &pathAndQuery, int timeoutMs = 10000)
    {
        QNetworkRequest request(QUrl(m_server->baseUrl() + pathAndQuery));
        request.setTransferTimeout(timeoutMs);
        return m_nam.get(request);
    }
    // Status (minus the transfer error when it failed), body and final URL.
    std::tuple<int, QByteArray, QUrl> get(const QString &pathAndQuery, int timeoutMs = 10000)
    {
        QNetworkReply *reply = start(pathAndQuery, timeoutMs);
        QSignalSpy spy(reply, &QNetworkReply::finished);
        if (!reply->isFinished())
            spy.wait(timeoutMs + 5000);
        reply->deleteLater();
        const QVariant http = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const int status = http.isValid() ? http.toInt() : -int(reply->error());
        return {status, reply->readAll(), reply->url()};
    }
    QByteArray body(const QString &pathAndQuery) { return std::get<1>(get(pathAndQuery)); }

private slots:
    void init()
    {
        DemoServer::Options options;
        options.quiet = true;
        m_server = std::make_unique<DemoServer>(options);
        QVERIFY(m_server->listen(0) != 0);
        m_nam.clearConnectionCache();
    }

    // Status of a faulted request (hangs and delays are met by the client tests).
    void status_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::newRow("error 500") << "/api/isup.html?fault=error" << 500;
        QTest::newRow("404 tile") << "/1/0/0.png?fault=error&faultValue=404" << 404;
        QTest::newRow("cut") << track + "&fault=cut" << 200;
        QTest::newRow("redirect") << track + "&fault=redirect" << 200;
        QTest::newRow("refused kind") << boats + "&fault=nonfinite" << 400;
        QTest::newRow("unknown kind") << "/1/0/0.png?fault=explode" << 400;
    }
    void status()
    {
        QFETCH(QString, path);
        const auto [status, got, url] = get(path, 400);
        QTEST(status, "status");
        if (path.contains("cut")) {
            const QByteArray whole = body(track);
            QVERIFY(got.size() < whole.size() && whole.startsWith(got) && !got.endsWith('\n'));
        }
        if (path.contains("redirect")) // to the same path, with the fault dropped
            QVERIFY(url.path() == "/api/getPosition.php" && got == body(track));
        QCOMPARE(body("/api/isup.html"), QByteArray("up\n")); // the service goes on
    }

    // A delayed reply to a client gone meanwhile is dropped; destroying the
    // service ends hung and delayed replies.
    void vanishedClientsAndDestroyedServer()
    {
        QNetworkReply *gone = start("/api/isup.html?fault=delay&faultValue=150");
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount("isup"), 1, 5000);
        gone->abort();
        gone->deleteLater();
        m_nam.clearConnectionCache();
        QSignalSpy served(m_server.get(), &DemoServer::requestServed);
        QVERIFY(!served.wait(400));
        QCOMPARE(body("/api/isup.html"), QByteArray("up\n"));
        m_server->clearRequestLog();
        QList<QNetworkReply *> replies{
            start("/api/isup.html?fault=hang", 20000),
            start("/api/version.html?fault=delay&faultValue=60000", 20000)};
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestLog().size(), 2, 5000);
        m_server.reset();
        QTRY_VERIFY_WITH_TIMEOUT(replies[0]->isFinished() && replies[1]->isFinished(), 5000);
        QVERIFY(replies[0]->error() && replies[1]->error());
        qDeleteAll(replies);
    }

    void malformedMixesGarbageLines_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<char>("separator");
        QTest::addColumn<int>("fields"); // 0: broken XML
        QTest::newRow("positions") << track + "&fault=malformed" << ';' << 5;
        QTest::newRow("boats") << "/api/getBoats.php?rg=21&wf=120&fault=malformed" << '|' << 10;
        QTest::newRow("races") << "/api/getRaces.php?csv=1&fault=malformed" << '|' << 5;
        QTest::newRow("feed") << "/downloads/setup/velmaro.xml?fault=malformed" << '<' << 0;
    }
    void malformedMixesGarbageLines()
    {
        QFETCH(QString, path);
        QFETCH(char, separator);
        QFETCH(int, fields);
        const QByteArray got = body(path);
        if (fields == 0) {
            QXmlStreamReader reader(got);
            while (!reader.atEnd())
                reader.readNext();
            QVERIFY(reader.hasError() &&
                    reader.error() != QXmlStreamReader::PrematureEndOfDocumentError);
            return;
        }
        QVERIFY2(QString::fromUtf8(got).toUtf8() == got, "garbage stays valid UTF-8");
        int good = 0, bad = 0;
        for (const QByteArray &line : got.split('\n'))
            if (!line.isEmpty())
                (line.split(separator).size() == fields ? good : bad) += 1;
        QVERIFY(good >= 3 && bad >= 2);
    }

    // A fault set for an endpoint: the moved feed is not redirected again.
    void endpointFaults()
    {
        m_server->setFault("feed", DemoServer::Fault::Redirect);
        m_server->setFault("version", DemoServer::Fault::HttpError, 502);
        QCOMPARE(std::get<2>(get("/downloads/setup/velmaro.xml")).path(),
                 QStringLiteral("/downloads/setup/velmaro-moved.xml"));
        QCOMPARE(std::get<0>(get("/api/version.html")), 502);
        m_server->clearFaults();
        QCOMPARE(std::get<0>(get("/api/version.html")), 200);
    }

    // Broken values in otherwise well-formed CSV, the same every time.
    void hostileCsv_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("fields"); // texts that must occur as a line's field
        QTest::addColumn<int>("extraLines");
        QTest::newRow("nonfinite")
            << track + "&fault=nonfinite" << QStringList{"nan", "inf", "-inf"} << 0;
        QTest::newRow("outofrange")
            << track + "&fault=outofrange"
            << QStringList{"91.000000", "-91.000000", "181.000000", "1e308"} << 0;
        QTest::newRow("farfuture") << track + "&fault=farfuture" << QStringList() << 1;
        QTest::newRow("outoforder") << track + "&fault=outoforder" << QStringList() << 0;
        QTest::newRow("bigid") << boats + "&fault=bigid" << QStringList{"4294967297"} << 1;
    }
    void hostileCsv()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, fields);
        const QList<QByteArray> normal = body(path.section('&', 0, -2)).trimmed().split('\n');
        const QByteArray got = body(path);
        QCOMPARE(body(path), got);
        const QList<QByteArray> lines = got.trimmed().split('\n');
        QTEST(int(lines.size() - normal.size()), "extraLines");
        const char separator = path.contains("Boats") ? '|' : ';';
        QSet<QString> seen;
        QList<qint64> times;
        for (const QByteArray &line : lines) {
            const QList<QByteArray> f = line.split(separator);
            QCOMPARE(f.size(), separator == '|' ? 10 : 5);
            for (const QByteArray &field : f)
                seen << QString::fromUtf8(field);
            times << f[2].toLongLong();
        }
        for (const QString &field : fields)
            QVERIFY2(seen.contains(field), qPrintable(field));
        if (path.endsWith("farfuture"))
            QCOMPARE(times.last(), m_server->races().first().end + DemoServer::farFutureSeconds);
        if (path.endsWith("outoforder"))
            QVERIFY(times.last() < *std::min_element(times.cbegin(), times.cend() - 1));
    }

    void markupAndBigTiles()
    {
        // Markup as it is once a race and in the notes; escaped in the feed titles.
        const char *markup = DemoServer::htmlMarkup;
        QCOMPARE(body("/api/getRaces.php?csv=1&fault=html").count(markup), 5);
        QCOMPARE(body("/downloads/setup/releasenotes-2.7.2.html?fault=html").count(markup), 1);
        QXmlStreamReader xml(body("/downloads/setup/velmaro.xml?fault=html"));
        int titles = 0;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"title")
                titles += xml.readElementText().endsWith(markup);
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(titles, 2); // the items, not the channel
        for (const auto &[value, px] :
             {std::pair{"", DemoServer::bigTileDefault}, std::pair{"&faultValue=300", 300},
              std::pair{"&faultValue=90000", DemoServer::bigTileMax}}) {
            QByteArray png = body(QStringLiteral("/3/4/2.png?fault=bigtile") + value);
            QBuffer buffer(&png);
            QCOMPARE(QImageReader(&buffer, "png").size(), QSize(px, px));
        }
    }

    void streams_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("enough"); // bytes to read before hanging up
        QTest::newRow("endless positions") << track + "&fault=endless" << 512 * 1024;
        QTest::newRow("endless tile") << "/1/0/0.png?fault=endless" << 256 * 1024;
        QTest::newRow("drip positions") << track + "&fault=drip&faultValue=25" << 4;
    }
    void streams()
    {
        QFETCH(QString, path);
        QFETCH(int, enough);
        QElapsedTimer clock;
        clock.start();
        QNetworkReply *reply = start(path, 60000);
        QByteArray got;
        connect(reply, &QIODevice::readyRead, this, [&] { got += reply->readAll(); });
        QTRY_VERIFY_WITH_TIMEOUT(got.size() >= enough, 20000);
        QVERIFY(!reply->isFinished());
        const QByteArray normal = body(path.section("fault", 0, 0).chopped(1));
        QVERIFY(got.startsWith(normal.left(got.size()))); // answered meanwhile
        if (path.contains("drip"))
            QVERIFY(clock.elapsed() >= 25 * (enough - 1));
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        QCOMPARE(body("/api/isup.html?fault=drip&faultValue=10"),
                 QByteArray("up\n")); // a drip ends
    }

    void faultTexts_data()
    {
        QTest::addColumn<QString>("faultText");
        QTest::addColumn<QString>("endpoint"); // empty: refused
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("value");
        using F = DemoServer::Fault;
        const auto row = [](const char *text, const char *endpoint = "", F fault = F(0),
                            int value = 0) {
            QTest::newRow(*text ? text : "empty") << text << endpoint << int(fault) << value;
        };
        row("getPosition=delay:1500", "getPosition", F::Delay, 1500);
        row("feed=hang", "feed", F::Hang);
        row("isup=error:503", "isup", F::HttpError, 503);
        row("tiles=bigtile:6000", "tiles", F::BigTile, 6000);
        for (const char *refused :
             {"feed=explode", "=delay", "feed=delay:soon", "", "getBoats=nonfinite", "isup=html"})
            row(refused);
    }
    void faultTexts()
    {
        QFETCH(QString, faultText);
        QFETCH(QString, endpoint);
        QString gotEndpoint, error;
        DemoServer::Fault fault = DemoServer::Fault::None;
        int value = -1;
        QCOMPARE(DemoServer::parseFault(faultText, &gotEndpoint, &fault, &value, &error),
                 !endpoint.isEmpty());
        QCOMPARE(error.isEmpty(), !endpoint.isEmpty());
        if (!endpoint.isEmpty()) {
            QCOMPARE(gotEndpoint, endpoint);
            QTEST(int(fault), "fault");
            QTEST(value, "value");
        } else if (faultText.contains("on")) {
            // The service's own command line refuses it likewise.
            QProcess program;
            program.start(qEnvironmentVariable("VELMARO_BINARY_DIR") + "/bin/velmaro-demo-server",
                          {"--port", "0", "--fault", faultText});
            QVERIFY(program.waitForFinished(10000));
            QVERIFY(program.exitCode() != 0);
            QVERIFY(program.readAllStandardError().contains(faultText.section('=', 1).toLatin1()));
        }
    }

    void fleetsFollowSeedAndSize()
    {
        DemoServer::Options options;
        options.quiet = true;
        options.seed = 7;
        options.liveAnchor = 1800000000;
        DemoServer a(options), b(options);
        options.seed = 8;
        DemoServer c(options);
        const auto fixesOf = [](const DemoServer &server) {
            QList<std::tuple<qint64, double, double>> points;
            for (const DemoServer::Fix &f : server.fixes(21, server.boats(21).at(3).id))
                points.append({f.tstamp, f.lat, f.lng});
            return points;
        };
        QCOMPARE(a.boats(21).at(3).name, b.boats(21).at(3).name);
        QCOMPARE(fixesOf(a), fixesOf(b));
        QVERIFY2(fixesOf(a) != fixesOf(c), "another seed gives other tracks");
        options.boatsPerRace = 5;
        DemoServer small(options);
        for (const DemoServer::Race &race : small.races())
            QCOMPARE(small.boats(race.eventId).size(), 5);
    }

    // The big race: 250 boats in five classes at 1 Hz for 90 minutes, the same
    // for a seed, and a live twin that holds back what is still to come; the
    // viewer's analysis finds the tacks of the first beat, tells the rounding
    // from them, and finds the wind the service sailed them in.
    void bigRace()
    {
        const QList<QByteArray> fleet =
            body("/api/getBoats.php?rg=40&wf=400").trimmed().split('\n');
        QSet<QByteArray> classes;
        for (const QByteArray &line : fleet)
            classes << line.split('|').first();
        QVERIFY(body("/api/getRaces.php?csv=1").contains("\n40|400|Velmaro Großfeld 2026|"));
        QVERIFY(fleet.size() == 250 && classes.size() == 5);
        const qint64 liveStart = m_server->races().at(4).start;
        m_server->setClock([=] { return liveStart + 99; });
        QCOMPARE(body("/api/getPosition.php?rg=41&wf=410&bo=5001&la=0").count('\n'), 100);
        DemoServer::Options options;
        options.quiet = true;
        DemoServer a(options), b(options);
        const DemoServer::Race race = a.races().at(3);
        const DemoFleet::Waypoint mark = DemoFleet::courseWaypoints(40, 400).at(1);
        QVector<QVector<Sailing::Turn>> turns;
        std::vector<std::unique_ptr<Track>> tracks;
        QList<LeaderboardBoat> ranked;
        for (int i = 0; i < 250; i += 23) {
            const DemoServer::Boat &boat = a.boats(40).at(i);
            const QList<DemoServer::Fix> fixes = a.fixes(40, boat.id);
            tracks.push_back(std::make_unique<Track>());
            for (const DemoServer::Fix &f : fixes)
                tracks.back()->addPoint(f.lat, f.lng, int(f.tstamp), f.heading);
            ranked.append({boat.id, boat.klasse, boat.startnr, boat.name, tracks.back().get(), true,
                           GeoPoint(fixes.last().lat, fixes.last().lng), 0.0});
            const QList<DemoServer::Fix> again = b.fixes(40, b.boats(40).at(i).id);
            QVERIFY(std::equal(fixes.begin(), fixes.end(), again.begin(), again.end(),
                               [](const auto &x, const auto &y) {
                                   return x.tstamp == y.tstamp && x.lat == y.lat && x.lng == y.lng;
                               }));
            QVERIFY(fixes.size() == 5400 && fixes.first().tstamp == race.start);
            QVERIFY(
                std::adjacent_find(fixes.begin(), fixes.end(), [](const auto &x, const auto &y) {
                    return y.tstamp - x.tstamp != 1;
                }) == fixes.end());
            // The first beat ends where the boat comes closest to the windward mark.
            std::vector<TrackPoint> points;
            double nearest = 1e9;
            int rounding = 0;
            for (const DemoServer::Fix &f : fixes) {
                const double d = Geo::distanceKm({f.lat, f.lng}, {mark.lat, mark.lng});
                if (f.tstamp < race.start + 1200 && d < nearest)
                    nearest = d, rounding = int(f.tstamp);
                points.emplace_back(f.lat, f.lng, int(f.tstamp), f.heading);
            }
            Track beat;
            for (const TrackPoint &p : points)
                if (p.tstamp <= rounding + 40)
                    beat.addPoint(p.position.lat(), p.position.lng(), p.tstamp, p.heading);
            const QVector<Sailing::Motion> motion = Sailing::smoothedMotion(beat);
            turns.append(Sailing::findTurns(motion));
            const auto found = Sailing::detectManoeuvres(
                motion, DemoFleet::windFrom(options.seed, race, (race.start + rounding) / 2));
            QVERIFY(nearest < 0.06 && !found.isEmpty() && turns.last().size() > found.size());
            for (const Sailing::Manoeuvre &m : found)
                QVERIFY(m.kind == Sailing::ManoeuvreKind::Tack && m.t < rounding - 15);
        }
        // The viewer ranks along the course: every boat finishes, and the
        // order within a class changes between the first beat and the finish.
        const QList<GateItem *> gates = buildCourse(40, 400);
        Leaderboard board;
        board.setCourse(Leaderboard::gatesOf(gates));
        QList<int> early, last;
        QList<LeaderboardBoat> then = ranked;
        for (int k = 0; k < then.size(); ++k)
            then[k].position = tracks[k]->pointAt(600)->position;
        for (const LeaderboardRow &row : board.update(then, int(race.start) + 600))
            early << row.id;
        for (const LeaderboardRow &row : board.update(ranked, int(race.end)))
            last << (row.finished ? row.id : 0);
        qDeleteAll(gates);
        QVERIFY(gates.size() == 7 && !last.contains(0) && last != early);
        for (const qint64 t : {race.start + 300, race.start + 500}) {
            const Sailing::WindEstimate wind = Sailing::estimateWind(turns, int(t), 300);
            const double used = DemoFleet::windFrom(options.seed, race, t);
            QVERIFY2(wind.boats >= 5 && std::abs(Sailing::angleDiff(wind.from, used)) < 10.0,
                     qPrintable(QStringLiteral("%1 / %2").arg(wind.from).arg(used)));
        }
    }
};

QTEST_MAIN(TestDemoServer)
#include "tst_demoserver.moc"
