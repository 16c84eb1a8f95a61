#include "scene/course.h"
#include "scene/gateitem.h"
#include "scenetest.h"

#include <QGraphicsScene>
#include <QtTest>

#include <cmath>

using namespace SceneTest;

namespace
{

bool near6(double a, double b)
{
    return std::abs(a - b) < 0.5e-6 + 1e-9;
}

// View pixel by the Mercator formula relative to the centre, independent of
// the tile layout (within a pixel of geoToView).
QPointF mercatorPixel(const GeoPoint &g, const GeoPoint &centre, int zoom, int w, int h)
{
    const double n = std::pow(2.0, zoom);
    const auto tile = [n](const GeoPoint &p) { return Geo::tilePosition(p.lat(), p.lng(), n); };
    const QPointF d = (tile(g) - tile(centre)) * 256.0;
    return QPointF(w / 2 + d.x(), h / 2 + d.y());
}

} // namespace

class TestGates : public QObject
{
    Q_OBJECT
private slots:
    void derivedEndsAndCentres_data();
    void derivedEndsAndCentres();
    void explicitEndWithOneZeroKept();
    void courseSelection_data();
    void courseSelection();
    void boundingRectNormalisedForGatePointingUpLeft();
    void gateDrawnInPartialRepaint();
};

void TestGates::derivedEndsAndCentres_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("latB");
    QTest::addColumn<double>("lngB");
    QTest::addColumn<double>("latC");
    QTest::addColumn<double>("lngC");
    const struct {
        const char *name;
        double latB, lngB, latC, lngC;
    } rows[] = {
        {"Biograd Start", 43.977300, 15.359501, 43.978650, 15.362750},
        {"Dugi Otok North", 44.233731, 14.845183, 44.188733, 14.845183},
        {"Mulo (1)", 43.131386, 15.392017, 43.323220, 15.654470},
        {"Bisevo-Vis", 43.006750, 16.066916, 42.996760, 16.043604},
        {"Palagruza", 42.301909, 16.255316, 42.391933, 16.255316},
        {"Mljet", 42.685995, 17.956337, 42.686183, 17.748150},
        {"Korcula", 42.824119, 16.389382, 42.903836, 16.498000},
        {"Hvar", 43.165100, 16.436900, 43.119053, 16.345864},
        {"Mulo (2)", 43.539902, 15.953687, 43.527178, 15.936132},
        {"Prisnjak", 43.762482, 15.407280, 43.794058, 15.482867},
        {"Biograd Ziel", 43.934350, 15.431556, 43.935925, 15.435345},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << QString::fromUtf8(r.name) << r.latB << r.lngB << r.latC << r.lngC;
}

void TestGates::derivedEndsAndCentres()
{
    QFETCH(QString, name);
    QFETCH(double, latB);
    QFETCH(double, lngB);
    QFETCH(double, latC);
    QFETCH(double, lngC);
    const QList<GateItem *> gates = buildCourse(21, 120);
    GateItem *gate = nullptr;
    for (GateItem *g : gates)
        if (g->name() == name)
            gate = g;
    QVERIFY(gate);
    const auto text = [](const GeoPoint &p) {
        return QStringLiteral("%1, %2").arg(p.lat(), 0, 'f', 6).arg(p.lng(), 0, 'f', 6);
    };
    QVERIFY2(near6(gate->posB().lat(), latB) && near6(gate->posB().lng(), lngB),
             qPrintable(text(gate->posB())));
    QVERIFY2(near6(gate->centre().lat(), latC) && near6(gate->centre().lng(), lngC),
             qPrintable(text(gate->centre())));
    QCOMPARE(gate->lineColour(), QRgb(0xFFFA6464));
    qDeleteAll(gates);
}

void TestGates::explicitEndWithOneZeroKept()
{
    GateItem a(43.0, 15.0, 0.0, 15.5, 90.0, 10.0, QStringLiteral("a"), true);
    QCOMPARE(a.posB(), GeoPoint(0.0, 15.5));
    GateItem b(43.0, 15.0, 43.5, 0.0, 90.0, 10.0, QStringLiteral("b"), false);
    QCOMPARE(b.posB(), GeoPoint(43.5, 0.0));
    QCOMPARE(b.centre(), GeoPoint(43.0, 15.0));
    GateItem c(43.0, 15.0, 0.0, 0.0, 90.0, 10.0, QStringLiteral("c"), false);
    QVERIFY(c.posB().lng() > 15.1 && std::abs(c.posB().lat() - 43.0) < 0.01);
}

void TestGates::courseSelection_data()
{
    QTest::addColumn<int>("eventId");
    QTest::addColumn<int>("taskId");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::newRow("21/120") << 21 << 120 << 11 << QStringLiteral("Biograd Start");
    QTest::newRow("10/88") << 10 << 88 << 11 << QStringLiteral("Biograd Start");
    QTest::newRow("100/200") << 100 << 200 << 10 << QStringLiteral("Dugi Otok North");
    QTest::newRow("104/218") << 104 << 218 << 10 << QStringLiteral("Dugi Otok North");
    QTest::newRow("104/220") << 104 << 220 << 10 << QStringLiteral("Dugi Otok North");
    QTest::newRow("21/121") << 21 << 121 << 0 << QString();
    QTest::newRow("104/221") << 104 << 221 << 0 << QString();
}

void TestGates::courseSelection()
{
    QFETCH(int, eventId);
    QFETCH(int, taskId);
    QFETCH(int, count);
    QFETCH(QString, first);
    const QList<GateItem *> gates = buildCourse(eventId, taskId);
    QCOMPARE(gates.size(), count);
    if (count > 0) {
        QCOMPARE(gates.first()->name(), first);
        QCOMPARE(gates.last()->name(), QStringLiteral("Biograd Ziel"));
    }
    qDeleteAll(gates);
}

void TestGates::boundingRectNormalisedForGatePointingUpLeft()
{
    GateItem gate(43.0, 15.0, 43.1, 14.9, 0, 0, QStringLiteral("g"), true);
    gate.setPixels(QPoint(100, 100), QPoint(40, 30));
    const QRectF r = gate.boundingRect();
    QVERIFY(r.width() > 0 && r.height() > 0);
    // Both circles (5 left/up, 4 right/down of an end) and the pen.
    QVERIFY(r.contains(QRectF(QPointF(34.5, 24.5), QPointF(105.5, 105.5))));
}

void TestGates::gateDrawnInPartialRepaint()
{
    GateItem *gate = new GateItem(43.0, 15.0, 43.1, 14.9, 0, 0, QStringLiteral("g"), true);
    gate->setPixels(QPoint(300, 300), QPoint(100, 100));
    QGraphicsScene scene(0, 0, 800, 600);
    scene.addItem(gate);
    const auto red = [](QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; };
    // Only the area of the up-left circle is repainted.
    QImage image = render(scene, QRect(90, 90, 20, 20));
    QVERIFY(countPixels(image, image.rect(), red) > 10);
    // The line between the circles in the gate colour.
    image = render(scene, QRect(0, 0, 800, 600));
    const QColor line = QColor::fromRgba(gate->lineColour());
    QVERIFY(countPixels(image, QRect(195, 195, 10, 10), [&](QColor c) { return c == line; }) > 5);
}

QTEST_MAIN(TestGates)
#include "tst_gates.moc"
