#ifndef VELMARO_SCENE_SHIPLOADER_H
#define VELMARO_SCENE_SHIPLOADER_H

#include "map/geo.h"
#include "store/boatstore.h"

#include <QList>
#include <QPixmap>

#include <memory>
#include <optional>

class MapProjection;
class QGraphicsScene;
class Ship;

// Makes the ships of a race from the boats and fixes the store holds. The
// track query is prepared once and reused for every boat; make a new loader
// after the connection was reopened.
class ShipLoader
{
public:
    ShipLoader();
    ~ShipLoader();
    ShipLoader(const ShipLoader &) = delete;
    ShipLoader &operator=(const ShipLoader &) = delete;

    // The sprite strip from the assets ("sprites/shipstrip.png"); a null
    // pixmap when the file is missing (ships then draw a dot).
    static std::shared_ptr<const QPixmap> loadSpriteStrip();

    // New ships of the race, ordered by klasse then startnr, without boat 38,
    // all sharing one sprite strip (loaded here when none is given). The
    // caller owns the ships. Empty when the query fails or gives no row;
    // `rowsRead` tells that apart from a race whose rows were all skipped.
    QList<Ship *> loadShips(int eventId, std::shared_ptr<const QPixmap> spriteStrip = nullptr,
                            int *rowsRead = nullptr);

    // Appends the stored fixes of the ship, in time order, to its raw track
    // and sets its point count; false when there are none (the caller then
    // requests them). The table holds no heading: each fix gets the bearing
    // it was reached on. Leaves hasPositions to the caller.
    bool loadTrack(Ship *ship);

    // How often the track query was prepared (once per loader).
    int trackQueryPrepareCount() const { return m_tracks.prepareCount(); }

private:
    TrackReader m_tracks;
    QVector<FixRow> m_fixes; // reused from boat to boat
};

// Moment range of the placed ships' display tracks; both 0 when no ship has
// fixes.
struct TimeRange {
    int earliest = 0;
    int latest = 0;
};

// Prepares every ship that has positions for display: chooses (and, when
// pending, simplifies) its display track, colours the tracks, projects the
// segments, starts it at its first fix and adds it to the scene when missing.
// Setting the slider from the returned range is the caller's work.
TimeRange placeShips(const QList<Ship *> &ships, const MapProjection &projection,
                     QGraphicsScene *scene);

// Puts every ship that has positions at moment t, as the time slider does;
// the followed ship's position (its last known one when t has none), which
// the map centres on.
std::optional<GeoPoint> showShipsAt(const QList<Ship *> &ships, int t);

// Tolerance used for pending simplifications, in degrees.
inline constexpr double defaultSimplifyTolerance = 0.0005;

#endif
