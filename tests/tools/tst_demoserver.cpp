#include "demoserver.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QXmlStreamReader>
#include <QtTest>

// The demo service's fault modes and the determinism of its fleets: the
// network tests of the program lean on both.
class TestDemoServer : public QObject
{
    Q_OBJECT

    struct Fetched {
        bool finished = false;
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        int status = 0;
        QByteArray body;
        QUrl url;
    };

    Fetched get(const QString &pathAndQuery, int transferTimeoutMs = 10000)
    {
        QNetworkRequest request(QUrl(m_server->baseUrl() + pathAndQuery));
        request.setTransferTimeout(transferTimeoutMs);
        QNetworkReply *reply = m_nam.get(request);
        QSignalSpy spy(reply, &QNetworkReply::finished);
        Fetched f;
        f.finished = reply->isFinished() || spy.wait(transferTimeoutMs + 5000);
        f.error = reply->error();
        f.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        f.body = reply->readAll();
        f.url = reply->url();
        reply->abort();
        reply->deleteLater();
        return f;
    }

    std::unique_ptr<DemoServer> m_server;
    QNetworkAccessManager m_nam;

private slots:
    void init()
    {
        DemoServer::Options options;
        options.quiet = true;
        options.liveAnchor = 1800000000;
        m_server = std::make_unique<DemoServer>(options);
        QVERIFY(m_server->listen(0) != 0);
        m_nam.clearConnectionCache();
    }
    void cleanup() { m_server.reset(); }

    void errorStatus_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::newRow("default 500") << "/api/isup.html?fault=error" << 500;
        QTest::newRow("503")
            << "/api/getPosition.php?rg=10&wf=88&bo=1001&fault=error&faultValue=503" << 503;
        QTest::newRow("404 for a tile") << "/1/0/0.png?fault=error&faultValue=404" << 404;
    }
    void errorStatus()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QCOMPARE(get(path).status, status);
    }

    void delayAndHang()
    {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(get(QStringLiteral("/api/isup.html?fault=delay&faultValue=300")).status, 200);
        QVERIFY(timer.elapsed() >= 300);
        const Fetched f =
            get(QStringLiteral("/api/getBoats.php?rg=10&wf=88&csv=1&fault=hang"), 400);
        QVERIFY(f.finished);
        QCOMPARE(f.error, QNetworkReply::OperationCanceledError);
        QCOMPARE(get(QStringLiteral("/api/isup.html")).status, 200);
    }

    void delayedReplyToVanishedClientIsDropped()
    {
        QNetworkReply *reply = m_nam.get(QNetworkRequest(QUrl(
            m_server->baseUrl() + QStringLiteral("/api/isup.html?fault=delay&faultValue=150"))));
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(QStringLiteral("isup")), 1, 5000);
        reply->abort();
        reply->deleteLater();
        m_nam.clearConnectionCache();
        QSignalSpy served(m_server.get(), &DemoServer::requestServed);
        QVERIFY(!served.wait(400));
        QCOMPARE(get(QStringLiteral("/api/isup.html")).status, 200);
    }

    void destroyingServerEndsHungAndDelayedReplies()
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

    void cutBodyIsShorterThanAnnounced()
    {
        const QString path = QStringLiteral("/api/getPosition.php?rg=10&wf=88&bo=1001&la=0");
        const Fetched whole = get(path);
        const Fetched cut = get(path + QStringLiteral("&fault=cut"));
        QVERIFY(cut.finished);
        QVERIFY(cut.error != QNetworkReply::NoError);
        QVERIFY(cut.body.size() < whole.body.size());
        QVERIFY(whole.body.startsWith(cut.body));
        QVERIFY(!cut.body.endsWith('\n'));
    }

    void malformedMixesGarbageLines_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<char>("separator");
        QTest::addColumn<int>("fields"); // 0: broken XML
        QTest::newRow("positions")
            << "/api/getPosition.php?rg=10&wf=88&bo=1001&la=0&fault=malformed" << ';' << 5;
        QTest::newRow("boats") << "/api/getBoats.php?rg=21&wf=120&fault=malformed" << '|' << 10;
        QTest::newRow("races") << "/api/getRaces.php?csv=1&fault=malformed" << '|' << 5;
        QTest::newRow("feed") << "/downloads/setup/velmaro.xml?fault=malformed" << '<' << 0;
    }
    void malformedMixesGarbageLines()
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
        QVERIFY2(QString::fromUtf8(f.body).toUtf8() == f.body, "garbage stays valid UTF-8");
        int good = 0, bad = 0;
        for (const QByteArray &line : f.body.split('\n'))
            if (!line.isEmpty())
                (line.split(separator).size() == fields ? good : bad) += 1;
        QVERIFY(good >= 3);
        QVERIFY(bad >= 2);
    }

    void redirectIsFollowed_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("finalPath");
        QTest::newRow("feed") << "/downloads/setup/velmaro.xml?fault=redirect"
                              << "/downloads/setup/velmaro-moved.xml";
        QTest::newRow("positions") << "/api/getPosition.php?rg=10&wf=88&bo=1002&la=0&fault=redirect"
                                   << "/api/getPosition.php";
    }
    void redirectIsFollowed()
    {
        QFETCH(QString, path);
        QFETCH(QString, finalPath);
        const Fetched f = get(path);
        QCOMPARE(f.status, 200);
        QCOMPARE(f.url.path(), finalPath);
        QString unfaulted = path;
        unfaulted.remove(QStringLiteral("?fault=redirect"))
            .remove(QStringLiteral("&fault=redirect"));
        QCOMPARE(f.body, get(unfaulted).body);
    }

    void endpointFaultAndClear()
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

    void parseFaultSpecs_data()
    {
        QTest::addColumn<QString>("spec");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("value");
        using F = DemoServer::Fault;
        QTest::newRow("delay") << "getPosition=delay:1500" << true << "getPosition" << int(F::Delay)
                               << 1500;
        QTest::newRow("hang") << "feed=hang" << true << "feed" << int(F::Hang) << 0;
        QTest::newRow("error") << "isup=error:503" << true << "isup" << int(F::HttpError) << 503;
        QTest::newRow("cut") << "installer=cut" << true << "installer" << int(F::CutBody) << 0;
        QTest::newRow("malformed")
            << "getBoats=malformed" << true << "getBoats" << int(F::Malformed) << 0;
        QTest::newRow("redirect") << "feed=redirect" << true << "feed" << int(F::Redirect) << 0;
        QTest::newRow("unknown kind") << "feed=explode" << false << "" << 0 << 0;
        QTest::newRow("no endpoint") << "=delay" << false << "" << 0 << 0;
        QTest::newRow("bad value") << "feed=delay:soon" << false << "" << 0 << 0;
        QTest::newRow("empty") << "" << false << "" << 0 << 0;
    }
    void parseFaultSpecs()
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

    void fleetsFollowSeedAndSize()
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
        const QList<DemoServer::Fix> fa = a.fixes(21, boat), fb = b.fixes(21, boat);
        QCOMPARE(fa.size(), fb.size());
        for (int i = 0; i < fa.size(); i += 97) {
            QCOMPARE(fa[i].tstamp, fb[i].tstamp);
            QCOMPARE(fa[i].lat, fb[i].lat);
            QCOMPARE(fa[i].lng, fb[i].lng);
        }
        const QList<DemoServer::Fix> fc = c.fixes(21, c.boats(21).at(3).id);
        bool differs = fc.size() != fa.size();
        for (int i = 0; !differs && i < fa.size(); ++i)
            differs = fa[i].lat != fc[i].lat || fa[i].tstamp != fc[i].tstamp;
        QVERIFY2(differs, "another seed gives other tracks");

        options.boatsPerRace = 5;
        DemoServer small(options);
        for (const DemoServer::Race &race : small.races())
            QCOMPARE(small.boats(race.eventId).size(), 5);
    }
};

QTEST_MAIN(TestDemoServer)
#include "tst_demoserver.moc"
