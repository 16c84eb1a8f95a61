#ifndef VELMARO_UI_REGATTA_H
#define VELMARO_UI_REGATTA_H

#include "scene/leaderboard.h"
#include "scene/raceanalysis.h"
#include "store/moment.h"
#include "store/race.h"
#include "tracking/trackingtypes.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

#include <memory>

class AnalysisOverlay;
class GateItem;
class MainWindow;
class MapProjection;
class QPixmap;
class Ship;
class ShipLoader;
class TrackingClient;
class TreeShipItem;

// The current race: one instance for the whole run. It owns the boats and
// the gates of the selected race and rebuilds them on every race change, and
// it answers the window's tracking client: it sets the race and the boats
// the client reads and applies what the client stored.
class Regatta : public QObject
{
    Q_OBJECT
public:
    // Registers itself with the window and its tracking client, loads the
    // race list and the preferences, fills the race menu and selects the
    // start race.
    Regatta(MainWindow *window, int eventId, int taskId);
    ~Regatta() override;

    int id() const { return m_id; }
    int eventId() const { return m_eventId; }
    int taskId() const { return m_taskId; }
    QString name() const { return m_name; }
    qint64 start() const { return m_start; }
    qint64 end() const { return m_end; }
    bool isSelected() const { return m_selected; }
    const QVector<Race> &races() const { return m_races; }
    const QList<GateItem *> &gates() const { return m_gates; }
    const QList<Ship *> &ships() const { return m_ships; }
    Ship *shipById(int id) const;

    // Race change: legend, gates, gate menu, boats, slider, fetching.
    void select(const Race &race);
    // Reads the race list again after races were added or removed and
    // refills the window's race menu; the selection stays as it is.
    void reloadRaces();

    // Places every boat at its position for the moment; the followed boat
    // becomes the map centre.
    void showMoment(int tstamp);
    void setCompleteTrack(bool on);

    // Legend check box, legend click and map click (view pixels).
    void shipOnOff(TreeShipItem *item, bool on);
    void checkShip(TreeShipItem *item);
    void followAt(int x, int y);
    // Clears the follow flag (memory only) and the legend's selection.
    void stopFollowing();
    void updateGeometry(const MapProjection &projection);
    // Centres and zooms the map so that every shown, placed boat is in view;
    // false when no boat is placed.
    bool showFleet();
    // Sail numbers beside the speeds of every boat, now and after a load.
    void setSailNumberLabels(bool on);
    // What the map tells about the boat at view pixel (x, y); empty off a boat.
    QString boatInfoAt(int x, int y) const;
    // Tacks, gybes and wind for moment t onto the map and into the
    // "Manöver" tab; a big race only while the tab is shown.
    void refreshAnalysis(int t);
    // Moves the slider to the followed boat's next (step 1) or previous
    // (step -1) tack or gybe; false when there is none.
    bool stepManoeuvre(int step);
    const RaceAnalysis &analysis() const { return m_analysis; }
    AnalysisOverlay *overlay() const { return m_overlay.get(); }
    // The shown moment: slider time, followed boat, map centre and zoom.
    Moment currentMoment() const;
    // Back to a moment of this race: the slider to its time (within the
    // race), its boat followed (none when it names no boat of the race), the
    // map at its centre and zoom.
    void restoreMoment(const Moment &moment);
    // The largest time stamp of any boat's fixes; 0 without fixes.
    int newestFix() const;
    // Whether any shown, placed boat is inside the map view.
    bool fleetInView() const;

    // What the tracking client reads; boats by list place.
    Tracking::RaceInfo raceInfo() const;
    QVector<Tracking::BoatInfo> boatInfos() const;
    // Deletes every boat; the legend rows go with them.
    void clearShips();
    // Builds the race's boats from table ship and lists them in the legend;
    // the number of boats.
    int loadShips(int eventId);
    // Prepares the boats for display, sets the slider range and shows the
    // newest moment. Leaves the lamp alone: each reply counts it down.
    void placeShips();

signals:
    // The boats are gone; a new load may reuse their ids and track addresses.
    void shipsCleared();

private:
    // The stored fixes of every boat; true when any boat had some.
    bool loadStoredTracks();
    // The client stored the boat list of this race: the boats again from the store.
    void reloadShips(int eventId);
    void setLastget(int index, int lastget);
    void appendFixes(int index, const QVector<Tracking::Fix> &fixes, int lastget);

    void rebuildCourse();
    void follow(Ship *ship);
    void selectLegendRow(const Ship *ship);
    void storeFollow(const Ship *ship);
    void showLastReport(const Ship *ship);
    // After a race change, until its load is over: the fleet is brought into
    // view when none of it is.
    void keepFleetInView();
    Ship *followedShip() const;
    QVector<QPair<GeoPoint, GeoPoint>> laylines(const Ship *ship, const RaceAnalysis::Wind &wind);
    // The shown, placed boat within 10 pixels of view pixel (x, y), or null.
    Ship *shipAt(int x, int y) const;

    MainWindow *m_window;
    QPointer<TrackingClient> m_tracking;
    int m_id = 0;
    int m_eventId = 0;
    int m_taskId = 0;
    QString m_name;
    qint64 m_start = 0;
    qint64 m_end = 0;
    bool m_completeTracks = false;
    bool m_selected = false;
    bool m_fitPending = false;
    bool m_sailNumberLabels = false;
    QVector<Race> m_races;
    QList<GateItem *> m_gates;
    QList<Ship *> m_ships;
    std::unique_ptr<ShipLoader> m_loader;
    RaceAnalysis m_analysis;
    // The gates each boat passed over its whole track, for the legs of its
    // manoeuvres; worked out again with each new analysis.
    Leaderboard m_legs;
    int m_legsGeneration = -1;
    std::unique_ptr<AnalysisOverlay> m_overlay;
};

#endif
