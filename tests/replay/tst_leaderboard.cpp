// Ranking along a hand-made course on the meridian 0: gate k is the line at
// latitude k from longitude -0.05 to 0.05, so every leg is 1 degree of
// latitude, 111.195 km on the sphere of radius 6371 km.

#include "scene/leaderboard.h"
#include "scene/track.h"

#include <QtTest>

#include <cmath>
#include <memory>
#include <optional>

namespace
{
constexpr double legKm = 111.19492664455873;

QList<CourseGate> meridianCourse()
{
    QList<CourseGate> gates;
    const char *names[] = {"Start", "Eins", "Zwei", "Ziel"};
    for (int k = 0; k < 4; ++k)
        gates.append(CourseGate{QString::fromLatin1(names[k]), GeoPoint(k, -0.05),
                                GeoPoint(k, 0.05), GeoPoint(k, 0.0)});
    return gates;
}

using Fixes = QList<QPointF>; // (lat, lng), one fix every `step` s from t = 0

std::unique_ptr<Track> makeTrack(const Fixes &fixes, int step = 600)
{
    auto track = std::make_unique<Track>();
    for (int i = 0; i < fixes.size(); ++i)
        track->addPoint(fixes[i].x(), fixes[i].y(), i * step, 0.0);
    return track;
}

// A boat at `position`, by default at the track's last fix.
LeaderboardBoat boat(int id, const Track *track, const QString &klasse = "A",
                     const QString &nr = "1", double speed = 0.0,
                     std::optional<GeoPoint> position = {})
{
    const GeoPoint at = position ? *position : track->last()->position;
    return {id, klasse, nr, QStringLiteral("Boot %1").arg(id), track, true, at, speed};
}

bool near(double a, double b)
{
    return std::abs(a - b) < 0.01;
}
} // namespace

class TestLeaderboard : public QObject
{
    Q_OBJECT
    std::unique_ptr<Leaderboard> board;

private slots:
    void init()
    {
        board = std::make_unique<Leaderboard>();
        board->setCourse(meridianCourse());
        // Legs of a degree in minutes: far beyond any boat, so no outliers here.
        board->setOutliersIgnored(false);
    }

    void spikeNeitherPassesGatesNorAddsDistance()
    {
        // Hourly fixes at 6 kn, one of them 60 km off course over mark Eins.
        board->setOutliersIgnored(true);
        Track track;
        const double step = 0.1; // degrees of latitude an hour at 6 kn
        for (int i = 0; i <= 5; ++i)
            track.addPoint(i == 3 ? 1.2 : -0.25 + i * step, 0.0, i * 3600, 0.0);
        const QList<LeaderboardRow> rows = board->update({boat(1, &track)}, 5 * 3600);
        QCOMPARE(rows[0].gatesPassed, 1); // the start only, not Eins under the spike
        QVERIFY(near(rows[0].averageKnots4h, 0.1 * legKm / 1.852)); // 4 steps in 4 h
    }

    void gatesAndDistances_data()
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
        // Near is not enough: the line must be crossed.
        QTest::newRow("turning away 22 m short of the line")
            << Fixes{{-0.1, 0.0}, {0.9998, 0.0}, {0.9998, 0.2}} << 1 << "Eins" << 16.6767;
        QTest::newRow("over the start just inside its end")
            << Fixes{{-0.1, 0.049}, {0.5, 0.049}} << 1 << "Eins" << 0.5 * legKm;
        QTest::newRow("past the start 111 m beyond its end")
            << Fixes{{-0.1, 0.051}, {0.5, 0.051}} << 0 << "Start" << 55.5975;
        QTest::newRow("later gate crossed before its turn")
            << Fixes{{-0.1, 0.0}, {1.5, 0.3}, {1.9, 0.0}, {2.5, 0.0}} << 1 << "Eins"
            << 166.7923899668381;
        QTest::newRow("finished") << Fixes{{-0.1, 0.0}, {1.5, 0.0}, {3.2, 0.0}} << 4 << "" << 0.0;
        QTest::newRow("single fix on the start line crosses nothing")
            << Fixes{{0.0, 0.01}} << 0 << "Start" << 0.0;
    }
    void gatesAndDistances()
    {
        QFETCH(Fixes, fixes);
        QFETCH(int, passed);
        QFETCH(double, toNext);
        const auto track = makeTrack(fixes);
        const QList<LeaderboardRow> rows =
            board->update({boat(1, track.get())}, track->last()->tstamp);
        QCOMPARE(rows.size(), 1);
        const LeaderboardRow &row = rows.first();
        QCOMPARE(row.gatesPassed, passed);
        QTEST(row.nextGateName, "next");
        QCOMPARE(row.finished, passed == 4);
        QVERIFY2(near(row.distanceNextKm, toNext), qPrintable(QString::number(row.distanceNextKm)));
        const double remaining = passed < 4 ? (3 - passed) * legKm : 0.0;
        QVERIFY(near(row.distanceFinishKm, toNext + remaining));
        QCOMPARE(row.rank, 1);
    }

    void rankingPerClass()
    {
        // Class "ORC": 7 just past mark Eins, 3 short of it, 12 further on but
        // beside the course (it missed Eins). Class "J/24": 5 alone.
        const auto t7 = makeTrack({{-0.1, 0.0}, {1.2, 0.0}});
        const auto t3 = makeTrack({{-0.1, 0.0}, {0.9, 0.0}});
        const auto t12 = makeTrack({{-0.1, 0.0}, {0.5, 0.2}, {1.8, 0.3}}, 300);
        const auto t5 = makeTrack({{-0.3, 0.0}, {-0.2, 0.0}});
        const QList<LeaderboardRow> rows =
            board->update({boat(3, t3.get(), "ORC", "3", 6.5), boat(12, t12.get(), "ORC", "12"),
                           boat(5, t5.get(), "J/24", "5"), boat(7, t7.get(), "ORC", "7")},
                          600);
        // "J/24" sorts before "ORC"; fewer gates passed ranks behind, however
        // close to the finish
        QList<QList<int>> idRankGates;
        for (const LeaderboardRow &row : rows)
            idRankGates.append({row.id, row.rank, row.gatesPassed});
        QCOMPARE(idRankGates, (QList<QList<int>>{{5, 1, 0}, {7, 1, 2}, {3, 2, 1}, {12, 3, 1}}));
        // 7 is 0.8 deg from Zwei, then one leg; 3 is 0.1 deg from Eins, then two legs.
        QVERIFY(near(rows[1].distanceFinishKm, 1.8 * legKm));
        QVERIFY(near(rows[2].gapNm(), 0.3 * legKm / 1.852));
        QCOMPARE(rows[0].gapKm + rows[1].gapKm, 0.0);
    }

    void finishedBoatsRankByFinishTime()
    {
        // 2 crosses the line sooner within its last leg than 1 does (at 1090, not
        // 1100), and 1 is further past the line at the end.
        Track t1, t2;
        for (const auto &[lat, t] : {std::pair{-0.1, 0}, {2.9, 1000}, {3.9, 2000}})
            t1.addPoint(lat, 0.0, t, 0.0);
        for (const auto &[lat, t] : {std::pair{-0.1, 0}, {2.1, 1000}, {3.1, 1100}})
            t2.addPoint(lat, 0.0, t, 0.0);
        const QList<LeaderboardRow> rows =
            board->update({boat(1, &t1, "A", "1"), boat(2, &t2, "A", "2")}, 2000);
        QVERIFY(rows[0].finished);
        QCOMPARE((QList<int>{rows[0].id, rows[0].finishTime, rows[1].finishTime, rows[1].nextGate}),
                 (QList<int>{2, 1090, 1100, -1}));
    }

    void legToShownPositionPassesGateForThatMomentOnly()
    {
        const auto track = makeTrack({{-0.1, 0.0}, {0.8, 0.0}, {1.4, 0.0}});
        // Between the fixes of 600 s and 1200 s: beyond mark Eins at 1000 s.
        auto rows = board->update({boat(1, track.get(), "A", "1", 0.0, GeoPoint(1.2, 0.0))}, 1000);
        QVERIFY(rows[0].gatesPassed == 2 && near(rows[0].distanceNextKm, 0.8 * legKm));
        QCOMPARE(std::pair(rows[0].lastFixTime, rows[0].fixAgeSecs), std::pair(600, 400.0));
        // Back before it at 700 s: the pass was not remembered.
        rows = board->update({boat(1, track.get(), "A", "1", 0.0, GeoPoint(0.9, 0.0))}, 700);
        QVERIFY(rows[0].gatesPassed == 1 && near(rows[0].distanceNextKm, 0.1 * legKm));
    }

    void timeGoingBackForgetsLaterGatesWithoutRescan()
    {
        Fixes fixes;
        for (int i = 0; i <= 40; ++i)
            fixes.append(QPointF(-0.5 + i * 0.1, 0.0)); // gate k crossed between fixes 5+10k
        const auto track = makeTrack(fixes, 60);
        auto at = [&](int i) {
            const TrackPointRef p = track->pointAt(i);
            return board->update({boat(1, track.get(), "A", "1", 0.0, p->position)}, p->tstamp)[0]
                .gatesPassed;
        };
        const auto examined = [&] { return board->fixesExamined(); };
        // Going back needs no scan; forward again scans only the new fixes (left to right).
        QCOMPARE((QList<qint64>{at(40), examined(), at(20), at(3), examined(), at(16), examined(),
                                at(16), examined()}),
                 (QList<qint64>{4, 41, 2, 0, 41, 2, 41 + 13, 2, 41 + 13}));
        // Back to just before the fix that passed Eins: the gate goes with it.
        QCOMPARE(at(40), 4);
        QCOMPARE(at(14), 1);
    }

    void figuresOfTwoBoats()
    {
        // 1 beats north from -0.105: 0.01 deg per 10 min for three hours, then
        // twice as fast; 2 crossed the start and reaches east along lat 0.5.
        Track t1, t2;
        for (int i = 0; i <= 36; ++i)
            t1.addPoint(-0.105 + 0.01 * std::min(i, 18) + 0.02 * std::max(i - 18, 0), 0.0, i * 600,
                        0.0);
        t2.addPoint(-0.1, -0.04, 0, 0.0);
        t2.addPoint(0.5, -0.04, 18000, 0.0);
        t2.addPoint(0.5, 0.04, 21600, 0.0);
        const QList<LeaderboardRow> rows =
            board->update({boat(1, &t1), boat(2, &t2, "A", "2")}, 21600, 30.0);
        const LeaderboardRow &r2 = rows[0]; // 2.5 legs from the finish, 1 is 2.565 away
        const LeaderboardRow &r1 = rows[1];
        QCOMPARE((QList<int>{r2.id, r1.id, r1.leg, r2.leg}), (QList<int>{2, 1, 1, 1}));
        const double kn = legKm / 1.852; // one degree of latitude per hour, in knots
        // Over the last fix interval (10 min) 0.02 deg straight at the mark.
        QVERIFY(near(r1.vmcKnots, 0.12 * kn));
        QVERIFY(near(r1.averageKnots1h, 0.12 * kn));
        QVERIFY(near(r1.averageKnots4h, (0.06 + 0.36) / 4 * kn)); // one slow hour, three fast
        QVERIFY(near(r1.averageKnots24h, 0.54 / 6 * kn));         // only 6 h since the gun
        // The last hour made 0.12 deg good; 2.565 legs are left.
        QVERIFY(near(r1.vmcKnots1h, 0.12 * kn));
        QCOMPARE(std::lround(r1.etaTime), 21600 + std::lround(2.565 / 0.12 * 3600));
        QCOMPARE(std::lround(r1.gapSecs), std::lround(0.065 / 0.12 * 3600));
        // The leg Start-Eins runs north, 30 deg off the wind: a beat.
        QCOMPARE(r1.legWind, LeaderboardRow::LegWind::Upwind);
        QVERIFY(near(r1.vmgKnots, 0.12 * kn * std::cos(30.0 / 180.0 * M_PI)));
        // 2 reaches along the line: no VMC, though 0.08 deg of longitude in its last hour.
        QVERIFY(std::abs(r2.vmcKnots) < 0.01 && r2.gapSecs == 0.0);
        QVERIFY(near(r2.averageKnots1h, 0.08 * std::cos(0.5 / 180.0 * M_PI) * kn));
    }

    void correctedTimes()
    {
        // 1 and 2 start at 100 and 106.25 s and finish at 3100 and 3293.75 s,
        // 3 starts at 200 s, rounds Eins and sails on at 0.0005 deg/s, 4 has
        // no rating. The course is 3 legs, 180.12 sm; no gun is known.
        Track t1, t2, t3, t4;
        t1.addPoint(-0.1, 0.0, 0, 0.0), t1.addPoint(3.1, 0.0, 3200, 0.0);
        t2.addPoint(-0.1, 0.0, 0, 0.0), t2.addPoint(3.1, 0.0, 3400, 0.0);
        t3.addPoint(-0.1, 0.0, 0, 0.0), t3.addPoint(0.9, 0.0, 2000, 0.0);
        t3.addPoint(1.6, 0.0, 3400, 0.0);
        t4.addPoint(-0.1, 0.0, 0, 0.0), t4.addPoint(0.5, 0.0, 3400, 0.0);
        using S = Rating::System;
        board->setRatings({{1, {S::TimeOnTime, 1.1}},
                           {2, {S::TimeOnDistance, 5.0}},
                           {3, {S::TimeOnDistance, 20.0}}});
        const QList<LeaderboardBoat> boats{boat(3, &t3, "A", "3"), boat(1, &t1, "A", "1"),
                                           boat(4, &t4, "A", "4"), boat(2, &t2, "A", "2")};
        QList<LeaderboardRow> rows = board->update(boats, 3400);
        QCOMPARE((QList<int>{rows[0].id, rows[1].id, rows[2].id, rows[3].id}),
                 (QList<int>{1, 2, 3, 4}));
        const double sm = 3 * legKm / 1.852;
        QVERIFY(near(rows[0].elapsedSecs, 3000) && near(rows[0].correctedSecs, 3300));
        QVERIFY(near(rows[1].elapsedSecs, 3187.5) && near(rows[1].correctedSecs, 3187.5 - 5 * sm));
        // 3: 1.7 legs made good in 3400 s, 1.4 to go: in at 6200 s.
        QVERIFY(rows[2].correctedProjected && near(rows[2].etaTime, 6200) &&
                near(rows[2].correctedSecs, 6000 - 20 * sm));
        QVERIFY(std::isnan(rows[3].correctedSecs));

        board->setRankByCorrected(true);
        rows = board->update(boats, 3400);
        QList<QList<int>> idRankCourseRank;
        for (const LeaderboardRow &row : rows)
            idRankCourseRank.append({row.id, row.rank, row.courseRank});
        QCOMPARE(idRankCourseRank, (QList<QList<int>>{{2, 1, 2}, {3, 2, 3}, {1, 3, 1}, {4, 4, 4}}));
        // With the gun known, elapsed times run from it.
        board->setRaceStart(40);
        board->setRankByCorrected(false);
        QVERIFY(near(board->update(boats, 3400)[0].elapsedSecs, 3060));
    }

    void boatWithoutPositionIsListedLast()
    {
        const auto track = makeTrack({{-0.1, 0.0}, {0.5, 0.0}});
        const LeaderboardBoat silent{9, "A", "1", {}, nullptr, false, {}, 0.0}; // no track
        const QList<LeaderboardRow> rows =
            board->update({silent, boat(2, track.get(), "A", "2")}, 600);
        QCOMPARE((QList<int>{rows[0].id, rows[0].rank, rows[1].id, rows[1].rank}),
                 (QList<int>{2, 1, 9, 0})); // 9 unranked
        QVERIFY(std::isnan(rows[1].distanceFinishKm));
    }
};

QTEST_GUILESS_MAIN(TestLeaderboard)
#include "tst_leaderboard.moc"
