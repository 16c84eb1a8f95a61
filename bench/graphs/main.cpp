// Times the figures of the "Diagramme" tab for a 1 Hz fleet on the 2011
// course: the start (smoothing the charted boats' fixes), every slice of
// RaceSeries::advance at the panel's budget, and the whole working out.
// Usage: bench_graphs [boats [fixes [charted]]]

#include "scene/course.h"
#include "scene/gateitem.h"
#include "scene/raceseries.h"
#include "scene/track.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextStream>

#include "benchresult.h"

#include <memory>
#include <vector>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int boats = args.size() > 1 ? args.at(1).toInt() : 250;
    const int fixes = args.size() > 2 ? args.at(2).toInt() : 5400;
    const int chartedCount = args.size() > 3 ? args.at(3).toInt() : 3;
    const int start = 1302905280;
    QTextStream out(stdout);

    const QList<GateItem *> gates = buildCourse(21, 120);
    const QList<CourseGate> course = Leaderboard::gatesOf(gates);
    // Boats from gate centre to gate centre at their own speeds, with wander.
    QRandomGenerator random(2011);
    std::vector<std::unique_ptr<Track>> tracks;
    RaceSeries::Input input;
    for (int b = 1; b <= boats; ++b) {
        auto track = std::make_unique<Track>();
        const double step = (5.0 + 4.0 * random.generateDouble()) * 1.852 / 3600.0;
        GeoPoint pos = Geo::destinationPoint(course.first().centre, 0.3 * random.generateDouble(),
                                             360.0 * random.generateDouble());
        int target = 1;
        for (int k = 0; k < fixes; ++k) {
            track->addPoint(pos.lat(), pos.lng(), start + k, 0.0);
            if (target < course.size()) {
                const GeoPoint aim = course[target].centre;
                if (Geo::distanceKm(pos, aim) < step * 1.5)
                    ++target;
                else
                    pos = Geo::destinationPoint(
                        pos, step, Geo::bearingTo(pos, aim) + 30 * (random.generateDouble() - 0.5));
            }
        }
        LeaderboardBoat boat;
        boat.id = b;
        boat.klasse = QStringLiteral("Klasse %1").arg(b % 5);
        boat.track = track.get();
        input.fleet.append(boat);
        if (b % 5 == 0 && input.charted.size() < chartedCount)
            input.charted.append(b); // one class
        tracks.push_back(std::move(track));
    }
    input.course = course;
    input.windFrom = [](int t) { return std::optional<double>(200.0 + (t % 3600) / 360.0); };
    input.from = start;
    input.to = start + fixes - 1;

    QElapsedTimer timer;
    timer.start();
    RaceSeries series;
    series.start(input);
    const double startMs = timer.nsecsElapsed() / 1e6;
    double worst = 0.0;
    int slices = 0;
    bool done = false;
    while (!done) {
        QElapsedTimer slice;
        slice.start();
        done = series.advance(8); // the panel's slice
        worst = std::max(worst, slice.nsecsElapsed() / 1e6);
        ++slices;
    }
    const double totalMs = timer.nsecsElapsed() / 1e6;
    // A slice ends after the moment that used up its budget: the dearest
    // moment is what a slice may overrun by.
    series.start(input);
    double worstMoment = 0.0;
    for (done = false; !done;) {
        QElapsedTimer one;
        one.start();
        done = series.advance(0);
        worstMoment = std::max(worstMoment, one.nsecsElapsed() / 1e6);
    }
    out << QStringLiteral("%1 boats x %2 fixes at 1 Hz, %3 charted, %4 moments\n")
               .arg(boats)
               .arg(fixes)
               .arg(input.charted.size())
               .arg(series.times().size());
    out << QStringLiteral("start %1 ms, %2 slices, worst %3 ms, all %4 ms, dearest moment %5 ms\n")
               .arg(startMs, 0, 'f', 2)
               .arg(slices)
               .arg(worst, 0, 'f', 2)
               .arg(totalMs, 0, 'f', 1)
               .arg(worstMoment, 0, 'f', 3);
    out.flush();
    BenchResult::print("graphs: start, 250 boats at 1 Hz, 3 charted", startMs, "ms",
                       "target: frame 16 ms", BenchResult::frameBudgetMs);
    BenchResult::print("graphs: worst slice of 8 ms budget (300 moments)", worst, "ms",
                       "target: frame 16 ms", BenchResult::frameBudgetMs);
    BenchResult::print("graphs: dearest single moment", worstMoment, "ms", "target: frame 16 ms",
                       BenchResult::frameBudgetMs);
    BenchResult::print("graphs: every moment worked out", totalMs, "ms",
                       "target: race opens in 1 s", 1000.0);
    qDeleteAll(gates);
    return 0;
}
