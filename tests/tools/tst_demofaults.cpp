#include "demoserver.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>

namespace
{
const QString track = QStringLiteral("/api/getPosition.php?rg=10&wf=88&bo=1001&la=0");

QList<QByteArray> lines(const QByteArray &body)
{
    QList<QByteArray> out = body.split('\n');
    out.removeAll(QByteArray());
    return out;
}
} // namespace

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
    void cleanup() { m_server.reset(); }

    void positions_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("coordinates"); // texts that must occur as lat or lng
        QTest::addColumn<int>("extraLines");
        QTest::newRow("nonfinite") << "nonfinite" << QStringList{"nan", "inf", "-inf"} << 0;
        QTest::newRow("outofrange")
            << "outofrange" << QStringList{"91.000000", "-91.000000", "181.000000", "1e308"} << 0;
        QTest::newRow("farfuture") << "farfuture" << QStringList() << 1;
        QTest::newRow("outoforder") << "outoforder" << QStringList() << 0;
    }
    void positions()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, coordinates);
        QFETCH(int, extraLines);
        const QList<QByteArray> normal = lines(get(track).second);
        const auto [status, body] = get(track + QStringLiteral("&fault=") + kind);
        QCOMPARE(status, 200);
        QCOMPARE(get(track + QStringLiteral("&fault=") + kind).second, body); // same every time
        const QList<QByteArray> got = lines(body);
        QVERIFY(normal.size() > 20);
        QCOMPARE(got.size(), normal.size() + extraLines);
        QSet<QString> seen;
        QList<qint64> times;
        for (const QByteArray &line : got) {
            const QList<QByteArray> f = line.split(';');
            QCOMPARE(f.size(), 5);
            seen << QString::fromLatin1(f[0]) << QString::fromLatin1(f[1]);
            times << f[2].toLongLong();
        }
        for (const QString &c : coordinates)
            QVERIFY2(seen.contains(c), qPrintable(c));
        if (kind == QLatin1String("farfuture"))
            QCOMPARE(times.last(), m_server->races().first().end + DemoServer::farFutureSeconds);
        if (kind == QLatin1String("outoforder"))
            QVERIFY(times.last() < *std::min_element(times.cbegin(), times.cend() - 1));
    }

    void bigId()
    {
        const QString boats = QStringLiteral("/api/getBoats.php?rg=10&wf=88");
        const QList<QByteArray> normal = lines(get(boats).second);
        const QList<QByteArray> got = lines(get(boats + QStringLiteral("&fault=bigid")).second);
        QCOMPARE(got.size(), normal.size() + 1);
        QCOMPARE(got.last().split('|').size(), 10);
        QCOMPARE(got.last().split('|').at(1), QByteArray::number(DemoServer::bigBoatId));
    }

    void html_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("race names") << "/api/getRaces.php?csv=1&fault=html";
        QTest::newRow("release notes") << "/downloads/setup/releasenotes-2.7.2.html?fault=html";
        QTest::newRow("feed titles") << "/downloads/setup/velmaro.xml?fault=html";
    }
    void html()
    {
        QFETCH(QString, path);
        const QByteArray body = get(path).second;
        const QByteArray markup = DemoServer::htmlMarkup;
        if (!path.contains(QLatin1String(".xml"))) {
            QVERIFY(body.contains(markup));
            if (path.contains(QLatin1String("getRaces")))
                for (const QByteArray &line : lines(body))
                    QVERIFY(line.split('|').at(2).endsWith(markup));
            return;
        }
        QXmlStreamReader xml(body); // markup as text inside the titles, the feed stays valid
        int titles = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement &&
                xml.name() == QLatin1String("title"))
                titles += xml.readElementText().endsWith(QLatin1String(markup)) ? 1 : 0;
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(titles, 2); // both items, not the channel
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
        if (px <= 300)
            QCOMPARE(reader.read().size(), QSize(px, px));
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
        const QByteArray normal =
            get(path.section(QLatin1String("&fault"), 0, 0).section(QLatin1String("?fault"), 0, 0))
                .second; // answered while the stream runs
        QVERIFY(got.startsWith(normal.left(got.size())));
        if (path.contains(QLatin1String("drip")))
            QVERIFY(clock.elapsed() >= 25 * (enough - 1));
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        QCOMPARE(get(QStringLiteral("/api/isup.html")), qMakePair(200, QByteArray("up\n")));
    }

    void dripEnds()
    {
        QCOMPARE(get(QStringLiteral("/api/isup.html?fault=drip&faultValue=10")),
                 qMakePair(200, QByteArray("up\n")));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("spec"); // endpoint=kind[:value]
        QTest::addColumn<bool>("ok");
        QTest::newRow("nonfinite on boats") << "getBoats=nonfinite" << false;
        QTest::newRow("bigid on positions") << "getPosition=bigid" << false;
        QTest::newRow("bigtile on feed") << "feed=bigtile" << false;
        QTest::newRow("html on isup") << "isup=html" << false;
        QTest::newRow("unknown kind") << "tiles=explode" << false;
        QTest::newRow("bigtile on tiles") << "tiles=bigtile:6000" << true;
        QTest::newRow("drip on installer") << "installer=drip:50" << true;
        QTest::newRow("endless on feed") << "feed=endless" << true;
        QTest::newRow("html on release notes") << "relnotes=html" << true;
    }
    void refused()
    {
        QFETCH(QString, spec);
        QFETCH(bool, ok);
        QString endpoint, error;
        DemoServer::Fault fault = DemoServer::Fault::None;
        int value = 0;
        QCOMPARE(DemoServer::parseFault(spec, &endpoint, &fault, &value, &error), ok);
        QCOMPARE(error.isEmpty(), ok);
        if (ok)
            return;
        const QString kind = spec.section(QLatin1Char('='), 1);
        const QHash<QString, QString> paths = {{"getBoats", "/api/getBoats.php?rg=10&wf=88"},
                                               {"getPosition", track},
                                               {"feed", "/downloads/setup/velmaro.xml"},
                                               {"isup", "/api/isup.html"},
                                               {"tiles", "/1/0/0.png"}};
        const QString path = paths.value(spec.section(QLatin1Char('='), 0, 0));
        QCOMPARE(get(path + (path.contains(u'?') ? "&fault=" : "?fault=") + kind).first, 400);

        QProcess program;
        program.start(
            qEnvironmentVariable("VELMARO_BINARY_DIR") + QStringLiteral("/bin/velmaro-demo-server"),
            {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--fault"), spec});
        QVERIFY(program.waitForFinished(10000));
        QVERIFY(program.exitCode() != 0);
        QVERIFY(program.readAllStandardError().contains(kind.toLatin1()));
    }
};

QTEST_MAIN(TestDemoFaults)
#include "tst_demofaults.moc"
