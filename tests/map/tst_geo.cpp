#include "geo.h"

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(GeoPoint)

// Tile grid, view layout and the great-circle helpers, checked against
// values worked out by hand for the Adriatic racing area and the grid edges.
class TestGeo : public QObject
{
    Q_OBJECT
private slots:
    void geoPointRadians();

    void tileIndexAt_data();
    void tileIndexAt();
    void tilePositionFraction();
    void tileEdges_data();
    void tileEdges();
    void adjacentTilesShareEdges_data();
    void adjacentTilesShareEdges();

    void layout_data();
    void layout();
    void layoutStartsNull();
    void tileRectFollowsLayout();

    void geoToViewOfCentre_data();
    void geoToViewOfCentre();
    void viewToGeoOfCentre_data();
    void viewToGeoOfCentre();
    void roundTripWithinAPixel_data();
    void roundTripWithinAPixel();

    void bearing_data();
    void bearing();
    void distance_data();
    void distance();
    void destination_data();
    void destination();
    void midpoint_data();
    void midpoint();
    void vectors();
};

static double tileLat(int row, int zoom)
{
    return Geo::tileLatitude(row, double(1 << zoom));
}

static double tileLng(int column, int zoom)
{
    return Geo::tileLongitude(column, double(1 << zoom));
}

void TestGeo::geoPointRadians()
{
    GeoPoint p(57.29577951308232, -114.59155902616465);
    QCOMPARE(p.latRad(), 1.0);
    QCOMPARE(p.lngRad(), -2.0);
    p.setLatRad(0.5);
    p.setLngRad(-0.25);
    QCOMPARE(p.lat(), 0.5 * 57.29577951308232);
    QCOMPARE(p.lng(), -0.25 * 57.29577951308232);
    p.reset();
    QCOMPARE(p, GeoPoint());
}

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
    // Truncation toward zero: half a tile west of the grid is still column 0.
    QTest::newRow("half a tile west")
        << 10.0 << -180.0 - 0.5 * 360.0 / 1024 << 10 << QPoint(0, 483);
    // ... and just north of the grid is still row 0.
    QTest::newRow("beyond north edge") << 85.06 << 0.0 << 10 << QPoint(512, 0);
}

void TestGeo::tileIndexAt()
{
    QFETCH(double, lat);
    QFETCH(double, lng);
    QFETCH(int, zoom);
    QFETCH(QPoint, tile);
    QCOMPARE(Geo::tileIndexAt(lat, lng, double(1 << zoom)), tile);
}

void TestGeo::tilePositionFraction()
{
    const QPointF p = Geo::tilePosition(43.98, 15.366, 1024.0);
    QVERIFY(std::abs(p.x() - 555.7077333) < 1e-6);
    QVERIFY(std::abs(p.y() - 372.4256600) < 1e-6);
    QVERIFY(Geo::tilePosition(10.0, -180.0 - 0.5 * 360.0 / 1024, 1024.0).x() < 0.0);
}

void TestGeo::tileEdges_data()
{
    QTest::addColumn<double>("y");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<double>("lat");

    QTest::newRow("north edge z0") << 0.0 << 0 << 85.0511287798066;
    QTest::newRow("north edge z15") << 0.0 << 15 << 85.0511287798066;
    QTest::newRow("equator z10") << 512.0 << 10 << 0.0;
    QTest::newRow("south edge z10") << 1024.0 << 10 << -85.0511287798066;
}

void TestGeo::tileEdges()
{
    QFETCH(double, y);
    QFETCH(int, zoom);
    QFETCH(double, lat);
    const double n = double(1 << zoom);
    QVERIFY2(std::abs(Geo::tileLatitude(y, n) - lat) < 1e-9,
             qPrintable(QString::number(Geo::tileLatitude(y, n), 'g', 17)));
    QCOMPARE(Geo::tileLongitude(0, n), -180.0);
    QCOMPARE(Geo::tileLongitude(n, n), 180.0);
    QCOMPARE(Geo::tileLongitude(n / 2, n), 0.0);
}

void TestGeo::adjacentTilesShareEdges_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("zoom");

    QTest::newRow("Kornati z10") << 555 << 372 << 10;
    QTest::newRow("top-left z4") << 0 << 0 << 4;
    QTest::newRow("last tile z15") << 32766 << 32766 << 15;
    QTest::newRow("equator z1") << 0 << 0 << 1;
}

void TestGeo::adjacentTilesShareEdges()
{
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(int, zoom);
    const double n = double(1 << zoom);
    const TileBounds b = Geo::tileBounds(column, row, n);
    const TileBounds below = Geo::tileBounds(column, row + 1, n);
    const TileBounds right = Geo::tileBounds(column + 1, row, n);
    QCOMPARE(b.south, below.north); // exactly, not just nearly
    QVERIFY(b.north > b.south);
    QCOMPARE(b.east - b.west, 360.0 / n);
    QCOMPARE(b.east, right.west);
    QCOMPARE(b.west, below.west);
    QCOMPARE(b.north, Geo::tileLatitude(row, n));
}

void TestGeo::layout_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lng");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<QRect>("tiles");

    const double cornerLat = tileLat(373, 10);
    const double cornerLng = tileLng(555, 10);
    QTest::newRow("512 on a corner") << 512 << 512 << cornerLat << cornerLng << 10 << QPoint(0, 0)
                                     << QRect(QPoint(554, 372), QPoint(555, 373));
    QTest::newRow("513 gets a third column")
        << 513 << 512 << cornerLat << cornerLng << 10 << QPoint(0, 0)
        << QRect(QPoint(554, 372), QPoint(556, 373));
    QTest::newRow("800x600 start view")
        << 800 << 600 << 42.986766 << 16.0203 << 10 << QPoint(-2, -38)
        << QRect(QPoint(556, 375), QPoint(559, 377));
    QTest::newRow("1920x1080") << 1920 << 1080 << 42.986766 << 16.0203 << 10 << QPoint(-210, -54)
                               << QRect(QPoint(553, 374), QPoint(561, 378));
    QTest::newRow("one pixel") << 1 << 1 << 42.986766 << 16.0203 << 10 << QPoint(-145, -81)
                               << QRect(QPoint(557, 376), QPoint(557, 376));
    QTest::newRow("null island z4")
        << 300 << 200 << 0.0 << 0.0 << 4 << QPoint(-106, -156) << QRect(QPoint(7, 7), QPoint(8, 8));
    QTest::newRow("far north-east z15") << 256 << 256 << 85.0 << 179.9 << 15 << QPoint(-101, -43)
                                        << QRect(QPoint(32758, 53), QPoint(32759, 54));
}

void TestGeo::layout()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, lat);
    QFETCH(double, lng);
    QFETCH(int, zoom);
    QFETCH(QPoint, offset);
    QFETCH(QRect, tiles);

    MapProjection p;
    p.setZoom(zoom);
    p.setCentre(lat, lng);
    p.layout(width, height);
    QCOMPARE(p.firstTileOffset(), offset);
    QCOMPARE(p.visibleTiles(), tiles);
    QCOMPARE(p.width(), width);
    QCOMPARE(p.height(), height);
    // The tiles cover the whole view.
    const QRect first = p.tileRect(tiles.left(), tiles.top());
    const QRect last = p.tileRect(tiles.right(), tiles.bottom());
    QVERIFY(first.left() <= 0 && first.top() <= 0);
    QVERIFY(last.right() >= width - 1 && last.bottom() >= height - 1);
}

void TestGeo::layoutStartsNull()
{
    MapProjection p;
    QVERIFY(p.visibleTiles().isNull());
    QCOMPARE(p.visibleTiles(), QRect(QPoint(0, 0), QPoint(-1, -1)));
    QCOMPARE(p.zoom(), 10);
    QCOMPARE(p.n(), 1024.0);
    p.setZoom(15);
    QCOMPARE(p.n(), 32768.0);
}

void TestGeo::tileRectFollowsLayout()
{
    MapProjection p;
    p.setCentre(42.986766, 16.0203);
    p.layout(800, 600);
    QCOMPARE(p.tileRect(556, 375), QRect(-2, -38, 256, 256));
    QCOMPARE(p.tileRect(558, 377), QRect(510, 474, 256, 256));
    QCOMPARE(p.tileRect(558, 377).bottomRight(), QPoint(765, 729));
}

void TestGeo::geoToViewOfCentre_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lng");
    QTest::addColumn<int>("zoom");

    QTest::newRow("800x600 start view") << 800 << 600 << 42.986766 << 16.0203 << 10;
    QTest::newRow("1920x1080 z15") << 1920 << 1080 << 43.5 << 15.9 << 15;
    QTest::newRow("odd size z6") << 333 << 777 << -33.9 << 18.4 << 6;
    QTest::newRow("southern z12") << 640 << 480 << -41.29 << 174.78 << 12;
}

void TestGeo::geoToViewOfCentre()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, lat);
    QFETCH(double, lng);
    QFETCH(int, zoom);

    MapProjection p;
    p.setZoom(zoom);
    p.setCentre(lat, lng);
    p.layout(width, height);
    const QPoint v = p.geoToView(lng, lat);
    QVERIFY2(std::abs(v.x() - width / 2) <= 1 && std::abs(v.y() - height / 2) <= 1,
             qPrintable(QStringLiteral("%1,%2").arg(v.x()).arg(v.y())));
    QCOMPARE(p.geoToView(GeoPoint(lat, lng)), v);
    if (QByteArray(QTest::currentDataTag()) == "800x600 start view")
        QCOMPARE(v, QPoint(399, 299));
}

void TestGeo::viewToGeoOfCentre_data()
{
    geoToViewOfCentre_data();
}

void TestGeo::viewToGeoOfCentre()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, lat);
    QFETCH(double, lng);
    QFETCH(int, zoom);

    MapProjection p;
    p.setZoom(zoom);
    p.setCentre(lat, lng);
    p.layout(width, height);
    const GeoPoint g = p.viewToGeo(width / 2, height / 2);
    QVERIFY(std::abs(g.lat() - lat) < 1e-10);
    QVERIFY(std::abs(g.lng() - lng) < 1e-10);
}

void TestGeo::roundTripWithinAPixel_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lng");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("tolerance");

    QTest::newRow("800x600 start view") << 800 << 600 << 42.986766 << 16.0203 << 10 << 1;
    QTest::newRow("1920x1080 z15") << 1920 << 1080 << 43.5 << 15.9 << 15 << 1;
    QTest::newRow("southern z12") << 640 << 480 << -41.29 << 174.78 << 12 << 1;
    QTest::newRow("z8") << 1024 << 768 << 55.0 << 12.0 << 8 << 1;
    // Linear interpolation of latitude inside a tile spanning several degrees
    // is off by a few pixels at the lowest zoom levels.
    QTest::newRow("odd size z4") << 333 << 777 << -33.9 << 18.4 << 4 << 12;
}

void TestGeo::roundTripWithinAPixel()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, lat);
    QFETCH(double, lng);
    QFETCH(int, zoom);
    QFETCH(int, tolerance);

    MapProjection p;
    p.setZoom(zoom);
    p.setCentre(lat, lng);
    p.layout(width, height);
    for (int py = 0; py < height; py += height / 7 + 1) {
        for (int px = 0; px < width; px += width / 9 + 1) {
            const GeoPoint g = p.viewToGeo(px, py);
            const QPoint v = p.geoToView(g);
            QVERIFY2(
                std::abs(v.x() - px) <= tolerance && std::abs(v.y() - py) <= tolerance,
                qPrintable(
                    QStringLiteral("(%1,%2) -> (%3,%4)").arg(px).arg(py).arg(v.x()).arg(v.y())));
            // Back again: the geographic point of that pixel is within a pixel's width.
            const GeoPoint back = p.viewToGeo(v.x(), v.y());
            const double degPerPixel = 360.0 / p.n() / 256.0;
            QVERIFY(std::abs(back.lng() - g.lng()) <= 1.01 * degPerPixel * tolerance);
            QVERIFY(std::abs(back.lat() - g.lat()) <= 1.01 * degPerPixel * tolerance);
        }
    }
}

void TestGeo::bearing_data()
{
    QTest::addColumn<GeoPoint>("a");
    QTest::addColumn<GeoPoint>("b");
    QTest::addColumn<double>("bearing");

    QTest::newRow("due east") << GeoPoint(0, 10) << GeoPoint(0, 11) << 90.0;
    QTest::newRow("due west") << GeoPoint(0, 10) << GeoPoint(0, 9) << 270.0;
    QTest::newRow("due north") << GeoPoint(43, 15) << GeoPoint(44, 15) << 0.0;
    QTest::newRow("due south") << GeoPoint(43, 15) << GeoPoint(42, 15) << 180.0;
    QTest::newRow("identical") << GeoPoint(43.5, 15.2) << GeoPoint(43.5, 15.2) << 0.0;
    QTest::newRow("north-east on equator") << GeoPoint(0, 0) << GeoPoint(1, 1) << 44.99563645;
}

void TestGeo::bearing()
{
    QFETCH(GeoPoint, a);
    QFETCH(GeoPoint, b);
    QFETCH(double, bearing);
    const double got = Geo::bearingTo(a, b);
    QVERIFY2(std::abs(got - bearing) < 1e-6, qPrintable(QString::number(got, 'g', 17)));
    QVERIFY(got >= 0.0 && got < 360.0);
}

void TestGeo::distance_data()
{
    QTest::addColumn<GeoPoint>("a");
    QTest::addColumn<GeoPoint>("b");
    QTest::addColumn<double>("km");

    const double degree = 6371.0 * 3.141592653589793 / 180.0;
    QTest::newRow("identical") << GeoPoint(44.1, 15.2) << GeoPoint(44.1, 15.2) << 0.0;
    QTest::newRow("degree of meridian") << GeoPoint(43, 15) << GeoPoint(44, 15) << degree;
    QTest::newRow("degree of equator") << GeoPoint(0, 15) << GeoPoint(0, 16) << degree;
    QTest::newRow("across the antimeridian") << GeoPoint(0, 179.5) << GeoPoint(0, -179.5) << degree;
    QTest::newRow("antipodes") << GeoPoint(0, 0) << GeoPoint(0, 180) << 6371.0 * 3.141592653589793;
}

void TestGeo::distance()
{
    QFETCH(GeoPoint, a);
    QFETCH(GeoPoint, b);
    QFETCH(double, km);
    QVERIFY2(std::abs(Geo::distanceKm(a, b) - km) < 1e-6,
             qPrintable(QString::number(Geo::distanceKm(a, b), 'g', 17)));
    QVERIFY(std::abs(Geo::distanceKm(b, a) - km) < 1e-6);
    if (QByteArray(QTest::currentDataTag()) == "degree of meridian")
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
    QVERIFY2(
        std::abs(got.lat() - end.lat()) < 5e-7 && std::abs(got.lng() - end.lng()) < 5e-7,
        qPrintable(QStringLiteral("%1, %2").arg(got.lat(), 0, 'f', 9).arg(got.lng(), 0, 'f', 9)));
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
    QVERIFY2(
        std::abs(got.lat() - mid.lat()) < 1e-7 && std::abs(got.lng() - mid.lng()) < 1e-7,
        qPrintable(QStringLiteral("%1, %2").arg(got.lat(), 0, 'f', 9).arg(got.lng(), 0, 'f', 9)));
    // Equally far from both ends.
    QVERIFY(std::abs(Geo::distanceKm(a, got) - Geo::distanceKm(got, b)) < 1e-9);
}

void TestGeo::vectors()
{
    QCOMPARE(Geo::normalized(GeoPoint(0, 0)), GeoPoint(0, 0));
    const GeoPoint u = Geo::normalized(GeoPoint(3, -4));
    QCOMPARE(u.lat(), 0.6);
    QCOMPARE(u.lng(), -0.8);
    QCOMPARE(Geo::length(GeoPoint(3, -4)), 5.0);
    QCOMPARE(Geo::dot(GeoPoint(1, 2), GeoPoint(3, -4)), -5.0);
    QCOMPARE(Geo::dot(GeoPoint(1, 0), GeoPoint(0, 1)), 0.0);
}

QTEST_APPLESS_MAIN(TestGeo)
#include "tst_geo.moc"
