#include "demoserver.h"
#include "platform/identity.h"
#include "map/karte.h"
#include "map/maphost.h"
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
Q_DECLARE_METATYPE(DemoServer::Fault)

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

class RecordingHost : public MapHost
{
public:
    struct Status {
        int x, y;
        qreal lat, lng;
        int zoom;
    };

    void setXYStatus(int x, int y, qreal lat, qreal lng, int zoom) override
    {
        xy.append({x, y, lat, lng, zoom});
    }
    void setZoomStatus(int zoom) override { zooms.append(zoom); }
    void advanceFrame() override { ++frames; }
    void mapClicked(int x, int y) override { clicks.append(QPoint(x, y)); }
    bool isAnimating() const override { return animating; }
    void stopFollowing() override { ++stopFollowingCalls; }
    void updateShipGeometry(const MapProjection &) override { ++geometryUpdates; }
    void setNetLedOn() override { ++ledOn; }
    void setNetLedOff() override { ++ledOff; }
    bool loadMapsEnabled() const override { return loadMaps; }

    int openTransfers() const { return ledOn - ledOff; }

    QList<Status> xy;
    QList<int> zooms;
    QList<QPoint> clicks;
    int frames = 0, stopFollowingCalls = 0, geometryUpdates = 0, ledOn = 0, ledOff = 0;
    bool animating = false;
    bool loadMaps = true;
};

class CountingGate : public ProjectedItem
{
public:
    void reproject(const MapProjection &projection) override
    {
        ++count;
        zoom = projection.zoom();
    }
    int count = 0;
    int zoom = 0;
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

bool sameImage(const QImage &a, const QImage &b)
{
    return !a.isNull() &&
           a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

void sendMouse(Karte &view, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(pos), QPointF(view.viewport()->mapToGlobal(pos)), button,
                      buttons, modifiers);
    QCoreApplication::sendEvent(view.viewport(), &event);
}

void press(Karte &view, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(view, QEvent::MouseButtonPress, pos, button, button);
}

void release(Karte &view, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(view, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}

void move(Karte &view, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton)
{
    sendMouse(view, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

void sendWheel(Karte &view, QPoint angle)
{
    const QPointF pos(100, 100);
    QWheelEvent event(pos, view.viewport()->mapToGlobal(pos), QPoint(), angle, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &event);
}

QPointF centreTile(const Karte &view)
{
    const GeoPoint c = view.projection().centre();
    return Geo::tilePosition(c.lat(), c.lng(), view.projection().n());
}

bool movedBy(QPointF before, QPointF after, QPointF tiles)
{
    const QPointF d = after - before - tiles;
    return std::abs(d.x()) < 1e-9 && std::abs(d.y()) < 1e-9;
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

    void requestsVisibleTilesRightColumnFirstThenServesFromDisk();
    void cacheFilesAndBlanksAtStart();
    void blankTilesRefetchedOnlyAfterLeavingRetention();
    void memoryStaysWithinRetentionRect();
    void lateReplyOfOtherZoomNotShown();
    void tileZeroZeroFetchedAndOffGridRowsSkipped();
    void redirectCannotChangeSavePath();
    void redirectedTilesSavedUnderTheirOwnPath();
    void failedTileEndsBlank_data();
    void failedTileEndsBlank();

    void anyCentreKeepsTheTilePassSmall_data();
    void anyCentreKeepsTheTilePassSmall();
    void zoomLimitsStillReportZoom_data();
    void zoomLimitsStillReportZoom();
    void clicksAndDrags_data();
    void clicksAndDrags();
    void arrowKeysMoveOneTile_data();
    void arrowKeysMoveOneTile();
    void inputsThatKeepTheMapInPlace();
    void relayoutReprojectsGatesAndBoatsUnlessEmpty();
    void sceneCoordinatesAreViewPixelsWithAttribution();

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
    std::unique_ptr<RecordingHost> m_host;
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
    m_host = std::make_unique<RecordingHost>();
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
    auto view = std::make_unique<Karte>(m_scene.get(), m_host.get());
    view->setTileServer(m_demo->baseUrl());
    view->setTileCacheFolder(m_cacheFolder);
    view->setCenterGeo(lat, lng);
    view->setZoomLevel(zoom);
    view->resize(size);
    return view;
}

std::unique_ptr<Karte> TestKarte::offlineView(int zoom, QSize size)
{
    m_host->loadMaps = false;
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

void TestKarte::requestsVisibleTilesRightColumnFirstThenServesFromDisk()
{
    // The cache folder is made when missing.
    m_cacheFolder = m_dir->filePath(QStringLiteral("not/there/yet/maps"));
    const QList<TileKey> expected = cornerTiles();
    for (const bool second : {false, true}) {
        m_demo->clearRequestLog();
        m_host->ledOn = m_host->ledOff = 0;
        auto view = makeView();
        QSignalSpy requested(view->tileLoader(), &TileLoader::tileRequested);
        QSignalSpy repaints(view.get(), &Karte::updated);
        showAndSettle(*view);

        if (second) {
            QVERIFY(m_demo->requestLog().isEmpty());
            QCOMPARE(m_host->ledOn, 0);
        } else {
            QList<TileKey> order;
            for (const QList<QVariant> &args : requested)
                order.append(args.at(0).value<TileKey>());
            QCOMPARE(order, expected);
            QCOMPARE(m_demo->requestCount(QStringLiteral("tiles")), expected.size());
            QCOMPARE(m_host->ledOn, expected.size());
            QCOMPARE(m_host->ledOff, expected.size());
            for (const DemoServer::Request &request : m_demo->requestLog())
                QCOMPARE(request.userAgent, QByteArray(Identity::tileUserAgent));
        }
        for (const TileKey &key : expected) {
            const auto pixmap = view->tileLoader()->cached(key);
            QVERIFY2(pixmap, qPrintable(key.toString()));
            QVERIFY(!view->tileLoader()->holdsBlank(key));
            QVERIFY(sameImage(QImage(cachePath(key), "PNG"), pixmap->toImage()));
            // One repaint rectangle per changed tile.
            const QRect rect = view->projection().tileRect(key.column, key.row);
            const auto sameRect = [&](const QList<QVariant> &a) {
                return a.at(0).toRect() == rect;
            };
            QCOMPARE(std::count_if(repaints.begin(), repaints.end(), sameRect), 1);
        }
        QCOMPARE(view->tileLoader()->cachedCount(), expected.size());
    }
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
    m_host->loadMaps = true;
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

void TestKarte::blankTilesRefetchedOnlyAfterLeavingRetention()
{
    auto view = offlineView();
    m_host->loadMaps = true;
    view->relayout();
    settle();
    QVERIFY(m_demo->requestLog().isEmpty());
    // Far enough east that every old tile leaves the retention rectangle.
    view->panBy(-256 * 8, 0);
    settle();
    m_demo->clearRequestLog();
    view->panBy(256 * 8, 0);
    settle();
    QCOMPARE(sorted(demoTileRequests(*m_demo)), cornerPaths());
}

void TestKarte::memoryStaysWithinRetentionRect()
{
    auto view = makeView();
    showAndSettle(*view);
    const QList<std::function<void()>> moves = {
        [&] { view->panBy(300, -200); }, [&] { view->panBy(-700, 50); },
        [&] { view->stepZoom(+1); },     [&] { view->panBy(1000, 1000); },
        [&] { view->stepZoom(-2); },     [&] { QTest::keyClick(view.get(), Qt::Key_Right); },
        [&] { view->resize(900, 300); },
    };
    for (const auto &step : moves) {
        step();
        settle();
        const TileLoader *tiles = view->tileLoader();
        const QRect visible = view->projection().visibleTiles();
        const QRect keep = tiles->retentionRect();
        QCOMPARE(keep, visible.adjusted(-2, -2, 2, 2));
        for (const TileKey &key : tiles->cachedKeys()) {
            QCOMPARE(key.zoom, view->zoom());
            QVERIFY2(keep.contains(key.column, key.row), qPrintable(key.toString()));
        }
        // Everything on screen is in memory.
        for (int c = visible.left(); c <= visible.right(); ++c)
            for (int r = visible.top(); r <= visible.bottom(); ++r)
                QVERIFY(tiles->cached({view->zoom(), c, r}));
    }
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

void TestKarte::tileZeroZeroFetchedAndOffGridRowsSkipped()
{
    auto view = makeView(worldCornerLat, worldCornerLng, 4);
    showAndSettle(*view);
    const QRect visible = view->projection().visibleTiles();
    QVERIFY(visible.top() < 0);
    QCOMPARE(visible.left(), 0);

    QStringList expected;
    for (int c = visible.right() + 1; c >= 0; --c)
        for (int r = 0; r <= visible.bottom() + 1; ++r)
            expected.append(tilePath({4, c, r}));
    const QStringList got = demoTileRequests(*m_demo);
    QCOMPARE(got.size(), expected.size());
    QCOMPARE(sorted(got), sorted(expected));
    QVERIFY(!QImage(cachePath({4, 0, 0}), "PNG").isNull());
    QVERIFY(!view->tileLoader()->cached({4, 0, -1}));
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
    // The body is kept as it came, not decoded and encoded again.
    QFile saved(cachePath(asked));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), TileTestServer::pngFor(10, 1, 1));
    QVERIFY(!QFile::exists(cachePath(elsewhere)));
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

void TestKarte::failedTileEndsBlank_data()
{
    QTest::addColumn<DemoServer::Fault>("fault");
    QTest::newRow("server error") << DemoServer::Fault::HttpError;
    QTest::newRow("no answer before the timeout") << DemoServer::Fault::Hang;
    QTest::newRow("body cut short") << DemoServer::Fault::CutBody;
    QTest::newRow("not an image") << DemoServer::Fault::Malformed;
}

void TestKarte::failedTileEndsBlank()
{
    QFETCH(DemoServer::Fault, fault);
    m_demo->setFault(QStringLiteral("tiles"), fault,
                     fault == DemoServer::Fault::HttpError ? 503 : 0);
    auto view = makeView();
    view->setTileTimeout(300);
    showAndSettle(*view);

    QCOMPARE(m_host->ledOn, cornerTiles().size());
    QCOMPARE(m_host->ledOff, cornerTiles().size());
    for (const TileKey &key : cornerTiles()) {
        QVERIFY(view->tileLoader()->holdsBlank(key));
        QVERIFY(!QFile::exists(cachePath(key)));
    }

    // Within the retention rectangle they are not asked for again.
    m_demo->clearFaults();
    m_demo->clearRequestLog();
    view->panBy(10, 10);
    settle();
    const QStringList again = demoTileRequests(*m_demo);
    QVERIFY(!again.isEmpty()); // the newly uncovered row and column
    for (const TileKey &key : cornerTiles())
        QVERIFY(!again.contains(tilePath(key)));
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
    QTest::newRow("1e308 at zoom 99") << 1e308 << 1e308 << 99 << Karte::maxZoom;
    QTest::newRow("-1e308 at zoom -3") << -1e308 << -1e308 << -3 << Karte::minZoom;
}

void TestKarte::anyCentreKeepsTheTilePassSmall()
{
    QFETCH(double, lat);
    QFETCH(double, lng);
    QFETCH(int, zoom);
    QFETCH(int, expectedZoom);
    m_host->loadMaps = false;
    auto view = makeView(lat, lng, zoom);
    showAndSettle(*view);
    QCOMPARE(view->zoom(), expectedZoom);
    // Every tile the pass looked at holds a blank now: a 512-pixel view with
    // one extra row and column handles at most 4 x 4 of them.
    const int handled = view->tileLoader()->cachedCount();
    QVERIFY2(handled >= 1 && handled <= 16, qPrintable(QString::number(handled)));
    view->panBy(-100000, 100000);
    QVERIFY(view->tileLoader()->cachedCount() <= 16);
}

void TestKarte::zoomLimitsStillReportZoom_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("expected");

    QTest::newRow("15 wheel up") << 15 << "wheel up" << 15;
    QTest::newRow("15 plus") << 15 << "plus" << 15;
    QTest::newRow("4 wheel down") << 4 << "wheel down" << 4;
    QTest::newRow("4 minus") << 4 << "minus" << 4;
    QTest::newRow("10 wheel up") << 10 << "wheel up" << 11;
    QTest::newRow("10 minus") << 10 << "minus" << 9;
    QTest::newRow("14 plus") << 14 << "plus" << 15;
    QTest::newRow("sideways wheel does not zoom") << 10 << "wheel sideways" << 10;
}

void TestKarte::zoomLimitsStillReportZoom()
{
    QFETCH(int, start);
    QFETCH(QString, input);
    QFETCH(int, expected);

    auto view = offlineView(start);
    const int refreshes = m_host->geometryUpdates;
    if (input == QLatin1String("wheel up"))
        sendWheel(*view, QPoint(0, 120));
    else if (input == QLatin1String("wheel down"))
        sendWheel(*view, QPoint(0, -120));
    else if (input == QLatin1String("wheel sideways"))
        sendWheel(*view, QPoint(120, 0));
    else
        QTest::keyClick(view.get(), input == QLatin1String("plus") ? Qt::Key_Plus : Qt::Key_Minus);

    QCOMPARE(view->projection().zoom(), expected);
    const bool sideways = input == QLatin1String("wheel sideways");
    QCOMPARE(m_host->zooms, sideways ? QList<int>{} : QList<int>{expected});
    QCOMPARE(m_host->geometryUpdates, refreshes + (expected == start ? 0 : 1));
}

void TestKarte::clicksAndDrags_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right, whose press is ignored") << Qt::RightButton;
    QTest::newRow("middle") << Qt::MiddleButton;
}

void TestKarte::clicksAndDrags()
{
    QFETCH(Qt::MouseButton, button);
    auto view = offlineView();
    // A one-pixel drag is not a click.
    QPointF before = centreTile(*view);
    press(*view, {30, 40});
    move(*view, {31, 40}, Qt::LeftButton);
    release(*view, {31, 40});
    QVERIFY(m_host->clicks.isEmpty());
    QVERIFY(movedBy(before, centreTile(*view), {-1 / 256.0, 0}));

    // The drag is over: a press and release without a move is a click again.
    press(*view, {200, 210}, button);
    release(*view, {201, 211}, button);
    QCOMPARE(m_host->clicks, QList<QPoint>{QPoint(201, 211)});
    if (button == Qt::RightButton) {
        // The right press did not move the drag position, or a left drag would jump.
        before = centreTile(*view);
        move(*view, {33, 40}, Qt::LeftButton);
        QVERIFY(movedBy(before, centreTile(*view), {-2 / 256.0, 0}));
    }
    if (button == Qt::LeftButton) {
        // A double click gives two clicks.
        m_host->clicks.clear();
        const QPoint p(50, 60);
        press(*view, p);
        release(*view, p);
        sendMouse(*view, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
        release(*view, p);
        QCOMPARE(m_host->clicks, (QList<QPoint>{p, p}));
    }
}

void TestKarte::arrowKeysMoveOneTile_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QPointF>("shift");
    QTest::addColumn<bool>("animating");

    QTest::newRow("left is west") << int(Qt::Key_Left) << QPointF(-1, 0) << false;
    QTest::newRow("right is east") << int(Qt::Key_Right) << QPointF(1, 0) << true;
    QTest::newRow("up is north") << int(Qt::Key_Up) << QPointF(0, -1) << true;
    QTest::newRow("down is south") << int(Qt::Key_Down) << QPointF(0, 1) << false;
}

void TestKarte::arrowKeysMoveOneTile()
{
    QFETCH(int, key);
    QFETCH(QPointF, shift);
    QFETCH(bool, animating);
    auto view = offlineView();
    move(*view, {20, 30});
    m_host->xy.clear();
    m_host->animating = animating;

    const QPointF before = centreTile(*view);
    QTest::keyClick(view.get(), Qt::Key(key));
    QVERIFY(movedBy(before, centreTile(*view), shift));
    QCOMPARE(m_host->xy.size(), 1);
    QCOMPARE(QPoint(m_host->xy.last().x, m_host->xy.last().y), QPoint(20, 30));
    // Panning while the animation runs stops following a boat.
    view->panBy(5, 0);
    QCOMPARE(m_host->stopFollowingCalls, animating ? 2 : 0);
}

void TestKarte::inputsThatKeepTheMapInPlace()
{
    auto view = offlineView();
    const GeoPoint centre = view->projection().centre();
    const int refreshes = m_host->geometryUpdates;

    // A move without a button reports the cursor.
    move(*view, {10, 500});
    QCOMPARE(m_host->xy.size(), 1);
    const RecordingHost::Status s = m_host->xy.last();
    QCOMPARE(QPoint(s.x, s.y), QPoint(10, 500));
    QCOMPARE(GeoPoint(s.lat, s.lng), view->projection().viewToGeo(10, 500));
    QCOMPARE(s.zoom, cornerZoom);
    QVERIFY(s.lat < cornerLat && s.lng < cornerLng);

    // Other keys report the cursor and pass on to the window; PageUp is a frame.
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(view.get(), &other);
    QVERIFY(!other.isAccepted());
    QCOMPARE(m_host->xy.size(), 2);
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    QCOMPARE(m_host->frames, 1);
    QCOMPARE(m_host->xy.size(), 3);

    // A move with Shift only transforms the view.
    sendMouse(*view, QEvent::MouseMove, {50, 60}, Qt::NoButton, Qt::NoButton, Qt::ShiftModifier);
    QVERIFY(!view->transform().isIdentity());
    QCOMPARE(m_host->xy.size(), 3);
    QCOMPARE(view->projection().centre(), centre);
    QCOMPARE(m_host->geometryUpdates, refreshes);
}

void TestKarte::relayoutReprojectsGatesAndBoatsUnlessEmpty()
{
    m_host->loadMaps = false;
    auto view = makeView(cornerLat, cornerLng, cornerZoom, QSize(0, 0));
    CountingGate a, b;
    view->setGateItems({&a, &b});
    // A zero-sized view stops after setting the scene rectangle.
    view->relayout();
    QCOMPARE(view->sceneRect(), QRectF(0, 0, 0, 0));
    QCOMPARE(a.count, 0);
    QCOMPARE(m_host->geometryUpdates, 0);

    view->resize(512, 512);
    showAndSettle(*view);
    const int gates = a.count;
    const int boats = m_host->geometryUpdates;
    QVERIFY(gates >= 1);
    view->stepZoom(+1);
    QCOMPARE(a.count, gates + 1);
    QCOMPARE(b.count, gates + 1);
    QCOMPARE(a.zoom, 11);
    QCOMPARE(m_host->geometryUpdates, boats + 1);
}

void TestKarte::sceneCoordinatesAreViewPixelsWithAttribution()
{
    auto view = offlineView(cornerZoom, QSize(640, 480));
    view->centerOn(0, 0);
    QCOMPARE(view->sceneRect(), QRectF(0, 0, 640, 480));
    QCOMPARE(view->mapFromScene(QPointF(320, 240)), QPoint(320, 240));

    // The attribution bottom right, the rest of the map the blank tile.
    const QImage image = view->grab().toImage();
    int dark = 0;
    for (int y = image.height() - 14; y < image.height(); ++y)
        for (int x = image.width() - 60; x < image.width(); ++x)
            dark += image.pixelColor(x, y).lightness() < 100;
    QVERIFY(dark > 5);
    QCOMPARE(image.pixelColor(10, 10), QColor(Qt::lightGray));
    QCOMPARE(image.pixelColor(image.width() - 10, 10), QColor(Qt::lightGray));

    view->resize(800, 600);
    QTRY_COMPARE(view->sceneRect(), QRectF(0, 0, 800, 600));
    QCOMPARE(view->projection().width(), 800);
}

QTEST_MAIN(TestKarte)
#include "tst_karte.moc"
