#include "scenetest.h"
#include "scene/ship.h"
#include "scene/shiploader.h"
#include "scene/spritestrip.h"

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

// One northbound ship with the committed strip placed on an 800 x 600 scene at zoom 12.
struct ShipScene {
    explicit ShipScene(const QColor &colour, int zoom = 12) : ship(northboundShip(colour))
    {
        ship->setSpriteStrip(committedStrip());
        scene.setItemIndexMethod(QGraphicsScene::NoIndex);
        p = projection(centreLat, centreLng, zoom, 800, 600);
        placeShips({ship.get()}, p, &scene);
    }
    // Shows the moment t seconds after the first fix.
    void show(int t)
    {
        moveTo(*ship, 100000 + t);
        ship->updateGeometry(p);
    }
    QImage image() { return render(scene, QRect(0, 0, 800, 600)); }
    QPoint fix(int k) const { return p.geoToView(ship->rawTrack()->pointAt(k)->position); }

    QGraphicsScene scene{0, 0, 800, 600};
    std::unique_ptr<Ship> ship;
    MapProjection p;
};

bool dark(QColor c)
{
    return c.red() < 90 && c.green() < 90 && c.blue() < 90;
}

bool red(QColor c)
{
    return c.red() > 200 && c.green() < 80 && c.blue() < 80;
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
    void boundingRectCoversSpriteLabelAndTrack();
    void spriteFollowsZoom();
    void invalidColourDrawnInFallback();
    void followedShipDrawsCircleAndWiderLine();
    void hiddenUnknownAndStriplessShips();
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
    QTest::addColumn<bool>("complete");
    QTest::addColumn<int>("moment");       // seconds after fix 0
    QTest::addColumn<QList<int>>("fixes"); // fixes after the current position

    // Fixes every 2000 s; segment j carries the time of fix j + 1. Without the
    // complete track only the last three hours show.
    QTest::newRow("at the last fix") << false << 18000 << QList<int>{8, 7, 6, 5, 4, 3};
    QTest::newRow("segment exactly 10799 s old stays")
        << false << 18799 << QList<int>{8, 7, 6, 5, 4, 3};
    QTest::newRow("segment 10800 s old goes") << false << 18800 << QList<int>{8, 7, 6, 5, 4};
    QTest::newRow("all fixes older than three hours") << false << 48000 << QList<int>{};
    // The complete track stops at fix 1.
    QTest::newRow("complete track") << true << 68000 << QList<int>{8, 7, 6, 5, 4, 3, 2, 1};
    QTest::newRow("complete track at fix 1") << true << 2000 << QList<int>{};
    QTest::newRow("complete track before fix 1") << true << 500 << QList<int>{};
}

void TestShipRender::tail()
{
    QFETCH(bool, complete);
    QFETCH(int, moment);
    QFETCH(QList<int>, fixes);
    ShipScene s(Qt::blue);
    s.ship->setCompleteTrack(complete);
    s.show(moment);
    const QPolygonF polygon = s.ship->trackPolygon();
    QCOMPARE(polygon.size(), fixes.size() + 1);
    QCOMPARE(polygon.first(), QPointF(s.p.geoToView(s.ship->currentPoint()->position)));
    for (int i = 0; i < fixes.size(); ++i)
        QCOMPARE(polygon.at(i + 1), QPointF(s.fix(fixes[i])));
}

void TestShipRender::boundingRectCoversSpriteLabelAndTrack()
{
    ShipScene s(Qt::blue);
    s.ship->setFollow(true);
    s.ship->setCompleteTrack(true);
    s.show(9000);
    const QPoint at = s.ship->screenPos();
    const QRectF bounds = s.ship->boundingRect();
    QVERIFY(bounds.contains(QRectF(at.x() - 16, at.y() - 16, 35, 35))); // sprite, follow circle
    const QFontMetricsF metrics(Ship::labelFont());
    QVERIFY(bounds.contains(
        metrics.boundingRect(s.ship->speedText()).translated(at.x() - 7, at.y() - 16)));
    QVERIFY(s.ship->trackPolygon().size() > 2);
    for (const QPointF &point : s.ship->trackPolygon())
        QVERIFY(bounds.contains(point));

    // The tail runs south, the label sits above the boat: a repaint of the
    // label's area alone must still draw it.
    s.ship->setFollow(false);
    s.ship->updateGeometry(s.p);
    const QImage label = render(s.scene, QRect(at.x() - 8, at.y() - 34, 40, 16));
    QVERIFY(countPixels(label, label.rect(), dark) > 5);
}

void TestShipRender::spriteFollowsZoom()
{
    const QColor green(0, 160, 0);
    ShipScene s(green, 10);
    s.ship->setShowSpeedLabel(false);
    s.show(3000);
    s.ship->setShowTrack(false);
    s.ship->updateGeometry(s.p);
    const QPoint before = s.ship->screenPos();
    QCOMPARE(before, s.p.geoToView(s.ship->currentPoint()->position));
    QVERIFY(countPixels(s.image(), around(before, 16), tintedLike(green)) > 40);

    // Zoom in two levels: the map view refreshes the geometry and repaints.
    s.p.setZoom(12);
    s.p.layout(800, 600);
    s.ship->updateGeometry(s.p);
    const QPoint after = s.ship->screenPos();
    QCOMPARE(after, s.p.geoToView(s.ship->currentPoint()->position));
    QVERIFY((after - before).manhattanLength() > 64);
    const QImage image = s.image();
    QVERIFY(countPixels(image, around(after, 16), tintedLike(green)) > 40);
    QCOMPARE(countPixels(image, image.rect(), tintedLike(green)),
             countPixels(image, around(after, 16), tintedLike(green)));
}

void TestShipRender::invalidColourDrawnInFallback()
{
    ShipScene s(Qt::blue);
    s.ship->setNamedColour(QStringLiteral("rot"));
    s.ship->saveColour();
    placeShips({s.ship.get()}, s.p, &s.scene);
    s.show(9000);
    const QImage image = s.image();
    const auto fallback = tintedLike(Ship::fallbackColour());
    QVERIFY(countPixels(image, around(s.ship->screenPos(), 16), fallback) > 40);
    // The track line too.
    QCOMPARE(s.ship->displayTrack()->colour(), Ship::fallbackColour());
    QVERIFY(countPixels(image, around(s.fix(3), 3), fallback) > 0);
}

void TestShipRender::followedShipDrawsCircleAndWiderLine()
{
    const QColor blue(0, 0, 220);
    ShipScene s(blue);
    s.ship->setShowSpeedLabel(false);
    s.ship->setCompleteTrack(true);
    s.show(18000);
    // Width of the vertical line on the row through fix 4 plus a few pixels.
    const QPoint fix4 = s.fix(4);
    const auto lineWidth = [&](const QImage &image) {
        return countPixels(image, QRect(fix4.x() - 6, fix4.y() - 10, 12, 1), tintedLike(blue));
    };
    QImage image = s.image();
    QCOMPARE(lineWidth(image), 1);
    QCOMPARE(countPixels(image, image.rect(), red), 0);

    s.ship->setFollow(true);
    s.ship->updateGeometry(s.p);
    image = s.image();
    QCOMPARE(lineWidth(image), 2);
    // The circle's edges lie near x - 18 and x + 18.
    const QPoint at = s.ship->screenPos();
    QVERIFY(countPixels(image, QRect(at.x() + 15, at.y() - 2, 6, 4), red) > 0);
    QVERIFY(countPixels(image, QRect(at.x() - 19, at.y() - 2, 6, 4), red) > 0);
}

void TestShipRender::hiddenUnknownAndStriplessShips()
{
    const QColor blue(0, 0, 220);
    // Hidden: nothing drawn, yet it moves.
    ShipScene hidden(blue);
    hidden.ship->setShown(false);
    hidden.show(3000);
    const QPoint first = hidden.ship->screenPos();
    hidden.show(9000);
    QVERIFY(hidden.ship->screenPos() != first);
    QImage image = hidden.image();
    QCOMPARE(countPixels(image, image.rect(), [](QColor c) { return c != QColor(Qt::white); }), 0);

    // Position unknown: only the one-pixel line passes the sprite's square; no label.
    ShipScene unknown(blue);
    unknown.show(9000);
    unknown.ship->setPositionKnown(false);
    unknown.ship->updateGeometry(unknown.p);
    image = unknown.image();
    const QPoint at = unknown.ship->screenPos();
    const int line = countPixels(image, around(at, 16), tintedLike(blue));
    QVERIFY(line > 0 && line <= 34);
    QCOMPARE(countPixels(image, QRect(at.x() - 8, at.y() - 34, 40, 16), dark), 0);

    // No strip (file not found): a dot in the ship's colour.
    const QColor green(0, 160, 0);
    ShipScene dot(green);
    dot.ship->setSpriteStrip(std::make_shared<QPixmap>());
    dot.show(9000);
    dot.ship->setShowTrack(false);
    dot.ship->updateGeometry(dot.p);
    const int n = countPixels(dot.image(), around(dot.ship->screenPos(), 16), tintedLike(green));
    QVERIFY(n > 100 && n < 400);
}

QTEST_MAIN(TestShipRender)
#include "tst_shiprender.moc"
