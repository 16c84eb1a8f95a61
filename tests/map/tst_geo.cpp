#include "geo.h"

#include <QtTest>

class TestGeo : public QObject
{
    Q_OBJECT
private slots:
    void tileIndexKnown();
    void layoutCorner();
};

void TestGeo::tileIndexKnown()
{
    const QPoint t = Geo::tileIndexAt(43.98, 15.366, 1024.0);
    QCOMPARE(t, QPoint(555, 372));
}

void TestGeo::layoutCorner()
{
    MapProjection p;
    p.setZoom(10);
    p.setCentre(Geo::tileLatitude(373, 1024.0), Geo::tileLongitude(555, 1024.0));
    p.layout(512, 512);
    QCOMPARE(p.firstTileOffset(), QPoint(0, 0));
    QCOMPARE(p.visibleTiles(), QRect(QPoint(554, 372), QPoint(555, 373)));
}

QTEST_APPLESS_MAIN(TestGeo)
#include "tst_geo.moc"
