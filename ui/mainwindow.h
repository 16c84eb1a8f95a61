#ifndef VELMARO_UI_MAINWINDOW_H
#define VELMARO_UI_MAINWINDOW_H

#include "map/maphost.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>

class IconSelector;
class LeaderboardPanel;
class QComboBox;
class ReplayClock;
class Karte;
class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QSplitter;
class QSqlQuery;
class QTabWidget;
class QTimer;
class Regatta;
class Scheme;
class TrackingClient;
class TreeShipItem;
struct RegattaEntry;
class GateItem;
namespace Tracking {
class RaceListFetcher;
struct RaceListResult;
}

// The single top-level window: map view and side panel (legend, settings)
// in a splitter, the bottom bar with clock, play button, time slider and
// fetch button, the menus and the status bar. It receives every user action
// and is the map view's host.
class MainWindow : public QMainWindow, public MapHost
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Parts others reach.
    IconSelector *legend() const { return m_legend; }
    Scheme *scene() const { return m_scene; }
    Karte *karte() const { return m_karte; }
    QSlider *timeSlider() const { return m_slider; }
    QPushButton *playButton() const { return m_playButton; }
    QPushButton *fetchButton() const { return m_fetchButton; }
    QLabel *clockLabel() const { return m_clockLabel; }
    QLabel *lastFetchLabel() const { return m_lastFetchLabel; }
    QCheckBox *tileBox() const { return m_tileBox; }
    QCheckBox *autoloadBox() const { return m_autoloadBox; }
    QCheckBox *updateBox() const { return m_updateBox; }
    QCheckBox *completeTracksBox() const { return m_completeTracksBox; }
    QSplitter *splitter() const { return m_splitter; }
    QTabWidget *sidePanel() const { return m_sidePanel; }
    QTimer *animationTimer() const { return m_animationTimer; }
    QTimer *pollTimer() const { return m_pollTimer; }
    QMenu *raceMenu() const { return m_raceMenu; }
    QMenu *gateMenu() const { return m_gateMenu; }
    QAction *captureAction() const { return m_captureAction; }
    QAction *gpxExportAction() const { return m_gpxExportAction; }
    // Race time per animation tick, next to the play button.
    QComboBox *speedBox() const { return m_speedBox; }
    ReplayClock *replayClock() const { return m_replayClock.get(); }
    // Seconds per tick, ReplayClock::live for real time.
    int replaySpeed() const;
    LeaderboardPanel *leaderboard() const { return m_leaderboard; }

    // Asks for the file to export to; empty means cancelled. Tests replace
    // it; an empty function restores QFileDialog::getSaveFileName.
    using SaveFileChooser = std::function<QString(QWidget *parent, const QString &caption,
                                                  const QString &suggested, const QString &filter)>;
    static void setSaveFileChooser(SaveFileChooser chooser);

    TrackingClient *tracking() const { return m_tracking; }
    Regatta *regatta() const { return m_regatta; }
    void setRegatta(Regatta *regatta) { m_regatta = regatta; }
    // The race object is going: drop every reference to its races, gates and
    // boats (menus, legend rows, the map view's gates).
    void detachRegatta(const Regatta *regatta);

    int pollInterval() const { return m_pollInterval; }
    void setPollInterval(int minutes) { m_pollInterval = minutes; }
    int pollIntervalMs() const { return m_pollInterval * 60000; }

    bool loadMaps() const { return m_loadMaps; }
    bool autoload() const { return m_autoload; }
    void setAutoload(bool on) { m_autoload = on; }
    bool showCompleteTracks() const { return m_showCompleteTracks; }
    bool lookForUpdate() const { return m_lookForUpdate; }
    bool isCapturing() const { return m_capture; }
    bool isPanelOpen() const { return m_panelOpen; }
    int pendingRequests() const { return m_pendingRequests; }
    bool isLoading() const;
    void setLoading(bool loading);

    // Time slider set-up: range in Unix seconds, page step 120, step 1.
    void setSliderRange(int minimum, int maximum);
    void setSliderValue(int value);
    // Stops a running animation; nothing when it is stopped.
    void stopAnimation();

    // Reads table prefs into the flags and boxes (once, after the window is shown).
    void loadPreferences();
    // The complete-tracks box and flag of a newly selected race (not stored).
    void setCompleteTracksState(bool on);
    // Fetch button and autoload box for a finished or a running race.
    void setRaceFinished(bool finished);

    void fillRaceMenu(const QList<RegattaEntry *> &races, int eventId, int taskId);
    void fillGateMenu(const QList<GateItem *> &gates);
    QList<RegattaEntry *> raceListCopy() const { return m_races; }

    // Races added and removed at run time. The race entries of "&Regatten"
    // (without the three actions that manage them), in list order.
    QList<QAction *> raceActions() const { return m_raceActions; }
    QAction *addRaceAction() const { return m_addRaceAction; }
    QAction *fetchRacesAction() const { return m_fetchRacesAction; }
    QAction *removeRaceAction() const { return m_removeRaceAction; }
    Tracking::RaceListFetcher *raceListFetcher() const { return m_raceListFetcher; }
    // Replaces the race-list copy and the race entries of the menu; selects nothing.
    void setRaceMenu(const QList<RegattaEntry *> &races);
    // Race change to an entry of the copy: stops the animation, selects it,
    // sets the complete-tracks box and the title.
    void selectRaceEntry(const RegattaEntry *entry);
    // Reads the race list again and selects the race with this row id (0:
    // keeps the current selection).
    void refreshRaces(int selectId);
    // Stores the races of a fetched list that are not known yet and selects
    // the newest of them; the outcome goes to the status bar.
    void applyRaceList(const Tracking::RaceListResult &result);
    // Asks for confirmation, then removes the user-added race with its boats
    // and fixes; true when it was removed.
    bool removeRaceWithId(int id);
    QList<GateItem *> gateListCopy() const { return m_gates; }

    // Where frames go: "movie" below the working directory.
    static QString movieFolder();
    static QString frameFileName(int tstamp);

    // The splitter sizes that toggleLegende applies for a window width.
    static QList<int> panelSizes(bool open, int windowWidth);

    // MapHost
    bool isAnimating() const override { return m_animating; }
    void mapClicked(int x, int y) override;
    void stopFollowing() override;
    void updateShipGeometry(const MapProjection &projection) override;
    bool loadMapsEnabled() const override { return m_loadMaps; }

public slots:
    void setXYStatus(int x, int y, qreal lat, qreal lng, int zoom) override;
    void setZoomStatus(int zoom) override;
    void chooseRace();
    void chooseGate();
    void setUhrzeit(int tstamp);
    void captureOnOff();
    void animOnOff();
    void advanceFrame() override;
    void toggleLegende();
    void checkship(TreeShipItem *item);
    void shiponoff(TreeShipItem *item, bool on);
    void getData();
    void setNetLedOn() override;
    void setNetLedOff() override;
    void setReplaySpeed(int secondsPerTick);
    // Writes the tracks of the shown boats of the race as GPX.
    void exportGpx();
    // A leaderboard row was clicked: as a click on the boat's legend row.
    void followFromLeaderboard(int shipId);

private slots:
    void load();
    void quit();
    void about();
    void aboutOsm();
    void checkForUpdates();
    void toggleLoadMaps();
    void toggleAutoLoad();
    void toggleShowCompleteTracks();
    void toggleLookForUpdate();
    void addRace();
    void fetchRaces();
    void removeRace();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildStatusBar();
    void buildMenus();
    void writeFrame(int tstamp);
    void showLampIdle();
    void showLampLoading();
    void focusMap();
    void buildRaceActions();
    void clearRaceActions();

    QList<RegattaEntry *> m_races;
    QList<GateItem *> m_gates;
    Regatta *m_regatta = nullptr;

    QWidget *m_central = nullptr;
    QWidget *m_settingsPage = nullptr;
    QCheckBox *m_completeTracksBox = nullptr;
    QSplitter *m_splitter = nullptr;
    IconSelector *m_legend = nullptr;
    QTabWidget *m_sidePanel = nullptr;
    QSlider *m_slider = nullptr;
    QPushButton *m_playButton = nullptr;
    QLabel *m_spareLabel = nullptr;
    QPushButton *m_fetchButton = nullptr;
    int m_pollInterval = 5;
    QCheckBox *m_tileBox = nullptr;
    QCheckBox *m_autoloadBox = nullptr;
    QCheckBox *m_updateBox = nullptr;
    QLabel *m_lastFetchLabel = nullptr;
    QIcon m_playIcon;
    QIcon m_pauseIcon;
    QIcon m_loadIcon;
    QIcon m_loadAutoIcon;
    QIcon m_idleIcon;
    QIcon m_idleAutoIcon;
    QLabel *m_clockLabel = nullptr;
    QMenu *m_raceMenu = nullptr;
    QMenu *m_gateMenu = nullptr;
    QAction *m_captureAction = nullptr;
    QAction *m_gpxExportAction = nullptr;
    QComboBox *m_speedBox = nullptr;
    std::unique_ptr<ReplayClock> m_replayClock;
    LeaderboardPanel *m_leaderboard = nullptr;
    QTimer *m_animationTimer = nullptr;
    QTimer *m_pollTimer = nullptr;
    bool m_capture = false;
    bool m_animating = false;
    bool m_panelOpen = false;
    bool m_frameErrorShown = false;
    Scheme *m_scene = nullptr;
    Karte *m_karte = nullptr;
    QLabel *m_attributionLabel = nullptr;
    QLabel *m_latLabel = nullptr;
    QLabel *m_lngLabel = nullptr;
    QLabel *m_zoomLabel = nullptr;
    TrackingClient *m_tracking = nullptr;
    int m_pendingRequests = 0;
    bool m_loadMaps = false;
    bool m_autoload = false;
    bool m_showCompleteTracks = false;
    bool m_lookForUpdate = true;

    QList<QAction *> m_raceActions;
    QAction *m_addRaceAction = nullptr;
    QAction *m_fetchRacesAction = nullptr;
    QAction *m_removeRaceAction = nullptr;
    QAction *m_raceSeparator = nullptr;
    Tracking::RaceListFetcher *m_raceListFetcher = nullptr;
};

#endif
