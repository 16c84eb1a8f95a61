#include "sailtrack.h"
#include "scene/manoeuvres.h"
#include "scene/track.h"

#include <QtTest>

#include <cmath>

using namespace Sailing;

namespace
{

using namespace SailTrack;

QVector<Motion> sail(int step, double noise, unsigned seed = 7)
{
    Track track;
    for (const auto &[t, lat, lng] : fixes(1000000, step, noise, 54.4, 10.2, seed))
        track.addPoint(lat, lng, t, 0.0);
    return smoothedMotion(track.points());
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
        QTest::newRow("clean") << 0.0;
        QTest::newRow("2 m of GPS noise") << 2.0;
    }
    void manoeuvresAndWind()
    {
        QFETCH(double, noise);
        const QVector<Motion> motion = sail(1, noise);
        const WindEstimate estimate = estimateWind({findTurns(motion)}, 1000250);
        QVERIFY(estimate.valid && estimate.boats == 1);
        QVERIFY2(std::abs(angleDiff(estimate.from, wind)) <= 5.0,
                 qPrintable(QString::number(estimate.from)));
        const QVector<Manoeuvre> found = detectManoeuvres(motion, estimate.from);
        QCOMPARE(found.size(), expected.size());
        for (int i = 0; i < found.size(); ++i) {
            const Manoeuvre &m = found.at(i);
            QVERIFY2(std::abs(m.t - 1000000 - expected.at(i).t) <= 1 &&
                         m.kind == expected.at(i).kind,
                     qPrintable(QString::number(m.t - 1000000)));
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
};

QTEST_MAIN(TestSailing)
#include "tst_sailing.moc"
