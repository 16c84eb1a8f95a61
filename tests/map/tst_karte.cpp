#include "demoserver.h"
#include "map/karte.h"
#include "map/scheme.h"
#include "map/tileloader.h"

#include <QtTest>

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <cmath>
#include <memory>
#include <utility>

Q_DECLARE_METATYPE(TileKey)

namespace
{

// A tile server for the cases that need one tile treated unlike the others:
// held until release() or redirected to another path. Every tile is a plain
// PNG whose colour tells which one it is, so a test sees what ended up where.
class TileTestServer
{
public:
    TileTestServer()
    {
        m_server.setMissingHandler(
            [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
                const QString path = request.url().path();
                m_requests.append(path);
                handle(path, responder);
            });
    }
    quint16 listen() { return m_port = m_server.listen(QHostAddress::LocalHost, 0); }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    void hold(const QString &path) { m_hold.insert(path); }
    void setRedirect(const QString &from, const QString &to) { m_redirects.insert(from, to); }
    void release() // answers the held requests
    {
        for (Held &h : std::exchange(m_held, {}))
            h.responder->write(h.body, "image/png");
    }
    QStringList requests() const { return m_requests; } // paths, in arrival order
    int heldCount() const { return int(m_held.size()); }
    void clearLog() { m_requests.clear(); }

    static QColor colourFor(int zoom, int column, int row)
    {
        return QColor(column % 256, row % 256, (zoom * 16) % 256);
    }
    static QByteArray pngFor(int zoom, int column, int row)
    {
        QImage image(256, 256, QImage::Format_RGB32);
        image.fill(colourFor(zoom, column, row));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }

private:
    void handle(const QString &path, QHttpServerResponder &responder)
    {
        static const QRegularExpression tile(QStringLiteral("^/(\\d+)/(\\d+)/(\\d+)\\.png$"));
        const QRegularExpressionMatch m = tile.match(path);
        if (!m.hasMatch())
            return responder.write(QHttpServerResponder::StatusCode::NotFound);
        if (m_redirects.contains(path))
            return responder.write({{"Location", m_redirects.value(path).toUtf8()}},
                                   QHttpServerResponder::StatusCode::Found);
        const QByteArray png =
            pngFor(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (!m_hold.contains(path))
            return responder.write(png, "image/png");
        m_held.push_back({std::make_unique<QHttpServerResponder>(std::move(responder)), png});
    }

    struct Held {
        std::unique_ptr<QHttpServerResponder> responder;
        QByteArray body;
    };
    QHttpServer m_server;
    quint16 m_port = 0;
    QSet<QString> m_hold;
    QHash<QString, QString> m_redirects;
    QStringList m_requests;
    std::vector<Held> m_held;
};

// The transfers the views' tile loaders report, as the window's lamp counts them.
struct TransferCount {
    void watch(const TileLoader *tiles)
    {
        QObject::connect(tiles, &TileLoader::transferStarted, [this] { ++ledOn; });
        QObject::connect(tiles, &TileLoader::transferFinished, [this] { ++ledOff; });
    }
    int openTransfers() const { return ledOn - ledOff; }
    int ledOn = 0, ledOff = 0;
};

// A 512 x 512 view centred on the corner of tiles 554..555 / 372..373 at
// zoom 10: the tiles handled are columns 554..556 and rows 372..374.
constexpr int cornerZoom = 10;
const double cornerLat = Geo::tileLatitude(373, 1024.0);
const double cornerLng = Geo::tileLongitude(555, 1024.0);

// Near the top-left of the world, where the same column and row numbers
// are on screen at zoom 4 and zoom 5 and row -1 is in view at zoom 4.
const double worldCornerLat = Geo::tileLatitude(0.5, 16.0);
const double worldCornerLng = Geo::tileLongitude(1.0, 16.0);

QList<TileKey> cornerTiles()
{
    QList<TileKey> keys;
    for (int c = 556; c >= 554; --c)
        for (int r = 372; r <= 374; ++r)
            keys.append({cornerZoom, c, r});
    return keys;
}

QString tilePath(const TileKey &key)
{
    return QLatin1Char('/') + key.toString() + QStringLiteral(".png");
}

QStringList cornerPaths()
{
    QStringList paths;
    for (const TileKey &key : cornerTiles())
        paths.append(tilePath(key));
    paths.sort();
    return paths;
}

QColor colourAt(const QPixmap &pixmap)
{
    return pixmap.toImage().pixelColor(128, 128);
}

QColor fileColour(const QString &path)
{
    const QImage image(path, "PNG");
    return image.isNull() ? QColor() : image.pixelColor(128, 128);
}

// The tile paths the demo server was asked for, in arrival order.
QStringList demoTileRequests(const DemoServer &demo)
{
    QStringList paths;
    for (const DemoServer::Request &r : demo.requestLog())
        if (r.endpoint == QLatin1String("tiles"))
            paths.append(r.path);
    return paths;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

// The map widget offscreen against a tile server on loopback: which tiles
// it asks for and in which order, what it keeps on disk and in memory, and
// how it answers the mouse, the wheel and the keys.
class TestKarte : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cacheFilesAndBlanksAtStart();
    void lateReplyOfOtherZoomNotShown();
    void redirectCannotChangeSavePath();
    void redirectedTilesSavedUnderTheirOwnPath();
    void anyCentreKeepsTheTilePassSmall_data();
    void anyCentreKeepsTheTilePassSmall();

private:
    // A view on the demo server and the temporary cache, not yet shown.
    std::unique_ptr<Karte> makeView(double lat = cornerLat, double lng = cornerLng,
                                    int zoom = cornerZoom, QSize size = QSize(512, 512));
    // A shown view with downloading off, for the input cases.
    std::unique_ptr<Karte> offlineView(int zoom = cornerZoom, QSize size = QSize(512, 512));
    void showAndSettle(Karte &view);
    void settle();
    void writeCacheFile(const TileKey &key, const QByteArray &bytes);
    QString cachePath(const TileKey &key) const { return m_cacheFolder + tilePath(key); }

    std::unique_ptr<DemoServer> m_demo;
    std::unique_ptr<QTemporaryDir> m_dir;
    // For cases the demo service cannot stage: one tile held or redirected
    // to another, tiles whose colour tells which one they are.
    std::unique_ptr<TileTestServer> m_server;
    std::unique_ptr<TransferCount> m_host;
    bool m_loadMaps = true;
    std::unique_ptr<Scheme> m_scene;
    QString m_cacheFolder;
};

void TestKarte::initTestCase()
{
    DemoServer::Options options;
    options.quiet = true;
    m_demo = std::make_unique<DemoServer>(options);
    QVERIFY(m_demo->listen() != 0);
}

void TestKarte::init()
{
    m_demo->clearFaults();
    m_demo->clearRequestLog();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_cacheFolder = m_dir->filePath(QStringLiteral("maps"));
    m_server = std::make_unique<TileTestServer>();
    QVERIFY(m_server->listen() != 0);
    m_host = std::make_unique<TransferCount>();
    m_loadMaps = true;
    m_scene = std::make_unique<Scheme>();
}

void TestKarte::cleanup()
{
    m_scene.reset();
    m_host.reset();
    m_server.reset();
    m_dir.reset();
}

std::unique_ptr<Karte> TestKarte::makeView(double lat, double lng, int zoom, QSize size)
{
    auto view = std::make_unique<Karte>(m_scene.get());
    view->setDownloadEnabled(m_loadMaps);
    m_host->watch(view->tileLoader());
    view->setTileServer(m_demo->baseUrl());
    view->setTileCacheFolder(m_cacheFolder);
    view->setCenterGeo(lat, lng);
    view->setZoomLevel(zoom);
    view->resize(size);
    return view;
}

std::unique_ptr<Karte> TestKarte::offlineView(int zoom, QSize size)
{
    m_loadMaps = false;
    auto view = makeView(cornerLat, cornerLng, zoom, size);
    showAndSettle(*view);
    return view;
}

void TestKarte::settle()
{
    QTRY_COMPARE_WITH_TIMEOUT(m_host->openTransfers(), 0, 10000);
}

void TestKarte::showAndSettle(Karte &view)
{
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    settle();
    QCOMPARE(view.tileLoader()->openRequests(), 0);
}

void TestKarte::writeCacheFile(const TileKey &key, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(cachePath(key)).absolutePath()));
    QFile file(cachePath(key));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void TestKarte::cacheFilesAndBlanksAtStart()
{
    // One good file and one unreadable one before the start; downloading off.
    const TileKey onDisk{cornerZoom, 555, 373};
    const TileKey broken{cornerZoom, 556, 372};
    writeCacheFile(onDisk, TileTestServer::pngFor(onDisk.zoom, onDisk.column, onDisk.row));
    writeCacheFile(broken, "\x89PNG truncated");
    auto view = offlineView();
    QVERIFY(m_demo->requestLog().isEmpty());
    QCOMPARE(m_host->ledOn, 0);
    const TileLoader *tiles = view->tileLoader();
    QCOMPARE(tiles->cachedCount(), cornerTiles().size());
    for (const TileKey &key : cornerTiles())
        QCOMPARE(tiles->holdsBlank(key), key != onDisk);
    QCOMPARE(colourAt(*tiles->cached(onDisk)), TileTestServer::colourFor(10, 555, 373));
    QCOMPARE(colourAt(tiles->blankTile()), QColor(Qt::lightGray));

    // The window is laid out before the stored preferences are loaded; those
    // blanks must not keep the start view grey once downloading turns out to be
    // on. The unreadable file is fetched again, the good one is not.
    view->setDownloadEnabled(true);
    view->tileLoader()->forgetOfflineBlanks();
    view->relayout();
    settle();
    QStringList expected = cornerPaths();
    expected.removeOne(tilePath(onDisk));
    QCOMPARE(sorted(demoTileRequests(*m_demo)), expected);
    for (const TileKey &key : cornerTiles())
        QVERIFY(!tiles->holdsBlank(key));
    QVERIFY(!QImage(cachePath(broken), "PNG").isNull());
}

void TestKarte::lateReplyOfOtherZoomNotShown()
{
    // Held back until zoom 5 shows the same column and row numbers.
    m_server->hold(QStringLiteral("/4/1/1.png"));
    m_server->hold(QStringLiteral("/4/2/0.png"));
    auto view = makeView(worldCornerLat, worldCornerLng, 4);
    view->setTileServer(m_server->baseUrl());
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QTRY_COMPARE(m_server->heldCount(), 2);
    QTRY_COMPARE(m_host->openTransfers(), 2);

    view->stepZoom(+1);
    QTRY_COMPARE(m_host->openTransfers(), 2);
    const TileKey shared{5, 1, 1};
    QCOMPARE(colourAt(*view->tileLoader()->cached(shared)), TileTestServer::colourFor(5, 1, 1));

    m_server->release();
    settle();
    const TileLoader *tiles = view->tileLoader();
    for (const TileKey &key : tiles->cachedKeys()) {
        QCOMPARE(key.zoom, 5);
        QCOMPARE(colourAt(*tiles->cached(key)), TileTestServer::colourFor(5, key.column, key.row));
    }
    // The late tile is kept on disk under its own zoom level...
    QCOMPARE(fileColour(cachePath({4, 1, 1})), TileTestServer::colourFor(4, 1, 1));
    QCOMPARE(fileColour(cachePath({4, 2, 0})), TileTestServer::colourFor(4, 2, 0));
    QCOMPARE(fileColour(cachePath(shared)), TileTestServer::colourFor(5, 1, 1));

    // ... and serves that level later without a request.
    m_server->clearLog();
    view->stepZoom(-1);
    settle();
    QVERIFY(m_server->requests().isEmpty());
    QCOMPARE(colourAt(*tiles->cached({4, 1, 1})), TileTestServer::colourFor(4, 1, 1));
}

void TestKarte::redirectCannotChangeSavePath()
{
    const TileKey asked{cornerZoom, 556, 372};
    const TileKey elsewhere{cornerZoom, 1, 1};
    m_server->setRedirect(tilePath(asked), tilePath(elsewhere));
    auto view = makeView();
    view->setTileServer(m_server->baseUrl());
    showAndSettle(*view);
    QVERIFY(m_server->requests().contains(tilePath(elsewhere)));
    QCOMPARE(fileColour(cachePath(asked)), TileTestServer::colourFor(10, 1, 1));
    QVERIFY(!QFile::exists(cachePath(elsewhere)));
    // The body is kept as it came, not decoded and encoded again.
    QFile saved(cachePath(asked));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), TileTestServer::pngFor(10, 1, 1));
}

void TestKarte::redirectedTilesSavedUnderTheirOwnPath()
{
    // The demo service redirects to the same path with a query added; the
    // reply's URL then no longer names a file of the cache.
    m_demo->setFault(QStringLiteral("tiles"), DemoServer::Fault::Redirect);
    auto view = makeView();
    showAndSettle(*view);
    QCOMPARE(m_demo->requestCount(QStringLiteral("tiles")), 2 * cornerTiles().size());
    for (const TileKey &key : cornerTiles())
        QVERIFY(!view->tileLoader()->holdsBlank(key));
    QStringList files;
    QDirIterator it(m_cacheFolder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QLatin1Char('/') + QDir(m_cacheFolder).relativeFilePath(it.next()));
    QCOMPARE(sorted(files), cornerPaths());
    for (const TileKey &key : cornerTiles())
        QVERIFY(!QImage(cachePath(key), "PNG").isNull());
}

void TestKarte::anyCentreKeepsTheTilePassSmall_data()
{
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lng");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("expectedZoom");
    QTest::newRow("north of the pole") << 91.0 << 16.0 << 10 << 10;
    QTest::newRow("NaN") << std::nan("") << 16.0 << 10 << 10;
    QTest::newRow("infinite") << HUGE_VAL << -HUGE_VAL << 15 << 15;
    QTest::newRow("1e308 at zoom 99") << 1e308 << 1e308 << 99 << int(Karte::maxZoom);
    QTest::newRow("-1e308 at zoom -3") << -1e308 << -1e308 << -3 << int(Karte::minZoom);
}

void TestKarte::anyCentreKeepsTheTilePassSmall()
{
    QFETCH(double, lat);
    QFETCH(double, lng);
    QFETCH(int, zoom);
    QFETCH(int, expectedZoom);
    m_loadMaps = false;
    auto view = makeView(lat, lng, zoom);
    showAndSettle(*view);
    QCOMPARE(view->zoom(), expectedZoom);
    // Every tile the pass looked at now holds a blank: a 512-pixel view with
    // one extra row and column handles at most 4 x 4 of them.
    const int handled = view->tileLoader()->cachedCount();
    QVERIFY2(handled >= 1 && handled <= 16, qPrintable(QString::number(handled)));
    view->panBy(-100000, 100000);
    QVERIFY(view->tileLoader()->cachedCount() <= 16);
}

QTEST_MAIN(TestKarte)
#include "tst_karte.moc"
