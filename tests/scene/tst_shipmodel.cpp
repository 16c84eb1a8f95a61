#include "scene/ship.h"

#include <QtTest>

#include <cmath>
#include <memory>

namespace
{

// Knots for `degrees` of latitude covered in `seconds` (haversine radius).
double knotsAlongMeridian(double degrees, int seconds)
{
    const double km = degrees * Geo::pi / 180.0 * 6371.0;
    return km / seconds * 3600.0 / 1.852;
}

struct Fix {
    double lat;
    double lng;
    int t;
};

// A ship whose raw track is also its display track; stored fix i has heading 100 + i.
std::unique_ptr<Ship> shipWith(const QList<Fix> &fixes)
{
    auto ship = std::make_unique<Ship>(1, QStringLiteral("a"), QString(), QString());
    for (const Fix &f : fixes)
        ship->rawTrack()->addPoint(f.lat, f.lng, f.t, 0.0);
    for (int i = 0; i < fixes.size(); ++i)
        ship->rawTrack()->pointAt(i)->heading = 100.0 + i;
    ship->setPointCount(fixes.size());
    ship->setDisplayTrack(ship->rawTrack());
    return ship;
}

QList<Fix> northbound(int count)
{
    QList<Fix> fixes;
    for (int i = 0; i < count; ++i)
        fixes.append({43.0 + 0.1 * i, 15.0, 1000 + 1000 * i});
    return fixes;
}

} // namespace

class TestShipModel : public QObject
{
    Q_OBJECT
private slots:
    void trackAddPointBuildsSegments();
    void positionBetweenFixes();
    void positionBeforeFirstFix_data();
    void positionBeforeFirstFix();
    void positionOnOrAfterFixes();
    void positionEqualTimeStampsReturnsEarlierFix();
    void positionMadePointSurvivesWhileCurrent();
    void simplify_data();
    void simplify();
};

void TestShipModel::trackAddPointBuildsSegments()
{
    Track track(QStringLiteral("t"));
    track.addPoint(43.0, 15.0, 100, 0.0);
    QCOMPARE(track.segmentCount(), 0);
    track.addPoint(43.2, 14.8, 200, 0.0);
    track.addPoint(42.9, 15.1, 300, 0.0);
    QCOMPARE(track.segmentCount(), 2);
    const TrackSegment &s = track.segmentAt(1);
    QCOMPARE(s.start, GeoPoint(43.2, 14.8));
    QCOMPARE(s.end, GeoPoint(42.9, 15.1));
    QCOMPARE(s.tstamp, 300);
}

void TestShipModel::positionBetweenFixes()
{
    auto ship = shipWith({{43.0, 15.0, 1000}, {43.1, 15.0, 2000}, {43.1, 15.2, 3000}});
    TrackPoint *p = ship->positionAt(1500);
    QVERIFY(p != ship->rawTrack()->pointAt(0) && p != ship->rawTrack()->pointAt(1));
    QCOMPARE(p->tstamp, 1500);
    QCOMPARE(p->index, 1);
    QCOMPARE(p->heading, 0.0);
    // Half-way north; the destination uses the local radius, the distance the
    // mean one, hence the small tolerance.
    QVERIFY(std::abs(p->position.lat() - 43.05) < 1e-4);
    QVERIFY(std::abs(p->position.lng() - 15.0) < 1e-9);
    QVERIFY(std::abs(ship->speed() - knotsAlongMeridian(0.1, 1000)) < 1e-6);

    // Second leg, due east-ish; index is the later fix.
    p = ship->positionAt(2999);
    QCOMPARE(p->index, 2);
    QVERIFY(p->heading > 89.0 && p->heading < 90.0);
    QVERIFY(p->position.lng() > 15.19 && p->position.lng() < 15.2);
}

void TestShipModel::positionBeforeFirstFix_data()
{
    QTest::addColumn<int>("fixes");
    QTest::newRow("two fixes") << 2;
    QTest::newRow("five fixes") << 5;
}

void TestShipModel::positionBeforeFirstFix()
{
    QFETCH(int, fixes);
    auto ship = shipWith(northbound(fixes));
    TrackPoint *p = ship->positionAt(500);
    QCOMPARE(p->tstamp, 500);
    QCOMPARE(p->index, 1);
    // Behind the first fix, on the extension of the first leg (southwards).
    QVERIFY(std::abs(p->position.lat() - 42.95) < 1e-4);
    QVERIFY(std::abs(p->position.lng() - 15.0) < 1e-9);
    QCOMPARE(p->heading, 0.0);
    QVERIFY(std::abs(ship->speed() - knotsAlongMeridian(0.1, 1000)) < 1e-6);
}

void TestShipModel::positionOnOrAfterFixes()
{
    QCOMPARE(shipWith({})->positionAt(1000), nullptr);

    // On a fix: that fix with its stored heading.
    auto ship = shipWith(northbound(4));
    for (int i = 0; i < 3; ++i) {
        TrackPoint *p = ship->positionAt(1000 + 1000 * i);
        QCOMPARE(p, ship->rawTrack()->pointAt(i));
        QCOMPARE(p->heading, 100.0 + i);
        QCOMPARE(p->index, i);
    }
    // After the last fix: the last fix, heading recomputed from the last two (east).
    ship = shipWith({{43.0, 15.0, 1000}, {43.0, 15.1, 2000}, {43.0, 15.2, 3000}});
    for (int t : {3000, 3001, 900000}) {
        TrackPoint *p = ship->positionAt(t);
        QCOMPARE(p, ship->rawTrack()->pointAt(2));
        QCOMPARE(p->index, 2);
        QVERIFY(p->heading > 89.9 && p->heading < 90.0);
    }
    // A single fix at any time, heading as stored.
    ship = shipWith({{43.0, 15.0, 1000}});
    for (int t : {0, 999, 1000, 5000}) {
        QCOMPARE(ship->positionAt(t), ship->rawTrack()->pointAt(0));
        QCOMPARE(ship->positionAt(t)->heading, 100.0);
    }
}

void TestShipModel::positionEqualTimeStampsReturnsEarlierFix()
{
    // A download that stored the first fix twice.
    auto ship = shipWith({{43.0, 15.0, 1000}, {43.0, 15.0, 1000}, {43.1, 15.0, 2000}});
    ship->setSpeed(5.0);
    TrackPoint *p = ship->positionAt(500);
    QCOMPARE(p, ship->rawTrack()->pointAt(0));
    QCOMPARE(p->heading, 100.0);
    QCOMPARE(p->position, GeoPoint(43.0, 15.0));
    QCOMPARE(ship->speed(), 5.0);
    QCOMPARE(ship->speedText(), QStringLiteral("5.0"));
    ship->setSpeed(7.44);
    QCOMPARE(ship->speedText(), QStringLiteral("7.4"));
}

void TestShipModel::positionMadePointSurvivesWhileCurrent()
{
    auto ship = shipWith(northbound(2));
    TrackPoint *first = ship->positionAt(1200);
    ship->setCurrentPoint(first);
    ship->setCurrentTime(1200);
    // A second query must not free the point still shown.
    TrackPoint *second = ship->positionAt(1700);
    QVERIFY(second != first);
    QCOMPARE(ship->currentPoint()->tstamp, 1200);
    QCOMPARE(second->tstamp, 1700);
    ship->setCurrentPoint(second);
    TrackPoint *third = ship->positionAt(1800);
    QCOMPARE(ship->currentPoint()->tstamp, 1700);
    QCOMPARE(third->tstamp, 1800);
}

void TestShipModel::simplify_data()
{
    QTest::addColumn<QList<QPointF>>("points"); // (lat, lng)
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<QList<int>>("kept");

    QTest::newRow("two points keep both")
        << QList<QPointF>{{43.0, 15.0}, {43.0, 15.1}} << 0.0005 << QList<int>{0, 1};
    QTest::newRow("one point") << QList<QPointF>{{43.0, 15.0}} << 0.0005 << QList<int>{0};
    QTest::newRow("collinear keeps ends")
        << QList<QPointF>{{43.0, 15.0}, {43.0, 15.001}, {43.0, 15.002}, {43.0, 15.01}} << 0.0005
        << QList<int>{0, 3};
    QTest::newRow("only points within tolerance go") << QList<QPointF>{{43.0, 15.0},
                                                                       {43.0003, 15.002},
                                                                       {43.0008, 15.005},
                                                                       {43.0, 15.008},
                                                                       {43.0, 15.01}}
                                                     << 0.0005 << QList<int>{0, 2, 4};
    QTest::newRow("exactly on tolerance goes")
        << QList<QPointF>{{0.0, 0.0}, {0.5, 1.0}, {0.0, 2.0}} << 0.5 << QList<int>{0, 2};
    QTest::newRow("just over tolerance stays")
        << QList<QPointF>{{0.0, 0.0}, {0.5, 1.0}, {0.0, 2.0}} << 0.49 << QList<int>{0, 1, 2};
    // Behind the start the distance is to the start itself, not to the line.
    QTest::newRow("behind the start measured to the end point")
        << QList<QPointF>{{0.0, 0.0}, {0.4, -0.5}, {0.0, 2.0}} << 0.5 << QList<int>{0, 1, 2};
    QTest::newRow("zig-zag keeps the corners")
        << QList<QPointF>{{0.0, 0.0}, {1.0, 1.0}, {0.0, 2.0}, {1.0, 3.0}, {0.0, 4.0}} << 0.1
        << QList<int>{0, 1, 2, 3, 4};
    QTest::newRow("start and end equal")
        << QList<QPointF>{{0.0, 0.0}, {0.3, 0.3}, {1.0, 1.0}, {0.0, 0.0}} << 0.5
        << QList<int>{0, 2, 3};
}

void TestShipModel::simplify()
{
    QFETCH(QList<QPointF>, points);
    QFETCH(double, tolerance);
    QFETCH(QList<int>, kept);
    QList<Fix> fixes;
    for (int i = 0; i < points.size(); ++i)
        fixes.append({points[i].x(), points[i].y(), 1000 + i});
    auto ship = shipWith(fixes);
    ship->simplifyTrack(tolerance);
    QList<int> got;
    for (TrackPoint *p : ship->simplifiedTrack()->points())
        got.append(ship->rawTrack()->points().indexOf(p));
    QCOMPARE(got, kept);
    QCOMPARE(ship->simplifiedTrack()->segmentCount(), std::max(0, int(kept.size()) - 1));

    // Running it again (a later placement) gives the same track, not a longer one.
    ship->simplifyTrack(tolerance);
    QCOMPARE(ship->simplifiedTrack()->count(), kept.size());
}

QTEST_APPLESS_MAIN(TestShipModel)
#include "tst_shipmodel.moc"
