// Animation ticks of the main window with 100 boats on the 2011 course, once
// with the legend tab in front and once with "Rangliste", to show what the
// leaderboard costs a running animation. Runs offscreen in a temporary
// folder; prints its figures.
// Usage: bench_leaderboard_window [ticks [paused moves]]

#include "map/karte.h"
#include "platform/seams.h"
#include "scene/ship.h"
#include "store/boatstore.h"
#include "store/database.h"
#include "store/fixwriter.h"
#include "store/preferences.h"
#include "store/transaction.h"
#include "tracking/trackingclient.h"
#include "ui/graphpanel.h"
#include "ui/leaderboardpanel.h"
#include "ui/mainwindow.h"
#include "ui/regatta.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "benchresult.h"

namespace
{

constexpr int boats = 100;
constexpr int fixesPerBoat = 1440; // one a minute for a day
constexpr int raceStart = 1302906000;

// Boats leaving the start line towards Dugi Otok North at their own speeds.
bool fillRace()
{
    const GeoPoint start(43.978650, 15.362750);
    const GeoPoint mark(44.188733, 14.845183);
    const double bearing = Geo::bearingTo(start, mark);
    Transaction transaction;
    for (int b = 101; b < 101 + boats; ++b) {
        BoatRow boat;
        boat.id = b;
        boat.regattaId = 21;
        boat.name = QStringLiteral("Boot %1").arg(b);
        boat.skipper = QStringLiteral("S");
        boat.team = QStringLiteral("T");
        boat.klasse = QStringLiteral("ORC %1").arg(b % 4);
        boat.startnr = QString::number(b);
        boat.farbe = QStringLiteral("#3060c0");
        if (!BoatStore::insertBoat(boat))
            return false;
        FixWriter writer(b, 21);
        if (!writer.prepare())
            return false;
        const double kmPerMinute = (4.0 + (b % 17) * 0.3) * 1.852 / 60.0;
        const GeoPoint from = Geo::destinationPoint(start, 1.0 + (b % 5) * 0.1, 150.0);
        for (int k = 0; k < fixesPerBoat; ++k) {
            const GeoPoint p = Geo::destinationPoint(from, kmPerMinute * k, bearing);
            if (!writer.insert(p.lat(), p.lng(), raceStart + 60 * k))
                return false;
        }
    }
    return transaction.commit();
}

struct Figures {
    double meanMs = 0.0;
    double worstMs = 0.0;
    int leaderboardUpdates = 0;
};

// Animation ticks from the slider minimum, each with the repaint it asked for.
Figures run(MainWindow &window, int ticks)
{
    Figures f;
    window.setSliderValue(window.timeSlider()->minimum());
    window.animOnOff();
    window.animationTimer()->stop(); // ticks back to back, each timed
    const int updates = window.leaderboard()->updateCount();
    QElapsedTimer all;
    all.start();
    QElapsedTimer one;
    for (int i = 0; i < ticks && window.isAnimating(); ++i) {
        one.start();
        window.advanceFrame();
        QCoreApplication::processEvents();
        f.worstMs = std::max(f.worstMs, one.nsecsElapsed() / 1e6);
    }
    f.meanMs = all.nsecsElapsed() / 1e6 / ticks;
    f.leaderboardUpdates = window.leaderboard()->updateCount() - updates;
    if (window.isAnimating())
        window.animOnOff();
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    Seams::setMessageBoxHandler([](const Seams::MessageBoxRequest &) { return QMessageBox::Ok; });
    Seams::setClock([] { return QDateTime::fromSecsSinceEpoch(1400000000); });

    if (!Database::open(QDir(dir.path()).filePath(QStringLiteral("velmaro.db"))).ok ||
        Database::ensureSchema(false) != Database::SchemaResult::Created || !fillRace()) {
        std::fprintf(stderr, "cannot prepare the database\n");
        return 1;
    }
    Preferences::set(Pref::LoadMaps, false);
    Preferences::set(Pref::Autoload, false);

    {
        MainWindow window;
        window.tracking()->setBaseUrl(QStringLiteral("http://127.0.0.1:1"));
        window.karte()->setTileServer(QStringLiteral("http://127.0.0.1:1"));
        window.karte()->setTileCacheFolder(QDir(dir.path()).filePath(QStringLiteral("maps")));
        window.resize(1920, 1200);
        window.show();
        Regatta regatta(&window, 21, 120);
        window.toggleLegende();
        QCoreApplication::processEvents();
        window.setReplaySpeed(60);
        std::printf("boats %lld, fixes per boat %d, map view %dx%d, 60 s per tick\n",
                    qlonglong(regatta.ships().size()), fixesPerBoat, window.karte()->width(),
                    window.karte()->height());

        const int ticks = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 600;
        run(window, 50); // warm-up
        window.sidePanel()->setCurrentIndex(0);
        const Figures legend = run(window, ticks);
        window.sidePanel()->setCurrentWidget(window.leaderboard());
        QCoreApplication::processEvents();
        const Figures ranked = run(window, ticks);
        std::printf("legend in front:     %.2f ms per tick (worst %.2f)\n", legend.meanMs,
                    legend.worstMs);
        std::printf("Rangliste in front:  %.2f ms per tick (worst %.2f), %d leaderboard updates "
                    "in %d ticks\n",
                    ranked.meanMs, ranked.worstMs, ranked.leaderboardUpdates, ticks);
        BenchResult::print("window: animation tick, 100 boats, Rangliste in front", ranked.meanMs,
                           "ms", "the same with the legend in front", legend.meanMs);

        // The graphs of a followed boat and two more, worked out in slices
        // between the ticks.
        window.sidePanel()->setCurrentWidget(window.graphs());
        QCoreApplication::processEvents(); // lists the boats
        regatta.ships().first()->setFollow(true);
        for (int i = 1; i < 3 && i < window.graphs()->boatList()->count(); ++i)
            window.graphs()->boatList()->item(i)->setCheckState(Qt::Checked);
        const Figures graphs = run(window, ticks);
        std::printf("Diagramme in front:  %.2f ms per tick (worst %.2f)\n", graphs.meanMs,
                    graphs.worstMs);
        BenchResult::print("window: animation tick, 100 boats, Diagramme in front", graphs.meanMs,
                           "ms", "the same with the legend in front", legend.meanMs);
        BenchResult::print("window: worst animation tick, Diagramme in front", graphs.worstMs, "ms",
                           "target: frame 16 ms", BenchResult::frameBudgetMs);
        window.sidePanel()->setCurrentWidget(window.leaderboard());
        QCoreApplication::processEvents();

        // Paused, every slider move updates the tab.
        const int moves = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 200;
        const auto paused = [&](int offset) {
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < moves; ++i) {
                window.setSliderValue(raceStart + offset + i * 300);
                QCoreApplication::processEvents();
            }
            return clock.nsecsElapsed() / 1e6 / moves;
        };
        const double withRanking = paused(120);
        window.sidePanel()->setCurrentIndex(0);
        QCoreApplication::processEvents();
        const double withLegend = paused(180);
        std::printf("paused slider moves: %.2f ms each with Rangliste in front, %.2f ms with "
                    "the legend\n",
                    withRanking, withLegend);
        BenchResult::print("window: paused slider move, Rangliste in front", withRanking, "ms",
                           "the same with the legend in front", withLegend);
    }
    Database::close();
    return 0;
}
