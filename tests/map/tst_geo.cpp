#include "map/geo.h"

#include <QtTest>

#include <climits>
#include <cmath>

Q_DECLARE_METATYPE(GeoPoint)

namespace
{

MapProjection projection(int width, int height, double lat, double lng, int zoom)
{
    MapProjection p;
    p.setZoom(zoom);
    p.setCentre(lat, lng);
    p.layout(width, height);
    return p;
}

bool near(const GeoPoint &a, const GeoPoint &b, double tolerance)
{
    return std::abs(a.lat() - b.lat()) < tolerance && std::abs(a.lng() - b.lng()) < tolerance;
}

QByteArray text(const GeoPoint &p)
{
    return QStringLiteral("%1, %2").arg(p.lat(), 0, 'f', 9).arg(p.lng(), 0, 'f', 9).toLatin1();
}

} // namespace

// Tile grid, view layout and the great-circle helpers, checked against
// values worked out by hand for the Adriatic racing area and the grid edges.
class TestGeo : public QObject
{
    Q_OBJECT
private slots:
    void tileIndexAt_data();
    void tileIndexAt();
    void tileEdges_data();
    void tileEdges();
    void panning_data();
    void panning();
    void arrowKeys_data();
    void arrowKeys();
    void centreClamped_data();
    void centreClamped();
    void anyCentreShowsAFewTiles_data();
    void anyCentreShowsAFewTiles();
    void bearingAndDistance_data();
    void bearingAndDistance();
    void destination_data();
    void destination();
    void midpoint_data();
    void midpoint();
};

void TestGeo::tileIndexAt_data()
{
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lng");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPoint>("tile");

    QTest::newRow("Kornati z10") << 43.98 << 15.366 << 10 << QPoint(555, 372);
    QTest::newRow("origin z1") << 0.0 << 0.0 << 1 << QPoint(1, 1);
    QTest::newRow("west edge") << 10.0 << -180.0 << 10 << QPoint(0, 483);
    QTest::newRow("last column") << 10.0 << 179.9999 << 10 << QPoint(1023, 483);
    // The antimeridian itself lies one past the last column.
    QTest::newRow("antimeridian") << 10.0 << 180.0 << 10 << QPoint(1024, 483);
    QTest::newRow("north edge") << 85.0511 << 0.0 << 15 << QPoint(16384, 0);
    QTest::newRow("south edge") << -85.0511 << 0.0 << 15 << QPoint(16384, 32767);
    QTest::newRow("beyond south edge") << -85.06 << 0.0 << 10 << QPoint(512, 1024);
    // Truncation toward zero: half a tile west of the grid is still column 0,
    // just north of it still row 0.
    QTest::newRow("half a tile west")
        << 10.0 << -180.0 - 0.5 * 360.0 / 1024 << 10 << QPoint(0, 483);
    QTest::newRow("beyond north edge") << 85.06 << 0.0 << 10 << QPoint(512, 0);
}

void TestGeo::tileIndexAt()
{
    QFETCH(double, lat);
    QFETCH(double, lng);
    QFETCH(int, zoom);
    QFETCH(QPoint, tile);
    QCOMPARE(Geo::tileIndexAt(lat, lng, double(1 << zoom)), tile);
    if (QByteArray(QTest::currentDataTag()) == "Kornati z10") {
        const QPointF p = Geo::tilePosition(lat, lng, 1024.0);
        QVERIFY(std::abs(p.x() - 555.7077333) < 1e-6 && std::abs(p.y() - 372.4256600) < 1e-6);
    }
}

void TestGeo::tileEdges_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<double>("north");

    QTest::newRow("top-left z0") << 0 << 0 << 0 << 85.0511287798066;
    QTest::newRow("top-left z15") << 0 << 0 << 15 << 85.0511287798066;
    QTest::newRow("equator z10") << 3 << 512 << 10 << 0.0;
    QTest::newRow("south edge z10") << 0 << 1024 << 10 << -85.0511287798066;
    QTest::newRow("Kornati z10") << 555 << 372 << 10 << Geo::tileLatitude(372, 1024.0);
    QTest::newRow("last tile z15") << 32766 << 32766 << 15 << Geo::tileLatitude(32766, 32768.0);
}

void TestGeo::tileEdges()
{
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(int, zoom);
    QFETCH(double, north);
    const double n = double(1 << zoom);
    QVERIFY2(std::abs(Geo::tileLatitude(row, n) - north) < 1e-9,
             qPrintable(QString::number(Geo::tileLatitude(row, n), 'g', 17)));
    QCOMPARE(Geo::tileLongitude(0, n), -180.0);
    QCOMPARE(Geo::tileLongitude(n, n), 180.0);
    QCOMPARE(Geo::tileLongitude(n / 2, n), 0.0);
    if (row >= n)
        return;
    // Neighbours share their edges exactly, not just nearly.
    const TileBounds b = Geo::tileBounds(column, row, n);
    const TileBounds below = Geo::tileBounds(column, row + 1, n);
    const TileBounds right = Geo::tileBounds(column + 1, row, n);
    QCOMPARE(b.north, Geo::tileLatitude(row, n));
    QCOMPARE(b.south, below.north);
    QVERIFY(b.north > b.south);
    QCOMPARE(b.east - b.west, 360.0 / n);
    QCOMPARE(b.east, right.west);
}

void TestGeo::panning_data()
{
    QTest::addColumn<GeoPoint>("centre");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPoint>("drag");
    QTest::addColumn<GeoPoint>("expected");

    QTest::newRow("no drag") << GeoPoint(42.986766, 16.0203) << 10 << QPoint(0, 0)
                             << GeoPoint(42.986766, 16.0203);
    QTest::newRow("half the world west at z0")
        << GeoPoint(0, 0) << 0 << QPoint(-128, 0) << GeoPoint(0, 180);
    QTest::newRow("one tile east at z1")
        << GeoPoint(0, 0) << 1 << QPoint(256, 0) << GeoPoint(0, -180);
    // 513 / 1024 * 360 - 180 and 10 - 0.5 * 360 / 1024.
    QTest::newRow("one tile west at z10")
        << GeoPoint(0, 0) << 10 << QPoint(-256, 0) << GeoPoint(0, 0.3515625);
    QTest::newRow("half a tile east at z10")
        << GeoPoint(0, 10) << 10 << QPoint(128, 0) << GeoPoint(0, 9.82421875);
    // Row 1 of zoom 2 starts at atan(sinh(pi / 2)).
    QTest::newRow("one tile down at z2")
        << GeoPoint(0, 0) << 2 << QPoint(0, 256) << GeoPoint(66.51326044311186, 0);
    QTest::newRow("one tile up at z1 to the south edge")
        << GeoPoint(0, 0) << 1 << QPoint(0, -256) << GeoPoint(-85.0511287798066, 0);
}

void TestGeo::panning()
{
    QFETCH(GeoPoint, centre);
    QFETCH(int, zoom);
    QFETCH(QPoint, drag);
    QFETCH(GeoPoint, expected);
    const GeoPoint got = Geo::pannedCentre(centre, double(1 << zoom), drag.x(), drag.y());
    QVERIFY2(near(got, expected, 1e-9), text(got));
}

void TestGeo::arrowKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QPoint>("drag");

    QTest::newRow("left") << int(Qt::Key_Left) << QPoint(256, 0);
    QTest::newRow("right") << int(Qt::Key_Right) << QPoint(-256, 0);
    QTest::newRow("up") << int(Qt::Key_Up) << QPoint(0, 256);
    QTest::newRow("down") << int(Qt::Key_Down) << QPoint(0, -256);
    QTest::newRow("plus") << int(Qt::Key_Plus) << QPoint(0, 0);
    QTest::newRow("page up") << int(Qt::Key_PageUp) << QPoint(0, 0);
}

void TestGeo::arrowKeys()
{
    QFETCH(int, key);
    QFETCH(QPoint, drag);
    QCOMPARE(Geo::arrowKeyDrag(key), drag);
}

void TestGeo::centreClamped_data()
{
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lng");
    QTest::addColumn<GeoPoint>("expected");

    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    const GeoPoint start(42.986766, 16.0203);
    QTest::newRow("inside") << 43.5 << 15.25 << GeoPoint(43.5, 15.25);
    QTest::newRow("edges kept") << 85.0511287798066 << 180.0 << GeoPoint(85.0511287798066, 180);
    QTest::newRow("west edge kept") << -10.0 << -180.0 << GeoPoint(-10, -180);
    QTest::newRow("north of the pole") << 91.0 << 0.0 << GeoPoint(85.0511287798066, 0);
    QTest::newRow("far south") << -1e308 << 15.0 << GeoPoint(-85.0511287798066, 15);
    QTest::newRow("east of the antimeridian") << 10.0 << 190.0 << GeoPoint(10, -170);
    QTest::newRow("one and a half turns west") << 10.0 << -540.0 << GeoPoint(10, -180);
    QTest::newRow("two turns east") << 10.0 << 725.5 << GeoPoint(10, 5.5);
    QTest::newRow("NaN latitude") << nan << 15.0 << start;
    QTest::newRow("NaN longitude") << 10.0 << nan << start;
    QTest::newRow("infinite longitude") << 10.0 << inf << start;
    QTest::newRow("minus infinity") << -inf << 0.0 << start;
}

void TestGeo::centreClamped()
{
    QFETCH(double, lat);
    QFETCH(double, lng);
    QFETCH(GeoPoint, expected);
    MapProjection p;
    p.setCentre(42.986766, 16.0203);
    p.setCentre(lat, lng);
    QVERIFY2(near(p.centre(), expected, 1e-12), text(p.centre()));
}

void TestGeo::anyCentreShowsAFewTiles_data()
{
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lng");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("expectedZoom");

    const double inf = HUGE_VAL;
    QTest::newRow("north of the pole") << 91.0 << 0.0 << 10 << 10;
    QTest::newRow("NaN") << std::nan("") << std::nan("") << 10 << 10;
    QTest::newRow("infinities") << inf << -inf << 15 << 15;
    QTest::newRow("1e308 both") << 1e308 << 1e308 << 15 << 15;
    QTest::newRow("-1e308 both at z4") << -1e308 << -1e308 << 4 << 4;
    QTest::newRow("zoom too deep") << 43.0 << 16.0 << 99 << 22;
    QTest::newRow("largest int zoom") << 91.0 << 1e308 << INT_MAX << 22;
    QTest::newRow("negative zoom") << 43.0 << 16.0 << -7 << 0;
    QTest::newRow("corner of the world at z22") << 85.0511287798066 << 180.0 << 22 << 22;
}

void TestGeo::anyCentreShowsAFewTiles()
{
    QFETCH(double, lat);
    QFETCH(double, lng);
    QFETCH(int, zoom);
    QFETCH(int, expectedZoom);
    const MapProjection p = projection(512, 512, lat, lng, zoom);
    QCOMPARE(p.zoom(), expectedZoom);
    QCOMPARE(p.n(), double(1 << expectedZoom));
    QVERIFY(std::isfinite(p.centre().lat()) && std::isfinite(p.centre().lng()));
    QVERIFY(std::abs(p.centre().lat()) <= Geo::maxLatitude);
    QVERIFY(std::abs(p.centre().lng()) <= 180.0);
    // A 512-pixel view spans at most three tiles each way, all touching the
    // grid of n x n tiles.
    const QRect tiles = p.visibleTiles();
    QVERIFY2(tiles.width() >= 1 && tiles.width() <= 3 && tiles.height() >= 1 && tiles.height() <= 3,
             qPrintable(QStringLiteral("%1 x %2").arg(tiles.width()).arg(tiles.height())));
    QVERIFY(tiles.right() >= 0 && tiles.left() <= p.n());
    QVERIFY(tiles.bottom() >= 0 && tiles.top() <= p.n());
}

void TestGeo::bearingAndDistance_data()
{
    QTest::addColumn<GeoPoint>("a");
    QTest::addColumn<GeoPoint>("b");
    QTest::addColumn<double>("bearing");
    QTest::addColumn<double>("km");

    const double degree = 6371.0 * Geo::pi / 180.0;
    QTest::newRow("due east") << GeoPoint(0, 10) << GeoPoint(0, 11) << 90.0 << degree;
    QTest::newRow("due west") << GeoPoint(0, 10) << GeoPoint(0, 9) << 270.0 << degree;
    QTest::newRow("due north") << GeoPoint(43, 15) << GeoPoint(44, 15) << 0.0 << degree;
    QTest::newRow("due south") << GeoPoint(43, 15) << GeoPoint(42, 15) << 180.0 << degree;
    QTest::newRow("identical") << GeoPoint(43.5, 15.2) << GeoPoint(43.5, 15.2) << 0.0 << 0.0;
    QTest::newRow("north-east on equator")
        << GeoPoint(0, 0) << GeoPoint(1, 1) << 44.99563645 << 157.24938127194397;
    QTest::newRow("across the antimeridian")
        << GeoPoint(0, 179.5) << GeoPoint(0, -179.5) << 90.0 << degree;
    QTest::newRow("antipodes") << GeoPoint(0, 0) << GeoPoint(0, 180) << 90.0 << 6371.0 * Geo::pi;
}

void TestGeo::bearingAndDistance()
{
    QFETCH(GeoPoint, a);
    QFETCH(GeoPoint, b);
    QFETCH(double, bearing);
    QFETCH(double, km);
    const double got = Geo::bearingTo(a, b);
    QVERIFY2(std::abs(got - bearing) < 1e-6, qPrintable(QString::number(got, 'g', 17)));
    QVERIFY(got >= 0.0 && got < 360.0);
    QVERIFY2(std::abs(Geo::distanceKm(a, b) - km) < 1e-6,
             qPrintable(QString::number(Geo::distanceKm(a, b), 'g', 17)));
    QVERIFY(std::abs(Geo::distanceKm(b, a) - km) < 1e-6);
    if (QByteArray(QTest::currentDataTag()) == "due north")
        QCOMPARE(qRound(Geo::distanceKm(a, b) * 100), 11119);
}

void TestGeo::destination_data()
{
    QTest::addColumn<GeoPoint>("start");
    QTest::addColumn<double>("km");
    QTest::addColumn<double>("bearing");
    QTest::addColumn<GeoPoint>("end");

    const GeoPoint dugiOtok(44.188733, 14.845183);
    QTest::newRow("Dugi Otok North 5 km north")
        << dugiOtok << 5.0 << 0.0 << GeoPoint(44.233731, 14.845183);
    QTest::newRow("distance 0") << dugiOtok << 0.0 << 123.0 << dugiOtok;
    QTest::newRow("5 km east") << dugiOtok << 5.0 << 90.0 << GeoPoint(44.188716, 14.907938);
    QTest::newRow("equator 1 km south")
        << GeoPoint(0, 10) << 1.0 << 180.0 << GeoPoint(-0.009043691, 10.0);
}

void TestGeo::destination()
{
    QFETCH(GeoPoint, start);
    QFETCH(double, km);
    QFETCH(double, bearing);
    QFETCH(GeoPoint, end);
    const GeoPoint got = Geo::destinationPoint(start, km, bearing);
    QVERIFY2(near(got, end, 5e-7), text(got));
    if (bearing == 0.0 || km == 0.0)
        QVERIFY(std::abs(got.lng() - start.lng()) < 1e-12);
}

void TestGeo::midpoint_data()
{
    QTest::addColumn<GeoPoint>("a");
    QTest::addColumn<GeoPoint>("b");
    QTest::addColumn<GeoPoint>("mid");

    QTest::newRow("along the equator") << GeoPoint(0, 0) << GeoPoint(0, 90) << GeoPoint(0, 45);
    QTest::newRow("along a meridian") << GeoPoint(10, 15) << GeoPoint(20, 15) << GeoPoint(15, 15);
    QTest::newRow("identical") << GeoPoint(44.1, 15.2) << GeoPoint(44.1, 15.2)
                               << GeoPoint(44.1, 15.2);
    QTest::newRow("gate ends") << GeoPoint(44.0, 15.0) << GeoPoint(44.0, 15.2)
                               << GeoPoint(44.0000436, 15.1);
}

void TestGeo::midpoint()
{
    QFETCH(GeoPoint, a);
    QFETCH(GeoPoint, b);
    QFETCH(GeoPoint, mid);
    const GeoPoint got = Geo::midpointOf(a, b);
    QVERIFY2(near(got, mid, 1e-7), text(got));
    QVERIFY(std::abs(Geo::distanceKm(a, got) - Geo::distanceKm(got, b)) < 1e-9);
}

QTEST_APPLESS_MAIN(TestGeo)
#include "tst_geo.moc"
