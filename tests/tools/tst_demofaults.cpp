#include "demoserver.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

static const QString track = QStringLiteral("/api/getPosition.php?rg=10&wf=88&bo=1001&la=0");
static const QString boats = QStringLiteral("/api/getBoats.php?rg=10&wf=88");

// The hostile faults of the demo service, over loopback.
class TestDemoFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<DemoServer> m_server;
    QNetworkAccessManager m_nam;

    QNetworkReply *start(const QString &pathAndQuery)
    {
        return m_nam.get(QNetworkRequest(QUrl(m_server->baseUrl() + pathAndQuery)));
    }
    QPair<int, QByteArray> get(const QString &pathAndQuery)
    {
        QNetworkReply *reply = start(pathAndQuery);
        QSignalSpy spy(reply, &QNetworkReply::finished);
        if (!reply->isFinished())
            spy.wait(20000);
        reply->deleteLater();
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                reply->readAll()};
    }

private slots:
    void init()
    {
        DemoServer::Options options;
        options.quiet = true;
        m_server = std::make_unique<DemoServer>(options);
        QVERIFY(m_server->listen(0) != 0);
    }

    void csv_data()
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
    void csv()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, fields);
        const QList<QByteArray> normal =
            get(path.section(u'&', 0, -2)).second.trimmed().split('\n');
        const auto [status, body] = get(path);
        QCOMPARE(status, 200);
        QCOMPARE(get(path).second, body); // the same every time
        const QList<QByteArray> got = body.trimmed().split('\n');
        QVERIFY(normal.size() > 10);
        QTEST(int(got.size() - normal.size()), "extraLines");
        const char separator = path.contains(QLatin1String("Boats")) ? '|' : ';';
        QSet<QString> seen;
        QList<qint64> times;
        for (const QByteArray &line : got) {
            const QList<QByteArray> f = line.split(separator);
            QCOMPARE(f.size(), separator == '|' ? 10 : 5);
            for (const QByteArray &field : f)
                seen << QString::fromUtf8(field);
            times << f[2].toLongLong();
        }
        for (const QString &field : fields)
            QVERIFY2(seen.contains(field), qPrintable(field));
        if (path.endsWith(QLatin1String("farfuture")))
            QCOMPARE(times.last(), m_server->races().first().end + DemoServer::farFutureSeconds);
        if (path.endsWith(QLatin1String("outoforder")))
            QVERIFY(times.last() < *std::min_element(times.cbegin(), times.cend() - 1));
    }

    void html_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("raw"); // markup as it is: once a race, once in the notes
        QTest::newRow("race names") << "/api/getRaces.php?csv=1&fault=html" << 3;
        QTest::newRow("release notes")
            << "/downloads/setup/releasenotes-2.7.2.html?fault=html" << 1;
        QTest::newRow("feed titles") << "/downloads/setup/velmaro.xml?fault=html" << 0;
    }
    void html()
    {
        QFETCH(QString, path);
        const QByteArray body = get(path).second;
        QTEST(int(body.count(DemoServer::htmlMarkup)), "raw");
        QXmlStreamReader xml(body); // escaped inside the titles, the feed stays valid
        int titles = 0;
        while (path.endsWith(QLatin1String("xml?fault=html")) && !xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"title")
                titles +=
                    xml.readElementText().endsWith(QLatin1String(DemoServer::htmlMarkup)) ? 1 : 0;
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(titles,
                 path.contains(QLatin1String(".xml")) ? 2 : 0); // the items, not the channel
    }

    void bigTile_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("px");
        QTest::newRow("default") << "" << DemoServer::bigTileDefault;
        QTest::newRow("300") << "&faultValue=300" << 300;
        QTest::newRow("capped") << "&faultValue=90000" << DemoServer::bigTileMax;
    }
    void bigTile()
    {
        QFETCH(QString, value);
        QFETCH(int, px);
        QByteArray png = get(QStringLiteral("/3/4/2.png?fault=bigtile") + value).second;
        QBuffer buffer(&png);
        QImageReader reader(&buffer, "png");
        QCOMPARE(reader.size(), QSize(px, px));
        QVERIFY(px > 300 || reader.read().size() == QSize(px, px));
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
        QNetworkReply *reply = start(path);
        QByteArray got;
        connect(reply, &QIODevice::readyRead, this, [&] { got += reply->readAll(); });
        QTRY_VERIFY_WITH_TIMEOUT(got.size() >= enough, 20000);
        QVERIFY(!reply->isFinished());
        const QByteArray normal = get(path.section(QLatin1String("fault"), 0, 0).chopped(1)).second;
        QVERIFY(got.startsWith(normal.left(got.size()))); // answered meanwhile
        if (path.contains(QLatin1String("drip")))
            QVERIFY(clock.elapsed() >= 25 * (enough - 1));
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        QCOMPARE(get(QStringLiteral("/api/isup.html")), qMakePair(200, QByteArray("up\n")));
        QCOMPARE(get(QStringLiteral("/api/isup.html?fault=drip&faultValue=10")),
                 qMakePair(200, QByteArray("up\n"))); // a drip ends
    }

    void refused_data()
    {
        QTest::addColumn<QString>("spec"); // endpoint=kind[:value]
        QTest::addColumn<QString>("path"); // the same asked by query; empty: accepted
        QTest::newRow("nonfinite on boats") << "getBoats=nonfinite" << boats + "&fault=nonfinite";
        QTest::newRow("bigid on positions") << "getPosition=bigid" << track + "&fault=bigid";
        QTest::newRow("bigtile on version")
            << QString("version=bigtile") << "/api/version.html?fault=bigtile";
        QTest::newRow("html on isup") << QString("isup=html") << "/api/isup.html?fault=html";
        QTest::newRow("unknown kind") << QString("tiles=explode") << "/1/0/0.png?fault=explode";
        QTest::newRow("bigtile on tiles") << "tiles=bigtile:6000" << QString();
        QTest::newRow("drip on installer") << "installer=drip:50" << QString();
        QTest::newRow("html on release notes") << "relnotes=html" << QString();
    }
    void refused()
    {
        QFETCH(QString, spec);
        QFETCH(QString, path);
        QString endpoint, error;
        QCOMPARE(DemoServer::parseFault(spec, &endpoint, nullptr, nullptr, &error), path.isEmpty());
        QCOMPARE(error.isEmpty(), path.isEmpty());
        if (path.isEmpty())
            return;
        QCOMPARE(get(path).first, 400);
        QProcess program;
        program.start(qEnvironmentVariable("VELMARO_BINARY_DIR") + "/bin/velmaro-demo-server",
                      {"--port", "0", "--fault", spec});
        QVERIFY(program.waitForFinished(10000));
        QVERIFY(program.exitCode() != 0);
        QVERIFY(program.readAllStandardError().contains(spec.section(u'=', 1).toLatin1()));
    }
};

QTEST_MAIN(TestDemoFaults)
#include "tst_demofaults.moc"
