#include "demoserver.h"
#include "map/karte.h"
#include "map/scheme.h"
#include "map/tileloader.h"
#include "urlcatcher.h"

#include <QDesktopServices>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QtTest>

namespace
{

// Every tile a plain PNG whose colour tells which one it is.
QColor colourFor(int zoom, int column, int row)
{
    return QColor(column % 256, row % 256, (zoom * 16) % 256);
}

QByteArray pngFor(int zoom, int column, int row)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(colourFor(zoom, column, row));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// For what the demo service cannot stage: one tile held until release(), or
// redirected to another tile's path.
class TileServer
{
public:
    TileServer()
    {
        m_server.setMissingHandler([this](const QHttpServerRequest &request,
                                          QHttpServerResponder &&responder) {
            static const QRegularExpression tile("^/(\\d+)/(\\d+)/(\\d+)\\.png$");
            const QString path = request.url().path();
            requests.append(path);
            const QRegularExpressionMatch m = tile.match(path);
            if (redirects.contains(path))
                return responder.write({{"Location", redirects.value(path).toUtf8()}},
                                       QHttpServerResponder::StatusCode::Found);
            const QByteArray png =
                pngFor(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
            if (!hold.contains(path))
                return responder.write(png, "image/png");
            m_held.push_back({std::make_unique<QHttpServerResponder>(std::move(responder)), png});
        });
        m_port = m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    int heldCount() const { return int(m_held.size()); }
    void release()
    {
        for (auto &h : std::exchange(m_held, {}))
            h.first->write(h.second, "image/png");
    }
    QSet<QString> hold;
    QHash<QString, QString> redirects;
    QStringList requests;

private:
    QHttpServer m_server;
    quint16 m_port = 0;
    std::vector<std::pair<std::unique_ptr<QHttpServerResponder>, QByteArray>> m_held;
};

// A 512 x 512 view centred on the corner of tiles 554..555 / 372..373 at zoom
// 10 handles columns 554..556 and rows 372..374.
const double cornerLat = Geo::tileLatitude(373, 1024.0);
const double cornerLng = Geo::tileLongitude(555, 1024.0);

QList<TileKey> cornerTiles()
{
    QList<TileKey> keys;
    for (int c = 554; c <= 556; ++c)
        for (int r = 372; r <= 374; ++r)
            keys.append({10, c, r});
    return keys;
}

QString tilePath(const TileKey &key)
{
    return '/' + key.toString() + ".png";
}

QStringList sortedPaths(QList<TileKey> keys)
{
    QStringList paths;
    for (const TileKey &key : keys)
        paths.append(tilePath(key));
    paths.sort();
    return paths;
}

QColor colourAt(const QPixmap &pixmap)
{
    return pixmap.toImage().pixelColor(128, 128);
}

} // namespace

// The map widget offscreen against tile servers on loopback: tiles asked, kept, shown.
class TestKarte : public QObject
{
    Q_OBJECT

    std::unique_ptr<DemoServer> m_demo;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Scheme> m_scene;
    int m_open = 0; // transfers the views' tile loaders report, as the window's lamp counts them

    QString cachePath(const TileKey &key) const { return m_dir->filePath("maps") + tilePath(key); }
    std::unique_ptr<Karte> view(bool download, double lat = cornerLat, double lng = cornerLng,
                                int zoom = 10, const QString &server = QString())
    {
        auto view = std::make_unique<Karte>(m_scene.get());
        view->setDownloadEnabled(download);
        connect(view->tileLoader(), &TileLoader::transferStarted, this, [this] { ++m_open; });
        connect(view->tileLoader(), &TileLoader::transferFinished, this, [this] { --m_open; });
        view->setTileServer(server.isEmpty() ? m_demo->baseUrl() : server);
        view->setTileCacheFolder(m_dir->filePath("maps"));
        view->setCenterGeo(lat, lng);
        view->setZoomLevel(zoom);
        view->resize(512, 512);
        view->show();
        return view;
    }
    void settle() { QTRY_COMPARE_WITH_TIMEOUT(m_open, 0, 10000); }

private slots:
    void initTestCase()
    {
        DemoServer::Options options;
        options.quiet = true;
        m_demo = std::make_unique<DemoServer>(options);
        QVERIFY(m_demo->listen() != 0);
    }
    void init()
    {
        m_demo->clearFaults();
        m_demo->clearRequestLog();
        m_dir = std::make_unique<QTemporaryDir>();
        m_scene = std::make_unique<Scheme>();
        m_open = 0;
    }

    void cacheFilesAndBlanksAtStart()
    {
        // One good file and one unreadable one before the start; downloading off.
        const TileKey onDisk{10, 555, 373}, broken{10, 556, 372};
        for (const auto &[key, bytes] : {std::pair{onDisk, pngFor(10, 555, 373)},
                                         std::pair{broken, QByteArray("\x89PNG truncated")}}) {
            QDir().mkpath(QFileInfo(cachePath(key)).path());
            QFile file(cachePath(key));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) > 0);
        }
        auto karte = view(false);
        QVERIFY(QTest::qWaitForWindowExposed(karte.get()));
        const TileLoader *tiles = karte->tileLoader();
        QVERIFY(m_demo->requestLog().isEmpty());
        QCOMPARE(tiles->cachedCount(), cornerTiles().size());
        for (const TileKey &key : cornerTiles())
            QCOMPARE(tiles->holdsBlank(key), key != onDisk);
        QCOMPARE(colourAt(*tiles->cached(onDisk)), colourFor(10, 555, 373));
        // The window is laid out before the stored preferences are loaded; those
        // blanks must not keep the start view grey once downloading turns out to
        // be on. The unreadable file is fetched again, the good one is not.
        karte->setDownloadEnabled(true);
        karte->tileLoader()->forgetOfflineBlanks();
        karte->relayout();
        settle();
        QList<TileKey> fetched = cornerTiles();
        fetched.removeOne(onDisk);
        QStringList asked;
        for (const DemoServer::Request &r : m_demo->requestLog())
            asked.append(r.path);
        asked.sort();
        QCOMPARE(asked, sortedPaths(fetched));
        for (const TileKey &key : cornerTiles())
            QVERIFY(!tiles->holdsBlank(key));
        QVERIFY(!QImage(cachePath(broken), "PNG").isNull());
    }

    void lateReplyOfOtherZoomNotShown()
    {
        // Near the top-left of the world the same column and row numbers are on
        // screen at zoom 4 and 5; these two are held until zoom 5 shows.
        TileServer server;
        server.hold = {"/4/1/1.png", "/4/2/0.png"};
        auto karte = view(true, Geo::tileLatitude(0.5, 16.0), Geo::tileLongitude(1.0, 16.0), 4,
                          server.baseUrl());
        QTRY_COMPARE(server.heldCount(), 2);
        QTRY_COMPARE(m_open, 2);
        karte->stepZoom(+1);
        QTRY_COMPARE(m_open, 2);
        server.release();
        settle();
        const TileLoader *tiles = karte->tileLoader();
        for (const TileKey &key : tiles->cachedKeys()) {
            QCOMPARE(key.zoom, 5);
            QCOMPARE(colourAt(*tiles->cached(key)), colourFor(5, key.column, key.row));
        }
        // The late tile is kept on disk under its own zoom, later shown unasked.
        for (const int zoom : {4, 5})
            QCOMPARE(colourAt(QPixmap(cachePath({zoom, 1, 1}), "PNG")), colourFor(zoom, 1, 1));
        server.requests.clear();
        karte->stepZoom(-1);
        settle();
        QVERIFY(server.requests.isEmpty());
        QCOMPARE(colourAt(*tiles->cached({4, 1, 1})), colourFor(4, 1, 1));
    }

    // A redirect to another tile, with a query added, cannot change where the
    // tile is saved: under the asked path, the body as it came, not encoded again.
    void redirectCannotChangeSavePath()
    {
        TileServer server;
        server.redirects.insert("/10/556/372.png", "/10/1/1.png?moved");
        auto karte = view(true, cornerLat, cornerLng, 10, server.baseUrl());
        settle();
        QVERIFY(server.requests.contains("/10/1/1.png"));
        QStringList files;
        QDirIterator it(m_dir->filePath("maps"), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append('/' + QDir(m_dir->filePath("maps")).relativeFilePath(it.next()));
        files.sort();
        QCOMPARE(files, sortedPaths(cornerTiles()));
        QFile saved(cachePath({10, 556, 372}));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), pngFor(10, 1, 1));
        QVERIFY(!karte->tileLoader()->holdsBlank({10, 556, 372}));
    }

    // Only 256 x 256 images are tiles, and a server that never stops sending
    // is cut off at the cap: such a reply is neither shown nor kept, and a big
    // file already in the cache is asked for again.
    void oversizedTilesRefused_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("512 x 512") << int(DemoServer::Fault::BigTile);
        QTest::newRow("endless") << int(DemoServer::Fault::Endless);
    }
    void oversizedTilesRefused()
    {
        QFETCH(int, fault);
        const TileKey planted{10, 555, 373};
        QDir().mkpath(QFileInfo(cachePath(planted)).path());
        QVERIFY(QImage(512, 512, QImage::Format_RGB32).save(cachePath(planted), "PNG"));
        m_demo->setFault("tiles", DemoServer::Fault(fault), 512);
        auto karte = view(true);
        settle();
        QCOMPARE(m_demo->requestCount("tiles"), cornerTiles().size());
        for (const TileKey &key : cornerTiles())
            QVERIFY(karte->tileLoader()->holdsBlank(key) &&
                    (key == planted || !QFile::exists(cachePath(key))));
    }

    // The credit in the map's corner (so in captured frames too) links to
    // the licence; a click there is no click on the water.
    void creditLinksToTheLicence()
    {
        auto karte = view(false);
        QVERIFY(QTest::qWaitForWindowExposed(karte.get()));
        karte->viewport()->grab(); // paints the credit
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        QSignalSpy clicks(karte.get(), &Karte::clicked);
        const QRect area = karte->viewport()->rect();
        QTest::mouseClick(karte->viewport(), Qt::LeftButton, {}, area.bottomRight() - QPoint(3, 3));
        QTest::mouseClick(karte->viewport(), Qt::LeftButton, {}, area.center());
        QDesktopServices::unsetUrlHandler("https");
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl("https://www.openstreetmap.org/copyright")});
        QCOMPARE(clicks.count(), 1);
    }

    void anyCentreKeepsTheTilePassSmall_data()
    {
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lng");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<int>("expectedZoom");
        QTest::newRow("NaN") << std::nan("") << 16.0 << 10 << 10;
        QTest::newRow("infinite") << HUGE_VAL << -HUGE_VAL << 15 << 15;
        QTest::newRow("1e308 at zoom 99") << 1e308 << 1e308 << 99 << int(Karte::maxZoom);
        QTest::newRow("-1e308 at zoom -3") << -1e308 << -1e308 << -3 << int(Karte::minZoom);
    }
    void anyCentreKeepsTheTilePassSmall()
    {
        QFETCH(double, lat);
        QFETCH(double, lng);
        QFETCH(int, zoom);
        auto karte = view(false, lat, lng, zoom);
        QVERIFY(QTest::qWaitForWindowExposed(karte.get()));
        QTEST(karte->zoom(), "expectedZoom");
        // Each tile the pass looked at holds a blank: a 512-pixel view with one
        // extra row and column handles at most 4 x 4.
        const int handled = karte->tileLoader()->cachedCount();
        QVERIFY2(handled >= 1 && handled <= 16, qPrintable(QString::number(handled)));
        karte->panBy(-100000, 100000);
        QVERIFY(karte->tileLoader()->cachedCount() <= 16);
    }
};

QTEST_MAIN(TestKarte)
#include "tst_karte.moc"
