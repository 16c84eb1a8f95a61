// The big race of the demo service (250 boats, one fix a second for 90
// minutes) stored in a database file and opened in a 1920 x 1080 map view,
// and today's 100 boats x 10,000 fixes in memory. Figures: memory per fix
// against the bytes of the raw fields, opening against one plain query of the
// same rows, drawing every complete track against QPainter::drawPolyline of
// the raw points, a slider jump with the map following a boat, the frame time
// at the end of a 300 s-per-step replay against its start.
// Usage: bench_bigfleet

#include "benchhost.h"
#include "benchresult.h"
#include "benchtiles.h"
#include "demoserver.h"
#include "map/geo.h"
#include "map/karte.h"
#include "map/scheme.h"
#include "platform/seams.h"
#include "scene/ship.h"
#include "scene/shiploader.h"
#include "store/boatstore.h"
#include "store/database.h"
#include "store/fixwriter.h"
#include "store/transaction.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{

const QSize viewSize(1920, 1080);

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Resident set in bytes, after handing freed heap back to the system so that
// the growth counts what is held, not what was passed through.
qint64 residentBytes()
{
    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * 4096 : 0;
}

// Stores the demo service's big race: its boats, then every fix in one
// transaction. Returns the number of fixes.
qint64 storeBigRace()
{
    DemoServer::Options options;
    options.quiet = true;
    DemoServer server(options);
    if (Database::ensureSchema(false) != Database::SchemaResult::Created)
        return 0;
    Transaction transaction;
    qint64 fixes = 0;
    int b = 0;
    for (const DemoServer::Boat &boat : server.boats(DemoServer::bigEventId)) {
        BoatRow row;
        row.id = boat.id;
        row.regattaId = DemoServer::bigEventId;
        row.name = boat.name;
        row.klasse = boat.klasse;
        row.startnr = boat.startnr;
        row.skipper = boat.skipper;
        row.farbe = QColor::fromHsv((++b * 37) % 360, 230, 220).name();
        if (!BoatStore::insertBoat(row))
            return 0;
        FixWriter writer(boat.id, DemoServer::bigEventId);
        if (!writer.prepare())
            return 0;
        for (const DemoServer::Fix &fix : server.fixes(DemoServer::bigEventId, boat.id)) {
            if (!writer.insert(fix.lat, fix.lng, int(fix.tstamp)))
                return 0;
            ++fixes;
        }
    }
    if (!transaction.commit() || !Database::ensureIndexes())
        return 0;
    return fixes;
}

// What the time slider does for one moment; the followed boat moves the map.
void showMoment(const QList<Ship *> &ships, int t, Karte *view)
{
    for (Ship *ship : ships) {
        if (!ship->hasPositions() || ship->pointCount() <= 0)
            continue;
        TrackPoint *p = ship->positionAt(t);
        if (!p)
            continue;
        ship->setPositionKnown(true);
        ship->setShowTrack(true);
        ship->setCurrentPoint(p);
        ship->setCurrentTime(t);
        if (ship->follow() && view)
            view->setCenterGeo(p->position);
    }
}

double refresh(Karte &view)
{
    QElapsedTimer t;
    t.start();
    view.relayout();
    view.viewport()->repaint();
    return t.nsecsElapsed() / 1e6;
}

// Milliseconds for drawing every track as one polyline of all its raw
// points, projected beforehand: the drawing the level of detail must beat.
double drawPolylineFloor(const QList<Ship *> &ships, const MapProjection &projection, int rounds)
{
    std::vector<QPolygonF> lines;
    std::vector<QColor> colours;
    for (const Ship *ship : ships) {
        const Track *track = ship->rawTrack();
        QPolygonF line;
        line.reserve(track->count());
        for (int i = 0; i < track->count(); ++i)
            line.append(projection.geoToView(track->pointAt(i)->position));
        lines.push_back(line);
        colours.push_back(ship->colour());
    }
    QImage image(viewSize, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        image.fill(QColor(170, 211, 223));
        QElapsedTimer t;
        t.start();
        QPainter painter(&image);
        QPen pen;
        pen.setCosmetic(true);
        pen.setWidth(1);
        for (size_t i = 0; i < lines.size(); ++i) {
            pen.setColor(colours[i]);
            painter.setPen(pen);
            painter.drawPolyline(lines[i]);
        }
        painter.end();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    return median(times);
}

// The deepest zoom at which every fix of the fleet is in view.
Geo::ViewFit fleetView(const QList<Ship *> &ships)
{
    QVector<GeoPoint> corners;
    for (const Ship *ship : ships) {
        if (ship->rawTrack()->isEmpty())
            continue;
        corners.append(ship->rawTrack()->minCorner());
        corners.append(ship->rawTrack()->maxCorner());
    }
    return Geo::fitView(corners, viewSize.width(), viewSize.height(), 20, Karte::minZoom,
                        Karte::maxZoom);
}

MapProjection layoutAt(const GeoPoint &centre, int zoom)
{
    MapProjection p;
    p.setZoom(zoom);
    p.setCentre(centre);
    p.layout(viewSize.width(), viewSize.height());
    return p;
}

// 100 boats sailing loops of a few kilometres, 10,000 fixes ten seconds apart.
QList<Ship *> makeSyntheticFleet(std::shared_ptr<const QPixmap> strip)
{
    const GeoPoint centre(43.75, 15.45);
    QRandomGenerator random(2011);
    QList<Ship *> ships;
    for (int b = 1; b <= 100; ++b) {
        auto *ship = new Ship(b, QStringLiteral("Boot %1").arg(b), QString(), QString());
        ship->setNamedColour(QColor::fromHsv((b * 37) % 360, 230, 220).name());
        ship->saveColour();
        ship->setSpriteStrip(strip);
        GeoPoint pos(centre.lat() + 0.3 * (random.generateDouble() - 0.5),
                     centre.lng() + 0.6 * (random.generateDouble() - 0.5));
        double heading = 360.0 * random.generateDouble();
        const double turn =
            (random.bounded(2) ? 1.0 : -1.0) * (0.05 + 0.1 * random.generateDouble());
        const double step = (5.0 + 4.0 * random.generateDouble()) * 1.852 / 3600.0 * 10;
        Track *track = ship->rawTrack();
        track->reserve(10000);
        for (int k = 0; k < 10000; ++k) {
            track->addPoint(pos.lat(), pos.lng(), 1302905280 + 10 * k, heading);
            heading =
                std::fmod(heading + turn + 2.0 * (random.generateDouble() - 0.5) + 360.0, 360.0);
            pos = Geo::destinationPoint(pos, step, heading);
        }
        ship->setPointCount(10000);
        ship->setHasPositions(true);
        ships.append(ship);
    }
    return ships;
}

// Median refresh of the view with every complete track drawn, at the latest
// moment; the floor draws the same raw points with one drawPolyline each.
void drawFigures(const char *label, const QList<Ship *> &ships, const QString &cache)
{
    const Geo::ViewFit fit = fleetView(ships);
    const MapProjection layout = layoutAt(fit.centre, fit.zoom);
    BenchTiles::writeCache(cache, fit.zoom, layout.visibleTiles());
    BenchHost host;
    host.ships = ships;
    Scheme scene;
    scene.setSceneRect(0, 0, viewSize.width(), viewSize.height());
    Karte view(&scene);
    host.attach(&view);
    view.setTileCacheFolder(cache);
    view.resize(viewSize);
    view.showView(fit.centre, fit.zoom);
    BenchHost::showExposed(&view);
    const TimeRange range = placeShips(ships, view.projection(), &scene);
    for (Ship *ship : ships)
        ship->setCompleteTrack(true);
    showMoment(ships, range.latest, nullptr);
    refresh(view);
    std::vector<double> frames;
    for (int i = 0; i < 15; ++i)
        frames.push_back(refresh(view));
    // The map moved a pixel each frame, as when dragged: every line drawn anew.
    std::vector<double> moved;
    for (int i = 0; i < 15; ++i) {
        const GeoPoint c = view.projection().viewToGeo(view.width() / 2 + 1, view.height() / 2);
        view.setCenterGeo(c);
        moved.push_back(refresh(view));
    }
    const double floor = drawPolylineFloor(ships, view.projection(), 7);
    std::printf("%s: complete tracks at zoom %d, refresh %.2f ms (worst %.2f), map moved %.2f ms "
                "(worst %.2f), raw drawPolyline %.2f ms\n",
                label, fit.zoom, median(frames), *std::max_element(frames.begin(), frames.end()),
                median(moved), *std::max_element(moved.begin(), moved.end()), floor);
    const QByteArray figure = QByteArray("draw complete tracks 1920x1080, ") + label;
    BenchResult::print(figure.constData(), median(frames), "ms", "drawPolyline of the raw points",
                       floor);
    BenchResult::print((figure + ", map moved a pixel").constData(), median(moved), "ms",
                       "drawPolyline of the raw points", floor);
    for (Ship *ship : ships)
        scene.removeItem(ship);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    Seams::setMessageBoxHandler([](const Seams::MessageBoxRequest &) { return QMessageBox::Ok; });
    QTemporaryDir dir;
    const QString cache = dir.filePath(QStringLiteral("maps"));
    if (!Database::open(dir.filePath(QStringLiteral("velmaro.db"))).ok)
        return 1;
    QElapsedTimer timer;
    timer.start();
    const qint64 stored = storeBigRace();
    if (stored == 0) {
        std::fprintf(stderr, "cannot store the big race\n");
        return 1;
    }
    std::printf("big race: %lld fixes stored in %.1f s\n", static_cast<long long>(stored),
                timer.elapsed() / 1000.0);

    // The view the race opens in, its tiles read once, before the empty measure.
    const auto strip = ShipLoader::loadSpriteStrip();
    std::unique_ptr<ShipLoader> probe = std::make_unique<ShipLoader>();
    QList<Ship *> probeShips = probe->loadShips(DemoServer::bigEventId, strip);
    for (Ship *ship : probeShips)
        probe->loadTrack(ship);
    const Geo::ViewFit fit = fleetView(probeShips);
    qDeleteAll(probeShips);
    probe.reset();
    const MapProjection layout = layoutAt(fit.centre, fit.zoom);
    BenchTiles::writeCache(cache, fit.zoom, layout.visibleTiles().adjusted(-2, -2, 3, 3));
    BenchTiles::writeCache(
        cache, fit.zoom + 2,
        layoutAt(fit.centre, fit.zoom + 2).visibleTiles().adjusted(-6, -6, 7, 7));

    BenchHost host;
    Scheme scene;
    scene.setSceneRect(0, 0, viewSize.width(), viewSize.height());
    Karte view(&scene);
    host.attach(&view);
    view.setTileCacheFolder(cache);
    view.resize(viewSize);
    view.showView(fit.centre, fit.zoom);
    BenchHost::showExposed(&view);
    refresh(view);
    refresh(view);

    // Opening: boats, their tracks, placement and the first frame.
    const qint64 before = residentBytes();
    timer.start();
    auto loader = std::make_unique<ShipLoader>();
    QList<Ship *> ships = loader->loadShips(DemoServer::bigEventId, strip);
    qint64 fixes = 0;
    for (Ship *ship : ships) {
        if (loader->loadTrack(ship)) {
            ship->setHasPositions(true);
            fixes += ship->pointCount();
        }
    }
    host.ships = ships;
    const TimeRange range = placeShips(ships, view.projection(), &scene);
    showMoment(ships, range.latest, &view);
    view.relayout();
    view.viewport()->repaint();
    const double openMs = timer.nsecsElapsed() / 1e6;
    loader.reset();
    const qint64 after = residentBytes();

    timer.start();
    int rows = 0;
    {
        bool ok = false;
        rows = int(BoatStore::raceFixes(DemoServer::bigEventId, &ok).size());
    }
    const double selectMs = timer.nsecsElapsed() / 1e6;
    std::printf("open: %d boats, %lld fixes, %.0f ms (plain SELECT of %d rows: %.0f ms)\n",
                int(ships.size()), static_cast<long long>(fixes), openMs, rows, selectMs);
    BenchResult::print("big race: open (boats, tracks, first frame)", openMs, "ms",
                       "one plain SELECT of the same rows", selectMs);
    const double perFix = fixes > 0 ? double(after - before) / double(fixes) : 0.0;
    // Latitude and longitude as doubles, the time as a 32-bit integer.
    const double rawBytes = 2 * sizeof(double) + sizeof(qint32);
    std::printf("memory: %.1f MB resident growth, %.1f bytes per fix\n",
                (after - before) / 1048576.0, perFix);
    BenchResult::print("big race: memory per fix (resident growth / fixes)", perFix, "bytes",
                       "raw fields (lat, lng as double, time as int32)", rawBytes);

    // Slider jumps to spread moments, the map following the first boat at a
    // closer zoom, so that every jump draws on a new pixel grid.
    view.showView(fit.centre, fit.zoom + 2);
    Ship *followed = ships.first();
    followed->setFollow(true);
    std::vector<double> jumps;
    QRandomGenerator random(2011);
    for (int i = 0; i < 25; ++i) {
        const int t = range.earliest + int(random.bounded(range.latest - range.earliest + 1));
        timer.start();
        showMoment(ships, t, &view);
        view.relayout();
        view.viewport()->repaint();
        jumps.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("slider jump, following: median %.2f ms, worst %.2f ms\n", median(jumps),
                *std::max_element(jumps.begin(), jumps.end()));
    BenchResult::print("big race: slider jump, following a boat (worst of 25)",
                       *std::max_element(jumps.begin(), jumps.end()), "ms", "target: 50 ms", 50.0);
    followed->setFollow(false);

    // Replay at 300 s a step from the start to the end, the fleet in view.
    view.showView(fit.centre, fit.zoom);
    std::vector<double> steps;
    for (int t = range.earliest; t <= range.latest; t += 300) {
        timer.start();
        showMoment(ships, t, &view);
        view.relayout();
        view.viewport()->repaint();
        steps.push_back(timer.nsecsElapsed() / 1e6);
    }
    const int third = std::max<int>(1, int(steps.size()) / 3);
    const double startMs = median(std::vector<double>(steps.begin(), steps.begin() + third));
    const double endMs = median(std::vector<double>(steps.end() - third, steps.end()));
    std::printf("replay at 300 s a step, %d steps: start %.2f ms, end %.2f ms\n", int(steps.size()),
                startMs, endMs);
    BenchResult::print("big race: replay 300 s a step, frame at the end", endMs, "ms",
                       "frame at the start", startMs);
    for (Ship *ship : ships)
        scene.removeItem(ship);
    host.ships.clear();

    drawFigures("big race 250 boats", ships, cache);
    qDeleteAll(ships);
    const QList<Ship *> synthetic = makeSyntheticFleet(strip);
    drawFigures("100 boats x 10,000 fixes", synthetic, cache);
    qDeleteAll(synthetic);
    return 0;
}
