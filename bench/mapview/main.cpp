// Map view refresh (relayout + repaint) of a 1920 x 1080 view with 100 boats
// and their three-hour tracks in the scene, tiles from the disk cache: the
// work the time slider causes at every moment shown. Each figure is held
// against the same view without boats, or against the 16 ms frame budget.
// Usage: bench_mapview [boats [rounds]]

#include "benchhost.h"
#include "benchresult.h"
#include "benchtiles.h"
#include "map/geo.h"
#include "map/karte.h"
#include "map/scheme.h"
#include "map/tileloader.h"
#include "scene/ship.h"
#include "scene/shiploader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

const QSize viewSize(1920, 1080);
const int zoom = 11;
const GeoPoint centre(43.75, 15.45);
const int fixInterval = 10;                  // seconds
const int fixCount = 3 * 3600 / fixInterval; // three hours
const int raceStart = 1302905280;

// Boats sailing loops of a few kilometres around the centre, one fix every
// ten seconds for three hours.
QList<Ship *> makeFleet(int count)
{
    const auto strip = ShipLoader::loadSpriteStrip();
    QRandomGenerator random(2011);
    QList<Ship *> ships;
    for (int b = 1; b <= count; ++b) {
        auto *ship = new Ship(b, QStringLiteral("Boot %1").arg(b), QString(), QString());
        ship->setRegattaId(21);
        ship->setKlasse(QStringLiteral("Klasse %1").arg(b % 4));
        ship->setStartnr(QString::number(b));
        ship->setNamedColour(QColor::fromHsv((b * 37) % 360, 230, 220).name());
        ship->saveColour();
        ship->setSpriteStrip(strip);
        ship->setCompleteTrack(false);
        GeoPoint pos(centre.lat() + 0.3 * (random.generateDouble() - 0.5),
                     centre.lng() + 0.6 * (random.generateDouble() - 0.5));
        double heading = 360.0 * random.generateDouble();
        const double turn =
            (random.bounded(2) ? 1.0 : -1.0) * (0.2 + 0.2 * random.generateDouble());
        const double step = (5.0 + 4.0 * random.generateDouble()) * 1.852 / 3600.0 * fixInterval;
        Track *track = ship->rawTrack();
        track->reserve(fixCount);
        for (int k = 0; k < fixCount; ++k) {
            track->addPoint(pos.lat(), pos.lng(), raceStart + k * fixInterval, heading);
            heading = std::fmod(heading + turn + 360.0, 360.0);
            pos = Geo::destinationPoint(pos, step, heading);
        }
        ship->setPointCount(fixCount);
        ship->setHasPositions(true);
        ships.append(ship);
    }
    return ships;
}

// What the time slider does for one moment before the view refreshes.
void showMoment(const QList<Ship *> &ships, int t)
{
    for (Ship *ship : ships) {
        TrackPoint *p = ship->positionAt(t);
        if (!p)
            continue;
        ship->setPositionKnown(true);
        ship->setShowTrack(true);
        ship->setCurrentPoint(p);
        ship->setCurrentTime(t);
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double refresh(Karte &view)
{
    QElapsedTimer t;
    t.start();
    view.relayout();
    view.viewport()->repaint();
    return t.nsecsElapsed() / 1e6;
}

// A view that has nothing in memory: its first refresh reads every tile.
double freshView(Scheme *scene, BenchHost *host, const QString &cache)
{
    QElapsedTimer t;
    t.start();
    Karte view(scene);
    host->attach(&view);
    view.setTileCacheFolder(cache);
    view.setCenterGeo(centre);
    view.setZoomLevel(zoom);
    view.resize(viewSize);
    BenchHost::showExposed(&view);
    view.relayout();
    view.viewport()->repaint();
    return t.nsecsElapsed() / 1e6;
}

void setUpView(Karte &view, const QString &cache)
{
    view.setTileCacheFolder(cache);
    view.setCenterGeo(centre);
    view.setZoomLevel(zoom);
    view.resize(viewSize);
    BenchHost::showExposed(&view);
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int boats = args.size() > 1 ? args.at(1).toInt() : 100;
    const int rounds = args.size() > 2 ? args.at(2).toInt() : 60;

    QTemporaryDir dir;
    const QString cache = dir.filePath(QStringLiteral("maps"));
    MapProjection layout;
    layout.setZoom(zoom);
    layout.setCentre(centre);
    layout.layout(viewSize.width(), viewSize.height());
    // Room around the view for following a boat that sails out of it.
    const BenchTiles::CacheFigures written =
        BenchTiles::writeCache(cache, zoom, layout.visibleTiles().adjusted(-3, -3, 4, 4));
    std::printf("disk cache: %d tiles at zoom %d, %.1f KiB average\n", written.files, zoom,
                written.bytes / 1024.0 / written.files);

    BenchHost host;
    host.animating = true;
    host.ships = makeFleet(boats);
    Scheme scene;
    scene.setSceneRect(0, 0, viewSize.width(), viewSize.height());
    placeShips(host.ships, layout, &scene);
    const int latest = raceStart + (fixCount - 1) * fixInterval;
    showMoment(host.ships, latest);
    std::printf("fleet: %d boats x %d fixes (one every %d s, three hours), 1920x1080 view\n", boats,
                fixCount, fixInterval);

    BenchHost emptyHost;
    emptyHost.animating = true;
    Scheme emptyScene;
    emptyScene.setSceneRect(0, 0, viewSize.width(), viewSize.height());

    // From the disk cache: a fresh view per round, with and without boats.
    std::vector<double> diskBoats, diskEmpty;
    for (int i = 0; i < 7; ++i) {
        diskEmpty.push_back(freshView(&emptyScene, &emptyHost, cache));
        diskBoats.push_back(freshView(&scene, &host, cache));
    }
    std::printf("first refresh from the disk cache: %.2f ms with boats, %.2f ms without\n",
                median(diskBoats), median(diskEmpty));
    BenchResult::print("map view: first refresh from the disk cache, 100 boats", median(diskBoats),
                       "ms", "the same view without boats", median(diskEmpty));

    // Tiles in memory, the same moment again: what a repaint after a window
    // change costs.
    Karte view(&scene);
    host.attach(&view);
    setUpView(view, cache);
    Karte emptyView(&emptyScene);
    emptyHost.attach(&emptyView);
    setUpView(emptyView, cache);
    refresh(view);
    refresh(emptyView);
    std::vector<double> same, sameEmpty;
    for (int i = 0; i < rounds; ++i) {
        same.push_back(refresh(view));
        sameEmpty.push_back(refresh(emptyView));
    }
    std::printf("refresh, tiles in memory, same moment: %.2f ms with boats, %.2f ms without\n",
                median(same), median(sameEmpty));
    BenchResult::print("map view: refresh 1920x1080, 100 boats, tiles in memory", median(same),
                       "ms", "the same view without boats", median(sameEmpty));

    // Replay: 30 s later each step, the map standing still.
    std::vector<double> steps;
    int t = latest - 30 * rounds;
    for (int i = 0; i < rounds; ++i, t += 30) {
        QElapsedTimer timer;
        timer.start();
        showMoment(host.ships, t);
        refresh(view);
        steps.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("replay step (moment + 30 s, refresh): median %.2f ms, worst %.2f ms\n",
                median(steps), *std::max_element(steps.begin(), steps.end()));
    BenchResult::print("map view: replay step, 100 boats (moment + 30 s, refresh)", median(steps),
                       "ms", "target: frame 16 ms", BenchResult::frameBudgetMs);

    // Following a boat: the map centre moves with it at every step, so every
    // track is reprojected onto a new pixel grid.
    std::vector<double> follow;
    t = latest - 30 * rounds;
    Ship *followed = host.ships.first();
    for (int i = 0; i < rounds; ++i, t += 30) {
        QElapsedTimer timer;
        timer.start();
        showMoment(host.ships, t);
        if (followed->currentPoint())
            view.setCenterGeo(followed->currentPoint()->position);
        refresh(view);
        follow.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("replay step following a boat (map pans): median %.2f ms, worst %.2f ms\n",
                median(follow), *std::max_element(follow.begin(), follow.end()));
    BenchResult::print("map view: replay step following a boat, 100 boats (map pans)",
                       median(follow), "ms", "target: frame 16 ms", BenchResult::frameBudgetMs);
    std::printf("tiles in memory: %d, network requests: %d\n", view.tileLoader()->cachedCount(),
                host.requests + emptyHost.requests);

    if (qEnvironmentVariableIsSet("BENCH_MAPVIEW_SAVE"))
        view.grab().save(qEnvironmentVariable("BENCH_MAPVIEW_SAVE"));
    for (Ship *ship : host.ships)
        scene.removeItem(ship);
    qDeleteAll(host.ships);
    return 0;
}
