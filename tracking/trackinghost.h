#ifndef VELMARO_TRACKING_TRACKINGHOST_H
#define VELMARO_TRACKING_TRACKINGHOST_H

#include "tracking/trackingtypes.h"

#include <QString>
#include <QVector>

// What the tracking client needs from the main window and its current-race
// object: the race and its ship list, the ship operations of the race, the
// transfer lamp, the last-fetch label, the poll timer and the version notice.
// Boats are addressed by their place in the ship list, the index that the
// positions requests carry. The window implements it; tests use a recorder.
class TrackingHost
{
public:
    virtual ~TrackingHost() = default;

    // The selected race (valid false while none is).
    virtual Tracking::RaceInfo currentRace() const = 0;
    virtual int boatCount() const = 0;
    // 0 <= index < boatCount().
    virtual Tracking::BoatInfo boat(int index) const = 0;

    // Deletes every ship of the current race; the list is empty afterwards.
    virtual void clearShips() = 0;
    // Appends the race's ships from table ship (skipping id 38) with the
    // race's complete-track setting, fills the legend, returns the count.
    // The client always calls clearShips() first.
    virtual int loadShips(int eventId) = 0;
    // Reads the ship's stored fixes from table track; true when there were
    // any, and the ship then has positions.
    virtual bool loadTrack(int index) = 0;
    // The ship's since time for its next positions request (memory only).
    virtual void setLastget(int index, int lastget) = 0;
    // A positions reply for the ship has been committed: append the fixes (in
    // order) to its track, add their number to its point count, set its
    // lastget and mark it as having positions. fixes may be empty.
    virtual void appendFixes(int index, const QVector<Tracking::Fix> &fixes, int lastget) = 0;
    // Prepares the boats for display and moves the slider to the newest fix.
    // Leaves the lamp alone: the client counts it down once per reply.
    virtual void placeShips() = 0;

    // Transfer lamp: once per boat list or positions request sent, once when
    // its reply is handled (the probe and the version request leave it alone).
    virtual void setNetLedOn() = 0;
    virtual void setNetLedOff() = 0;
    // The value next to "Letzte Abfrage der Postionsdaten".
    virtual void setLastFetchText(const QString &text) = 0;

    // The window's automatic download flag (cleared for a finished race).
    virtual bool autoload() const = 0;
    // (Re)starts the poll timer with the load interval × 60000 ms.
    virtual void restartPollTimer() = 0;

    // The version reply named another version: show the notice
    // (Tracking::showNewVersionNotice()).
    virtual void newVersionIsAvailable() = 0;
};

#endif
