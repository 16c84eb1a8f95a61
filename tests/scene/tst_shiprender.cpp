#include "scene/ship.h"
#include "scene/shiploader.h"
#include "scene/spritestrip.h"
#include "scenetest.h"

#include <QGraphicsScene>
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

} // namespace

class TestShipRender : public QObject
{
    Q_OBJECT
private slots:
    void frameForHeading_data();
    void frameForHeading();
    void committedStripPointsNorthAtFrameZero();
    void invalidColourDrawnInFallback();
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

QTEST_MAIN(TestShipRender)
#include "tst_shiprender.moc"
