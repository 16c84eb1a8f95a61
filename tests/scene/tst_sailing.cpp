#include "scene/manoeuvres.h"
#include "scene/track.h"

#include <QtTest>

#include <cmath>

using namespace Sailing;

namespace
{

constexpr double wind = 250.0;
// Legs of a course sailed at 3 m/s from t = 0: seconds on each heading, with
// an 8 s turn into the next. Upwind on both tacks, a bear-away round the top
// mark (no tack), then a gybe.
const QList<std::pair<int, double>> legs = {{90, 205}, {90, 295}, {90, 205}, {90, 100}, {90, 40}};
// Where the bow passes through the wind or dead downwind: the middles of the
// turns 1, 2 and 4 (turn 3 is the bear-away).
// Metres lost: the 8 s of the turn at 1.2 m/s against the velocity made good
// before. Tack: 8 x (3 cos 45 - 1.2 x mean cos over -45..45 = 0.9003) = 8.3;
// gybe: 8 x (3 cos 30 - 1.2 x 0.955) = 11.6.
struct Expected {
    int t;
    ManoeuvreKind kind;
    double lost;
};
const QList<Expected> expected = {{94, ManoeuvreKind::Tack, 8.3},
                                  {192, ManoeuvreKind::Tack, 8.3},
                                  {388, ManoeuvreKind::Gybe, 11.6}};

// One fix every `step` seconds, positions off by up to `noise` metres.
QVector<Motion> sail(int step, double noise)
{
    Track track;
    double x = 0, y = 0, course = legs.first().second;
    unsigned seed = 7;
    const auto jitter = [&] {
        seed = seed * 1103515245u + 12345u;
        return ((seed >> 16) % 2001 / 1000.0 - 1.0) * noise;
    };
    int t = 0, leg = 0, legStart = 0;
    while (leg < legs.size()) {
        const int into = t - legStart;
        const double from = legs.at(leg).second;
        if (into >= legs.at(leg).first + 8) {
            legStart = t;
            ++leg;
            continue;
        }
        course = from;
        double speed = 3.0;
        if (into >= legs.at(leg).first && leg + 1 < legs.size()) {
            const double turned = (into - legs.at(leg).first) / 8.0;
            course = from + angleDiff(legs.at(leg + 1).second, from) * turned;
            speed = 1.2; // a turn costs speed
        }
        x += speed * std::sin(course / Geo::degPerRad);
        y += speed * std::cos(course / Geo::degPerRad);
        if (t % step == 0)
            track.addPoint(54.4 + (y + jitter()) / 110540.0,
                           10.2 + (x + jitter()) / (111320.0 * std::cos(54.4 / Geo::degPerRad)),
                           1000000 + t, 0.0);
        ++t;
    }
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
        QTest::newRow("3 m of GPS noise") << 3.0;
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
            QVERIFY(m.durationSecs >= 6 && m.durationSecs <= 11);
            QVERIFY(std::abs(m.metresLost - expected.at(i).lost) <= (noise > 0 ? 5.0 : 1.0));
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
