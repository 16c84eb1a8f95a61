// The race scene: ship and track model, ships and tracks loaded from the
// database and placed, ship drawing, course gates.
#include "scene/course.h"
#include "scene/gateitem.h"
#include "scene/ship.h"
#include "scene/shiploader.h"
#include "scene/spritestrip.h"
#include "testdatabase.h"

#include <QtTest>
#include <QtWidgets>

#include <cmath>

namespace
{

const auto projection = [](double lat, double lng, int zoom, int width, int height) {
    MapProjection p;
    p.setZoom(zoom);
    p.setCentre(lat, lng);
    p.layout(width, height);
    return p;
};

// The committed strip, read from the source tree (tests run elsewhere).
const auto committedStrip = []() {
    return std::make_shared<QPixmap>(qEnvironmentVariable("VELMARO_SOURCE_DIR") +
                                         QStringLiteral("/sprites/shipstrip.png"),
                                     "png");
};

// Renders `source` of the scene 1:1 onto a white image of its size.
const auto render = [](QGraphicsScene &scene, const QRect &source) {
    QImage image(source.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    scene.render(&painter, QRectF(QPointF(0, 0), QSizeF(source.size())), QRectF(source));
    return image;
};

int countPixels(const QImage &image, const QRect &area, const std::function<bool(QColor)> &match)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += match(image.pixelColor(x, y));
    return n;
}

const auto around = [](const QPoint &p, int half) {
    return QRect(p, QSize()).adjusted(-half, -half, half, half);
};

// Knots for 0.1 degree of latitude in 1000 s on the mean radius.
const double tenthPerThousandSeconds = 0.1 * Geo::pi / 180.0 * 6371.0 / 1000 * 3600 / 1.852;

// A ship whose raw track is also its display track; stored fix i has heading 100 + i.
std::unique_ptr<Ship> shipWith(const QList<QPointF> &fixes, int t0 = 1000, int step = 1000)
{
    auto ship = std::make_unique<Ship>(1, QStringLiteral("a"), QString(), QString());
    for (int i = 0; i < fixes.size(); ++i)
        ship->rawTrack()->addPoint(fixes[i].x(), fixes[i].y(), t0 + step * i, 0.0);
    for (int i = 0; i < fixes.size(); ++i)
        ship->rawTrack()->setHeading(i, 100.0 + i);
    ship->setPointCount(fixes.size());
    ship->setDisplayTrack(ship->rawTrack());
    return ship;
}

} // namespace

class TestScene : public QObject
{
    Q_OBJECT
private slots:
    void positionAt_data()
    {
        // Fixes at 1000, 2000, ...; made: a point between fixes (fix -1: none);
        // heading -1: east, from the last two fixes.
        QTest::addColumn<QList<QPointF>>("fixes");
        QTest::addColumn<int>("t");
        QTest::addColumn<int>("fix");
        QTest::addColumn<int>("index");
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("heading");
        const QList<QPointF> north{{43.0, 15.0}, {43.1, 15.0}, {43.2, 15.0}, {43.3, 15.0}};
        const QList<QPointF> east{{43.0, 15.0}, {43.0, 15.1}, {43.0, 15.2}};
        QTest::newRow("half-way") << north << 1500 << -1 << 1 << 43.05 << 0.0;
        QTest::newRow("before the first, two fixes")
            << north.mid(0, 2) << 500 << -1 << 1 << 42.95 << 0.0;
        QTest::newRow("on a fix") << north << 2000 << 1 << 1 << 43.1 << 101.0;
        QTest::newRow("on the last") << east << 3000 << 2 << 2 << 43.0 << -1.0;
        QTest::newRow("after the last") << east << 900000 << 2 << 2 << 43.0 << -1.0;
        QTest::newRow("single fix, before") << north.mid(0, 1) << 0 << 0 << 0 << 43.0 << 100.0;
    }
    void positionAt()
    {
        QFETCH(QList<QPointF>, fixes);
        QFETCH(int, t);
        QFETCH(int, fix);
        QFETCH(double, heading);
        auto ship = shipWith(fixes);
        TrackPoint *p = ship->positionAt(t);
        QVERIFY(p);
        if (fix >= 0) {
            QCOMPARE(p->tstamp, ship->rawTrack()->timeAt(fix));
        } else {
            QCOMPARE(p->tstamp, t);
            // The destination uses the local radius, the distance the mean one.
            QVERIFY(std::abs(ship->speed() - tenthPerThousandSeconds) < 1e-6);
        }
        QTEST(p->index, "index");
        // On a fix too the boat has the speed it arrived with.
        QVERIFY(fixes.size() < 2 || ship->speed() > 10.0);
        QFETCH(double, lat);
        QVERIFY2(std::abs(p->position.lat() - lat) < 1e-4,
                 qPrintable(QString::number(p->position.lat())));
        if (heading < 0)
            QVERIFY(p->heading > 89.9 && p->heading < 90.0);
        else
            QCOMPARE(p->heading, heading);
    }

    void positionEqualTimeStampsReturnsEarlierFix()
    {
        // A download that stored the first fix twice.
        auto ship = shipWith({{43.0, 15.0}, {43.0, 15.0}}, 1000, 0);
        ship->rawTrack()->addPoint(43.1, 15.0, 2000, 0.0);
        ship->setPointCount(3);
        ship->setSpeed(7.44);
        TrackPoint *p = ship->positionAt(500);
        QCOMPARE(p->index, 0);
        QCOMPARE(p->heading, 100.0);
        QCOMPARE(ship->speedText(), QStringLiteral("7.4"));
        QCOMPARE(shipWith({})->positionAt(1000), nullptr);
    }

    void positionMadePointSurvivesWhileCurrent()
    {
        auto ship = shipWith({{43.0, 15.0}, {43.1, 15.0}});
        TrackPoint *first = ship->positionAt(1200);
        ship->setCurrentPoint(first);
        ship->setCurrentTime(1200);
        // A second query must not free the point still shown.
        TrackPoint *second = ship->positionAt(1700);
        QVERIFY(second != first);
        QCOMPARE(ship->currentPoint()->tstamp, 1200);
        ship->setCurrentPoint(second);
        QCOMPARE(ship->positionAt(1800)->tstamp, 1800);
        QCOMPARE(ship->currentPoint()->tstamp, 1700);
    }

    void simplify_data()
    {
        QTest::addColumn<QList<QPointF>>("points"); // (lat, lng)
        QTest::addColumn<double>("tolerance");
        QTest::addColumn<QList<int>>("kept");
        using P = QList<QPointF>;
        const P bend{{0.0, 0.0}, {0.5, 1.0}, {0.0, 2.0}};
        QTest::newRow("one point") << P{{43.0, 15.0}} << 0.0005 << QList<int>{0};
        QTest::newRow("collinear keeps ends")
            << P{{43.0, 15.0}, {43.0, 15.001}, {43.0, 15.002}, {43.0, 15.01}} << 0.0005
            << QList<int>{0, 3};
        QTest::newRow("exactly on tolerance goes") << bend << 0.5 << QList<int>{0, 2};
        QTest::newRow("just over tolerance stays") << bend << 0.49 << QList<int>{0, 1, 2};
        // Behind the start the distance is to the start itself, not to the line.
        QTest::newRow("behind the start measured to the end point")
            << P{{0.0, 0.0}, {0.4, -0.5}, {0.0, 2.0}} << 0.5 << QList<int>{0, 1, 2};
        QTest::newRow("start and end equal")
            << P{{0.0, 0.0}, {0.3, 0.3}, {1.0, 1.0}, {0.0, 0.0}} << 0.5 << QList<int>{0, 2, 3};
    }
    void simplify()
    {
        QFETCH(QList<QPointF>, points);
        QFETCH(double, tolerance);
        QFETCH(QList<int>, kept);
        auto ship = shipWith(points, 1000, 1);
        ship->simplifyTrack(tolerance);
        ship->simplifyTrack(tolerance); // a later placement must not make it longer
        QList<int> got;                 // fix i is stamped 1000 + i
        for (int i = 0; i < ship->simplifiedTrack()->count(); ++i)
            got.append(ship->simplifiedTrack()->timeAt(i) - 1000);
        QCOMPARE(got, kept);
    }

    void loadShips_data()
    {
        QTest::addColumn<QString>("stored"); // show of boat 5, follow of boat 3
        QTest::addColumn<bool>("expected");
        QTest::newRow("true") << "'true'" << true;
        QTest::newRow("false") << "'false'" << false;
        QTest::newRow("integer 1 of other tools") << "1" << true;
    }
    void loadShips()
    {
        QFETCH(QString, stored);
        QFETCH(bool, expected);
        TestDatabase db;
        QVERIFY(db.exec(trackingSchema() +
                        QStringList{shipRow(5, 21, "B", "2", "#000000", stored),
                                    shipRow(3, 21, "A", "10", "#000000", "'false'", stored),
                                    shipRow(38, 21, "A", "1"), shipRow(7, 21, "", "3"),
                                    shipRow(9, 21, "A", "2", "blau?")}));
        ShipLoader loader;
        const QList<Ship *> ships = loader.loadShips(21, committedStrip());
        // Empty class first; start numbers compare as text; boat 38 never appears.
        QList<int> ids;
        for (const Ship *s : ships)
            ids.append(s->id());
        QCOMPARE(ids, (QList<int>{7, 3, 9, 5}));
        QCOMPARE(ships.at(2)->colour(), Ship::fallbackColour());
        QCOMPARE(std::tuple(ships.at(3)->isShown(), ships.at(1)->follow(), ships.at(3)->follow(),
                            ships.at(1)->isShown()),
                 std::tuple(expected, expected, false, false));
        qDeleteAll(ships);
    }

    void storedFixMomentDoesNotTurnBoatNorth()
    {
        TestDatabase db;
        // Eastwards, a pause on the spot, then south.
        QVERIFY(db.exec(trackingSchema() + QStringList{fixRow(1, 21, 1000, 43.0, 15.0),
                                                       fixRow(1, 21, 1060, 43.0, 15.01),
                                                       fixRow(1, 21, 1120, 43.0, 15.01),
                                                       fixRow(1, 21, 1180, 42.99, 15.01)}));
        ShipLoader loader;
        Ship ship(1, QStringLiteral("one"), QString(), QString());
        ship.setRegattaId(21);
        QVERIFY(loader.loadTrack(&ship));
        ship.setHasPositions(true);
        placeShips({&ship}, MapProjection(), nullptr);
        // A moment that falls exactly on a fix shows that fix's own heading.
        for (const auto &[t, heading] : QList<std::pair<int, double>>{
                 {1000, 90.0}, {1060, 90.0}, {1120, 90.0}, {1180, 180.0}}) {
            const TrackPoint *p = ship.positionAt(t);
            QCOMPARE(p->tstamp, t);
            QVERIFY2(qAbs(p->heading - heading) < 0.01, qPrintable(QString::number(p->heading)));
        }
    }

    void placeShipsTimeRange()
    {
        QGraphicsScene scene; // outlives the ships, which leave it
        Ship a(1, "a", {}, {}), b(2, "b", {}, {}), c(3, "c", {}, {}); // c: no positions yet
        for (const auto &[ship, times] : {std::pair{&a, QList<int>{5000, 6000, 9000}},
                                          {&b, {4000, 7000}},
                                          {&c, {100, 20000}}}) {
            for (int t : times)
                ship->rawTrack()->addPoint(43.0, 15.0 + t * 1e-6, t, 0.0);
            ship->setPointCount(times.size());
        }
        a.setNamedColour(QStringLiteral("#00ff00"));
        // Without positions there is no range and no boat on the scene.
        const MapProjection p = projection(43.0, 15.0, 10, 800, 600);
        const auto boatsOnScene = [&scene] {
            const QList<QGraphicsItem *> items = scene.items();
            return std::count_if(items.begin(), items.end(),
                                 [](const QGraphicsItem *i) { return i->type() == Ship::Type; });
        };
        const QList<Ship *> ships{&a, &b, &c};
        TimeRange range = placeShips(ships, p, &scene);
        QCOMPARE(range.earliest + range.latest, 0);
        QCOMPARE(boatsOnScene(), 0);
        a.setHasPositions(true);
        b.setHasPositions(true);
        range = placeShips(ships, p, &scene);
        QCOMPARE(std::pair(range.earliest, range.latest), std::pair(4000, 9000));
        QCOMPARE(c.scene(), nullptr);
        QCOMPARE(a.displayTrack()->colour(), QColor(0, 255, 0));
        QCOMPARE(a.currentPoint()->tstamp, 5000);
        // Again after new fixes: still one item per ship and one track
        // layer, the range grows.
        a.rawTrack()->addPoint(43.0, 15.012, 12000, 0.0);
        a.setPointCount(4);
        QCOMPARE(placeShips(ships, p, &scene).latest, 12000);
        QCOMPARE(boatsOnScene(), 2);
        QCOMPARE(scene.items().size(), 3);
    }

    void frameForHeading_data()
    {
        QTest::addColumn<double>("heading");
        QTest::addColumn<int>("frame");
        for (const auto &[heading, frame] :
             {std::pair{359.9, 359}, {-90.5, 269}, {-1e-14, 0}, {361.2, 1}, {std::nan(""), 0}})
            QTest::addRow("%g", heading) << heading << frame;
    }
    void frameForHeading()
    {
        QFETCH(double, heading);
        QTEST(SpriteStrip::frameForHeading(heading), "frame");
    }

    void invalidColourDrawnInFallback()
    {
        QGraphicsScene scene(0, 0, 800, 600); // outlives the ship, which leaves it
        // Ten fixes 2000 s apart running north through the centre of the view.
        Ship ship(1, QStringLiteral("a"), QString(), QString());
        for (int k = 0; k < 10; ++k)
            ship.rawTrack()->addPoint(43.45 + 0.005 * k, 15.9, 100000 + 2000 * k, 0.0);
        ship.setPointCount(10);
        ship.setHasPositions(true);
        ship.setNamedColour(QStringLiteral("rot"));
        ship.saveColour();
        ship.setSpriteStrip(committedStrip());
        scene.setItemIndexMethod(QGraphicsScene::NoIndex);
        const MapProjection p = projection(43.5, 15.9, 12, 800, 600);
        placeShips({&ship}, p, &scene);
        // What the time slider does for one moment.
        ship.setCurrentPoint(ship.positionAt(109000));
        ship.setCurrentTime(109000);
        ship.setPositionKnown(true);
        ship.setShowTrack(true);
        ship.updateGeometry(p);
        const QImage image = render(scene, QRect(0, 0, 800, 600));
        // A pixel clearly tinted towards the fallback colour over the white background.
        const auto fallback = [f = Ship::fallbackColour()](QColor c) {
            return c != QColor(Qt::white) && std::abs(c.red() - f.red()) <= 60 &&
                   std::abs(c.green() - f.green()) <= 60 && std::abs(c.blue() - f.blue()) <= 60;
        };
        QVERIFY(countPixels(image, around(ship.screenPos(), 16), fallback) > 40);
        // The track line too.
        QCOMPARE(ship.displayTrack()->colour(), Ship::fallbackColour());
        const QPoint fix3 = p.geoToView(ship.rawTrack()->pointAt(3)->position);
        QVERIFY(countPixels(image, around(fix3, 3), fallback) > 0);
    }

    void explicitEndWithOneZeroKept()
    {
        GateItem a(43.0, 15.0, 0.0, 15.5, 90.0, 10.0, QStringLiteral("a"), true);
        QCOMPARE(a.posB(), GeoPoint(0.0, 15.5));
        GateItem b(43.0, 15.0, 43.5, 0.0, 90.0, 10.0, QStringLiteral("b"), false);
        QCOMPARE(b.posB(), GeoPoint(43.5, 0.0));
        QCOMPARE(b.centre(), GeoPoint(43.0, 15.0));
        GateItem c(43.0, 15.0, 0.0, 0.0, 90.0, 10.0, QStringLiteral("c"), false);
        QVERIFY(c.posB().lng() > 15.1 && std::abs(c.posB().lat() - 43.0) < 0.01);
    }

    void courseSelection_data()
    {
        QTest::addColumn<int>("eventId");
        QTest::addColumn<int>("taskId");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QStringList>("derived"); // second end and centre from bearing and length
        QTest::newRow("21/120") << 21 << 120 << 11 << QStringLiteral("Biograd Start")
                                << QStringList{
                                       "Biograd Start 43.977300 15.359501 43.978650 15.362750",
                                       "Dugi Otok North 44.233731 14.845183 44.188733 14.845183",
                                       "Mljet 42.685995 17.956337 42.686183 17.748150",
                                       "Biograd Ziel 43.934350 15.431556 43.935925 15.435345"};
        QTest::newRow("100/200") << 100 << 200 << 10 << QStringLiteral("Dugi Otok North")
                                 << QStringList();
        QTest::newRow("21/121") << 21 << 121 << 0 << QString() << QStringList();
    }
    void courseSelection()
    {
        QFETCH(int, eventId);
        QFETCH(int, taskId);
        QFETCH(int, count);
        QFETCH(QStringList, derived);
        const QList<GateItem *> gates = buildCourse(eventId, taskId);
        QStringList got;
        for (const GateItem *g : gates)
            got << g->name() + QString::asprintf(" %.6f %.6f %.6f %.6f", g->posB().lat(),
                                                 g->posB().lng(), g->centre().lat(),
                                                 g->centre().lng());
        qDeleteAll(gates);
        QCOMPARE(got.size(), count);
        if (count > 0) {
            QTEST(got.first().section(' ', 0, -5), "first");
            QCOMPARE(got.last().section(' ', 0, -5), QStringLiteral("Biograd Ziel"));
        }
        for (const QString &gate : derived)
            QVERIFY2(got.contains(gate), qPrintable(got.join('\n')));
    }

    void gatePointingUpLeftDrawnInPartialRepaint()
    {
        QGraphicsScene scene(0, 0, 800, 600);
        auto *gate = new GateItem(43.0, 15.0, 43.1, 14.9, 0, 0, QStringLiteral("g"), true);
        gate->setPixels(QPoint(300, 300), QPoint(100, 100));
        scene.addItem(gate);
        // Both circles (5 left/up, 4 right/down of an end) and the pen.
        QVERIFY(gate->boundingRect().contains(QRectF(QPointF(94.5, 94.5), QPointF(305.5, 305.5))));
        const auto red = [](QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; };
        // Only the area of the up-left circle is repainted.
        QImage image = render(scene, QRect(90, 90, 20, 20));
        QVERIFY(countPixels(image, image.rect(), red) > 10);
        // The line between the circles in the gate colour.
        image = render(scene, QRect(0, 0, 800, 600));
        QCOMPARE(gate->lineColour(), QRgb(0xFFFA6464));
        const auto line = [&](QColor c) { return c == QColor::fromRgba(gate->lineColour()); };
        QVERIFY(countPixels(image, QRect(195, 195, 10, 10), line) > 5);
    }
};

QTEST_MAIN(TestScene)
#include "tst_scene.moc"
