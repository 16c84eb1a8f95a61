// Ranking along a hand-made course on the meridian 0: gate k is the line at
// latitude k from longitude -0.05 to 0.05, so every leg is 1 degree of
// latitude, 111.195 km on the sphere of radius 6371 km.

#include "leaderboard.h"
#include "track.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <memory>

namespace
{

constexpr double legKm = 111.19492664455873;

QList<CourseGate> meridianCourse()
{
    QList<CourseGate> gates;
    const char *names[] = {"Start", "Eins", "Zwei", "Ziel"};
    for (int k = 0; k < 4; ++k) {
        gates.append(CourseGate{QString::fromLatin1(names[k]), GeoPoint(k, -0.05),
                                GeoPoint(k, 0.05), GeoPoint(k, 0.0)});
    }
    return gates;
}

using Fixes = QList<QPointF>; // (lat, lng), one fix every 600 s from t = 0

std::unique_ptr<Track> makeTrack(const Fixes &fixes, int step = 600)
{
    auto track = std::make_unique<Track>();
    for (int i = 0; i < fixes.size(); ++i)
        track->addPoint(fixes[i].x(), fixes[i].y(), i * step, 0.0);
    return track;
}

LeaderboardBoat boatAt(int id, const QString &klasse, const QString &nr, const Track *track,
                       const GeoPoint &position, double speed = 0.0)
{
    LeaderboardBoat b;
    b.id = id;
    b.klasse = klasse;
    b.startnr = nr;
    b.name = QStringLiteral("Boot %1").arg(id);
    b.track = track;
    b.hasPosition = true;
    b.position = position;
    b.speedKnots = speed;
    return b;
}

// Boat at its last fix, at the time of that fix.
LeaderboardBoat boatAtEnd(int id, const Track *track, const QString &klasse = "A",
                          const QString &nr = "1")
{
    return boatAt(id, klasse, nr, track, track->last()->position);
}

bool sameRows(const QList<LeaderboardRow> &a, const QList<LeaderboardRow> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].id != b[i].id || a[i].gatesPassed != b[i].gatesPassed || a[i].rank != b[i].rank ||
            std::abs(a[i].distanceFinishKm - b[i].distanceFinishKm) > 1e-9)
            return false;
    }
    return true;
}

} // namespace

class TestLeaderboard : public QObject
{
    Q_OBJECT

private slots:
    void legsBetweenCentres();
    void gatesAndDistances_data();
    void gatesAndDistances();
    void rankingPerClass();
    void finishedBoatsRankByFinishTime();
    void legToShownPositionPassesGateForThatMomentOnly();
    void timeGoingBackForgetsLaterGatesWithoutRescan();
    void steppingMatchesFreshLeaderboard();
    void replacedTrackStartsOver();
    void raceWithoutCourseListsByClassAndStartNumber();
    void boatWithoutPositionIsListedLast();
};

void TestLeaderboard::legsBetweenCentres()
{
    Leaderboard board;
    board.setCourse(meridianCourse());
    QCOMPARE(board.course().size(), 4);
    QVERIFY(qAbs(board.remainingLegsKm(0) - 3 * legKm) < 1e-6);
    QVERIFY(qAbs(board.remainingLegsKm(2) - legKm) < 1e-6);
    QCOMPARE(board.remainingLegsKm(3), 0.0);
    QCOMPARE(board.remainingLegsKm(7), 0.0);
}

void TestLeaderboard::gatesAndDistances_data()
{
    QTest::addColumn<Fixes>("fixes");
    QTest::addColumn<int>("passed");
    QTest::addColumn<QString>("next");
    QTest::addColumn<double>("toNext");

    QTest::newRow("before the start")
        << Fixes{{-0.6, 0.0}, {-0.5, 0.0}} << 0 << "Start" << 55.59746332227937;
    QTest::newRow("one leg over start and first mark")
        << Fixes{{-0.1, 0.0}, {1.5, 0.0}} << 2 << "Zwei" << 0.5 * legKm;
    QTest::newRow("mark passed 16 km wide of its end")
        << Fixes{{-0.1, 0.0}, {0.5, 0.2}, {1.5, 0.2}} << 1 << "Eins" << 58.04430017816337;
    QTest::newRow("fix 0.22 km short of the line counts")
        << Fixes{{-0.1, 0.0}, {0.998, 0.02}, {0.998, 0.2}} << 2 << "Zwei" << 112.65796888526634;
    QTest::newRow("fix 0.44 km short of the line does not")
        << Fixes{{-0.1, 0.0}, {0.996, 0.02}, {0.996, 0.2}} << 1 << "Eins" << 16.682639055307074;
    QTest::newRow("later gate crossed before its turn")
        << Fixes{{-0.1, 0.0}, {1.5, 0.3}, {1.9, 0.0}, {2.5, 0.0}} << 1 << "Eins"
        << 166.7923899668381;
    QTest::newRow("finished") << Fixes{{-0.1, 0.0}, {1.5, 0.0}, {3.2, 0.0}} << 4 << "" << 0.0;
    QTest::newRow("single fix on the start line") << Fixes{{0.0, 0.01}} << 1 << "Eins" << legKm;
}

void TestLeaderboard::gatesAndDistances()
{
    QFETCH(Fixes, fixes);
    QFETCH(int, passed);
    QFETCH(QString, next);
    QFETCH(double, toNext);

    Leaderboard board;
    board.setCourse(meridianCourse());
    const auto track = makeTrack(fixes);
    const QList<LeaderboardRow> rows =
        board.update({boatAtEnd(1, track.get())}, track->last()->tstamp);
    QCOMPARE(rows.size(), 1);
    const LeaderboardRow &row = rows.first();
    QCOMPARE(row.gatesPassed, passed);
    QCOMPARE(row.nextGateName, next);
    QCOMPARE(row.finished, passed == 4);
    QVERIFY2(qAbs(row.distanceNextKm - toNext) < 0.01,
             qPrintable(QString::number(row.distanceNextKm)));
    const double remaining = passed < 4 ? (3 - passed) * legKm : 0.0;
    QVERIFY(qAbs(row.distanceFinishKm - (toNext + remaining)) < 0.01);
    QCOMPARE(row.rank, 1);
    QCOMPARE(row.gapKm, 0.0);
}

void TestLeaderboard::rankingPerClass()
{
    Leaderboard board;
    board.setCourse(meridianCourse());
    // Class "ORC": 7 just past mark Eins, 3 short of it, 12 further on but
    // beside the course (it missed Eins). Class "J/24": 5 alone.
    const auto t7 = makeTrack({{-0.1, 0.0}, {1.2, 0.0}});
    const auto t3 = makeTrack({{-0.1, 0.0}, {0.9, 0.0}});
    const auto t12 = makeTrack({{-0.1, 0.0}, {0.5, 0.3}, {1.8, 0.3}}, 300);
    const auto t5 = makeTrack({{-0.3, 0.0}, {-0.2, 0.0}});
    const QList<LeaderboardBoat> boats = {
        boatAt(3, "ORC", "3", t3.get(), t3->last()->position, 6.5),
        boatAt(12, "ORC", "12", t12.get(), t12->last()->position),
        boatAt(5, "J/24", "5", t5.get(), t5->last()->position),
        boatAt(7, "ORC", "7", t7.get(), t7->last()->position),
    };
    const QList<LeaderboardRow> rows = board.update(boats, 600);

    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0].id, 5); // "J/24" sorts before "ORC"
    QCOMPARE(rows[0].rank, 1);
    QCOMPARE(rows[1].id, 7);
    QCOMPARE(rows[1].rank, 1);
    QCOMPARE(rows[1].gatesPassed, 2);
    QCOMPARE(rows[2].id, 3);
    QCOMPARE(rows[2].rank, 2);
    QCOMPARE(rows[2].speedKnots, 6.5);
    QCOMPARE(rows[3].id, 12); // fewer gates passed ranks behind, however close to the finish
    QCOMPARE(rows[3].rank, 3);
    QCOMPARE(rows[3].gatesPassed, 1);

    // 7 is 0.8 deg from Zwei, then one leg; 3 is 0.1 deg from Eins, then two legs.
    QVERIFY(qAbs(rows[1].distanceFinishKm - 1.8 * legKm) < 0.01);
    QVERIFY(qAbs(rows[2].distanceFinishKm - 2.1 * legKm) < 0.01);
    QVERIFY(qAbs(rows[2].gapKm - 0.3 * legKm) < 0.01);
    QVERIFY(qAbs(rows[2].gapNm() - 0.3 * legKm / 1.852) < 0.01);
    QCOMPARE(rows[0].gapKm, 0.0);
    QCOMPARE(rows[1].gapKm, 0.0);
}

void TestLeaderboard::finishedBoatsRankByFinishTime()
{
    Leaderboard board;
    board.setCourse(meridianCourse());
    // Both finish; 2 crosses the line sooner within its last leg than 1 does,
    // and 1 is further past the line at the end.
    auto t1 = std::make_unique<Track>();
    t1->addPoint(-0.1, 0.0, 0, 0.0);
    t1->addPoint(2.9, 0.0, 1000, 0.0);
    t1->addPoint(3.9, 0.0, 2000, 0.0); // crosses at 1100
    auto t2 = std::make_unique<Track>();
    t2->addPoint(-0.1, 0.0, 0, 0.0);
    t2->addPoint(2.1, 0.0, 1000, 0.0);
    t2->addPoint(3.1, 0.0, 1100, 0.0); // crosses at 1090
    const QList<LeaderboardRow> rows =
        board.update({boatAtEnd(1, t1.get(), "A", "1"), boatAtEnd(2, t2.get(), "A", "2")}, 2000);
    QCOMPARE(rows[0].id, 2);
    QVERIFY(rows[0].finished);
    QCOMPARE(rows[0].finishTime, 1090);
    QCOMPARE(rows[1].id, 1);
    QCOMPARE(rows[1].finishTime, 1100);
    QCOMPARE(rows[1].rank, 2);
    QCOMPARE(rows[1].nextGate, -1);
}

void TestLeaderboard::legToShownPositionPassesGateForThatMomentOnly()
{
    Leaderboard board;
    board.setCourse(meridianCourse());
    const auto track = makeTrack({{-0.1, 0.0}, {0.8, 0.0}, {1.4, 0.0}});
    // Between the fixes of 600 s and 1200 s: beyond mark Eins at 1000 s.
    QList<LeaderboardRow> rows = board.update({boatAt(1, "A", "1", track.get(), {1.2, 0.0})}, 1000);
    QCOMPARE(rows[0].gatesPassed, 2);
    QVERIFY(qAbs(rows[0].distanceNextKm - 0.8 * legKm) < 0.01);
    // Back before it at 700 s: the pass was not remembered.
    rows = board.update({boatAt(1, "A", "1", track.get(), {0.9, 0.0})}, 700);
    QCOMPARE(rows[0].gatesPassed, 1);
    QVERIFY(qAbs(rows[0].distanceNextKm - 0.1 * legKm) < 0.01);
}

void TestLeaderboard::timeGoingBackForgetsLaterGatesWithoutRescan()
{
    Leaderboard board;
    board.setCourse(meridianCourse());
    Fixes fixes;
    for (int i = 0; i <= 40; ++i)
        fixes.append(QPointF(-0.5 + i * 0.1, 0.0)); // gate k crossed between fixes 5+10k
    const auto track = makeTrack(fixes, 60);
    auto at = [&](int i) {
        return board.update({boatAt(1, "A", "1", track.get(), track->pointAt(i)->position)},
                            track->pointAt(i)->tstamp);
    };
    QCOMPARE(at(40)[0].gatesPassed, 4);
    const qint64 examined = board.fixesExamined();
    QCOMPARE(examined, 41);

    QCOMPARE(at(20)[0].gatesPassed, 2); // fix 20 is lat 1.5: Start and Eins
    QCOMPARE(at(3)[0].gatesPassed, 0);
    QCOMPARE(board.fixesExamined(), examined);

    QCOMPARE(at(16)[0].gatesPassed, 2); // fix 16 is lat 1.1
    QCOMPARE(board.fixesExamined(), examined + 13);
    QCOMPARE(at(16)[0].gatesPassed, 2);
    QCOMPARE(board.fixesExamined(), examined + 13);
}

void TestLeaderboard::steppingMatchesFreshLeaderboard()
{
    // Two zig-zagging boats; any moment reached by going forward and back
    // must rank as a leaderboard that sees that moment first.
    QRandomGenerator rng(12);
    std::vector<std::unique_ptr<Track>> tracks;
    for (int b = 0; b < 3; ++b) {
        Fixes fixes;
        double lat = -0.3;
        for (int i = 0; i < 200; ++i) {
            lat += rng.bounded(0.04) - 0.01;
            fixes.append(QPointF(lat, rng.bounded(0.1) - 0.05));
        }
        tracks.push_back(makeTrack(fixes, 30));
    }
    Leaderboard incremental;
    incremental.setCourse(meridianCourse());
    const int moments[] = {0, 300, 2000, 5990, 1200, 1230, 4000, 15, 5970, 3000, 3030, 3060};
    for (int t : moments) {
        QList<LeaderboardBoat> boats;
        for (int b = 0; b < 3; ++b) {
            const Track *tr = tracks[static_cast<size_t>(b)].get();
            boats.append(boatAt(b + 1, "A", QString::number(b + 1), tr,
                                tr->pointAt(qMin(t / 30, tr->count() - 1))->position));
        }
        Leaderboard fresh;
        fresh.setCourse(meridianCourse());
        QVERIFY2(sameRows(incremental.update(boats, t), fresh.update(boats, t)),
                 qPrintable(QStringLiteral("t = %1").arg(t)));
    }
}

void TestLeaderboard::replacedTrackStartsOver()
{
    Leaderboard board;
    board.setCourse(meridianCourse());
    auto track = makeTrack({{-0.1, 0.0}, {1.5, 0.0}});
    QCOMPARE(board.update({boatAtEnd(1, track.get())}, 600)[0].gatesPassed, 2);
    // The same track object reloaded with fewer fixes (a race reloaded).
    track->clear();
    track->addPoint(-0.2, 0.0, 0, 0.0);
    QCOMPARE(board.update({boatAtEnd(1, track.get())}, 600)[0].gatesPassed, 0);
}

void TestLeaderboard::raceWithoutCourseListsByClassAndStartNumber()
{
    Leaderboard board;
    const auto track = makeTrack({{0.0, 0.0}, {1.0, 0.0}});
    const QList<LeaderboardRow> rows =
        board.update({boatAtEnd(1, track.get(), "B", "10"), boatAtEnd(2, track.get(), "B", "2"),
                      boatAtEnd(3, track.get(), "A", "X1"), boatAtEnd(4, track.get(), "A", "9")},
                     600);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0].id, 4); // numbers before texts
    QCOMPARE(rows[1].id, 3);
    QCOMPARE(rows[2].id, 2); // 2 before 10
    QCOMPARE(rows[3].id, 1);
    for (const LeaderboardRow &row : rows) {
        QCOMPARE(row.rank, 0);
        QVERIFY(std::isnan(row.distanceFinishKm));
        QVERIFY(std::isnan(row.distanceNextKm));
        QVERIFY(std::isnan(row.gapKm));
        QVERIFY(row.nextGateName.isEmpty());
    }
}

void TestLeaderboard::boatWithoutPositionIsListedLast()
{
    Leaderboard board;
    board.setCourse(meridianCourse());
    const auto track = makeTrack({{-0.1, 0.0}, {0.5, 0.0}});
    LeaderboardBoat silent;
    silent.id = 9;
    silent.klasse = "A";
    silent.startnr = "1";
    const QList<LeaderboardRow> rows =
        board.update({silent, boatAtEnd(2, track.get(), "A", "2")}, 600);
    QCOMPARE(rows[0].id, 2);
    QCOMPARE(rows[0].rank, 1);
    QCOMPARE(rows[1].id, 9);
    QCOMPARE(rows[1].rank, 0);
    QVERIFY(std::isnan(rows[1].distanceFinishKm));
}

QTEST_GUILESS_MAIN(TestLeaderboard)
#include "tst_leaderboard.moc"
