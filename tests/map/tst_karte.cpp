#include "demoserver.h"
#include "map/karte.h"
#include "map/scheme.h"
#include "map/tileloader.h"
#include "platform/paths.h"
#include "platform/seams.h"
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
            if (!holdAll && !hold.contains(path))
                return responder.write(png, "image/png");
            m_held.push_back({std::make_unique<QHttpServerResponder>(std::move(responder)), png});
            mostHeld = std::max(mostHeld, heldCount());
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
    bool holdAll = false;
    int mostHeld = 0; // requests open at the same time
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
        Seams::setClock({});
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
        QVERIFY(!server.requests.contains("/4/1/1.png") && !server.requests.contains("/4/2/0.png"));
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
        QDirIterator it(m_dir->filePath("maps"), {"*.png"}, QDir::Files,
                        QDirIterator::Subdirectories);
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
    void expiryFromHeaders_data()
    {
        QTest::addColumn<QByteArray>("cacheControl");
        QTest::addColumn<QByteArray>("expires");
        QTest::addColumn<qint64>("lifetime");
        QTest::newRow("max-age") << QByteArray("public, max-age=3600") << QByteArray() << 3600LL;
        QTest::newRow("max-age first")
            << QByteArray("max-age=60") << QByteArray("Tue, 01 Jan 2030 00:02:00 GMT") << 60LL;
        QTest::newRow("no-cache") << QByteArray("no-cache") << QByteArray() << 0LL;
        QTest::newRow("Expires") << QByteArray() << QByteArray("Tue, 01 Jan 2030 00:02:00 GMT")
                                 << 120LL;
        QTest::newRow("unreadable Expires") << QByteArray() << QByteArray("bald") << 0LL;
        QTest::newRow("nothing said") << QByteArray() << QByteArray() << 7 * 86400LL;
    }
    void expiryFromHeaders()
    {
        QFETCH(QByteArray, cacheControl);
        QFETCH(QByteArray, expires);
        const qint64 now = 1893456000; // 2030-01-01 00:00 UTC
        QTEST(TileMeta::fromHeaders(cacheControl, expires, {}, {}, now).expires - now, "lifetime");
    }

    // An expired tile is shown at once, then asked for with its validator:
    // 304 keeps the file and moves the expiry on, 200 replaces both.
    void expiredTilesRevalidated_data()
    {
        QTest::addColumn<QString>("meta");
        QTest::addColumn<int>("status");
        QTest::newRow("current ETag") << "current" << 304;
        QTest::newRow("stale ETag") << "stale" << 200;
        QTest::newRow("older cache, no metadata") << "none" << 200;
    }
    void expiredTilesRevalidated()
    {
        QFETCH(QString, meta);
        QFETCH(int, status);
        auto first = view(true);
        settle();
        first.reset();
        const TileKey key{10, 555, 373};
        TileDiskCache disk(m_dir->filePath("maps"));
        const TileMeta fresh = disk.meta(key);
        QVERIFY(fresh.etag.size() > 2);
        QVERIFY(qAbs(fresh.expires - QDateTime::currentSecsSinceEpoch() - 86400) < 10);
        const QDateTime written = QFileInfo(cachePath(key)).lastModified();
        for (const TileKey &k : cornerTiles())
            QVERIFY(meta == "stale"  ? disk.saveMeta(k, {"\"old\"", {}, 0})
                    : meta == "none" ? QFile::remove(disk.metaPathFor(k))
                                     : true);
        const qint64 later = QDateTime::currentSecsSinceEpoch() + 2 * 86400; // past max-age
        Seams::setClock([later] { return QDateTime::fromSecsSinceEpoch(later); });
        m_demo->clearRequestLog();
        QList<int> statuses;
        connect(m_demo.get(), &DemoServer::requestServed, this,
                [&statuses](const QString &, const QString &, int s) { statuses.append(s); });
        auto karte = view(true);
        QVERIFY(!karte->tileLoader()->holdsBlank(key));
        settle();
        Seams::setClock({});
        m_demo->disconnect(this);
        QCOMPARE(statuses, QList<int>(cornerTiles().size(), status));
        for (const DemoServer::Request &r : m_demo->requestLog()) {
            const QStringList zxy = r.path.chopped(4).split('/'); // "/z/x/y.png"
            const TileKey k{zxy[1].toInt(), zxy[2].toInt(), zxy[3].toInt()};
            QCOMPARE(r.ifNoneMatch, meta == "stale"  ? QByteArray("\"old\"")
                                    : meta == "none" ? QByteArray()
                                                     : disk.meta(k).etag);
        }
        QCOMPARE(disk.meta(key).etag, fresh.etag);
        QCOMPARE(disk.meta(key).expires, later + 86400);
        QCOMPARE(QFileInfo(cachePath(key)).lastModified() == written, status == 304);
    }

    // Two requests at a time, the rest queued; a tile that leaves the view
    // and comes back while asked for is not asked for again.
    void twoConnectionsNoDuplicates()
    {
        TileServer server;
        server.holdAll = true;
        auto karte = view(true, cornerLat, cornerLng, 10, server.baseUrl());
        QTRY_COMPARE(server.heldCount(), 2);
        QCOMPARE(karte->tileLoader()->queuedRequests(), cornerTiles().size() - 2);
        karte->panBy(3000, 0);
        karte->panBy(-3000, 0);
        do {
            QTRY_VERIFY(server.heldCount() > 0);
            server.release();
        } while (server.requests.size() < cornerTiles().size());
        settle();
        QCOMPARE(server.mostHeld, 2);
        server.requests.sort();
        QCOMPARE(server.requests, sortedPaths(cornerTiles()));
        // No caching headers: seven days.
        const qint64 left = TileDiskCache(m_dir->filePath("maps")).meta({10, 555, 373}).expires -
                            QDateTime::currentSecsSinceEpoch();
        QVERIFY2(qAbs(left - 7 * 86400) < 10, qPrintable(QString::number(left)));
    }

    // Past the limit the least recently used tiles go, by last use, not by age.
    void leastRecentlyUsedGoFirst()
    {
        TileDiskCache disk(m_dir->filePath("maps"));
        const QDateTime then = QDateTime::currentDateTime().addDays(-10);
        for (int i = 0; i < 5; ++i) {
            QVERIFY(disk.save({10, i, 0}, pngFor(10, 1, 1)));
            QFile file(disk.pathFor({10, i, 0}));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(then.addSecs(i), QFileDevice::FileAccessTime) &&
                    file.setFileTime(then.addSecs(-i), QFileDevice::FileModificationTime));
        }
        Seams::setClock([then] { return then.addSecs(10); }); // not the kernel's read time
        QVERIFY(!disk.load({10, 0, 0}).isNull());
        Seams::setClock({});
        QCOMPARE(QFileInfo(disk.pathFor({10, 0, 0})).lastRead(), then.addSecs(10));
        const qint64 tile = QFileInfo(disk.pathFor({10, 0, 0})).size() +
                            QFileInfo(disk.metaPathFor({10, 0, 0})).size();
        disk.setLimit(tile * 7 / 2); // down to nine tenths: three tiles stay
        for (int i = 0; i < 5; ++i)
            QCOMPARE(QFile::exists(disk.pathFor({10, i, 0})) +
                         QFile::exists(disk.metaPathFor({10, i, 0})),
                     i == 0 || i >= 3 ? 2 : 0);
    }

    // The overlay has its own server, folder and credit, and asks for nothing while off.
    void seamarkOverlay()
    {
        auto karte = view(true);
        TileLoader *sea = karte->seamarkLoader();
        QCOMPARE(sea->tileServer(), QString("https://tiles.openseamap.org/seamark"));
        QCOMPARE(sea->cacheFolder(), QDir(Paths::dataFolder()).filePath("maps-seamark"));
        QCOMPARE(karte->credits(), QStringList{"\u00a9 OpenStreetMap-Mitwirkende"});
        settle();
        QCOMPARE(m_demo->requestCount("seamarks"), 0);
        sea->setTileServer(m_demo->baseUrl() + "/seamark");
        sea->setCacheFolder(m_dir->filePath("maps-seamark"));
        connect(sea, &TileLoader::transferStarted, this, [this] { ++m_open; });
        connect(sea, &TileLoader::transferFinished, this, [this] { --m_open; });
        karte->setSeamarksShown(true);
        settle();
        QCOMPARE(karte->credits(),
                 (QStringList{"\u00a9 OpenStreetMap-Mitwirkende", "Seezeichen \u00a9 OpenSeaMap"}));
        QCOMPARE(m_demo->requestCount("seamarks"), cornerTiles().size());
        for (const TileKey &key : cornerTiles()) {
            const QImage mark(m_dir->filePath("maps-seamark") + tilePath(key));
            QVERIFY(mark.hasAlphaChannel() && mark.pixelColor(0, 0).alpha() == 0);
        }
        karte->setSeamarksShown(false);
        karte->panBy(600, 0);
        settle();
        QCOMPARE(m_demo->requestCount("seamarks"), cornerTiles().size());
        QCOMPARE(sea->cachedCount(), 0);
        // Cleared without a question, then the shown map is fetched again.
        karte->clearTileCache();
        QVERIFY(!QFile::exists(m_dir->filePath("maps-seamark") + tilePath(cornerTiles()[0])));
        QVERIFY(!QFile::exists(cachePath(karte->tileLoader()->cachedKeys().value(0))));
        settle();
        for (const TileKey &key : karte->tileLoader()->cachedKeys())
            QVERIFY(QFile::exists(cachePath(key)) && !karte->tileLoader()->holdsBlank(key));
    }
};

QTEST_MAIN(TestKarte)
#include "tst_karte.moc"
