#ifndef VELMARO_UI_RACEMENU_H
#define VELMARO_UI_RACEMENU_H

#include "store/race.h"
#include "ui/importflow.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;
class Regatta;
class TrackingClient;

namespace Tracking
{
class RaceListFetcher;
struct RaceListResult;
} // namespace Tracking

// The "&Regatten" menu: one entry per race of the list copy, and below a
// separator the actions that add a race by hand, fetch the race list from
// the tracking service, import one from GPX and NMEA files and remove a race
// added by the user.
class RaceMenu : public QObject
{
    Q_OBJECT
public:
    // The menu is filled here; dialogs open over dialogParent.
    RaceMenu(QMenu *menu, TrackingClient *tracking, QWidget *dialogParent);

    QMenu *menu() const { return m_menu; }
    void setRegatta(Regatta *regatta) { m_regatta = regatta; }

    const QVector<Race> &races() const { return m_races; }
    // The race entries (without the three actions), in list order.
    QList<QAction *> raceActions() const { return m_raceActions; }
    QAction *addRaceAction() const { return m_addRaceAction; }
    QAction *importRaceAction() const { return m_importRaceAction; }
    QAction *fetchRacesAction() const { return m_fetchRacesAction; }
    QAction *removeRaceAction() const { return m_removeRaceAction; }
    Tracking::RaceListFetcher *raceListFetcher() const { return m_raceListFetcher; }

    // The entry of the list copy for the race; null when there is none.
    const Race *find(int eventId, int taskId) const;
    // Replaces the list copy and the race entries; selects nothing.
    void setRaces(const QVector<Race> &races);
    // Checks the entry of the race with this row id, the shown one.
    void markCurrent(int id);
    // Drops the list copy and the entries.
    void clear();
    // Reads the race list again and selects the race with this row id (0:
    // keeps the current selection).
    void refresh(int selectId);
    // Asks for confirmation, then removes the user-added race with its boats
    // and fixes; true when it was removed.
    bool removeRaceWithId(int id);
    // Imports a race from the files (see ImportFlow::run) and selects it; the
    // stored race, id 0 when nothing was stored.
    Race importFiles(const QStringList &paths, const ImportFlow::DialogRunner &runDialog = {});
    // The complete-tracks choice for the current race: stored in the table
    // and the list copy, and shown.
    void setCompleteTracks(bool on);

public slots:
    // Stores the races of a fetched list that are not known yet and selects
    // the newest of them; the outcome goes to the status bar.
    void applyRaceList(const Tracking::RaceListResult &result);

signals:
    // A race of the list copy is to be shown.
    void raceChosen(const Race *race);
    // The race on screen was removed and no other is left.
    void shownRaceGone();
    // For the status bar; 0 ms: until the next message.
    void message(const QString &text, int timeoutMs);

private:
    void addRace();
    void fetchRaces();
    void removeRace();
    void select(int id);

    QMenu *m_menu;
    TrackingClient *m_tracking;
    QWidget *m_dialogParent;
    Regatta *m_regatta = nullptr;
    QVector<Race> m_races;
    QList<QAction *> m_raceActions;
    QActionGroup *m_raceGroup = nullptr;
    QAction *m_raceSeparator = nullptr;
    QAction *m_addRaceAction = nullptr;
    QAction *m_importRaceAction = nullptr;
    QAction *m_fetchRacesAction = nullptr;
    QAction *m_removeRaceAction = nullptr;
    Tracking::RaceListFetcher *m_raceListFetcher = nullptr;
};

#endif
