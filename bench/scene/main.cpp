// Times the race scene with a large fleet: loading 100 boats x 10,000 fixes
// from a database file, placing every boat for one moment, and whole frames
// (placement and painting of the scene into a 1920 x 1080 image).
// Loading is held against a plain query over the same rows; frames against
// the 16 ms frame budget; the one-off work of opening a race against a
// one-second target.
// Usage: bench_scene [boats [fixes [seconds between fixes]]]

#include "benchresult.h"
#include "map/geo.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "scene/course.h"
#include "scene/gateitem.h"
#include "scene/ship.h"
#include "scene/shiploader.h"
#include "store/boatstore.h"
#include "store/database.h"
#include "store/fixwriter.h"
#include "store/transaction.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

const int eventId = 21;
const int viewWidth = 1920;
const int viewHeight = 1080;

// Boats sailing slow circles with a little position noise, scattered over
// the Biograd area, so the whole fleet stays inside the view.
bool generate(int boats, int fixes, int interval, int start)
{
    if (Database::ensureSchema(false) != Database::SchemaResult::Created)
        return false;
    QRandomGenerator random(2011);
    Transaction transaction;
    if (!transaction.isOpen())
        return false;
    for (int b = 1; b <= boats; ++b) {
        BoatRow boat;
        boat.id = b < 38 ? b : b + 1; // boat 38 is never shown
        boat.regattaId = eventId;
        boat.name = QStringLiteral("Boot %1").arg(boat.id);
        boat.klasse = QStringLiteral("Klasse %1").arg(b % 4);
        boat.startnr = QString::number(b);
        boat.farbe = QColor::fromHsv((b * 37) % 360, 230, 220).name();
        if (!BoatStore::insertBoat(boat))
            return false;

        FixWriter writer(boat.id, eventId);
        if (!writer.prepare())
            return false;
        GeoPoint pos(43.2 + 0.8 * random.generateDouble(), 15.0 + 1.4 * random.generateDouble());
        double heading = 360.0 * random.generateDouble();
        const double turn =
            (random.bounded(2) ? 1.0 : -1.0) * (0.05 + 0.1 * random.generateDouble());
        const double knots = 5.0 + 4.0 * random.generateDouble();
        const double step = knots * 1.852 / 3600.0 * interval;
        for (int k = 0; k < fixes; ++k) {
            const double lat = pos.lat() + 0.00004 * (random.generateDouble() - 0.5);
            const double lng = pos.lng() + 0.00004 * (random.generateDouble() - 0.5);
            if (!writer.insert(lat, lng, start + k * interval))
                return false;
            heading =
                std::fmod(heading + turn + 2.0 * (random.generateDouble() - 0.5) + 360.0, 360.0);
            pos = Geo::destinationPoint(pos, step, heading);
        }
    }
    if (!transaction.commit())
        return false;
    // The viewer creates this index at start-up.
    return Database::ensureIndexes();
}

// What the time slider does for one moment, for every boat.
void placeAt(const QList<Ship *> &ships, int t, MapProjection &projection, bool followFirst)
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
        if (followFirst && ship == ships.first())
            projection.setCentre(p->position);
    }
    projection.layout(viewWidth, viewHeight);
    for (Ship *ship : ships)
        ship->updateGeometry(projection);
}

// Milliseconds for reading every fix of the race with one plain query: what
// loading the tracks cannot beat.
double readFloor(int *rows)
{
    QElapsedTimer timer;
    timer.start();
    std::vector<TrackPoint> points;
    for (const FixRow &fix : BoatStore::raceFixes(eventId))
        points.emplace_back(fix.lat, fix.lng, fix.tstamp, 0.0);
    *rows = int(points.size());
    return timer.nsecsElapsed() / 1e6;
}

constexpr double raceOpenTargetMs = 1000.0;

struct Figures {
    double placementMs = 0.0;
    double frameMs = 0.0;
    double worstFrameMs = 0.0;
    qint64 tailPoints = 0;
};

Figures run(const QList<Ship *> &ships, QGraphicsScene &scene, MapProjection projection, int latest,
            bool follow, int frames)
{
    Figures f;
    QImage image(viewWidth, viewHeight, QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer timer;
    // Warm-up (first tint, font set-up, cached Mercator rows).
    placeAt(ships, latest - 30 * frames, projection, follow);

    double placement = 0.0;
    for (int i = 0; i < frames; ++i) {
        const int t = latest - 30 * (frames - i);
        timer.start();
        placeAt(ships, t, projection, follow);
        placement += timer.nsecsElapsed() / 1e6;
    }
    f.placementMs = placement / frames;

    double total = 0.0;
    for (int i = 0; i < frames; ++i) {
        const int t = latest - 30 * (frames - i);
        timer.start();
        placeAt(ships, t, projection, follow);
        image.fill(QColor(170, 211, 223)); // stands in for the tiles
        QPainter painter(&image);
        scene.render(&painter, QRectF(image.rect()), QRectF(0, 0, viewWidth, viewHeight));
        painter.end();
        const double ms = timer.nsecsElapsed() / 1e6;
        total += ms;
        f.worstFrameMs = std::max(f.worstFrameMs, ms);
    }
    f.frameMs = total / frames;
    for (const Ship *ship : ships)
        f.tailPoints += ship->trackPolygon().size();
    if (qEnvironmentVariableIsSet("BENCH_SCENE_SAVE"))
        image.save(qEnvironmentVariable("BENCH_SCENE_SAVE"));
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
    const int interval = args.size() > 3 ? args.at(3).toInt() : 10;
    const int start = 1302905280;
    QTextStream out(stdout);

    QTemporaryDir dir;
    Seams::setMessageBoxHandler([](const Seams::MessageBoxRequest &) { return QMessageBox::Ok; });
    if (!Database::open(dir.filePath(QStringLiteral("velmaro.db"))).ok)
        return 1;

    QElapsedTimer timer;
    timer.start();
    if (!generate(boats, fixes, interval, start)) {
        out << "cannot generate the race\n";
        return 1;
    }
    out << QStringLiteral("fleet: %1 boats x %2 fixes, one every %3 s (%4 h of race)\n")
               .arg(boats)
               .arg(fixes)
               .arg(interval)
               .arg(fixes * interval / 3600.0, 0, 'f', 1);
    out << QStringLiteral("generate database:       %1 ms\n").arg(timer.elapsed());
    out << QStringLiteral("memory before loading:   %1\n").arg(Platform::residentMemory());

    const auto strip = ShipLoader::loadSpriteStrip();
    if (strip->isNull())
        out << "(sprites/shipstrip.png not found: boats are drawn as dots)\n";
    QList<Ship *> ships;
    {
        ShipLoader loader;
        timer.start();
        ships = loader.loadShips(eventId, strip);
        for (Ship *ship : ships)
            if (loader.loadTrack(ship))
                ship->setHasPositions(true);
        const double loadMs = timer.nsecsElapsed() / 1e6;
        out << QStringLiteral("load from database:      %1 ms (%2 ships)\n")
                   .arg(loadMs, 0, 'f', 0)
                   .arg(ships.size());
        int rows = 0;
        const double floorMs = readFloor(&rows);
        out << QStringLiteral("  floor, one plain query over the %1 rows: %2 ms\n")
                   .arg(rows)
                   .arg(floorMs, 0, 'f', 0);
        out.flush();
        const std::string figure =
            QStringLiteral("scene: load %1 boats x %2 fixes from the database")
                .arg(boats)
                .arg(fixes)
                .toStdString();
        BenchResult::print(figure.c_str(), loadMs, "ms", "one plain query over the same rows",
                           floorMs);
    }
    out << QStringLiteral("memory after loading:    %1\n").arg(Platform::residentMemory());

    QGraphicsScene scene(0, 0, viewWidth, viewHeight);
    // Every item changes its bounds on every refresh; an index only costs.
    scene.setItemIndexMethod(QGraphicsScene::NoIndex);
    const QList<GateItem *> gates = buildCourse(21, 120);
    MapProjection projection;
    projection.setZoom(10);
    projection.setCentre(43.6, 15.7);
    projection.layout(viewWidth, viewHeight);
    placeGates(gates, projection, &scene);

    timer.start();
    const TimeRange range = placeShips(ships, projection, &scene);
    const double placeMs = timer.nsecsElapsed() / 1e6;
    out << QStringLiteral("placeShips (first):      %1 ms\n").arg(placeMs, 0, 'f', 1);
    out.flush();
    BenchResult::print("scene: placeShips, first (opening the race)", placeMs, "ms",
                       "target: race opens in 1 s", raceOpenTargetMs);
    timer.start();
    placeShips(ships, projection, &scene);
    out << QStringLiteral("placeShips (again):      %1 ms\n")
               .arg(timer.nsecsElapsed() / 1e6, 0, 'f', 1);
    {
        timer.start();
        for (Ship *ship : ships)
            ship->rawTrack()->lod(11);
        out << QStringLiteral("lines at a new zoom:     %1 ms (after a zoom)\n")
                   .arg(timer.nsecsElapsed() / 1e6, 0, 'f', 1);
    }
    if (!ships.isEmpty())
        ships.first()->setFollow(true);

    const int frames = 60;
    const char *trackKind = "raw";
    const auto report = [&](const char *label, bool complete, bool follow) {
        for (Ship *ship : ships)
            ship->setCompleteTrack(complete);
        const Figures f = run(ships, scene, projection, range.latest, follow, frames);
        out << QStringLiteral("%1 placement %2 ms, frame %3 ms (worst %4), %5 tail points\n")
                   .arg(QString::fromLatin1(label), -34)
                   .arg(f.placementMs, 6, 'f', 2)
                   .arg(f.frameMs, 6, 'f', 2)
                   .arg(f.worstFrameMs, 6, 'f', 2)
                   .arg(f.tailPoints);
        out.flush();
        const std::string figure =
            QStringLiteral("scene: frame 1920x1080, %1 tracks, %2")
                .arg(QString::fromLatin1(trackKind), QString::fromLatin1(label).trimmed())
                .toStdString();
        BenchResult::print(figure.c_str(), f.frameMs, "ms", "target: frame 16 ms",
                           BenchResult::frameBudgetMs);
    };

    out << "\nraw tracks (" << fixes << " fixes per boat)\n";
    report("  three-hour tails", false, false);
    report("  three-hour tails, following", false, true);
    report("  complete tracks", true, false);
    report("  complete tracks, following", true, true);

    timer.start();
    for (Ship *ship : ships)
        ship->setSimplifyPending(true);
    placeShips(ships, projection, &scene);
    qint64 kept = 0;
    for (const Ship *ship : ships)
        kept += ship->simplifiedTrack()->count();
    const double simplifyMs = timer.nsecsElapsed() / 1e6;
    out << QStringLiteral("\nsimplified tracks (0.0005 deg): %1 ms, %2 of %3 fixes kept\n")
               .arg(simplifyMs, 0, 'f', 0)
               .arg(kept)
               .arg(qint64(ships.size()) * fixes);
    out.flush();
    BenchResult::print("scene: simplify every track", simplifyMs, "ms", "target: race opens in 1 s",
                       raceOpenTargetMs);
    trackKind = "simplified";
    report("  three-hour tails", false, false);
    report("  three-hour tails, following", false, true);
    report("  complete tracks", true, false);
    report("  complete tracks, following", true, true);

    qDeleteAll(ships);
    qDeleteAll(gates);
    return 0;
}
