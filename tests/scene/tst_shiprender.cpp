#include "scenetest.h"
#include "ship.h"
#include "shiploader.h"
#include "spritestrip.h"

#include <QGraphicsScene>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

using namespace SceneTest;

namespace
{

const double centreLat = 43.5;
const double centreLng = 15.9;

// Ten fixes 2000 s apart running north from just south of the centre.
std::unique_ptr<Ship> northboundShip(const QColor &colour, int t0 = 100000)
{
    auto ship = std::make_unique<Ship>(1, QStringLiteral("a"), QString(), QString());
    for (int k = 0; k < 10; ++k)
        ship->rawTrack()->addPoint(centreLat - 0.05 + 0.005 * k, centreLng, t0 + 2000 * k, 0.0);
    ship->setPointCount(10);
    ship->setHasPositions(true);
    ship->setColour(colour);
    ship->saveColour();
    return ship;
}

// What the time slider does for one moment.
void moveTo(Ship &ship, int t)
{
    TrackPoint *p = ship.positionAt(t);
    ship.setCurrentPoint(p);
    ship.setCurrentTime(t);
    ship.setPositionKnown(true);
    ship.setShowTrack(true);
}

} // namespace

class TestShipRender : public QObject
{
    Q_OBJECT
private slots:
    void frameForHeading_data();
    void frameForHeading();
    void stripTurnsClockwise();
    void committedStripPointsNorthAtFrameZero();
    void projectorMatchesGeoToView();
    void tail_data();
    void tail();
    void tailWithCompleteTrackStopsAtFixOne();
    void boundingRectCoversSpriteLabelAndTrack();
    void labelRepaintedInPartialUpdate();
    void spriteFollowsZoom();
    void invalidColourDrawnInFallback();
    void followedShipDrawsCircleAndWiderLine();
    void hiddenShipDrawsNothingButMoves();
    void unknownPositionDrawsOnlyTrack();
    void missingStripDrawsDot();
};

void TestShipRender::frameForHeading_data()
{
    QTest::addColumn<double>("heading");
    QTest::addColumn<int>("frame");
    QTest::newRow("0") << 0.0 << 0;
    QTest::newRow("0.99") << 0.99 << 0;
    QTest::newRow("90") << 90.0 << 90;
    QTest::newRow("90.5") << 90.5 << 90;
    QTest::newRow("359.5") << 359.5 << 359;
    QTest::newRow("359.9") << 359.9 << 359;
    QTest::newRow("-1") << -1.0 << 359;
    QTest::newRow("-90.5") << -90.5 << 269;
    QTest::newRow("-360") << -360.0 << 0;
    QTest::newRow("tiny negative") << -1e-14 << 0;
    QTest::newRow("360") << 360.0 << 0;
    QTest::newRow("361.2") << 361.2 << 1;
    QTest::newRow("725") << 725.0 << 5;
    QTest::newRow("nan") << std::nan("") << 0;
    QTest::newRow("infinity") << HUGE_VAL << 0;
}

void TestShipRender::frameForHeading()
{
    QFETCH(double, heading);
    QFETCH(int, frame);
    QCOMPARE(SpriteStrip::frameForHeading(heading), frame);
}

void TestShipRender::stripTurnsClockwise()
{
    // A 4 x 4 block at the top centre of an otherwise transparent picture.
    QImage picture(32, 32, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int y = 1; y < 5; ++y)
        for (int x = 14; x < 18; ++x)
            picture.setPixelColor(x, y, Qt::white);
    const QImage strip = SpriteStrip::render(picture);
    QCOMPARE(strip.size(), QSize(11520, 32));
    const auto opaque = [](QColor c) { return c.alpha() > 128; };
    const auto inFrame = [](int k, const QRect &r) { return r.translated(32 * k, 0); };
    QVERIFY(countPixels(strip, inFrame(0, QRect(14, 1, 4, 4)), opaque) >= 12);
    QVERIFY(countPixels(strip, inFrame(90, QRect(27, 14, 4, 4)), opaque) >= 12);
    QVERIFY(countPixels(strip, inFrame(180, QRect(14, 27, 4, 4)), opaque) >= 12);
    QVERIFY(countPixels(strip, inFrame(270, QRect(1, 14, 4, 4)), opaque) >= 12);
    // Everything else stays transparent (the strip starts cleared).
    QCOMPARE(countPixels(strip, inFrame(90, QRect(0, 0, 20, 32)), opaque), 0);
    QCOMPARE(strip.pixelColor(11519, 31).alpha(), 0);
}

void TestShipRender::committedStripPointsNorthAtFrameZero()
{
    const QString dir = qEnvironmentVariable("VELMARO_SOURCE_DIR");
    const QImage strip(QDir(dir).filePath(QStringLiteral("sprites/shipstrip.png")));
    const QImage picture(QDir(dir).filePath(QStringLiteral("sprites/ship_32.png")));
    QCOMPARE(strip.size(), QSize(11520, 32));
    QCOMPARE(picture.size(), QSize(32, 32));
    QCOMPARE(picture.pixelColor(0, 0).alpha(), 0);

    // The bow is the extreme opaque pixel in the heading's direction.
    const auto extreme = [&](int k, int dx, int dy) {
        QPoint best;
        int bestScore = INT_MIN;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (strip.pixelColor(32 * k + x, y).alpha() > 128) {
                    const int score = (x - 16) * dx + (y - 16) * dy;
                    if (score > bestScore) {
                        bestScore = score;
                        best = QPoint(x, y);
                    }
                }
        return best;
    };
    const QPoint north = extreme(0, 0, -1);
    QVERIFY2(north.y() < 6 && std::abs(north.x() - 16) <= 2,
             qPrintable(QString::number(north.x())));
    const QPoint east = extreme(90, 1, 0);
    QVERIFY(east.x() > 25 && std::abs(east.y() - 16) <= 2);
    const QPoint south = extreme(180, 0, 1);
    QVERIFY(south.y() > 25 && std::abs(south.x() - 16) <= 2);
    // The hull is longer than wide: frame 0 reaches further up than sideways.
    QVERIFY(extreme(0, 1, 0).x() < 25);
}

void TestShipRender::projectorMatchesGeoToView()
{
    QRandomGenerator random(7);
    for (int zoom : {4, 8, 10, 12, 15}) {
        const MapProjection p = projection(43.3, 16.1, zoom, 1920, 1080);
        const TrackProjector projector(p);
        for (int i = 0; i < 2000; ++i) {
            const GeoPoint g(42.0 + 2.5 * random.generateDouble(),
                             14.0 + 4.0 * random.generateDouble());
            TrackSegment s;
            s.start = g;
            QCOMPARE(projector.toView(g), p.geoToView(g));
            QCOMPARE(projector.toView(s), p.geoToView(g));
            QCOMPARE(projector.toView(s), p.geoToView(g)); // from the cached row
        }
    }
}

void TestShipRender::tail_data()
{
    QTest::addColumn<int>("sinceLastFix"); // seconds from fix 9 to the moment
    QTest::addColumn<QList<int>>("fixes"); // fixes after the current position

    // Fixes every 2000 s; segment j carries the time of fix j + 1.
    QTest::newRow("at the last fix") << 0 << QList<int>{8, 7, 6, 5, 4, 3};
    QTest::newRow("segment exactly 10799 s old stays") << 799 << QList<int>{8, 7, 6, 5, 4, 3};
    QTest::newRow("segment 10800 s old goes") << 800 << QList<int>{8, 7, 6, 5, 4};
    QTest::newRow("all fixes older than three hours") << 30000 << QList<int>{};
}

void TestShipRender::tail()
{
    QFETCH(int, sinceLastFix);
    QFETCH(QList<int>, fixes);
    const int t0 = 100000;
    QGraphicsScene scene;
    auto ship = northboundShip(Qt::blue, t0);
    const int t = t0 + 18000 + sinceLastFix;
    const MapProjection p = projection(centreLat, centreLng, 12, 800, 600);
    placeShips({ship.get()}, p, &scene);
    ship->setCompleteTrack(false);
    moveTo(*ship, t);
    ship->updateGeometry(p);

    const QPolygonF polygon = ship->trackPolygon();
    QCOMPARE(polygon.size(), fixes.size() + 1);
    QCOMPARE(polygon.first(), QPointF(p.geoToView(ship->currentPoint()->position)));
    for (int i = 0; i < fixes.size(); ++i)
        QCOMPARE(polygon.at(i + 1),
                 QPointF(p.geoToView(ship->rawTrack()->pointAt(fixes[i])->position)));
}

void TestShipRender::tailWithCompleteTrackStopsAtFixOne()
{
    QGraphicsScene scene;
    auto ship = northboundShip(Qt::blue);
    const MapProjection p = projection(centreLat, centreLng, 12, 800, 600);
    placeShips({ship.get()}, p, &scene);
    ship->setCompleteTrack(true);
    moveTo(*ship, 100000 + 18000 + 50000);
    ship->updateGeometry(p);
    const QPolygonF polygon = ship->trackPolygon();
    QCOMPARE(polygon.size(), 9); // current position, fixes 8 down to 1
    QCOMPARE(polygon.last(), QPointF(p.geoToView(ship->rawTrack()->pointAt(1)->position)));
    QVERIFY(!polygon.contains(QPointF(p.geoToView(ship->rawTrack()->pointAt(0)->position))));

    // At fix 1 or between fix 0 and 1 the tail is the position alone.
    for (int t : {100000 + 2000, 100000 + 500}) {
        moveTo(*ship, t);
        ship->updateGeometry(p);
        QCOMPARE(ship->trackPolygon().size(), 1);
    }
}

void TestShipRender::boundingRectCoversSpriteLabelAndTrack()
{
    QGraphicsScene scene;
    auto ship = northboundShip(Qt::blue);
    ship->setSpriteStrip(committedStrip());
    const MapProjection p = projection(centreLat, centreLng, 12, 800, 600);
    placeShips({ship.get()}, p, &scene);
    ship->setFollow(true);
    ship->setCompleteTrack(true);
    moveTo(*ship, 100000 + 9000);
    ship->updateGeometry(p);
    const QPoint s = ship->screenPos();
    const QRectF bounds = ship->boundingRect();
    QVERIFY(bounds.contains(QRectF(s.x() - 16, s.y() - 16, 32, 32)));
    QVERIFY(bounds.contains(QRectF(s.x() - 16, s.y() - 16, 35, 35))); // follow circle
    const QFontMetricsF metrics(Ship::labelFont());
    QVERIFY(
        bounds.contains(metrics.boundingRect(ship->speedText()).translated(s.x() - 7, s.y() - 16)));
    QVERIFY(ship->trackPolygon().size() > 2);
    for (const QPointF &point : ship->trackPolygon())
        QVERIFY(bounds.contains(point));
}

void TestShipRender::labelRepaintedInPartialUpdate()
{
    // The tail runs south, the label sits above the boat: a repaint of the
    // label's area alone must still draw it.
    QGraphicsScene scene(0, 0, 800, 600);
    auto ship = northboundShip(QColor(0, 0, 200));
    ship->setSpriteStrip(committedStrip());
    const MapProjection p = projection(centreLat, centreLng, 12, 800, 600);
    scene.setItemIndexMethod(QGraphicsScene::NoIndex);
    placeShips({ship.get()}, p, &scene);
    moveTo(*ship, 100000 + 9000);
    ship->updateGeometry(p);
    const QPoint s = ship->screenPos();
    const QRect labelArea(s.x() - 8, s.y() - 34, 40, 16);
    const QImage image = render(scene, labelArea);
    const int dark = countPixels(image, image.rect(), [](QColor c) {
        return c.red() < 90 && c.green() < 90 && c.blue() < 90;
    });
    QVERIFY2(dark > 5, qPrintable(QString::number(dark)));
}

void TestShipRender::spriteFollowsZoom()
{
    const QColor green(0, 160, 0);
    QGraphicsScene scene(0, 0, 800, 600);
    auto ship = northboundShip(green);
    ship->setSpriteStrip(committedStrip());
    ship->setShowSpeedLabel(false);
    scene.setItemIndexMethod(QGraphicsScene::NoIndex);
    MapProjection p = projection(centreLat, centreLng, 10, 800, 600);
    placeShips({ship.get()}, p, &scene);
    moveTo(*ship, 100000 + 3000);
    ship->setShowTrack(false);
    ship->updateGeometry(p);
    const QPoint before = ship->screenPos();
    QCOMPARE(before, p.geoToView(ship->currentPoint()->position));
    QImage image = render(scene, QRect(0, 0, 800, 600));
    QVERIFY(countPixels(image, around(before, 16), tintedLike(green)) > 40);

    // Zoom in two levels: the map view refreshes the geometry and repaints.
    p.setZoom(12);
    p.layout(800, 600);
    ship->updateGeometry(p);
    const QPoint after = ship->screenPos();
    QCOMPARE(after, p.geoToView(ship->currentPoint()->position));
    QVERIFY((after - before).manhattanLength() > 64);
    image = render(scene, QRect(0, 0, 800, 600));
    QVERIFY(countPixels(image, around(after, 16), tintedLike(green)) > 40);
    QCOMPARE(countPixels(image, around(before, 16), tintedLike(green)), 0);
    QCOMPARE(countPixels(image, image.rect(), tintedLike(green)),
             countPixels(image, around(after, 16), tintedLike(green)));
}

void TestShipRender::invalidColourDrawnInFallback()
{
    QGraphicsScene scene(0, 0, 800, 600);
    auto ship = northboundShip(Qt::blue);
    ship->setNamedColour(QStringLiteral("rot"));
    ship->saveColour();
    ship->setSpriteStrip(committedStrip());
    const MapProjection p = projection(centreLat, centreLng, 12, 800, 600);
    placeShips({ship.get()}, p, &scene);
    moveTo(*ship, 100000 + 9000);
    ship->updateGeometry(p);
    const QImage image = render(scene, QRect(0, 0, 800, 600));
    QVERIFY(countPixels(image, around(ship->screenPos(), 16), tintedLike(Ship::fallbackColour())) >
            40);
    // The track line too.
    QCOMPARE(ship->displayTrack()->colour(), Ship::fallbackColour());
    const QPoint fix3 = p.geoToView(ship->rawTrack()->pointAt(3)->position);
    QVERIFY(countPixels(image, around(fix3, 3), tintedLike(Ship::fallbackColour())) > 0);
}

void TestShipRender::followedShipDrawsCircleAndWiderLine()
{
    const QColor blue(0, 0, 220);
    QGraphicsScene scene(0, 0, 800, 600);
    auto ship = northboundShip(blue);
    ship->setSpriteStrip(committedStrip());
    ship->setShowSpeedLabel(false);
    const MapProjection p = projection(centreLat, centreLng, 12, 800, 600);
    placeShips({ship.get()}, p, &scene);
    ship->setCompleteTrack(true);
    moveTo(*ship, 100000 + 18000);
    ship->updateGeometry(p);
    const QPoint fix4 = p.geoToView(ship->rawTrack()->pointAt(4)->position);
    // Width of the vertical line on the row through fix 4 plus a few pixels.
    const auto lineWidth = [&](const QImage &image) {
        return countPixels(image, QRect(fix4.x() - 6, fix4.y() - 10, 12, 1), tintedLike(blue));
    };
    const auto red = [](QColor c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; };
    QImage image = render(scene, QRect(0, 0, 800, 600));
    QCOMPARE(lineWidth(image), 1);
    QCOMPARE(countPixels(image, image.rect(), red), 0);

    ship->setFollow(true);
    ship->updateGeometry(p);
    image = render(scene, QRect(0, 0, 800, 600));
    QCOMPARE(lineWidth(image), 2);
    const QPoint s = ship->screenPos();
    // The circle's right edge lies near x + 18.
    QVERIFY(countPixels(image, QRect(s.x() + 15, s.y() - 2, 6, 4), red) > 0);
    QVERIFY(countPixels(image, QRect(s.x() - 19, s.y() - 2, 6, 4), red) > 0);
}

void TestShipRender::hiddenShipDrawsNothingButMoves()
{
    const QColor blue(0, 0, 220);
    QGraphicsScene scene(0, 0, 800, 600);
    auto ship = northboundShip(blue);
    ship->setSpriteStrip(committedStrip());
    const MapProjection p = projection(centreLat, centreLng, 12, 800, 600);
    placeShips({ship.get()}, p, &scene);
    ship->setShown(false);
    moveTo(*ship, 100000 + 3000);
    ship->updateGeometry(p);
    const QPoint first = ship->screenPos();
    moveTo(*ship, 100000 + 9000);
    ship->updateGeometry(p);
    QVERIFY(ship->screenPos() != first);
    const QImage image = render(scene, QRect(0, 0, 800, 600));
    QCOMPARE(countPixels(image, image.rect(), [](QColor c) { return c != QColor(Qt::white); }), 0);
}

void TestShipRender::unknownPositionDrawsOnlyTrack()
{
    const QColor blue(0, 0, 220);
    QGraphicsScene scene(0, 0, 800, 600);
    auto ship = northboundShip(blue);
    ship->setSpriteStrip(committedStrip());
    const MapProjection p = projection(centreLat, centreLng, 12, 800, 600);
    placeShips({ship.get()}, p, &scene);
    moveTo(*ship, 100000 + 9000);
    ship->setPositionKnown(false);
    ship->updateGeometry(p);
    const QImage image = render(scene, QRect(0, 0, 800, 600));
    const QPoint s = ship->screenPos();
    // Only the one-pixel line passes the sprite's square; no label either.
    QVERIFY(countPixels(image, around(s, 16), tintedLike(blue)) <= 34);
    QVERIFY(countPixels(image, around(s, 16), tintedLike(blue)) > 0);
    QCOMPARE(countPixels(image, QRect(s.x() - 8, s.y() - 34, 40, 16),
                         [](QColor c) { return c.red() < 90 && c.green() < 90 && c.blue() < 90; }),
             0);
}

void TestShipRender::missingStripDrawsDot()
{
    const QColor green(0, 160, 0);
    QGraphicsScene scene(0, 0, 800, 600);
    auto ship = northboundShip(green);
    ship->setSpriteStrip(std::make_shared<QPixmap>()); // file not found
    ship->setShowTrack(false);
    const MapProjection p = projection(centreLat, centreLng, 12, 800, 600);
    placeShips({ship.get()}, p, &scene);
    moveTo(*ship, 100000 + 9000);
    ship->setShowTrack(false);
    ship->updateGeometry(p);
    const QImage image = render(scene, QRect(0, 0, 800, 600));
    const int n = countPixels(image, around(ship->screenPos(), 16), tintedLike(green));
    QVERIFY(n > 100 && n < 400);
}

QTEST_MAIN(TestShipRender)
#include "tst_shiprender.moc"
