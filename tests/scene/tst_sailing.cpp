#include "sailtrack.h"
#include "scene/manoeuvres.h"
#include "scene/sailinglegs.h"
#include "scene/track.h"

#include <QtTest>

#include <cmath>

using namespace Sailing;

namespace
{

using namespace SailTrack;

QVector<Motion> sail(int step, double noise, int legSecs = 90)
{
    Track track;
    for (const auto &[t, lat, lng] : fixes(1000000, step, noise, 54.4, 10.2, 7, legSecs))
        track.addPoint(lat, lng, t, 0.0);
    return smoothedMotion(track);
}

} // namespace

class TestSailing : public QObject
{
    Q_OBJECT
private slots:
    // Tacks and gybes are found within a fix of where the test put them, the
    // bear-away is none of them, and the wind comes out within 5 degrees.
    void manoeuvresAndWind_data()
    {
        QTest::addColumn<double>("noise");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("legSecs");
        QTest::newRow("clean") << 0.0 << 1 << 90;
        QTest::newRow("2 m of GPS noise") << 2.0 << 1 << 90;
        QTest::newRow("a fix every 30 s, 10 min legs") << 2.0 << 30 << 600;
    }
    void manoeuvresAndWind()
    {
        QFETCH(double, noise);
        QFETCH(int, step);
        QFETCH(int, legSecs);
        const QVector<Motion> motion = sail(step, noise, legSecs);
        const WindEstimate estimate = estimateWind({findTurns(motion)}, 1000000 + 3 * legSecs);
        QVERIFY(estimate.valid && estimate.boats == 1);
        QVERIFY2(std::abs(angleDiff(estimate.from, wind)) <= 5.0,
                 qPrintable(QString::number(estimate.from)));
        const QVector<Manoeuvre> found = detectManoeuvres(motion, estimate.from);
        QCOMPARE(found.size(), expected.size());
        for (int i = 0; i < found.size(); ++i) {
            const Manoeuvre &m = found.at(i);
            // The turns are 8 s long and start legSecs into each leg.
            const int at = expected.at(i).t + (legSecs - 90) * (expected.at(i).t / 98 + 1);
            QVERIFY2(std::abs(m.t - 1000000 - at) <= step && m.kind == expected.at(i).kind,
                     qPrintable(QString::number(m.t - 1000000)));
            if (step > 1)
                continue; // a turn between two fixes has no length or cost to measure
            QVERIFY(noise > 0 ? m.durationSecs >= 4 && m.durationSecs <= 14 : m.durationSecs == 8);
            QVERIFY(std::abs(m.metresLost - expected.at(i).lost) <= (noise > 0 ? 3.0 : 0.5));
        }
    }

    // Five minutes between fixes hide every turn: none is invented.
    void sparseFixesShowNone()
    {
        const QVector<Motion> motion = sail(300, 3.0);
        QVERIFY(findTurns(motion).isEmpty());
        QVERIFY(!estimateWind({findTurns(motion)}, 1000250).valid);
    }

    // A mark 1 km north in a northerly: the laylines leave it downwind at
    // half the tacking angle, 1.7 km long (to the spheroid's 1%); from the north they leave it
    // upwind at 30°, and a mark abeam has none.
    void laylineGeometry()
    {
        const GeoPoint mark(43.0, 16.0);
        const GeoPoint south = Geo::destinationPoint(mark, 1.0, 180.0);
        const auto bearings = [&](const QVector<QPair<GeoPoint, GeoPoint>> &lines) {
            QList<long> out;
            for (const auto &[from, to] : lines) {
                if (from != mark || std::abs(Geo::distanceKm(from, to) - 1.7) > 0.03)
                    return QList<long>{};
                out << std::lround(Geo::bearingTo(from, to));
            }
            return out;
        };
        QCOMPARE(bearings(Sailing::laylines(south, mark, 10.0, 84.0)), QList<long>({148, 232}));
        const GeoPoint north = Geo::destinationPoint(mark, 1.0, 0.0);
        QCOMPARE(bearings(Sailing::laylines(north, mark, 0.0, 84.0)), QList<long>({330, 30}));
        QVERIFY(
            Sailing::laylines(Geo::destinationPoint(mark, 1.0, 270.0), mark, 0.0, 84.0).isEmpty());
    }
};

QTEST_MAIN(TestSailing)
#include "tst_sailing.moc"
