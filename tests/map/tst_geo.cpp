#include "map/geo.h"

#include <QtTest>

#include <climits>
#include <cmath>

Q_DECLARE_METATYPE(GeoPoint)

namespace
{
bool near(const GeoPoint &a, const GeoPoint &b, double tolerance)
{
    return std::abs(a.lat() - b.lat()) < tolerance && std::abs(a.lng() - b.lng()) < tolerance;
}

QByteArray text(const GeoPoint &p)
{
    return QStringLiteral("%1, %2").arg(p.lat(), 0, 'f', 9).arg(p.lng(), 0, 'f', 9).toLatin1();
}

const double maxLat = 85.0511287798066;
} // namespace

// Tile grid, view layout and the great-circle helpers, against values worked
// out by hand for the Adriatic racing area and the edges of the grid.
class TestGeo : public QObject
{
    Q_OBJECT
private slots:
    void tileIndexAt_data()
    {
        QTest::addColumn<QPointF>("latLng");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QPoint>("tile");
        QTest::newRow("Kornati z10") << QPointF(43.98, 15.366) << 10 << QPoint(555, 372);
        QTest::newRow("antimeridian, one past") << QPointF(10, 180) << 10 << QPoint(1024, 483);
        QTest::newRow("south edge") << QPointF(-85.0511, 0) << 15 << QPoint(16384, 32767);
        QTest::newRow("beyond south edge") << QPointF(-85.06, 0) << 10 << QPoint(512, 1024);
        // Truncation toward zero: just outside the grid is still column or row 0.
        QTest::newRow("half a tile west")
            << QPointF(10, -180.0 - 0.5 * 360.0 / 1024) << 10 << QPoint(0, 483);
        QTest::newRow("beyond north edge") << QPointF(85.06, 0) << 10 << QPoint(512, 0);
    }
    void tileIndexAt()
    {
        QFETCH(QPointF, latLng);
        QFETCH(int, zoom);
        QTEST(Geo::tileIndexAt(latLng.x(), latLng.y(), double(1 << zoom)), "tile");
        const QPointF p = Geo::tilePosition(43.98, 15.366, 1024.0);
        QVERIFY(std::abs(p.x() - 555.7077333) < 1e-6 && std::abs(p.y() - 372.4256600) < 1e-6);
        // Tile edges: the grid's corners, and neighbours sharing theirs exactly.
        QCOMPARE(Geo::tileLatitude(0, 32768.0), maxLat);
        QCOMPARE(Geo::tileLatitude(512, 1024.0), 0.0);
        QCOMPARE(Geo::tileLongitude(1024, 1024.0), 180.0);
        const TileBounds b = Geo::tileBounds(555, 372, 1024.0);
        QCOMPARE(b.south, Geo::tileBounds(555, 373, 1024.0).north);
        QCOMPARE(b.east, Geo::tileBounds(556, 372, 1024.0).west);
    }

    void panning_data()
    {
        QTest::addColumn<GeoPoint>("centre");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QPoint>("drag");
        QTest::addColumn<GeoPoint>("expected");
        QTest::newRow("half the world west at z0")
            << GeoPoint(0, 0) << 0 << QPoint(-128, 0) << GeoPoint(0, 180);
        QTest::newRow("half a tile east at z10")
            << GeoPoint(0, 10) << 10 << QPoint(128, 0) << GeoPoint(0, 9.82421875);
        // Row 1 of zoom 2 starts at atan(sinh(pi / 2)).
        QTest::newRow("one tile down at z2")
            << GeoPoint(0, 0) << 2 << QPoint(0, 256) << GeoPoint(66.51326044311186, 0);
        QTest::newRow("up to the south edge")
            << GeoPoint(0, 0) << 1 << QPoint(0, -256) << GeoPoint(-maxLat, 0);
    }
    void panning()
    {
        QFETCH(GeoPoint, centre);
        QFETCH(int, zoom);
        QFETCH(QPoint, drag);
        QFETCH(GeoPoint, expected);
        const GeoPoint got = Geo::pannedCentre(centre, double(1 << zoom), drag.x(), drag.y());
        QVERIFY2(near(got, expected, 1e-9), text(got));
        // An arrow key drags the map a tile the other way.
        QCOMPARE(Geo::arrowKeyDrag(Qt::Key_Left), QPoint(256, 0));
        QCOMPARE(Geo::arrowKeyDrag(Qt::Key_Down), QPoint(0, -256));
        QCOMPARE(Geo::arrowKeyDrag(Qt::Key_Plus), QPoint(0, 0));
    }

    void centreClamped_data()
    {
        QTest::addColumn<QPointF>("latLng");
        QTest::addColumn<GeoPoint>("expected");
        const GeoPoint start(42.986766, 16.0203);
        QTest::newRow("edges kept") << QPointF(maxLat, 180) << GeoPoint(maxLat, 180);
        QTest::newRow("north of the pole") << QPointF(91, 0) << GeoPoint(maxLat, 0);
        QTest::newRow("far south") << QPointF(-1e308, 15) << GeoPoint(-maxLat, 15);
        QTest::newRow("east of the antimeridian") << QPointF(10, 190) << GeoPoint(10, -170);
        QTest::newRow("one and a half turns west") << QPointF(10, -540) << GeoPoint(10, -180);
        QTest::newRow("NaN latitude") << QPointF(std::nan(""), 15) << start;
        QTest::newRow("infinite longitude") << QPointF(10, HUGE_VAL) << start;
    }
    void centreClamped()
    {
        QFETCH(QPointF, latLng);
        QFETCH(GeoPoint, expected);
        MapProjection p;
        p.setCentre(42.986766, 16.0203);
        p.setCentre(latLng.x(), latLng.y());
        QVERIFY2(near(p.centre(), expected, 1e-12), text(p.centre()));
        // The zoom is clamped to the tile grid's levels likewise.
        for (const auto &[zoom, clamped] :
             {std::pair{INT_MAX, 22}, std::pair{99, 22}, std::pair{-7, 0}}) {
            p.setZoom(zoom);
            QCOMPARE(p.zoom(), clamped);
        }
    }

    void bearingAndDistance_data()
    {
        QTest::addColumn<GeoPoint>("a");
        QTest::addColumn<GeoPoint>("b");
        QTest::addColumn<double>("bearing");
        QTest::addColumn<double>("km");
        const double degree = 6371.0 * Geo::pi / 180.0;
        QTest::newRow("due west") << GeoPoint(0, 10) << GeoPoint(0, 9) << 270.0 << degree;
        QTest::newRow("due north")
            << GeoPoint(43, 15) << GeoPoint(44, 15) << 0.0 << 111.19492664455873;
        QTest::newRow("identical") << GeoPoint(43.5, 15.2) << GeoPoint(43.5, 15.2) << 0.0 << 0.0;
        QTest::newRow("north-east on equator")
            << GeoPoint(0, 0) << GeoPoint(1, 1) << 44.99563645 << 157.24938127194397;
        QTest::newRow("across the antimeridian")
            << GeoPoint(0, 179.5) << GeoPoint(0, -179.5) << 90.0 << degree;
        QTest::newRow("antipodes")
            << GeoPoint(0, 0) << GeoPoint(0, 180) << 90.0 << 6371.0 * Geo::pi;
    }
    void bearingAndDistance()
    {
        QFETCH(GeoPoint, a);
        QFETCH(GeoPoint, b);
        QFETCH(double, bearing);
        QFETCH(double, km);
        const double got = Geo::bearingTo(a, b);
        QVERIFY2(std::abs(got - bearing) < 1e-6 && got < 360.0,
                 qPrintable(QString::number(got, 'g', 17)));
        QVERIFY(std::abs(Geo::distanceKm(a, b) - km) < 1e-6 &&
                std::abs(Geo::distanceKm(b, a) - km) < 1e-6);
    }

    void destinationAndMidpoint_data()
    {
        QTest::addColumn<GeoPoint>("start");
        QTest::addColumn<double>("km");
        QTest::addColumn<double>("bearing");
        QTest::addColumn<GeoPoint>("end");
        QTest::addColumn<GeoPoint>("mid"); // of start and end
        const GeoPoint dugiOtok(44.188733, 14.845183);
        QTest::newRow("Dugi Otok North 5 km north")
            << dugiOtok << 5.0 << 0.0 << GeoPoint(44.233731, 14.845183)
            << GeoPoint(44.211232, 14.845183);
        QTest::newRow("distance 0") << dugiOtok << 0.0 << 123.0 << dugiOtok << dugiOtok;
        QTest::newRow("5 km east") << dugiOtok << 5.0 << 90.0 << GeoPoint(44.188716, 14.907938)
                                   << GeoPoint(44.1887287, 14.8765605);
    }
    void destinationAndMidpoint()
    {
        QFETCH(GeoPoint, start);
        QFETCH(double, km);
        QFETCH(double, bearing);
        QFETCH(GeoPoint, end);
        QFETCH(GeoPoint, mid);
        const GeoPoint got = Geo::destinationPoint(start, km, bearing);
        QVERIFY2(near(got, end, 5e-7), text(got));
        const GeoPoint m = Geo::midpointOf(start, end);
        QVERIFY2(near(m, mid, 1e-6), text(m));
        QVERIFY(std::abs(Geo::distanceKm(start, m) - Geo::distanceKm(m, end)) < 1e-9);
        // Gate ends a fifth of a degree apart: the midpoint lies a little north.
        QVERIFY(near(Geo::midpointOf(GeoPoint(44, 15), GeoPoint(44, 15.2)),
                     GeoPoint(44.0000436, 15.1), 1e-7));
    }
};

QTEST_APPLESS_MAIN(TestGeo)
#include "tst_geo.moc"
