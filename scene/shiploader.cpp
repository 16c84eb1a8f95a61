#include "scene/shiploader.h"

#include "platform/paths.h"
#include "scene/ship.h"

#include <QGraphicsScene>
#include <QSqlError>
#include <QVariant>

namespace
{

// Boat 38 is stored by the service but never shown.
constexpr int hiddenBoatId = 38;

// The flags are stored as the words true/false; other tools write 1/0.
bool flagFromText(const QVariant &value)
{
    const QString text = value.toString().trimmed();
    return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           text == QLatin1String("1");
}

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
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral(
            "SELECT id, regatta_id, klasse, name, team, skipper, startnr, farbe, show, follow, "
            "lastget FROM ship WHERE regatta_id=:regatta_id ORDER BY klasse, startnr")))
        return ships;
    query.bindValue(QStringLiteral(":regatta_id"), eventId);
    if (!query.exec())
        return ships;
    if (!spriteStrip)
        spriteStrip = loadSpriteStrip();

    int rows = 0;
    while (query.next()) {
        ++rows;
        const int id = query.value(0).toInt();
        if (id == hiddenBoatId)
            continue;
        auto *ship = new Ship(id, QStringLiteral("Boot%1").arg(id), QString(), QString());
        ship->setRegattaId(query.value(1).toInt());
        ship->setKlasse(query.value(2).toString());
        ship->setName(query.value(3).toString());
        ship->setTeam(query.value(4).toString());
        ship->setSkipper(query.value(5).toString());
        ship->setStartnr(query.value(6).toString());
        ship->setNamedColour(query.value(7).toString());
        ship->setShown(flagFromText(query.value(8)));
        ship->setFollow(flagFromText(query.value(9)));
        ship->setLastget(query.value(10).toInt());
        ship->saveColour();
        ship->setHasPositions(false);
        ship->setCompleteTrack(false);
        ship->setSpriteStrip(spriteStrip);
        ships.append(ship);
    }
    if (rowsRead)
        *rowsRead = rows;
    return ships;
}

bool ShipLoader::loadTrack(Ship *ship)
{
    if (!ship)
        return false;
    if (!m_trackQueryReady) {
        m_trackQuery = std::make_unique<QSqlQuery>();
        m_trackQuery->setForwardOnly(true);
        ++m_prepareCount;
        m_trackQueryReady = m_trackQuery->prepare(
            QStringLiteral("SELECT lat, lng, tstamp FROM track WHERE ship_id=:ship_id AND "
                           "regatta_id=:regatta_id ORDER BY tstamp"));
        if (!m_trackQueryReady)
            return false;
    }
    QSqlQuery &query = *m_trackQuery;
    query.bindValue(QStringLiteral(":ship_id"), ship->id());
    query.bindValue(QStringLiteral(":regatta_id"), ship->regattaId());
    if (!query.exec())
        return false;
    Track *track = ship->rawTrack();
    int rows = 0;
    while (query.next()) {
        TrackPoint *point = track->addPoint(query.value(0).toDouble(), query.value(1).toDouble(),
                                            query.value(2).toInt(), 0.0, 0.0);
        // The table keeps no heading; Ship::positionAt derives it when needed.
        point->headingKnown = false;
        ++rows;
    }
    // Release the statement's read lock until the next boat.
    query.finish();
    if (rows == 0)
        return false;
    ship->setPointCount(rows);
    return true;
}

TimeRange placeShips(const QList<Ship *> &ships, const MapProjection &projection,
                     QGraphicsScene *scene)
{
    TimeRange range;
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
            track->projectSegments(projection);
            if (track->segmentCount() > 0)
                ship->setCurrentPoint(track->first());
        }
        if (scene && ship->scene() != scene)
            scene->addItem(ship);
    }
    return range;
}
