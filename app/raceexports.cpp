#include "app/raceexports.h"

#include "platform/config.h"
#include "platform/seams.h"
#include "scene/course.h"
#include "scene/gateitem.h"
#include "scene/gpxexport.h"
#include "scene/leaderboardcsv.h"
#include "scene/ship.h"
#include "scene/shiploader.h"
#include "store/racestore.h"
#include "tracking/racelist.h"
#include "tracking/trackingclient.h"

#include <QDateTime>
#include <QEventLoop>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstdio>

namespace RaceExports
{

namespace
{

// The boats of a race with their stored fixes, deleted with the holder.
struct Fleet {
    explicit Fleet(int eventId, bool withTracks = true)
    {
        ships = loader.loadShips(eventId);
        for (Ship *ship : std::as_const(ships))
            ship->setHasPositions(withTracks && loader.loadTrack(ship));
    }
    ~Fleet() { qDeleteAll(ships); }
    Q_DISABLE_COPY(Fleet)

    ShipLoader loader;
    QList<Ship *> ships;
};

} // namespace

std::optional<qint64> parseMoment(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (QRegularExpression(QStringLiteral("^\\d{1,10}$")).match(trimmed).hasMatch())
        return trimmed.toLongLong();
    QDateTime moment = QDateTime::fromString(trimmed, Qt::ISODate);
    if (!moment.isValid())
        return std::nullopt;
    if (moment.timeSpec() == Qt::LocalTime)
        moment.setTimeSpec(Qt::UTC); // no zone given: UTC, not the machine's
    const qint64 secs = moment.toSecsSinceEpoch();
    if (secs < 0 || secs > maxRaceTime)
        return std::nullopt;
    return secs;
}

std::optional<Race> findRace(int eventId, int taskId, bool fetchList, QString *problem)
{
    const auto lookUp = [&]() -> std::optional<Race> {
        for (const Race &r : RaceStore::races())
            if (r.eventId == eventId && r.taskId == taskId)
                return r;
        return std::nullopt;
    };
    if (const std::optional<Race> known = lookUp(); known || !fetchList)
        return known;
    Tracking::RaceListFetcher fetcher;
    Tracking::RaceListResult result;
    QEventLoop loop;
    QObject::connect(&fetcher, &Tracking::RaceListFetcher::finished, &loop,
                     [&](const Tracking::RaceListResult &r) {
                         result = r;
                         loop.quit();
                     });
    fetcher.fetch(Config::trackingUrl());
    loop.exec();
    if (result.status != Tracking::RaceListResult::Ok) {
        *problem = QStringLiteral("the race list of %1 did not come: %2")
                       .arg(Config::trackingUrl(), result.status == Tracking::RaceListResult::Failed
                                                       ? result.error
                                                       : QStringLiteral("not offered"));
        return std::nullopt;
    }
    RaceStore::importRaces(result.races);
    return lookUp();
}

QString fetch(const Race &race)
{
    TrackingClient client;
    client.setDiagnosticStream(stderr); // standard output may be a pipe of the caller's
    std::unique_ptr<Fleet> fleet;
    // As the window loads a race: stored fixes only once it has begun.
    const auto reload = [&] {
        fleet.reset();
        fleet = std::make_unique<Fleet>(race.eventId, Seams::nowSecs() >= race.start);
    };
    reload();
    Tracking::RaceInfo info;
    info.valid = true;
    info.eventId = race.eventId;
    info.taskId = race.taskId;
    info.start = race.start;
    info.end = race.end;
    client.setRace(info);
    client.setBoatSource([&] {
        QVector<Tracking::BoatInfo> boats;
        for (const Ship *ship : std::as_const(fleet->ships)) {
            Tracking::BoatInfo boat;
            boat.id = ship->id();
            boat.regattaId = ship->regattaId();
            boat.lastget = ship->lastget();
            boat.hasFixes = ship->rawTrack()->count() > 0;
            boat.newestFix = boat.hasFixes ? ship->rawTrack()->newestTime() : 0;
            boats.append(boat);
        }
        return boats;
    });
    QObject::connect(&client, &TrackingClient::boatsStored, &client, reload);
    QObject::connect(&client, &TrackingClient::lastgetChanged, &client, [&](int i, int lastget) {
        if (i >= 0 && i < fleet->ships.size())
            fleet->ships.at(i)->setLastget(lastget);
    });
    QObject::connect(&client, &TrackingClient::fixesStored, &client,
                     [&](int i, const QVector<Tracking::Fix> &fixes, int lastget) {
                         if (i < 0 || i >= fleet->ships.size())
                             return;
                         Ship *ship = fleet->ships.at(i);
                         for (const Tracking::Fix &fix : fixes)
                             ship->rawTrack()->addPoint(fix.lat, fix.lng, fix.tstamp, fix.heading);
                         ship->setLastget(lastget);
                     });
    int failed = 0;
    QObject::connect(&client, &TrackingClient::replyHandled, &client,
                     [&](const QUrl &, TrackingClient::Outcome outcome) {
                         failed += outcome == TrackingClient::Outcome::Failed ||
                                   outcome == TrackingClient::Outcome::RolledBack;
                     });
    QEventLoop loop;
    QObject::connect(&client, &TrackingClient::loadFinished, &loop, &QEventLoop::quit);
    client.loadRace();
    if (client.isLoadActive())
        loop.exec();
    if (failed > 0)
        return QStringLiteral("%1 of the requests to %2 failed or could not be stored")
            .arg(failed)
            .arg(client.baseUrl());
    return QString();
}

QString writeLeaderboard(const Race &race, std::optional<qint64> at, const QString &path)
{
    const Fleet fleet(race.eventId);
    int t = 0;
    for (const Ship *ship : fleet.ships)
        t = std::max(t, ship->rawTrack()->newestTime());
    if (at)
        t = int(*at);
    QList<CourseGate> course;
    const QList<GateItem *> gates = buildCourse(race.eventId, race.taskId);
    course = Leaderboard::gatesOf(gates);
    qDeleteAll(gates);
    const QByteArray csv = LeaderboardCsv::write(LeaderboardCsv::rowsAt(fleet.ships, course, t));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return QString();
}

QString writeGpx(const Race &race, const QString &path)
{
    const Fleet fleet(race.eventId);
    Gpx::Document document;
    document.name = race.name;
    document.time = Seams::now();
    document.tracks = Gpx::tracksOf(fleet.ships);
    if (document.tracks.isEmpty())
        return QStringLiteral("no shown boat of race %1/%2 has fixes")
            .arg(race.eventId)
            .arg(race.taskId);
    return Gpx::write(path, document);
}

} // namespace RaceExports
