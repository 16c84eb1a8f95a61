// Times the leaderboard for a large fleet sailing the 2011 course: the first
// update (every fix looked at), animation ticks at each replay speed, jumps
// of the slider back and forth, the "Rangliste" tab's update (ranking and
// tree) and the GPX export of the whole fleet.
// Usage: bench_leaderboard [boats [fixes [seconds between fixes]]]

#include "scene/course.h"
#include "scene/gateitem.h"
#include "scene/gpxexport.h"
#include "scene/leaderboard.h"
#include "scene/ship.h"
#include "ui/leaderboardpanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include "benchresult.h"
#include <QTreeWidget>

#include <algorithm>
#include <vector>

namespace
{

// Boats sailing from gate centre to gate centre, each at its own speed and
// with some wander, so that they cross the gates at different times.
QList<Ship *> makeFleet(const QList<CourseGate> &course, int boats, int fixes, int interval,
                        int start)
{
    QRandomGenerator random(2011);
    QList<Ship *> ships;
    for (int b = 1; b <= boats; ++b) {
        auto *ship = new Ship(b, QStringLiteral("Boot %1").arg(b), QString(), QString());
        ship->setKlasse(QStringLiteral("Klasse %1").arg(b % 4));
        ship->setStartnr(QString::number(b));
        const double knots = 5.0 + 4.0 * random.generateDouble();
        const double step = knots * 1.852 / 3600.0 * interval;
        GeoPoint pos = Geo::destinationPoint(course.first().centre, 0.3 * random.generateDouble(),
                                             360.0 * random.generateDouble());
        int target = 1;
        for (int k = 0; k < fixes; ++k) {
            ship->rawTrack()->addPoint(pos.lat(), pos.lng(), start + k * interval, 0.0);
            if (target < course.size()) {
                const GeoPoint aim = course[target].centre;
                const double left = Geo::distanceKm(pos, aim);
                if (left < step * 1.5) {
                    // Through the gate's centre, so that its line is crossed.
                    pos = Geo::destinationPoint(pos, left + step * 0.25, Geo::bearingTo(pos, aim));
                    ++target;
                    continue;
                }
                const double heading =
                    Geo::bearingTo(pos, aim) + 30.0 * (random.generateDouble() - 0.5);
                pos = Geo::destinationPoint(pos, step, heading);
            }
        }
        ship->setPointCount(fixes);
        ship->setHasPositions(true);
        ship->setDisplayTrack(ship->rawTrack());
        ships.append(ship);
    }
    return ships;
}

void placeAt(const QList<Ship *> &ships, int t)
{
    for (Ship *ship : ships) {
        if (TrackPoint *p = ship->positionAt(t)) {
            ship->setCurrentPoint(p);
            ship->setCurrentTime(t);
        }
    }
}

struct Figures {
    double meanMs = 0.0;
    double worstMs = 0.0;
    int updates = 0;
};

// Leaderboard work of one slider move (boats of the race, then the ranking),
// without the placement that the slider does anyway.
double timedUpdate(Leaderboard &board, const QList<Ship *> &ships, int t, int *finished)
{
    QElapsedTimer timer;
    timer.start();
    const QList<LeaderboardRow> rows = board.update(Leaderboard::boatsOf(ships), t);
    const double ms = timer.nsecsElapsed() / 1e6;
    if (finished)
        *finished = static_cast<int>(std::count_if(
            rows.begin(), rows.end(), [](const LeaderboardRow &r) { return r.finished; }));
    return ms;
}

Figures animate(Leaderboard &board, const QList<Ship *> &ships, int from, int to, int step)
{
    Figures f;
    double total = 0.0;
    for (int t = from; t <= to; t += step) {
        placeAt(ships, t);
        const double ms = timedUpdate(board, ships, t, nullptr);
        total += ms;
        f.worstMs = std::max(f.worstMs, ms);
        ++f.updates;
    }
    f.meanMs = f.updates ? total / f.updates : 0.0;
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int boats = args.size() > 1 ? args.at(1).toInt() : 100;
    const int fixes = args.size() > 2 ? args.at(2).toInt() : 10000;
    const int interval = args.size() > 3 ? args.at(3).toInt() : 20;
    const int start = 1302905280;
    const int end = start + (fixes - 1) * interval;
    QTextStream out(stdout);

    const QList<GateItem *> gates = buildCourse(21, 120);
    const QList<CourseGate> course = Leaderboard::gatesOf(gates);
    QElapsedTimer timer;
    timer.start();
    const QList<Ship *> ships = makeFleet(course, boats, fixes, interval, start);
    Leaderboard probe;
    probe.setCourse(course);
    const double courseKm = probe.remainingLegsKm(0);
    out << QStringLiteral("fleet: %1 boats x %2 fixes, one every %3 s (%4 h), course of %5 gates, "
                          "%6 km\n")
               .arg(boats)
               .arg(fixes)
               .arg(interval)
               .arg(fixes * interval / 3600.0, 0, 'f', 1)
               .arg(course.size())
               .arg(courseKm, 0, 'f', 1);
    out << QStringLiteral("made in %1 ms\n\n").arg(timer.elapsed());

    {
        Leaderboard board;
        board.setCourse(course);
        placeAt(ships, end);
        int finished = 0;
        const double ms = timedUpdate(board, ships, end, &finished);
        out << QStringLiteral("first update at the end:     %1 ms (%2 fixes looked at, %3 of %4 "
                              "boats finished)\n")
                   .arg(ms, 0, 'f', 2)
                   .arg(board.fixesExamined())
                   .arg(finished)
                   .arg(boats);
        const double again = timedUpdate(board, ships, end, nullptr);
        out << QStringLiteral("same moment again:           %1 ms\n").arg(again, 0, 'f', 3);
    }

    out << "\nanimation from the start to the end, one update per tick\n";
    for (int step : {10, 60, 300}) {
        Leaderboard board;
        board.setCourse(course);
        const Figures f = animate(board, ships, start, end, step);
        out << QStringLiteral("  %1 s per tick: %2 updates, mean %3 ms, worst %4 ms\n")
                   .arg(step, 3)
                   .arg(f.updates)
                   .arg(f.meanMs, 0, 'f', 3)
                   .arg(f.worstMs, 0, 'f', 3);
        if (step == 60) {
            out.flush();
            BenchResult::print("leaderboard: update per animation tick, 100 boats (60 s per tick)",
                               f.meanMs, "ms", "target: frame 16 ms", 16.0);
        }
    }

    {
        Leaderboard board;
        board.setCourse(course);
        placeAt(ships, end);
        timedUpdate(board, ships, end, nullptr);
        QRandomGenerator random(7);
        double total = 0.0;
        double worst = 0.0;
        double backTotal = 0.0;
        int backs = 0;
        const int jumps = 200;
        int previous = end;
        for (int i = 0; i < jumps; ++i) {
            const int t = start + random.bounded(end - start);
            placeAt(ships, t);
            const double ms = timedUpdate(board, ships, t, nullptr);
            total += ms;
            worst = std::max(worst, ms);
            if (t < previous) {
                backTotal += ms;
                ++backs;
            }
            previous = t;
        }
        out.flush();
        BenchResult::print("leaderboard: update after a jump to a random moment (mean)",
                           total / jumps, "ms", "target: frame 16 ms", 16.0);
        out << QStringLiteral("\nslider jumps to random moments: mean %1 ms, worst %2 ms; "
                              "backward jumps alone: mean %3 ms (%4 of %5)\n")
                   .arg(total / jumps, 0, 'f', 3)
                   .arg(worst, 0, 'f', 3)
                   .arg(backs ? backTotal / backs : 0.0, 0, 'f', 3)
                   .arg(backs)
                   .arg(jumps);
    }

    {
        // The tab as the window drives it when paused: every moment updates
        // the ranking and the tree (while animating it is at most every 250 ms).
        LeaderboardPanel panel;
        panel.setShipSource([&ships] { return ships; });
        panel.setCourse(gates);
        panel.resize(600, 800);
        panel.show();
        QCoreApplication::processEvents();
        placeAt(ships, start);
        panel.showMoment(start, false);
        QElapsedTimer clock;
        double total = 0.0;
        double worst = 0.0;
        int updates = 0;
        for (int t = start; t <= end; t += 60) {
            placeAt(ships, t);
            clock.start();
            panel.showMoment(t, false);
            const double ms = clock.nsecsElapsed() / 1e6;
            total += ms;
            worst = std::max(worst, ms);
            ++updates;
        }
        clock.start();
        const int repaints = 50;
        for (int i = 0; i < repaints; ++i) {
            panel.tree()->viewport()->repaint();
        }
        const double paint = clock.nsecsElapsed() / 1e6 / repaints;
        out << QStringLiteral("\n\"Rangliste\" tab, one update per minute of race: %1 updates, "
                              "mean %2 ms, worst %3 ms (ranking and tree); tree repaint %4 ms\n")
                   .arg(updates)
                   .arg(total / updates, 0, 'f', 3)
                   .arg(worst, 0, 'f', 3)
                   .arg(paint, 0, 'f', 3);
    }

    {
        // The list as it is updated during the animation (at most every
        // 250 ms): 250 boats on the big demo course, every figure and the
        // ratings on, ranked by corrected time.
        const QList<GateItem *> bigGates = buildCourse(40, 400);
        const QList<CourseGate> bigCourse = Leaderboard::gatesOf(bigGates);
        const int bigFixes = std::min(fixes, 4000);
        const QList<Ship *> fleet = makeFleet(bigCourse, 250, bigFixes, interval, start);
        QHash<int, Rating> ratings;
        for (const Ship *ship : fleet)
            ratings.insert(ship->id(),
                           ship->id() % 2
                               ? Rating{Rating::System::TimeOnTime, 0.9 + 0.001 * ship->id()}
                               : Rating{Rating::System::TimeOnDistance, 0.1 * ship->id()});
        LeaderboardPanel panel;
        panel.setShipSource([&fleet] { return fleet; });
        panel.setWindSource([](int) { return 225.0; });
        panel.setCourse(bigGates);
        panel.setRaceStart(start);
        panel.setRatings(ratings);
        panel.setRankByCorrected(true);
        panel.resize(600, 800);
        panel.show();
        QCoreApplication::processEvents();
        const int bigEnd = start + (bigFixes - 1) * interval;
        QElapsedTimer clock;
        double total = 0.0;
        double worst = 0.0;
        int updates = 0;
        for (int t = start; t <= bigEnd; t += 60) {
            placeAt(fleet, t);
            clock.start();
            panel.showMoment(t, false);
            const double ms = clock.nsecsElapsed() / 1e6;
            total += ms;
            worst = std::max(worst, ms);
            ++updates;
        }
        const int finished =
            static_cast<int>(std::count_if(panel.rows().begin(), panel.rows().end(),
                                           [](const LeaderboardRow &r) { return r.finished; }));
        out << QStringLiteral("\n\"Rangliste\" with 250 boats, every figure and ratings: %1 "
                              "updates, mean %2 ms, worst %3 ms (%4 boats finished at the end)\n")
                   .arg(updates)
                   .arg(total / updates, 0, 'f', 3)
                   .arg(worst, 0, 'f', 3)
                   .arg(finished);
        out.flush();
        BenchResult::print("leaderboard: list update with 250 boats (figures, ratings, tree)",
                           total / updates, "ms", "target: frame 16 ms", 16.0);
        BenchResult::print("leaderboard: worst list update with 250 boats", worst, "ms",
                           "target: frame 16 ms", 16.0);
        qDeleteAll(fleet);
        qDeleteAll(bigGates);
    }

    {
        QTemporaryDir dir;
        Gpx::Document doc;
        doc.name = QStringLiteral("Bench");
        timer.start();
        doc.tracks = Gpx::tracksOf(ships);
        const QString path = dir.filePath(QStringLiteral("fleet.gpx"));
        const QString message = Gpx::write(path, doc);
        const double ms = timer.nsecsElapsed() / 1e6;
        out << QStringLiteral("\nGPX export of the fleet:     %1 ms, %2 MB%3\n")
                   .arg(ms, 0, 'f', 0)
                   .arg(QFileInfo(path).size() / 1e6, 0, 'f', 1)
                   .arg(message.isEmpty() ? QString() : QStringLiteral(" (") + message + ")");
        timer.start();
        Gpx::Document back;
        const bool ok = Gpx::read(path, &back);
        out << QStringLiteral("GPX read back:               %1 ms, %2 tracks%3\n")
                   .arg(timer.nsecsElapsed() / 1e6, 0, 'f', 0)
                   .arg(back.tracks.size())
                   .arg(ok ? QString() : QStringLiteral(" (failed)"));
    }

    qDeleteAll(ships);
    qDeleteAll(gates);
    return 0;
}
