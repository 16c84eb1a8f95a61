#include "scene/ship.h"
#include "scene/shiploader.h"
#include "scenetest.h"
#include "testdatabase.h"

#include <QGraphicsScene>
#include <QSqlQuery>
#include <QtTest>

using namespace SceneTest;

namespace
{

const QString createShip = QStringLiteral(
    "create table ship (id INTEGER primary key,regatta_id int, name varchar(100), skipper "
    "varchar(100), team varchar(100), klasse varchar(100), startnr varchar(100), farbe "
    "varchar(7), lastget int, show boolean, follow boolean)");
const QString createTrack = QStringLiteral(
    "create table track (id INTEGER PRIMARY KEY, ship_id INTEGER, regatta_id int, tstamp int, "
    "lat numeric(9,6), lng numeric(9,6))");

bool insert(const QString &table, const QVariantList &values)
{
    QSqlQuery q;
    QStringList marks;
    for (int i = 0; i < values.size(); ++i)
        marks << QStringLiteral("?");
    q.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(table, marks.join(',')));
    for (const QVariant &v : values)
        q.addBindValue(v);
    return q.exec();
}

bool insertShip(int id, int regatta, const QString &klasse, const QString &startnr,
                const QString &farbe = QStringLiteral("#102030"),
                const QString &show = QStringLiteral("true"),
                const QString &follow = QStringLiteral("false"))
{
    return insert(QStringLiteral("ship"),
                  {id, regatta, QStringLiteral("Boat %1").arg(id),
                   QStringLiteral("Skipper %1").arg(id), QStringLiteral("Team %1").arg(id), klasse,
                   startnr, farbe, 1000 + id, show, follow});
}

bool insertFix(int ship, int regatta, int t, double lat, double lng)
{
    return insert(QStringLiteral("track"), {QVariant(), ship, regatta, t, lat, lng});
}

QList<int> ids(const QList<Ship *> &ships)
{
    QList<int> out;
    for (const Ship *s : ships)
        out.append(s->id());
    return out;
}

} // namespace

class TestShipLoader : public QObject
{
    Q_OBJECT
private slots:
    void loadShipsOrder();
    void loadShipsFlagsFromText_data();
    void loadShipsFlagsFromText();
    void storedFixMomentDoesNotTurnBoatNorth();
    void placeShipsTimeRange();
};

void TestShipLoader::loadShipsOrder()
{
    TestDatabase db;
    QVERIFY(db.exec({createShip, createTrack}));
    QVERIFY(insertShip(5, 21, QStringLiteral("B"), QStringLiteral("2")));
    QVERIFY(insertShip(3, 21, QStringLiteral("A"), QStringLiteral("10")));
    QVERIFY(insertShip(38, 21, QStringLiteral("A"), QStringLiteral("1")));
    QVERIFY(insertShip(7, 21, QString(), QStringLiteral("3")));
    QVERIFY(insertShip(9, 21, QStringLiteral("A"), QStringLiteral("2"), QStringLiteral("blau?")));
    ShipLoader loader;
    const QList<Ship *> ships = loader.loadShips(21, committedStrip());
    // Empty class first; start numbers compare as text; boat 38 never appears.
    QCOMPARE(ids(ships), (QList<int>{7, 3, 9, 5}));
    QCOMPARE(ships.at(2)->colour(), Ship::fallbackColour());
    qDeleteAll(ships);
}

void TestShipLoader::loadShipsFlagsFromText_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("expected");
    QTest::newRow("true") << QStringLiteral("true") << true;
    QTest::newRow("false") << QStringLiteral("false") << false;
    QTest::newRow("1") << QStringLiteral("1") << true;
    QTest::newRow("0") << QStringLiteral("0") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestShipLoader::loadShipsFlagsFromText()
{
    QFETCH(QString, stored);
    QFETCH(bool, expected);
    TestDatabase db;
    QVERIFY(db.exec({createShip}));
    QVERIFY(insertShip(1, 21, QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("#000000"),
                       stored, QStringLiteral("false")));
    QVERIFY(insertShip(2, 21, QStringLiteral("A"), QStringLiteral("2"), QStringLiteral("#000000"),
                       QStringLiteral("false"), stored));
    // Integers written by other tools read the same.
    if (stored == QLatin1String("1"))
        QVERIFY(db.exec({QStringLiteral("UPDATE ship SET show=1 WHERE id=1"),
                         QStringLiteral("UPDATE ship SET follow=1 WHERE id=2")}));
    ShipLoader loader;
    const QList<Ship *> ships = loader.loadShips(21, std::make_shared<QPixmap>());
    QCOMPARE(ships.size(), 2);
    QCOMPARE(ships.at(0)->isShown(), expected);
    QCOMPARE(ships.at(1)->follow(), expected);
    QVERIFY(!ships.at(0)->follow());
    QVERIFY(!ships.at(1)->isShown());
    qDeleteAll(ships);
}

void TestShipLoader::storedFixMomentDoesNotTurnBoatNorth()
{
    TestDatabase db;
    QVERIFY(db.exec({createShip, createTrack}));
    // Eastwards, a pause on the spot, then south.
    QVERIFY(insertFix(1, 21, 1000, 43.0, 15.0));
    QVERIFY(insertFix(1, 21, 1060, 43.0, 15.01));
    QVERIFY(insertFix(1, 21, 1120, 43.0, 15.01));
    QVERIFY(insertFix(1, 21, 1180, 42.99, 15.01));

    ShipLoader loader;
    Ship ship(1, QStringLiteral("one"), QString(), QString());
    ship.setRegattaId(21);
    QVERIFY(loader.loadTrack(&ship));
    ship.setHasPositions(true);
    placeShips({&ship}, MapProjection(), nullptr);

    // A moment that falls exactly on a fix shows that fix's own heading.
    const QList<std::pair<int, double>> expected = {
        {1000, 90.0}, {1060, 90.0}, {1120, 90.0}, {1180, 180.0}};
    for (const auto &[t, heading] : expected) {
        const TrackPoint *p = ship.positionAt(t);
        QVERIFY(p);
        QCOMPARE(p->tstamp, t);
        QVERIFY2(qAbs(p->heading - heading) < 0.01,
                 qPrintable(QStringLiteral("t %1: heading %2").arg(t).arg(p->heading)));
    }
}

void TestShipLoader::placeShipsTimeRange()
{
    Ship a(1, QStringLiteral("a"), QString(), QString());
    Ship b(2, QStringLiteral("b"), QString(), QString());
    Ship c(3, QStringLiteral("c"), QString(), QString()); // no positions yet
    for (int t : {5000, 6000, 9000})
        a.rawTrack()->addPoint(43.0, 15.0 + t * 1e-6, t, 0.0);
    for (int t : {4000, 7000})
        b.rawTrack()->addPoint(43.1, 15.0 + t * 1e-6, t, 0.0);
    c.rawTrack()->addPoint(43.1, 15.0, 100, 0.0);
    c.rawTrack()->addPoint(43.1, 15.0, 20000, 0.0);
    a.setPointCount(3);
    b.setPointCount(2);
    c.setPointCount(2);
    a.setNamedColour(QStringLiteral("#00ff00"));
    b.setNamedColour(QStringLiteral("#0000ff"));

    // Without positions there is no range and nothing on the scene.
    QGraphicsScene scene;
    const MapProjection p = projection(43.0, 15.0, 10, 800, 600);
    const QList<Ship *> ships{&a, &b, &c};
    TimeRange range = placeShips(ships, p, &scene);
    QCOMPARE(range.earliest, 0);
    QCOMPARE(range.latest, 0);
    QVERIFY(scene.items().isEmpty());

    a.setHasPositions(true);
    b.setHasPositions(true);
    range = placeShips(ships, p, &scene);
    QCOMPARE(range.earliest, 4000);
    QCOMPARE(range.latest, 9000);
    QCOMPARE(a.scene(), &scene);
    QCOMPARE(b.scene(), &scene);
    QCOMPARE(c.scene(), nullptr);
    QCOMPARE(a.displayTrack(), a.rawTrack());
    QCOMPARE(a.displayTrack()->colour(), QColor(0, 255, 0));
    QCOMPARE(b.rawTrack()->colour(), QColor(0, 0, 255));
    QCOMPARE(a.currentPoint(), a.rawTrack()->pointAt(0));
    QVERIFY(!a.positionKnown());
    QCOMPARE(a.allShips(), ships);
    const TrackSegment &s = a.rawTrack()->segmentAt(1);
    QCOMPARE(s.startPixel, p.geoToView(s.start));
    QCOMPARE(s.endPixel, p.geoToView(s.end));

    // Again after new fixes: still one item per ship, the range grows.
    a.rawTrack()->addPoint(43.0, 15.2, 12000, 0.0);
    a.setPointCount(4);
    QCOMPARE(placeShips(ships, p, &scene).latest, 12000);
    QCOMPARE(scene.items().size(), 2);
    QCOMPARE(a.rawTrack()->segmentAt(2).startPixel, p.geoToView(a.rawTrack()->segmentAt(2).start));
    scene.removeItem(&a);
    scene.removeItem(&b);
}

QTEST_MAIN(TestShipLoader)
#include "tst_shiploader.moc"
