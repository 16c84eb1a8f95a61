#ifndef VELMARO_UI_REGATTA_H
#define VELMARO_UI_REGATTA_H

#include <QList>
#include <QString>

class GateItem;
class MainWindow;
class MapProjection;
class TreeShipItem;
class GeoPoint;

// One row of table regatta.
struct RegattaEntry {
    int id = 0;
    int eventId = 0;
    int taskId = 0;
    QString name;
    qint64 start = 0; // Unix seconds
    qint64 end = 0;
    bool showCompleteTracks = false;
};

// The races known to the program, newest start first; entries are owned by
// the caller. A failing query gives an empty list.
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
    const QList<RegattaEntry *> &races() const { return m_races; }
    const QList<GateItem *> &gates() const { return m_gates; }

    // Race change: legend, gates, gate menu, boats, slider, fetching.
    void select(const RegattaEntry &entry);

    // Places every boat at its position for the moment; the followed boat
    // becomes the map centre.
    void showMoment(int tstamp);
    void setCompleteTrack(bool on);
    void getData();

    void shipOnOff(TreeShipItem *item, bool on);
    void checkShip(TreeShipItem *item);
    void followAt(int x, int y);
    void stopFollowing();
    void updateGeometry(const MapProjection &projection);

    static QString gateName(const GateItem *gate);
    static GeoPoint gateCentre(const GateItem *gate);

private:
    MainWindow *m_window;
    int m_id = 0;
    int m_eventId = 0;
    int m_taskId = 0;
    QString m_name;
    qint64 m_start = 0;
    qint64 m_end = 0;
    QList<RegattaEntry *> m_races;
    QList<GateItem *> m_gates;
};

#endif
