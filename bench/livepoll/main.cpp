// One poll cycle of the live big race (250 boats, a fix a second) from the
// demo service program on loopback to the screen: a positions request per
// boat, each reply ingested in its own transaction and appended to its boat,
// then the moment drawn in a 1920 x 1080 view. Held against the service's own
// time to answer the same requests (read, not ingested); the longest stall of
// the event loop while the replies come in is held against 50 ms.
// Usage: bench_livepoll

#include "benchhost.h"
#include "benchresult.h"
#include "benchtiles.h"
#include "demoserver.h"
#include "map/karte.h"
#include "map/scheme.h"
#include "platform/seams.h"
#include "scene/ship.h"
#include "scene/shiploader.h"
#include "store/boatstore.h"
#include "store/database.h"
#include "tracking/trackingclient.h"
#include "tracking/trackingrequest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace
{

const int eventId = DemoServer::bigLiveEventId;
const int taskId = DemoServer::bigLiveTaskId;

// Runs the event loop while `send` sends one request per ship, until `done`
// replies were handled; returns the milliseconds taken and the longest time
// between two ticks of a 2 ms timer (the longest stall).
double pollCycle(const std::function<void()> &send, int *handled, int done, double *stallMs)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QElapsedTimer tickClock;
    tickClock.start();
    double worst = 0.0;
    QTimer tick;
    tick.setInterval(2);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worst = std::max(worst, tickClock.nsecsElapsed() / 1e6);
        tickClock.restart();
        if (*handled >= done)
            loop.quit();
    });
    *handled = 0;
    send();
    tick.start();
    loop.exec();
    if (stallMs)
        *stallMs = worst;
    return timer.nsecsElapsed() / 1e6;
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
    if (!Database::open(dir.filePath(QStringLiteral("velmaro.db"))).ok ||
        Database::ensureSchema(false) != Database::SchemaResult::Created)
        return 1;

    // The service in its own process, so that its work is not our stall.
    QProcess service;
    service.start(QCoreApplication::applicationDirPath() + QStringLiteral("/velmaro-demo-server"),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--quiet")});
    if (!service.waitForStarted(10000) || !service.waitForReadyRead(30000)) {
        std::fprintf(stderr, "cannot start velmaro-demo-server\n");
        return 1;
    }
    const QString base = QString::fromUtf8(service.readLine()).trimmed();

    // The same boats as the service (same seed), stored as a boat list does.
    DemoServer::Options options;
    options.quiet = true;
    const DemoServer fleet(options);
    int colour = 0;
    for (const DemoServer::Boat &boat : fleet.boats(eventId)) {
        BoatRow row;
        row.id = boat.id;
        row.regattaId = eventId;
        row.name = boat.name;
        row.klasse = boat.klasse;
        row.startnr = boat.startnr;
        row.farbe = QColor::fromHsv((++colour * 37) % 360, 230, 220).name();
        if (!BoatStore::insertBoat(row))
            return 1;
    }
    ShipLoader loader;
    const QList<Ship *> ships = loader.loadShips(eventId, ShipLoader::loadSpriteStrip());

    // The viewer's tracking client: its requests, its ingest (a transaction
    // per reply), the fixes appended as the race object does.
    TrackingClient client;
    client.setBaseUrl(base);
    client.setDiagnosticStream(nullptr);
    for (const DemoServer::Race &race : fleet.races()) {
        if (race.eventId == eventId)
            client.setRace({true, eventId, taskId, race.start, race.end});
    }
    client.setBoatSource([&] {
        QVector<Tracking::BoatInfo> infos;
        for (const Ship *ship : ships) {
            Tracking::BoatInfo info;
            info.id = ship->id();
            info.regattaId = eventId;
            info.lastget = ship->lastget();
            info.hasFixes = !ship->rawTrack()->isEmpty();
            info.newestFix = ship->rawTrack()->newestTime();
            infos.append(info);
        }
        return infos;
    });
    qint64 fixes = 0;
    int handled = 0;
    QObject::connect(&client, &TrackingClient::fixesStored,
                     [&](int i, const QVector<Tracking::Fix> &stored, int lastget) {
                         Ship *ship = ships.at(i);
                         for (const Tracking::Fix &fix : stored)
                             ship->rawTrack()->addPoint(fix.lat, fix.lng, fix.tstamp, fix.heading,
                                                        fix.extra);
                         fixes += stored.size();
                         ship->setPointCount(ship->rawTrack()->count());
                         ship->setLastget(lastget);
                         ship->setHasPositions(ship->pointCount() > 0);
                     });
    QObject::connect(&client, &TrackingClient::replyHandled, [&] { ++handled; });
    const int boats = int(ships.size());
    const auto poll = [&] { client.requestNewPositions(); };

    // The history so far, then a view on the fleet.
    pollCycle(poll, &handled, boats, nullptr);
    std::printf("history: %lld fixes of %d boats\n", static_cast<long long>(fixes),
                int(ships.size()));
    QVector<GeoPoint> corners;
    for (const Ship *ship : ships) {
        if (!ship->rawTrack()->isEmpty()) {
            corners << ship->rawTrack()->minCorner() << ship->rawTrack()->maxCorner();
        }
    }
    const Geo::ViewFit fit = Geo::fitView(corners, 1920, 1080, 20, Karte::minZoom, Karte::maxZoom);
    QTemporaryDir tiles;
    MapProjection layout;
    layout.setZoom(fit.zoom);
    layout.setCentre(fit.centre);
    layout.layout(1920, 1080);
    BenchTiles::writeCache(tiles.path(), fit.zoom, layout.visibleTiles().adjusted(-2, -2, 3, 3));
    BenchHost host;
    host.ships = ships;
    Scheme scene;
    scene.setSceneRect(0, 0, 1920, 1080);
    Karte view(&scene);
    host.attach(&view);
    view.setTileCacheFolder(tiles.path());
    view.resize(1920, 1080);
    view.showView(fit.centre, fit.zoom);
    BenchHost::showExposed(&view);
    const auto toScreen = [&] {
        const TimeRange range = placeShips(ships, view.projection(), &scene);
        for (Ship *ship : ships) {
            if (TrackPoint *p = ship->hasPositions() ? ship->positionAt(range.latest) : nullptr) {
                ship->setPositionKnown(true);
                ship->setShowTrack(true);
                ship->setCurrentPoint(p);
                ship->setCurrentTime(range.latest);
            }
        }
        view.relayout();
        view.viewport()->repaint();
    };
    toScreen();

    // Cycles a little over a second apart, each bringing the newest fixes.
    std::vector<double> cycles, stalls, floors;
    for (int round = 0; round < 5; ++round) {
        QThread::msleep(1100);
        const qint64 before = fixes;
        double stall = 0.0;
        QElapsedTimer timer;
        timer.start();
        pollCycle(poll, &handled, boats, &stall);
        toScreen();
        cycles.push_back(timer.nsecsElapsed() / 1e6);
        stalls.push_back(stall);
        // The same requests again, only read: what the service itself takes.
        QNetworkAccessManager manager;
        floors.push_back(pollCycle(
            [&] {
                for (const Ship *ship : ships) {
                    QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(Tracking::positionsUrl(
                        base, eventId, taskId, ship->id(), ship->lastget()))));
                    QObject::connect(reply, &QNetworkReply::finished, [&handled, reply] {
                        reply->readAll();
                        reply->deleteLater();
                        ++handled;
                    });
                }
            },
            &handled, boats, nullptr));
        std::printf("cycle %d: %lld new fixes, %.0f ms to screen, longest stall %.1f ms, "
                    "service alone %.0f ms\n",
                    round, static_cast<long long>(fixes - before), cycles.back(), stall,
                    floors.back());
    }
    std::sort(cycles.begin(), cycles.end());
    std::sort(floors.begin(), floors.end());
    BenchResult::print("live big race: poll cycle of 250 boats to screen (median)",
                       cycles[cycles.size() / 2], "ms", "the service answering the same requests",
                       floors[floors.size() / 2]);
    BenchResult::print("live big race: longest event-loop stall while ingesting",
                       *std::max_element(stalls.begin(), stalls.end()), "ms", "target: 50 ms",
                       50.0);
    for (Ship *ship : ships)
        scene.removeItem(ship);
    qDeleteAll(ships);
    service.terminate();
    service.waitForFinished(5000);
    return 0;
}
