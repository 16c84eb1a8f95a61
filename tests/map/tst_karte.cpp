#include "demoserver.h"
#include "identity.h"
#include "karte.h"
#include "maphost.h"
#include "scheme.h"
#include "tileloader.h"
#include "tiletestserver.h"

#include <QtTest>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

Q_DECLARE_METATYPE(TileKey)
Q_DECLARE_METATYPE(DemoServer::Fault)

namespace
{

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
    int frames = 0;
    bool animating = false;
    int stopFollowingCalls = 0;
    int geometryUpdates = 0;
    int ledOn = 0;
    int ledOff = 0;
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

QColor colourAt(const QPixmap &pixmap)
{
    return pixmap.toImage().pixelColor(128, 128);
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

QColor fileColour(const QString &path)
{
    const QImage image(path, "PNG");
    return image.isNull() ? QColor() : image.pixelColor(128, 128);
}

void sendMouse(Karte &view, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(pos), QPointF(view.viewport()->mapToGlobal(pos)), button,
                      buttons, modifiers);
    QCoreApplication::sendEvent(view.viewport(), &event);
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

    void requestsVisibleTilesRightColumnFirst();
    void secondViewServedFromDisk();
    void unreadableFileIsFetchedAgain();
    void downloadingOffGivesBlanksWithoutTraffic();
    void blanksOfStartBeforePreferencesAreFetchedOnceKnown();
    void blankTilesRefetchedOnlyAfterLeavingRetention();
    void memoryStaysWithinRetentionRect();
    void lateReplyOfOtherZoomNotShown();
    void tileZeroZeroFetchedAndOffGridRowsSkipped();
    void cacheFolderCreatedWhenMissing();
    void redirectCannotChangeSavePath();
    void redirectedTilesSavedUnderTheirOwnPath();
    void failedTileEndsBlank_data();
    void failedTileEndsBlank();

    void zoomLimitsStillReportZoom_data();
    void zoomLimitsStillReportZoom();
    void sidewaysWheelDoesNotZoom();
    void onePixelDragIsNotAClick();
    void releaseWithoutDragIsAClick_data();
    void releaseWithoutDragIsAClick();
    void doubleClickGivesTwoClicks();
    void arrowKeysMoveOneTile_data();
    void arrowKeysMoveOneTile();
    void otherKeysReportCursorAndPassOn();
    void shiftMoveOnlyTransformsView();
    void panningWhileAnimatingStopsFollowing_data();
    void panningWhileAnimatingStopsFollowing();
    void moveWithoutButtonReportsCursor();
    void relayoutReprojectsGatesAndBoats();
    void zeroSizeStopsAfterSceneRect();
    void sceneCoordinatesAreViewPixels();
    void attributionDrawnBottomRight();

private:
    // A view on the test server and the temporary cache, not yet shown.
    std::unique_ptr<Karte> makeView(double lat = cornerLat, double lng = cornerLng,
                                    int zoom = cornerZoom, QSize size = QSize(512, 512));
    void showAndSettle(Karte &view);
    void settle();
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

void TestKarte::requestsVisibleTilesRightColumnFirst()
{
    auto view = makeView();
    QSignalSpy requested(view->tileLoader(), &TileLoader::tileRequested);
    QSignalSpy repaints(view.get(), &Karte::updated);
    showAndSettle(*view);

    const QList<TileKey> expected = cornerTiles();
    QList<TileKey> order;
    for (const QList<QVariant> &args : requested)
        order.append(args.at(0).value<TileKey>());
    QCOMPARE(order, expected);
    QCOMPARE(m_demo->requestCount(QStringLiteral("tiles")), expected.size());
    QCOMPARE(m_host->ledOn, expected.size());
    QCOMPARE(m_host->ledOff, expected.size());
    for (const DemoServer::Request &request : m_demo->requestLog())
        QCOMPARE(request.userAgent, QByteArray(Identity::tileUserAgent));

    for (const TileKey &key : expected) {
        const auto pixmap = view->tileLoader()->cached(key);
        QVERIFY2(pixmap, qPrintable(key.toString()));
        QVERIFY(!view->tileLoader()->holdsBlank(key));
        QVERIFY(sameImage(QImage(cachePath(key), "PNG"), pixmap->toImage()));
        // One repaint rectangle per changed tile.
        const QRect rect = view->projection().tileRect(key.column, key.row);
        const auto sameRect = [&](const QList<QVariant> &a) { return a.at(0).toRect() == rect; };
        QCOMPARE(std::count_if(repaints.begin(), repaints.end(), sameRect), 1);
    }
    QCOMPARE(view->tileLoader()->cachedCount(), expected.size());
}

void TestKarte::secondViewServedFromDisk()
{
    {
        auto first = makeView();
        showAndSettle(*first);
    }
    m_demo->clearRequestLog();
    m_host->ledOn = m_host->ledOff = 0;

    auto second = makeView();
    QSignalSpy repaints(second.get(), &Karte::updated);
    showAndSettle(*second);
    QVERIFY(m_demo->requestLog().isEmpty());
    QCOMPARE(m_host->ledOn, 0);
    for (const TileKey &key : cornerTiles()) {
        const auto pixmap = second->tileLoader()->cached(key);
        QVERIFY(pixmap);
        QVERIFY(sameImage(QImage(cachePath(key), "PNG"), pixmap->toImage()));
        const QRect rect = second->projection().tileRect(key.column, key.row);
        const auto sameRect = [&](const QList<QVariant> &a) { return a.at(0).toRect() == rect; };
        QCOMPARE(std::count_if(repaints.begin(), repaints.end(), sameRect), 1);
    }
}

void TestKarte::unreadableFileIsFetchedAgain()
{
    const TileKey broken{cornerZoom, 556, 372};
    QVERIFY(QDir().mkpath(QFileInfo(cachePath(broken)).absolutePath()));
    QFile file(cachePath(broken));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG truncated");
    file.close();

    auto view = makeView();
    showAndSettle(*view);
    QVERIFY(demoTileRequests(*m_demo).contains(tilePath(broken)));
    QVERIFY(!QImage(cachePath(broken), "PNG").isNull());
    QVERIFY(!view->tileLoader()->holdsBlank(broken));
}

void TestKarte::downloadingOffGivesBlanksWithoutTraffic()
{
    const TileKey onDisk{cornerZoom, 555, 373};
    QVERIFY(QDir().mkpath(QFileInfo(cachePath(onDisk)).absolutePath()));
    QFile file(cachePath(onDisk));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(TileTestServer::pngFor(onDisk.zoom, onDisk.column, onDisk.row));
    file.close();

    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);
    QVERIFY(m_demo->requestLog().isEmpty());
    QCOMPARE(m_host->ledOn, 0);
    const TileLoader *tiles = view->tileLoader();
    QCOMPARE(tiles->cachedCount(), cornerTiles().size());
    for (const TileKey &key : cornerTiles())
        QCOMPARE(tiles->holdsBlank(key), key != onDisk);
    QCOMPARE(colourAt(*tiles->cached(onDisk)), TileTestServer::colourFor(10, 555, 373));
    QCOMPARE(colourAt(tiles->blankTile()), QColor(Qt::lightGray));
}

// The window is laid out before the stored preferences are loaded; those
// blanks must not keep the start view grey once downloading turns out to be on.
void TestKarte::blanksOfStartBeforePreferencesAreFetchedOnceKnown()
{
    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);
    QVERIFY(m_demo->requestLog().isEmpty());

    m_host->loadMaps = true;
    view->tileLoader()->forgetOfflineBlanks();
    view->relayout();
    QTRY_COMPARE_WITH_TIMEOUT(view->tileLoader()->openRequests(), 0, 5000);
    QCOMPARE(m_demo->requestLog().size(), cornerTiles().size());
    for (const TileKey &key : cornerTiles())
        QVERIFY(!view->tileLoader()->holdsBlank(key));
    QCOMPARE(m_host->ledOn, m_host->ledOff);
}

void TestKarte::blankTilesRefetchedOnlyAfterLeavingRetention()
{
    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);

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
    QStringList expected;
    for (const TileKey &key : cornerTiles())
        expected.append(tilePath(key));
    QCOMPARE(sorted(demoTileRequests(*m_demo)), sorted(expected));
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
    for (const auto &move : moves) {
        move();
        settle();
        const TileLoader *tiles = view->tileLoader();
        const QRect keep = tiles->retentionRect();
        QCOMPARE(keep, view->projection().visibleTiles().adjusted(-2, -2, 2, 2));
        QVERIFY(tiles->cachedCount() <= keep.width() * keep.height());
        for (const TileKey &key : tiles->cachedKeys()) {
            QCOMPARE(key.zoom, view->zoom());
            QVERIFY2(keep.contains(key.column, key.row), qPrintable(key.toString()));
        }
        // Everything on screen is in memory.
        const QRect visible = view->projection().visibleTiles();
        for (int c = visible.left(); c <= visible.right(); ++c)
            for (int r = visible.top(); r <= visible.bottom(); ++r)
                QVERIFY(tiles->cached({view->zoom(), c, r}));
    }
}

void TestKarte::lateReplyOfOtherZoomNotShown()
{
    // Held back until zoom 5 shows the same column and row numbers.
    m_server->setAction(QStringLiteral("/4/1/1.png"), TileTestServer::Action::Hold);
    m_server->setAction(QStringLiteral("/4/2/0.png"), TileTestServer::Action::Hold);
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
    QVERIFY(view->tileLoader()->cached({5, 2, 0}));

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
    QVERIFY(got.contains(QStringLiteral("/4/0/0.png")));
    QVERIFY(!QImage(cachePath({4, 0, 0}), "PNG").isNull());
    QVERIFY(!view->tileLoader()->cached({4, 0, -1}));
}

void TestKarte::cacheFolderCreatedWhenMissing()
{
    m_cacheFolder = m_dir->filePath(QStringLiteral("not/there/yet/maps"));
    QVERIFY(!QDir(m_cacheFolder).exists());
    auto view = makeView();
    showAndSettle(*view);
    for (const TileKey &key : cornerTiles())
        QVERIFY2(QFile::exists(cachePath(key)), qPrintable(cachePath(key)));
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
}

void TestKarte::redirectedTilesSavedUnderTheirOwnPath()
{
    // The demo service redirects to the same path with a query added; the
    // reply's URL then no longer names a file of the cache.
    m_demo->setFault(QStringLiteral("tiles"), DemoServer::Fault::Redirect);
    auto view = makeView();
    showAndSettle(*view);
    QCOMPARE(m_demo->requestCount(QStringLiteral("tiles")), 2 * cornerTiles().size());
    QStringList expected;
    for (const TileKey &key : cornerTiles()) {
        QVERIFY(!view->tileLoader()->holdsBlank(key));
        QVERIFY(!QImage(cachePath(key), "PNG").isNull());
        expected.append(key.toString() + QStringLiteral(".png"));
    }
    QStringList files;
    QDirIterator it(m_cacheFolder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(m_cacheFolder).relativeFilePath(it.next()));
    QCOMPARE(sorted(files), sorted(expected));
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
}

void TestKarte::zoomLimitsStillReportZoom()
{
    QFETCH(int, start);
    QFETCH(QString, input);
    QFETCH(int, expected);

    m_host->loadMaps = false;
    auto view = makeView(cornerLat, cornerLng, start);
    showAndSettle(*view);
    const int refreshes = m_host->geometryUpdates;

    if (input == QLatin1String("wheel up"))
        sendWheel(*view, QPoint(0, 120));
    else if (input == QLatin1String("wheel down"))
        sendWheel(*view, QPoint(0, -120));
    else if (input == QLatin1String("plus"))
        QTest::keyClick(view.get(), Qt::Key_Plus);
    else
        QTest::keyClick(view.get(), Qt::Key_Minus);

    QCOMPARE(view->zoom(), expected);
    QCOMPARE(m_host->zooms, QList<int>{expected});
    QCOMPARE(m_host->geometryUpdates, refreshes + (expected == start ? 0 : 1));
    QCOMPARE(view->projection().zoom(), expected);
}

void TestKarte::sidewaysWheelDoesNotZoom()
{
    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);
    const int refreshes = m_host->geometryUpdates;
    sendWheel(*view, QPoint(120, 0));
    QCOMPARE(view->zoom(), cornerZoom);
    QCOMPARE(m_host->geometryUpdates, refreshes);
    QVERIFY(m_host->zooms.isEmpty());
}

void TestKarte::onePixelDragIsNotAClick()
{
    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);
    const QPointF before = centreTile(*view);

    sendMouse(*view, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(*view, QEvent::MouseMove, {101, 100}, Qt::NoButton, Qt::LeftButton);
    sendMouse(*view, QEvent::MouseButtonRelease, {101, 100}, Qt::LeftButton, Qt::NoButton);
    QVERIFY(m_host->clicks.isEmpty());
    const QPointF after = centreTile(*view);
    QVERIFY(std::abs(after.x() - (before.x() - 1 / 256.0)) < 1e-9);
    QVERIFY(std::abs(after.y() - before.y()) < 1e-9);

    // The drag is over: the next press and release is a click again.
    sendMouse(*view, QEvent::MouseButtonPress, {7, 8}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(*view, QEvent::MouseButtonRelease, {7, 8}, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(m_host->clicks, QList<QPoint>{QPoint(7, 8)});
}

void TestKarte::releaseWithoutDragIsAClick_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right, whose press is ignored") << Qt::RightButton;
    QTest::newRow("middle") << Qt::MiddleButton;
}

void TestKarte::releaseWithoutDragIsAClick()
{
    QFETCH(Qt::MouseButton, button);
    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);

    // A left press that starts a drag position far away; a right press must
    // not move it, or the following left drag would jump.
    sendMouse(*view, QEvent::MouseButtonPress, {30, 40}, Qt::LeftButton, Qt::LeftButton);
    sendMouse(*view, QEvent::MouseButtonRelease, {30, 40}, Qt::LeftButton, Qt::NoButton);
    m_host->clicks.clear();

    sendMouse(*view, QEvent::MouseButtonPress, {200, 210}, button, button);
    sendMouse(*view, QEvent::MouseButtonRelease, {201, 211}, button, Qt::NoButton);
    QCOMPARE(m_host->clicks, QList<QPoint>{QPoint(201, 211)});

    if (button == Qt::RightButton) {
        const QPointF before = centreTile(*view);
        sendMouse(*view, QEvent::MouseMove, {32, 40}, Qt::NoButton, Qt::LeftButton);
        const QPointF after = centreTile(*view);
        QVERIFY(std::abs(after.x() - (before.x() - 2 / 256.0)) < 1e-9);
    }
}

void TestKarte::doubleClickGivesTwoClicks()
{
    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);
    const QPoint p(50, 60);
    sendMouse(*view, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
    sendMouse(*view, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    sendMouse(*view, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
    sendMouse(*view, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(m_host->clicks, (QList<QPoint>{p, p}));
}

void TestKarte::arrowKeysMoveOneTile_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QPointF>("shift");

    QTest::newRow("left is west") << int(Qt::Key_Left) << QPointF(-1, 0);
    QTest::newRow("right is east") << int(Qt::Key_Right) << QPointF(1, 0);
    QTest::newRow("up is north") << int(Qt::Key_Up) << QPointF(0, -1);
    QTest::newRow("down is south") << int(Qt::Key_Down) << QPointF(0, 1);
}

void TestKarte::arrowKeysMoveOneTile()
{
    QFETCH(int, key);
    QFETCH(QPointF, shift);
    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);
    sendMouse(*view, QEvent::MouseMove, {20, 30}, Qt::NoButton, Qt::NoButton);
    m_host->xy.clear();

    const QPointF before = centreTile(*view);
    QTest::keyClick(view.get(), Qt::Key(key));
    const QPointF moved = centreTile(*view) - before;
    QVERIFY(std::abs(moved.x() - shift.x()) < 1e-9);
    QVERIFY(std::abs(moved.y() - shift.y()) < 1e-9);
    QCOMPARE(m_host->xy.size(), 1);
    QCOMPARE(QPoint(m_host->xy.last().x, m_host->xy.last().y), QPoint(20, 30));
}

void TestKarte::otherKeysReportCursorAndPassOn()
{
    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);
    const GeoPoint centre = view->projection().centre();

    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(view.get(), &other);
    QVERIFY(!other.isAccepted()); // on to the window
    QCOMPARE(m_host->xy.size(), 1);
    QCOMPARE(view->projection().centre(), centre);

    QTest::keyClick(view.get(), Qt::Key_PageUp);
    QCOMPARE(m_host->frames, 1);
    QCOMPARE(m_host->xy.size(), 2);
}

void TestKarte::shiftMoveOnlyTransformsView()
{
    auto view = makeView();
    showAndSettle(*view);
    m_demo->clearRequestLog();
    const GeoPoint centre = view->projection().centre();
    const int refreshes = m_host->geometryUpdates;

    sendMouse(*view, QEvent::MouseMove, {50, 60}, Qt::NoButton, Qt::NoButton, Qt::ShiftModifier);
    QVERIFY(!view->transform().isIdentity());
    QCOMPARE(view->projection().centre(), centre);
    QVERIFY(m_host->xy.isEmpty());
    QCOMPARE(m_host->geometryUpdates, refreshes);
    QVERIFY(m_demo->requestLog().isEmpty());
}

void TestKarte::panningWhileAnimatingStopsFollowing_data()
{
    QTest::addColumn<bool>("animating");
    QTest::newRow("animation running") << true;
    QTest::newRow("animation paused") << false;
}

void TestKarte::panningWhileAnimatingStopsFollowing()
{
    QFETCH(bool, animating);
    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);
    m_host->animating = animating;
    view->panBy(5, 0);
    QTest::keyClick(view.get(), Qt::Key_Up);
    QCOMPARE(m_host->stopFollowingCalls, animating ? 2 : 0);
}

void TestKarte::moveWithoutButtonReportsCursor()
{
    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);
    sendMouse(*view, QEvent::MouseMove, {10, 500}, Qt::NoButton, Qt::NoButton);
    QCOMPARE(m_host->xy.size(), 1);
    const RecordingHost::Status s = m_host->xy.last();
    const GeoPoint g = view->projection().viewToGeo(10, 500);
    QCOMPARE(QPoint(s.x, s.y), QPoint(10, 500));
    QCOMPARE(s.lat, g.lat());
    QCOMPARE(s.lng, g.lng());
    QCOMPARE(s.zoom, cornerZoom);
    QVERIFY(s.lat < cornerLat && s.lng < cornerLng);
}

void TestKarte::relayoutReprojectsGatesAndBoats()
{
    m_host->loadMaps = false;
    auto view = makeView();
    CountingGate a, b;
    view->setGateItems({&a, &b});
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

void TestKarte::zeroSizeStopsAfterSceneRect()
{
    auto view = makeView(cornerLat, cornerLng, cornerZoom, QSize(0, 0));
    CountingGate gate;
    view->setGateItems({&gate});
    view->relayout();
    QCOMPARE(view->sceneRect(), QRectF(0, 0, 0, 0));
    QCOMPARE(gate.count, 0);
    QCOMPARE(m_host->geometryUpdates, 0);
    QCOMPARE(m_host->ledOn, 0);
}

void TestKarte::sceneCoordinatesAreViewPixels()
{
    m_host->loadMaps = false;
    auto view = makeView(cornerLat, cornerLng, cornerZoom, QSize(640, 480));
    showAndSettle(*view);
    view->centerOn(0, 0);
    QCOMPARE(view->sceneRect(), QRectF(0, 0, 640, 480));
    QCOMPARE(view->mapFromScene(QPointF(0, 0)), QPoint(0, 0));
    QCOMPARE(view->mapFromScene(QPointF(320, 240)), QPoint(320, 240));
    view->resize(800, 600);
    QTRY_COMPARE(view->sceneRect(), QRectF(0, 0, 800, 600));
    QCOMPARE(view->projection().width(), 800);
}

void TestKarte::attributionDrawnBottomRight()
{
    m_host->loadMaps = false;
    auto view = makeView();
    showAndSettle(*view);
    const QImage image = view->grab().toImage();
    const QColor blank(Qt::lightGray);
    int dark = 0;
    for (int y = image.height() - 14; y < image.height(); ++y)
        for (int x = image.width() - 60; x < image.width(); ++x)
            dark += image.pixelColor(x, y).lightness() < 100;
    QVERIFY(dark > 5);
    // The rest of the map is the blank tile.
    QCOMPARE(image.pixelColor(10, 10), blank);
    QCOMPARE(image.pixelColor(image.width() - 10, 10), blank);
}

QTEST_MAIN(TestKarte)
#include "tst_karte.moc"
