#ifndef VELMARO_UI_MAINWINDOW_H
#define VELMARO_UI_MAINWINDOW_H

#include "map/karte.h"
#include "tracking/trackingclient.h"
#include "ui/cursorstatus.h"
#include "ui/framerecorder.h"
#include "ui/gatemenu.h"
#include "ui/gpxexportflow.h"
#include "ui/panelsplitter.h"
#include "ui/racemenu.h"
#include "ui/replaycontroller.h"
#include "ui/settingspage.h"
#include "ui/transferlamp.h"
#include "ui/videoexportflow.h"

#include <QAction>
#include <QList>
#include <QMainWindow>
#include <QStatusBar>
#include <QString>

#include <functional>
#include <memory>

class FixAgeLabel;
class GraphPanel;
class IconSelector;
class LeaderboardPanel;
class RatingFlow;
class ManoeuvrePanel;
class MomentPanel;
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
class QTabWidget;
class QTimer;
class Regatta;
class Scheme;
class TrackingClient;
class TreeShipItem;
struct Race;
class GateItem;
namespace Tracking
{
class RaceListFetcher;
struct RaceListResult;
} // namespace Tracking

// The single top-level window: map view and side panel (legend, settings)
// in a splitter, the bottom bar with clock, play button, time slider and
// fetch button, the menus and the status bar. It lays the parts out and
// wires them to each other and to the current race.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Parts others reach.
    IconSelector *legend() const { return m_legend; }
    Scheme *scene() const { return m_scene; }
    Karte *karte() const { return m_karte; }
    ReplayController *replay() const { return m_replay; }
    SettingsPage *settingsPage() const { return m_settings; }
    RaceMenu *races() const { return m_races; }
    TransferLamp *lamp() const { return m_lamp; }
    FrameRecorder *recorder() const { return m_recorder; }
    QSlider *timeSlider() const { return m_replay->slider(); }
    QPushButton *playButton() const { return m_replay->playButton(); }
    QPushButton *fetchButton() const { return m_fetchButton; }
    QLabel *clockLabel() const { return m_replay->clockLabel(); }
    QLabel *lastFetchLabel() const { return m_lastFetchLabel; }
    // In the status bar while a live race is shown: the age of its newest fix.
    FixAgeLabel *fixAgeLabel() const { return m_fixAge; }
    QCheckBox *tileBox() const { return m_settings->tileBox(); }
    QCheckBox *autoloadBox() const { return m_settings->autoloadBox(); }
    QCheckBox *updateBox() const { return m_settings->updateBox(); }
    QCheckBox *completeTracksBox() const { return m_settings->completeTracksBox(); }
    QSplitter *splitter() const { return m_splitter; }
    QTabWidget *sidePanel() const { return m_sidePanel; }
    QTimer *animationTimer() const { return m_replay->timer(); }
    QTimer *pollTimer() const { return m_pollTimer; }
    QMenu *raceMenu() const { return m_races->menu(); }
    QMenu *gateMenu() const { return m_gates->menu(); }
    QAction *captureAction() const { return m_captureAction; }
    QAction *gpxExportAction() const { return m_gpxExportAction; }
    QAction *videoExportAction() const { return m_videoExportAction; }
    QAction *showFleetAction() const { return m_showFleetAction; }
    // Race time per animation tick, next to the play button.
    QComboBox *speedBox() const { return m_replay->speedBox(); }
    ReplayClock *replayClock() const { return m_replay->clock(); }
    // Seconds per tick, ReplayClock::live for real time.
    int replaySpeed() const { return m_replay->speed(); }
    LeaderboardPanel *leaderboard() const { return m_leaderboard; }
    RatingFlow *ratingFlow() const { return m_ratingFlow; }
    QAction *ratingImportAction() const { return m_ratingImportAction; }
    ManoeuvrePanel *manoeuvres() const { return m_manoeuvres; }
    MomentPanel *moments() const { return m_moments; }
    GraphPanel *graphs() const { return m_graphs; }
    QAction *nextManoeuvreAction() const { return m_nextManoeuvre; }
    QAction *previousManoeuvreAction() const { return m_previousManoeuvre; }

    using SaveFileChooser = GpxExportFlow::SaveFileChooser;
    static void setSaveFileChooser(SaveFileChooser chooser)
    {
        GpxExportFlow::setSaveFileChooser(std::move(chooser));
    }

    TrackingClient *tracking() const { return m_tracking; }
    Regatta *regatta() const { return m_regatta; }
    void setRegatta(Regatta *regatta)
    {
        m_regatta = regatta;
        m_races->setRegatta(regatta);
    }
    // The race object is going: drop every reference to its races, gates and
    // boats (menus, legend rows, the map view's gates).
    void detachRegatta(const Regatta *regatta);

    int pollInterval() const { return m_settings->pollInterval(); }
    void setPollInterval(int minutes) { m_settings->setPollInterval(minutes); }
    // Every second when following a running race live, else the stored minutes.
    int pollIntervalMs() const
    {
        return m_settings->liveEverySecond() ? 1000 : pollInterval() * 60000;
    }

    bool loadMaps() const { return m_settings->loadMaps(); }
    bool autoload() const { return m_settings->autoload(); }
    void setAutoload(bool on) { m_settings->setAutoload(on); }
    bool showCompleteTracks() const { return m_settings->showCompleteTracks(); }
    bool lookForUpdate() const { return m_settings->lookForUpdate(); }
    bool isCapturing() const { return m_recorder->isOn(); }
    bool isPanelOpen() const { return m_splitter->isOpen(); }
    bool isAnimating() const { return m_replay->isAnimating(); }
    int pendingRequests() const { return m_lamp->pending(); }
    bool isLoading() const { return m_tracking->isLoading(); }
    void setLoading(bool loading) { m_tracking->setLoading(loading); }

    // Time slider set-up: range in Unix seconds, page step 120, step 1.
    void setSliderRange(int minimum, int maximum) { m_replay->setRange(minimum, maximum); }
    void setSliderValue(int value) { m_replay->setValue(value); }
    // Stops a running animation; nothing when it is stopped.
    void stopAnimation() { m_replay->stop(); }

    // Reads table prefs into the flags and boxes (once, after the window is shown).
    void loadPreferences();
    // The complete-tracks box and flag of a newly selected race (not stored).
    void setCompleteTracksState(bool on) { m_settings->setCompleteTracksState(on); }
    // Fetch button and autoload box for a finished or a running race.
    void setRaceFinished(bool finished);

    void fillRaceMenu(const QVector<Race> &races, int eventId, int taskId);
    void fillGateMenu(const QList<GateItem *> &gates);
    QVector<Race> raceListCopy() const { return m_races->races(); }

    // Races added and removed at run time. The race entries of "&Regatten"
    // (without the three actions that manage them), in list order.
    QList<QAction *> raceActions() const { return m_races->raceActions(); }
    QAction *addRaceAction() const { return m_races->addRaceAction(); }
    QAction *fetchRacesAction() const { return m_races->fetchRacesAction(); }
    QAction *removeRaceAction() const { return m_races->removeRaceAction(); }
    Tracking::RaceListFetcher *raceListFetcher() const { return m_races->raceListFetcher(); }
    // Replaces the race-list copy and the race entries of the menu; selects nothing.
    void setRaceMenu(const QVector<Race> &races) { m_races->setRaces(races); }
    // Race change to an entry of the copy: stops the animation, selects it,
    // sets the complete-tracks box and the title.
    void selectRaceEntry(const Race *race);
    void refreshRaces(int selectId) { m_races->refresh(selectId); }
    bool removeRaceWithId(int id) { return m_races->removeRaceWithId(id); }
    QList<GateItem *> gateListCopy() const { return m_gates->gates(); }

    // Where frames go: "movie" below the working directory.
    static QString movieFolder() { return FrameRecorder::movieFolder(); }
    static QString frameFileName(int tstamp) { return FrameRecorder::frameFileName(tstamp); }

    // The splitter sizes that toggleLegende applies for a window width.
    static QList<int> panelSizes(bool open, int windowWidth)
    {
        return PanelSplitter::sizesFor(open, windowWidth);
    }

public slots:
    void setXYStatus(int x, int y, qreal lat, qreal lng, int zoom)
    {
        m_cursorStatus->showCursor(x, y, lat, lng, zoom);
    }
    void setZoomStatus(int zoom) { m_cursorStatus->showZoom(zoom); }
    void setUhrzeit(int tstamp);
    void captureOnOff()
    {
        m_recorder->toggle();
        m_captureAction->setChecked(m_recorder->isOn());
    }
    void animOnOff()
    {
        m_replay->toggle();
        focusMap();
    }
    void advanceFrame() { m_replay->advance(); }
    void toggleLegende()
    {
        m_splitter->toggle(width());
        focusMap();
    }
    void checkship(TreeShipItem *item);
    void shiponoff(TreeShipItem *item, bool on);
    void getData();
    void setNetLedOn();
    void setNetLedOff();
    void setReplaySpeed(int secondsPerTick)
    {
        m_replay->setSpeed(secondsPerTick);
        focusMap();
    }
    // Writes the tracks of the shown boats of the race as GPX.
    void exportGpx();
    // The replay between two moments as an MP4, from the view as it is.
    void exportVideo();
    // A leaderboard row was clicked: as a click on the boat's legend row.
    void followFromLeaderboard(int shipId);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void wireParts();
    void focusMap() { m_karte->setFocus(); }
    void toggleAutoLoad(bool on);
    void showStatus(const QString &text, int timeoutMs)
    {
        statusBar()->showMessage(text, timeoutMs);
    }
    // Program name, version and the race shown.
    void showTitle(const QString &raceName);

    Regatta *m_regatta = nullptr;

    PanelSplitter *m_splitter = nullptr;
    IconSelector *m_legend = nullptr;
    SettingsPage *m_settings = nullptr;
    QTabWidget *m_sidePanel = nullptr;
    ReplayController *m_replay = nullptr;
    QPushButton *m_fetchButton = nullptr;
    TransferLamp *m_lamp = nullptr;
    QLabel *m_lastFetchLabel = nullptr;
    RaceMenu *m_races = nullptr;
    GateMenu *m_gates = nullptr;
    QAction *m_captureAction = nullptr;
    QAction *m_gpxExportAction = nullptr;
    QAction *m_videoExportAction = nullptr;
    QAction *m_showFleetAction = nullptr;
    FrameRecorder *m_recorder = nullptr;
    GpxExportFlow *m_gpxExport = nullptr;
    VideoExportFlow *m_videoExport = nullptr;
    RatingFlow *m_ratingFlow = nullptr;
    QAction *m_ratingImportAction = nullptr;
    LeaderboardPanel *m_leaderboard = nullptr;
    ManoeuvrePanel *m_manoeuvres = nullptr;
    MomentPanel *m_moments = nullptr;
    GraphPanel *m_graphs = nullptr;
    QAction *m_nextManoeuvre = nullptr;
    QAction *m_previousManoeuvre = nullptr;
    QTimer *m_pollTimer = nullptr;
    Scheme *m_scene = nullptr;
    Karte *m_karte = nullptr;
    CursorStatus *m_cursorStatus = nullptr;
    FixAgeLabel *m_fixAge = nullptr;
    TrackingClient *m_tracking = nullptr;
    QString m_progressText; // the load progress line last shown
};

#endif
