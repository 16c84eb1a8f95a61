#ifndef VELMARO_UI_REGATTA_H
#define VELMARO_UI_REGATTA_H

#include "store/race.h"
#include "tracking/trackingtypes.h"

#include <QList>
#include <QString>
#include <QVector>

#include <memory>

class GateItem;
class MainWindow;
class MapProjection;
class QPixmap;
class Ship;
class ShipLoader;
class TreeShipItem;

using RegattaEntry = Race;

// The races known to the program, newest start first; the caller owns the
// entries. A failing query gives an empty list.
QList<RegattaEntry *> loadRaceList();

// The current race: one instance for the whole run. It owns the boats and
// the gates of the selected race and rebuilds them on every race change.
class Regatta
{
public:
    // Registers itself with the window, loads the race list and the
    // preferences, fills the race menu and selects the start race.
    Regatta(MainWindow *window, int eventId, int taskId);
    ~Regatta();
    Regatta(const Regatta &) = delete;
    Regatta &operator=(const Regatta &) = delete;

    int id() const { return m_id; }
    int eventId() const { return m_eventId; }
    int taskId() const { return m_taskId; }
    QString name() const { return m_name; }
    qint64 start() const { return m_start; }
    qint64 end() const { return m_end; }
    bool isSelected() const { return m_selected; }
    const QList<RegattaEntry *> &races() const { return m_races; }
    const QList<GateItem *> &gates() const { return m_gates; }
    const QList<Ship *> &ships() const { return m_ships; }
    Ship *shipById(int id) const;

    // Race change: legend, gates, gate menu, boats, slider, fetching.
    void select(const RegattaEntry &entry);
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
    // Clears the first follow flag (memory only).
    void stopFollowing();
    void updateGeometry(const MapProjection &projection);

    // The boat operations the tracking client drives; boats by list place.
    Tracking::RaceInfo raceInfo() const;
    Tracking::BoatInfo boatInfo(int index) const;
    void clearShips();
    // Builds the race's boats from table ship and lists them in the legend;
    // the number of boats.
    int loadShips(int eventId);
    bool loadTrack(int index);
    void setLastget(int index, int lastget);
    void appendFixes(int index, const QVector<Tracking::Fix> &fixes, int lastget);
    // Prepares the boats for display, sets the slider range and shows the
    // newest moment; counts the transfer lamp down once.
    void placeShips();

private:
    void rebuildCourse();
    void follow(Ship *ship);
    void selectLegendRow(const Ship *ship);
    void storeFollow(const Ship *ship);

    MainWindow *m_window;
    int m_id = 0;
    int m_eventId = 0;
    int m_taskId = 0;
    QString m_name;
    qint64 m_start = 0;
    qint64 m_end = 0;
    bool m_completeTracks = false;
    bool m_selected = false;
    QList<RegattaEntry *> m_races;
    QList<GateItem *> m_gates;
    QList<Ship *> m_ships;
    std::unique_ptr<ShipLoader> m_loader;
};

#endif
