#include "ui/mainwindow.h"

#include "map/scheme.h"
#include "map/tileloader.h"
#include "platform/config.h"
#include "platform/identity.h"
#include "platform/paths.h"
#include "platform/seams.h"
#include "scene/ship.h"
#include "tracking/versionnotice.h"
#include "ui/fixagelabel.h"
#include "ui/graphpanel.h"
#include "ui/iconselector.h"
#include "ui/leaderboardpanel.h"
#include "ui/manoeuvrepanel.h"
#include "ui/momentpanel.h"
#include "ui/ratingflow.h"
#include "ui/regatta.h"
#include "ui/treeshipitem.h"
#include "ui/treeviewmodel.h"
#include "update/vuupdater.h"
#include "update/vuupdatewindow.h" // vuupdater.h needs it complete

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    m_tracking = new TrackingClient(this);
    setWindowIcon(QIcon(QPixmap(Paths::asset(QStringLiteral("img/velmaro.png")), "png")));
    m_scene = new Scheme(this);
    m_scene->setSceneRect(0, 0, 1000, 1000);
    m_karte = new Karte(m_scene, this);
    m_karte->centerOn(0, 0);
    m_karte->setCenterGeo(42.986766, 16.0203);
    m_karte->setZoomLevel(10);

    m_settings = new SettingsPage;
    m_lastFetchLabel = m_settings->lastFetchLabel();
    m_legend = new IconSelector(this);
    m_sidePanel = new QTabWidget;
    m_sidePanel->addTab(m_legend, tr("Teilnehmer"));
    m_sidePanel->addTab(m_settings, tr("Einstellungen"));
    m_leaderboard = new LeaderboardPanel;
    m_leaderboard->setShipSource(
        [this] { return m_regatta ? m_regatta->ships() : QList<Ship *>(); });
    m_leaderboard->setWindSource([this](int t) {
        const RaceAnalysis::Wind wind =
            m_regatta ? m_regatta->analysis().windAt(t) : RaceAnalysis::Wind();
        return wind.valid ? wind.from : LeaderboardRow::none;
    });
    m_sidePanel->addTab(m_leaderboard, tr("Rangliste"));
    m_manoeuvres = new ManoeuvrePanel;
    m_sidePanel->addTab(m_manoeuvres, tr("Manöver"));
    m_graphs = new GraphPanel;
    m_graphs->setShipSource([this] { return m_regatta ? m_regatta->ships() : QList<Ship *>(); });
    m_graphs->setWindSource(
        [this](int t) -> std::optional<double> {
            if (!m_regatta)
                return std::nullopt;
            const RaceAnalysis::Wind wind = m_regatta->analysis().windAt(t);
            return wind.valid ? std::optional<double>(wind.from) : std::nullopt;
        },
        [this] { return m_regatta ? m_regatta->analysis().generation() : 0; });
    m_sidePanel->addTab(m_graphs, tr("Diagramme"));
    m_moments = new MomentPanel;
    m_moments->setMomentSource(
        [this] { return m_regatta ? m_regatta->currentMoment() : Moment(); });
    m_sidePanel->addTab(m_moments, tr("Momente"));

    m_splitter = new PanelSplitter(m_karte, m_sidePanel);
    auto *mainLayout = new QVBoxLayout;
    mainLayout->addWidget(m_splitter);

    m_replay = new ReplayController(this);
    m_lamp = new TransferLamp(m_replay->playButton()->iconSize(), this);
    m_fetchButton = m_lamp->button();
    auto *bottomBar = new QHBoxLayout;
    bottomBar->addWidget(m_replay->clockLabel());
    bottomBar->addWidget(m_replay->playButton());
    bottomBar->addWidget(m_replay->speedLabel());
    bottomBar->addWidget(m_replay->speedBox());
    bottomBar->addWidget(m_replay->slider());
    bottomBar->addWidget(new QLabel);
    bottomBar->addWidget(m_fetchButton);
    mainLayout->addLayout(bottomBar);

    auto *central = new QWidget;
    central->setLayout(mainLayout);
    setCentralWidget(central);

    m_recorder = new FrameRecorder(m_karte, this);
    m_gpxExport = new GpxExportFlow(this);
    m_videoExport = new VideoExportFlow(this);
    m_ratingFlow = new RatingFlow(this);
    m_pollTimer = new QTimer(this);
    m_fixAge = new FixAgeLabel;
    statusBar()->addPermanentWidget(m_fixAge);
    m_fixAge->setSource([this] {
        return m_regatta && m_regatta->isSelected()
                   ? FixAgeLabel::Race{true, m_regatta->start(), m_regatta->end(),
                                       m_regatta->newestFix()}
                   : FixAgeLabel::Race();
    });
    m_cursorStatus = new CursorStatus(statusBar());
    buildMenus();
    wireParts();
    m_legend->connectToMainWindow(this);
}

MainWindow::~MainWindow() = default;

void MainWindow::wireParts()
{
    connect(m_karte, &Karte::cursorMoved, m_cursorStatus, &CursorStatus::showCursor);
    connect(m_karte, &Karte::zoomChanged, m_cursorStatus, &CursorStatus::showZoom);
    connect(m_karte, &Karte::stepRequested, this, &MainWindow::advanceFrame);
    connect(m_karte, &Karte::clicked, this, [this](int x, int y) {
        if (m_regatta)
            m_regatta->followAt(x, y);
        m_graphs->showMoment(m_replay->value(), m_replay->isAnimating());
    });
    connect(m_karte, &Karte::dragged, this, [this] {
        if (m_regatta)
            m_regatta->stopFollowing();
    });
    connect(m_karte, &Karte::projectionChanged, this, [this](const MapProjection &projection) {
        if (m_regatta)
            m_regatta->updateGeometry(projection);
    });
    TileLoader *tiles = m_karte->tileLoader();
    connect(tiles, &TileLoader::transferStarted, m_lamp, &TransferLamp::start);
    connect(tiles, &TileLoader::transferFinished, m_lamp, &TransferLamp::finish);
    TileLoader *seamarks = m_karte->seamarkLoader();
    connect(seamarks, &TileLoader::transferStarted, m_lamp, &TransferLamp::start);
    connect(seamarks, &TileLoader::transferFinished, m_lamp, &TransferLamp::finish);
    m_karte->setTileCacheLimit(qint64(SettingsPage::tileCacheMB()) << 20);
    m_karte->setSeamarksShown(SettingsPage::seamarksShown());
    connect(m_settings, &SettingsPage::tileCacheLimitChanged, this,
            [this](int mb) { m_karte->setTileCacheLimit(qint64(mb) << 20); });
    connect(m_settings, &SettingsPage::seamarksToggled, this, [this](bool on) {
        m_karte->setSeamarksShown(on);
        focusMap();
    });
    connect(m_settings, &SettingsPage::clearTileCacheRequested, this, [this] {
        m_karte->clearTileCache();
        focusMap();
    });
    connect(m_lamp, &TransferLamp::busyChanged, this, [this](bool busy) {
        if (!busy)
            m_tracking->setLoading(false);
    });

    // What the tracking client tells the window; the race takes its own part.
    connect(m_tracking, &TrackingClient::transferStarted, m_lamp, &TransferLamp::start);
    connect(m_tracking, &TrackingClient::transferFinished, m_lamp, &TransferLamp::finish);
    connect(m_tracking, &TrackingClient::lastFetchTextChanged, m_lastFetchLabel, &QLabel::setText);
    connect(m_tracking, &TrackingClient::pollCycleStarted, this, [this] {
        if (!m_settings->autoload())
            return;
        m_pollTimer->stop();
        m_pollTimer->start(pollIntervalMs());
    });
    connect(m_tracking, &TrackingClient::loadProgress, this,
            [this](int done, int asked, qint64 fixes) {
                m_progressText = TrackingClient::loadProgressText(done, asked, fixes);
                statusBar()->showMessage(m_progressText);
            });
    connect(m_tracking, &TrackingClient::loadFinished, this, [this] {
        // Only the progress line goes; a message told meanwhile stays.
        if (statusBar()->currentMessage() == m_progressText)
            statusBar()->clearMessage();
    });
    connect(m_tracking, &TrackingClient::storeProblem, this,
            [this](const QString &message) { statusBar()->showMessage(message, 20000); });
    connect(m_tracking, &TrackingClient::newVersionAvailable, this,
            [] { Tracking::showNewVersionNotice(); });

    connect(m_settings, &SettingsPage::loadMapsToggled, this, [this](bool on) {
        m_karte->setDownloadEnabled(on);
        focusMap();
    });
    connect(m_settings, &SettingsPage::autoloadToggled, this, &MainWindow::toggleAutoLoad);
    connect(m_settings, &SettingsPage::liveEverySecondToggled, this,
            [this] { toggleAutoLoad(m_settings->autoload()); });
    connect(m_settings, &SettingsPage::lookForUpdateToggled, this, &MainWindow::focusMap);
    connect(m_settings, &SettingsPage::completeTracksToggled, this, [this](bool on) {
        m_races->setCompleteTracks(on);
        focusMap();
        m_karte->relayout();
    });
    connect(m_settings, &SettingsPage::sailNumberLabelsToggled, this, [this](bool on) {
        if (m_regatta)
            m_regatta->setSailNumberLabels(on);
        focusMap();
        m_karte->relayout();
    });
    m_karte->setInfoSource([this](const QPoint &at) {
        return m_regatta ? m_regatta->boatInfoAt(at.x(), at.y()) : QString();
    });
    connect(m_settings, &SettingsPage::laylinesToggled, this, [this] {
        if (m_regatta)
            m_regatta->refreshAnalysis(m_replay->value());
        focusMap();
        m_karte->relayout();
    });
    connect(m_sidePanel, &QTabWidget::currentChanged, this, [this] {
        if (m_regatta && (m_sidePanel->currentWidget() == m_manoeuvres ||
                          m_sidePanel->currentWidget() == m_graphs))
            m_regatta->refreshAnalysis(m_replay->value());
    });
    connect(m_leaderboard, &LeaderboardPanel::shipClicked, this,
            &MainWindow::followFromLeaderboard);
    connect(m_graphs, &GraphPanel::momentChosen, this, &MainWindow::setSliderValue);

    connect(m_replay->slider(), &QSlider::valueChanged, this, &MainWindow::setUhrzeit);
    connect(m_replay->playButton(), &QPushButton::clicked, this, &MainWindow::animOnOff);
    connect(m_replay, &ReplayController::speedChosen, this, &MainWindow::setReplaySpeed);
    connect(m_replay, &ReplayController::animatingChanged, this, [this](bool animating) {
        m_karte->setAnimating(animating);
        if (!animating) {
            m_leaderboard->flush();
            m_graphs->flush();
        }
    });
    connect(m_fetchButton, &QPushButton::clicked, this, &MainWindow::getData);
    connect(m_pollTimer, &QTimer::timeout, this, &MainWindow::getData);

    connect(m_recorder, &FrameRecorder::message, this, &MainWindow::showStatus);
    connect(m_gpxExport, &GpxExportFlow::message, this, &MainWindow::showStatus);
    connect(m_videoExport, &VideoExportFlow::message, this, &MainWindow::showStatus);
    connect(m_ratingFlow, &RatingFlow::message, this, &MainWindow::showStatus);
    connect(m_ratingFlow, &RatingFlow::ratingsChanged, m_leaderboard,
            &LeaderboardPanel::setRatings);
    connect(m_legend, &IconSelector::ratingImportRequested, m_ratingImportAction,
            &QAction::trigger);
    connect(m_legend, &IconSelector::ratingRequested, this, [this](int shipId) {
        if (const Ship *ship = m_regatta ? m_regatta->shipById(shipId) : nullptr)
            m_ratingFlow->editRating(m_regatta->eventId(), *ship);
    });
    connect(m_races, &RaceMenu::message, this, &MainWindow::showStatus);
    connect(m_moments, &MomentPanel::message, this, &MainWindow::showStatus);
    connect(m_moments, &MomentPanel::momentChosen, this, [this](const Moment &moment) {
        if (m_regatta)
            m_regatta->restoreMoment(moment);
    });
    connect(m_races, &RaceMenu::raceChosen, this, &MainWindow::selectRaceEntry);
    connect(m_gates, &GateMenu::gateChosen, this, [this](const GeoPoint &centre) {
        m_karte->setCenterGeo(centre);
        m_karte->relayout();
    });
    connect(m_races, &RaceMenu::shownRaceGone, this, [this] {
        m_legend->clearShips();
        m_leaderboard->setCourse({});
        m_moments->showRace(0, 0);
        m_graphs->setCourse({});
    });
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&Datei"));
    m_captureAction = file->addAction(tr("Bilder aufzeichnen"), this, &MainWindow::captureOnOff);
    m_captureAction->setCheckable(true);
    file->addAction(tr("Nach Updates suchen..."), this,
                    [] { VuUpdater::instance()->CheckForUpdatesNotSilent(); });
    file->addAction(tr("OpenStreetMap im Browser öffnen"), this,
                    [this] { Seams::openUrl(m_karte->browserUrl()); });
    m_gpxExportAction = file->addAction(tr("Als GPX exportieren..."), this, &MainWindow::exportGpx);
    m_videoExportAction =
        file->addAction(tr("Video exportieren..."), this, &MainWindow::exportVideo);
    m_ratingImportAction = file->addAction(tr("Vergütungen importieren..."), this, [this] {
        if (m_regatta)
            m_ratingFlow->importRatings(m_regatta->eventId(), m_regatta->ships());
    });
    file->addSeparator();
    file->addAction(tr("&Beenden"), QKeySequence::Quit, this, &MainWindow::close);
    QMenu *playback = menuBar()->addMenu(tr("&Wiedergabe"));
    playback->addActions(m_replay->actions());
    playback->addSeparator();
    m_nextManoeuvre =
        playback->addAction(tr("Nächstes Manöver"), QKeySequence(Qt::Key_M), this, [this] {
            if (m_regatta)
                m_regatta->stepManoeuvre(1);
        });
    m_previousManoeuvre = playback->addAction(tr("Voriges Manöver"),
                                              QKeySequence(Qt::SHIFT | Qt::Key_M), this, [this] {
                                                  if (m_regatta)
                                                      m_regatta->stepManoeuvre(-1);
                                              });
    m_showFleetAction =
        playback->addAction(tr("Flotte zeigen"), QKeySequence(Qt::Key_F), this, [this] {
            if (m_regatta)
                m_regatta->showFleet();
        });

    m_races = new RaceMenu(menuBar()->addMenu(tr("&Regatten")), m_tracking, this);
    m_gates = new GateMenu(menuBar()->addMenu(tr("&Gates")));
}

void MainWindow::showTitle(const QString &raceName)
{
    setWindowTitle(QStringLiteral("%1 %2 %3")
                       .arg(QString::fromLatin1(Identity::applicationName),
                            QString::fromLatin1(Identity::version), raceName));
}

void MainWindow::setNetLedOn()
{
    m_lamp->start();
}

void MainWindow::setNetLedOff()
{
    m_lamp->finish();
}

void MainWindow::setUhrzeit(int tstamp)
{
    tstamp = m_replay->showTime(tstamp);
    if (tstamp <= m_replay->maximum()) {
        if (m_regatta)
            m_regatta->showMoment(tstamp);
        m_karte->relayout();
        m_leaderboard->showMoment(tstamp, m_replay->isAnimating());
        m_graphs->showMoment(tstamp, m_replay->isAnimating());
    }
    // After the boats moved, so that a frame shows the moment it is named after.
    m_recorder->write(tstamp);
    if (!m_replay->isAnimating())
        focusMap();
}

void MainWindow::loadPreferences()
{
    m_settings->load();
    m_karte->setDownloadEnabled(m_settings->loadMaps());
    // The window was laid out before the preferences were known, with
    // downloading still off; those blanks would stay grey until panned away.
    if (m_settings->loadMaps()) {
        m_karte->tileLoader()->forgetOfflineBlanks();
        m_karte->seamarkLoader()->forgetOfflineBlanks();
    }
    m_lamp->setAutomatic(m_settings->autoload());
    if (m_settings->autoload() && !m_pollTimer->isActive())
        m_pollTimer->start(pollIntervalMs());
}

void MainWindow::toggleAutoLoad(bool on)
{
    m_pollTimer->stop();
    if (on)
        m_pollTimer->start(pollIntervalMs());
    m_lamp->setAutomatic(on);
    focusMap();
}

void MainWindow::setRaceFinished(bool finished)
{
    m_fetchButton->setEnabled(!finished);
    m_settings->autoloadBox()->setEnabled(!finished);
    if (!finished) {
        m_settings->applyAutoloadBox();
        return;
    }
    m_settings->setAutoload(false);
    m_lamp->setAutomatic(false);
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space)
        toggleLegende();
    QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    std::unique_ptr<QSettings> settings(Config::windowSettings());
    settings->setValue(QStringLiteral("geomMainwindow"), saveGeometry());
    settings->setValue(QStringLiteral("splitterOpen"), m_splitter->isOpen());
    if (m_regatta) {
        settings->setValue(QStringLiteral("eventId"), m_regatta->eventId());
        settings->setValue(QStringLiteral("taskId"), m_regatta->taskId());
    }
    settings->setValue(QStringLiteral("sliderValue"), m_replay->value());
    settings->setValue(QStringLiteral("panelTab"), m_sidePanel->currentIndex());
    settings->sync();
    QMainWindow::closeEvent(event);
}

void MainWindow::getData()
{
    m_karte->setFocus(Qt::OtherFocusReason);
    m_tracking->getData();
}

void MainWindow::fillRaceMenu(const QVector<Race> &races, int eventId, int taskId)
{
    setRaceMenu(races);
    const Race *found = m_races->find(eventId, taskId);
    if (found && m_regatta) {
        m_regatta->select(*found);
        setCompleteTracksState(found->showCompleteTracks);
        m_races->markCurrent(found->id);
        m_moments->showRace(found->eventId, found->taskId);
    }
    showTitle(m_regatta ? m_regatta->name() : QString());
    m_fixAge->refresh();
    QCoreApplication::processEvents();
    m_karte->relayout();
}

void MainWindow::selectRaceEntry(const Race *entry)
{
    if (!m_regatta || !entry)
        return;
    stopAnimation();
    m_regatta->select(*entry);
    m_races->markCurrent(entry->id);
    m_moments->showRace(entry->eventId, entry->taskId);
    setCompleteTracksState(entry->showCompleteTracks);
    showTitle(entry->name);
    m_fixAge->refresh();
}

void MainWindow::detachRegatta(const Regatta *regatta)
{
    if (m_regatta != regatta)
        return;
    stopAnimation();
    setRegatta(nullptr);
    m_races->clear();
    fillGateMenu({});
    m_karte->setGateItems({});
    m_legend->clearShips();
    m_graphs->forgetShips(); // its slices read the boats' tracks
}

void MainWindow::fillGateMenu(const QList<GateItem *> &gates)
{
    m_leaderboard->setCourse(gates);
    m_graphs->setCourse(gates);
    m_gates->setGates(gates);
}

void MainWindow::shiponoff(TreeShipItem *item, bool on)
{
    if (m_regatta)
        m_regatta->shipOnOff(item, on);
    m_leaderboard->showMoment(m_replay->value(), m_replay->isAnimating());
    m_graphs->showMoment(m_replay->value(), m_replay->isAnimating());
}

void MainWindow::checkship(TreeShipItem *item)
{
    if (m_regatta)
        m_regatta->checkShip(item);
    m_graphs->showMoment(m_replay->value(), m_replay->isAnimating());
}

void MainWindow::followFromLeaderboard(int shipId)
{
    const Ship *ship = m_regatta ? m_regatta->shipById(shipId) : nullptr;
    if (!ship)
        return;
    QStandardItem *item = m_legend->model()->itemFromIndex(ship->legendIndex());
    if (TreeShipItem *row = TreeShipItem::cast(item))
        checkship(row);
}

void MainWindow::exportGpx()
{
    m_gpxExport->exportRace(m_regatta ? m_regatta->name() : QString(),
                            m_regatta ? m_regatta->ships() : QList<Ship *>());
}

void MainWindow::exportVideo()
{
    stopAnimation();
    VideoExport::Request request;
    if (m_regatta) {
        request.eventId = m_regatta->eventId();
        request.taskId = m_regatta->taskId();
        request.raceName = m_regatta->name();
        request.from = m_replay->slider()->minimum();
        request.to = m_replay->slider()->maximum();
    }
    request.centre = m_karte->projection().centre();
    request.zoom = m_karte->zoom();
    request.completeTracks = showCompleteTracks();
    request.sailNumbers = m_settings->sailNumberLabels();
    request.seamarks = m_karte->seamarksShown();
    request.loadMaps = loadMaps();
    request.tileServer = m_karte->tileLoader()->tileServer();
    request.tileCache = m_karte->tileLoader()->cacheFolder();
    request.seamarkServer = m_karte->seamarkLoader()->tileServer();
    request.seamarkCache = m_karte->seamarkLoader()->cacheFolder();
    m_videoExport->exportRace(request, m_karte->size());
}
