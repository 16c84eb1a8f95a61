#include "scene/shiploader.h"

#include "platform/paths.h"
#include "scene/ship.h"
#include "scene/tracklayer.h"

#include <QGraphicsScene>

#include <cmath>

namespace
{

// Boat 38 is stored by the service but never shown.
constexpr int hiddenBoatId = 38;

} // namespace

ShipLoader::ShipLoader() = default;
ShipLoader::~ShipLoader() = default;

std::shared_ptr<const QPixmap> ShipLoader::loadSpriteStrip()
{
    auto strip = std::make_shared<QPixmap>();
    strip->load(Paths::asset(QStringLiteral("sprites/shipstrip.png")), "png");
    return strip;
}

QList<Ship *> ShipLoader::loadShips(int eventId, std::shared_ptr<const QPixmap> spriteStrip,
                                    int *rowsRead)
{
    if (rowsRead)
        *rowsRead = 0;
    QList<Ship *> ships;
    bool ok = false;
    const QVector<BoatRow> rows = BoatStore::boats(eventId, &ok);
    if (!ok)
        return ships;
    if (!spriteStrip)
        spriteStrip = loadSpriteStrip();

    for (const BoatRow &row : rows) {
        if (row.id == hiddenBoatId)
            continue;
        auto *ship = new Ship(row.id, QStringLiteral("Boot%1").arg(row.id), QString(), QString());
        ship->setRegattaId(row.regattaId);
        ship->setKlasse(row.klasse);
        ship->setName(row.name);
        ship->setTeam(row.team);
        ship->setSkipper(row.skipper);
        ship->setStartnr(row.startnr);
        ship->setNamedColour(row.farbe);
        ship->setShown(row.show);
        ship->setFollow(row.follow);
        ship->setLastget(row.lastget);
        ship->saveColour();
        ship->setHasPositions(false);
        ship->setCompleteTrack(false);
        ship->setSpriteStrip(spriteStrip);
        ships.append(ship);
    }
    if (rowsRead)
        *rowsRead = int(rows.size());
    return ships;
}

bool ShipLoader::loadTrack(Ship *ship)
{
    if (!ship || !m_tracks.read(ship->id(), ship->regattaId(), &m_fixes) || m_fixes.isEmpty())
        return false;
    Track *track = ship->rawTrack();
    track->reserve(track->count() + int(m_fixes.size()));
    int added = 0;
    for (const FixRow &fix : std::as_const(m_fixes)) {
        // Files written before ingest refused them may hold fixes off the world.
        if (!std::isfinite(fix.lat) || !std::isfinite(fix.lng) || std::abs(fix.lat) > 90.0 ||
            std::abs(fix.lng) > 180.0)
            continue;
        // The table keeps no heading; Ship::positionAt derives it when needed.
        track->addPoint(fix.lat, fix.lng, fix.tstamp, std::nan(""), 0.0);
        ++added;
    }
    ship->setPointCount(added);
    return added > 0;
}

TimeRange placeShips(const QList<Ship *> &ships, const MapProjection &projection,
                     QGraphicsScene *scene)
{
    TimeRange range;
    bool added = false;
    for (Ship *ship : ships) {
        if (!ship || !ship->hasPositions())
            continue;
        if (ship->pointCount() > 0 && !ship->rawTrack()->isEmpty()) {
            ship->setDisplayTrack(ship->rawTrack());
            if (ship->simplifyPending()) {
                ship->simplifyTrack(defaultSimplifyTolerance);
                ship->setDisplayTrack(ship->simplifiedTrack());
            }
            const QColor colour =
                ship->colour().isValid() ? ship->colour() : Ship::fallbackColour();
            ship->displayTrack()->setColour(colour);
            ship->rawTrack()->setColour(colour);
            ship->setPositionKnown(false);
        }
        ship->setAllShips(ships);
        Track *track = ship->displayTrack();
        if (ship->pointCount() > 0 && !track->isEmpty()) {
            const int first = track->first()->tstamp;
            const int last = track->last()->tstamp;
            if (range.earliest == 0 || range.earliest > first)
                range.earliest = first;
            if (range.latest < last)
                range.latest = last;
            // The line at this zoom, made now rather than in the first frame.
            track->lod(projection.zoom());
            if (track->count() > 1)
                ship->setCurrentPoint(ship->positionAt(first));
        }
        if (scene && ship->scene() != scene) {
            scene->addItem(ship);
            added = true;
        }
    }
    // Boats placed again (after every live reply) find their layer there.
    if (added)
        TrackLayer::ensureIn(scene);
    return range;
}

std::optional<GeoPoint> showShipsAt(const QList<Ship *> &ships, int t)
{
    std::optional<GeoPoint> centre;
    for (Ship *ship : ships) {
        if (!ship->hasPositions() || ship->pointCount() <= 0)
            continue;
        if (TrackPoint *point = ship->positionAt(t)) {
            ship->setPositionKnown(true);
            ship->setShowTrack(true);
            ship->setCurrentPoint(point);
            ship->setCurrentTime(t);
            if (ship->follow())
                centre = point->position;
        } else if (ship->follow() && ship->currentPoint()) {
            centre = ship->currentPoint()->position;
        }
    }
    return centre;
}
