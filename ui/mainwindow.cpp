#include "ui/mainwindow.h"

#include "platform/config.h"
#include "scene/gateitem.h"
#include "scene/gpxexport.h"
#include "ui/iconselector.h"
#include "platform/identity.h"
#include "map/karte.h"
#include "ui/leaderboardpanel.h"
#include "platform/paths.h"
#include "ui/regatta.h"
#include "ui/replayclock.h"
#include "map/scheme.h"
#include "map/tileloader.h"
#include "platform/seams.h"
#include "scene/ship.h"
#include "tracking/trackingclient.h"
#include "ui/treeshipitem.h"
#include "ui/treeviewmodel.h"
#include "tracking/versionnotice.h"
#include "update/vuupdater.h"
#include "update/vuupdatewindow.h" // vuupdater.h needs it complete

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QSlider>
#include <QSplitter>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <optional>

namespace
{
constexpr int animationIntervalMs = 30;
constexpr int sliderPageStep = 120;
constexpr int frameQuality = 95;
constexpr int statusMessageMs = 8000;

const char *const clockFormat = "dd.MM.yyyy hh:mm";
const char *const replaySpeedKey = "replaySpeed";

MainWindow::SaveFileChooser &saveFileChooser()
{
    static MainWindow::SaveFileChooser chooser;
    return chooser;
}

QIcon iconFromAsset(const char *file)
{
    return QIcon(QPixmap(Paths::asset(QString::fromLatin1(file)), "png"));
}

void storePreference(const char *column, bool on)
{
    QSqlQuery query;
    const QString sql =
        QStringLiteral("UPDATE prefs SET %1=:%1 WHERE id=1").arg(QString::fromLatin1(column));
    if (query.prepare(sql)) {
        query.bindValue(QLatin1Char(':') + QString::fromLatin1(column), on ? 1 : 0);
        query.exec();
    }
}

// The preference column's value; nothing when the query fails or has no row.
std::optional<int> readPreference(const char *column)
{
    QSqlQuery query;
    if (!query.exec(
            QStringLiteral("SELECT %1 FROM prefs WHERE id=1").arg(QString::fromLatin1(column))) ||
        !query.next())
        return std::nullopt;
    return query.value(0).toInt();
}
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    m_tracking = new TrackingClient(this);
    setWindowIcon(iconFromAsset("img/velmaro.png"));
    m_scene = new Scheme(this);
    m_scene->setSceneRect(0, 0, 1000, 1000);
    m_karte = new Karte(m_scene, this);
    m_karte->centerOn(0, 0);
    m_karte->setCenterGeo(42.986766, 16.0203);
    m_karte->setZoomLevel(10);

    auto *mainLayout = new QVBoxLayout;
    auto *settingsForm = new QFormLayout;
    m_tileBox = new QCheckBox;
    m_autoloadBox = new QCheckBox;
    m_updateBox = new QCheckBox;
    m_lastFetchLabel = new QLabel(QStringLiteral("--.--.---- --:--"));
    m_lastFetchLabel->setObjectName(QStringLiteral("lastFetch"));
    QFont fetchFont(QStringLiteral("Arial"), 9);
    fetchFont.setBold(true);
    m_lastFetchLabel->setFont(fetchFont);

    connect(m_tileBox, &QCheckBox::clicked, this, &MainWindow::toggleLoadMaps);
    connect(m_autoloadBox, &QCheckBox::clicked, this, &MainWindow::toggleAutoLoad);
    connect(m_updateBox, &QCheckBox::clicked, this, &MainWindow::toggleLookForUpdate);
    m_tileBox->setChecked(m_loadMaps);
    m_autoloadBox->setChecked(m_autoload);
    m_updateBox->setChecked(m_lookForUpdate);

    auto *network = new QGroupBox(tr("Netzwerk"));
    auto *networkForm = new QFormLayout;
    networkForm->addRow(QStringLiteral("Letzte Abfrage der Postionsdaten"), m_lastFetchLabel);
    networkForm->addRow(QStringLiteral("Positionsdaten automatisch herunterladen"), m_autoloadBox);
    networkForm->addRow(QStringLiteral("Fehlende Karten automatisch herunterladen"), m_tileBox);
    networkForm->addRow(QStringLiteral("Beim Start nach Programmupdates suchen"), m_updateBox);
    network->setLayout(networkForm);

    auto *boats = new QGroupBox(tr("Boote"));
    auto *boatsForm = new QFormLayout;
    m_completeTracksBox = new QCheckBox;
    connect(m_completeTracksBox, &QCheckBox::clicked, this, &MainWindow::toggleShowCompleteTracks);
    m_completeTracksBox->setChecked(m_showCompleteTracks);
    boatsForm->addRow(QStringLiteral("komplette Tracks anzeigen"), m_completeTracksBox);
    boats->setLayout(boatsForm);

    settingsForm->addRow(network);
    settingsForm->addRow(boats);
    m_settingsPage = new QWidget;
    m_settingsPage->setObjectName(QStringLiteral("einstellungen"));
    m_settingsPage->setLayout(settingsForm);

    m_legend = new IconSelector(this);
    m_sidePanel = new QTabWidget;
    m_sidePanel->addTab(m_legend, QStringLiteral("Teilnehmer"));
    m_sidePanel->addTab(m_settingsPage, QStringLiteral("Einstellungen"));
    m_leaderboard = new LeaderboardPanel;
    m_leaderboard->setShipSource(
        [this] { return m_regatta ? m_regatta->ships() : QList<Ship *>(); });
    m_sidePanel->addTab(m_leaderboard, QStringLiteral("Rangliste"));
    connect(m_leaderboard, &LeaderboardPanel::shipClicked, this,
            &MainWindow::followFromLeaderboard);

    m_splitter = new QSplitter(Qt::Horizontal);
    m_splitter->addWidget(m_karte);
    m_splitter->addWidget(m_sidePanel);
    m_splitter->setMinimumWidth(25);
    // Closed: the tab widget would claim its minimum width for any size above 0.
    m_splitter->setSizes(panelSizes(false, width()));
    m_panelOpen = false;
    // Dragging the handle opens or closes the panel too; Space and the
    // stored window state must see what is on screen.
    connect(m_splitter, &QSplitter::splitterMoved, this,
            [this] { m_panelOpen = m_splitter->sizes().value(1) > 0; });
    mainLayout->addWidget(m_splitter);

    auto *bottomBar = new QHBoxLayout;
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(0, 0); // empty until a race is placed
    const QPixmap playPicture(Paths::asset(QStringLiteral("img/playbutton.png")), "png");
    m_playIcon = QIcon(playPicture);
    m_pauseIcon = iconFromAsset("img/pausebutton.png");
    m_playButton = new QPushButton;
    m_playButton->setObjectName(QStringLiteral("play"));
    m_playButton->setIconSize(playPicture.size());
    m_playButton->setIcon(m_playIcon);
    m_playButton->setToolTip(QStringLiteral("Animation starten"));
    m_idleIcon = iconFromAsset("img/idleicon.png");
    m_loadIcon = iconFromAsset("img/loadicon.png");
    m_idleAutoIcon = iconFromAsset("img/idleicon_auto.png");
    m_loadAutoIcon = iconFromAsset("img/loadicon_auto.png");
    m_spareLabel = new QLabel;
    m_fetchButton = new QPushButton;
    m_fetchButton->setObjectName(QStringLiteral("fetch"));
    m_fetchButton->setIconSize(playPicture.size());
    m_fetchButton->setIcon(m_idleIcon);
    m_fetchButton->setToolTip(QStringLiteral("neueste Positionsdaten holen"));
    m_clockLabel = new QLabel(this);
    m_clockLabel->setObjectName(QStringLiteral("uhrzeit"));

    m_replayClock = std::make_unique<ReplayClock>();
    m_speedBox = new QComboBox;
    m_speedBox->setObjectName(QStringLiteral("replaySpeed"));
    m_speedBox->setToolTip(QStringLiteral("Rennzeit je Animationsschritt"));
    for (int speed : ReplayClock::choices())
        m_speedBox->addItem(ReplayClock::label(speed), speed);
    {
        std::unique_ptr<QSettings> settings(Config::windowSettings());
        const int stored =
            ReplayClock::fromKey(settings->value(QString::fromLatin1(replaySpeedKey)).toString());
        m_replayClock->setSecondsPerTick(stored);
        m_speedBox->setCurrentIndex(m_speedBox->findData(stored));
    }
    connect(m_speedBox, &QComboBox::activated, this,
            [this](int index) { setReplaySpeed(m_speedBox->itemData(index).toInt()); });

    bottomBar->addWidget(m_clockLabel);
    bottomBar->addWidget(m_playButton);
    bottomBar->addWidget(m_speedBox);
    bottomBar->addWidget(m_slider);
    bottomBar->addWidget(m_spareLabel);
    bottomBar->addWidget(m_fetchButton);
    connect(m_slider, &QSlider::valueChanged, this, &MainWindow::setUhrzeit);
    connect(m_playButton, &QPushButton::clicked, this, &MainWindow::animOnOff);
    connect(m_fetchButton, &QPushButton::clicked, this, &MainWindow::getData);
    mainLayout->addLayout(bottomBar);

    m_central = new QWidget;
    m_central->setLayout(mainLayout);
    setCentralWidget(m_central);

    buildStatusBar();
    buildMenus();

    m_capture = false;
    m_animating = false;
    m_animationTimer = new QTimer(this);
    m_pollTimer = new QTimer(this);
    connect(m_animationTimer, &QTimer::timeout, this, &MainWindow::advanceFrame);
    connect(m_pollTimer, &QTimer::timeout, this, &MainWindow::getData);
    m_pollInterval = 5;

    m_clockLabel->setText(Seams::now().toString(QString::fromLatin1(clockFormat)));
    m_legend->connectToMainWindow(this);

    // What the tracking client tells the window; the race gets its own part.
    connect(m_tracking, &TrackingClient::transferStarted, this, &MainWindow::setNetLedOn);
    connect(m_tracking, &TrackingClient::transferFinished, this, &MainWindow::setNetLedOff);
    connect(m_tracking, &TrackingClient::lastFetchTextChanged, m_lastFetchLabel, &QLabel::setText);
    connect(m_tracking, &TrackingClient::pollCycleStarted, this, [this] {
        if (!m_autoload)
            return;
        m_pollTimer->stop();
        m_pollTimer->start(pollIntervalMs());
    });
    connect(m_tracking, &TrackingClient::newVersionAvailable, this,
            [] { Tracking::showNewVersionNotice(); });
}

MainWindow::~MainWindow() = default;

void MainWindow::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    m_attributionLabel =
        new QLabel(QStringLiteral("Kartendaten © OpenStreetMap-Mitwirkende, CC BY-SA, 2011"));
    m_attributionLabel->setObjectName(QStringLiteral("danklabel"));
    m_attributionLabel->setMinimumSize(m_attributionLabel->sizeHint());
    m_latLabel = new QLabel(QStringLiteral("Lat:"));
    m_latLabel->setObjectName(QStringLiteral("lat"));
    m_latLabel->setMinimumSize(m_latLabel->sizeHint());
    m_lngLabel = new QLabel(QStringLiteral("Lng:"));
    m_lngLabel->setObjectName(QStringLiteral("lng"));
    m_lngLabel->setIndent(3);
    m_zoomLabel = new QLabel(QStringLiteral("Zoom:"));
    m_zoomLabel->setObjectName(QStringLiteral("zoom"));
    m_zoomLabel->setIndent(5);
    bar->addWidget(m_attributionLabel, 0);
    bar->addWidget(m_latLabel, 0);
    bar->addWidget(m_lngLabel, 0);
    bar->addWidget(m_zoomLabel, 0);
    bar->setCursor(Qt::ArrowCursor);
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&Datei"));
    m_captureAction = file->addAction(tr("Bilder aufzeichnen"));
    m_captureAction->setCheckable(true);
    connect(m_captureAction, &QAction::triggered, this, &MainWindow::captureOnOff);
    QAction *updates = file->addAction(tr("Nach Updates suchen..."));
    connect(updates, &QAction::triggered, this, &MainWindow::checkForUpdates);
    QAction *osm = file->addAction(tr("OpenStreetMap im Browser öffnen"));
    connect(osm, &QAction::triggered, this, &MainWindow::aboutOsm);
    m_gpxExportAction = file->addAction(tr("Als GPX exportieren..."));
    connect(m_gpxExportAction, &QAction::triggered, this, &MainWindow::exportGpx);
    file->addSeparator();
    QAction *quitAction = file->addAction(tr("&Beenden"));
    connect(quitAction, &QAction::triggered, this, &MainWindow::quit);

    m_raceMenu = menuBar()->addMenu(tr("&Regatten"));
    buildRaceActions();
    m_gateMenu = menuBar()->addMenu(tr("&Gates"));
}

// --- status bar -----------------------------------------------------------

void MainWindow::setXYStatus(int, int, qreal lat, qreal lng, int zoom)
{
    m_latLabel->setText(QStringLiteral("Lat:%1").arg(lat, 10, 'f', 5));
    m_lngLabel->setText(QStringLiteral("Lng:%1").arg(lng, 10, 'f', 5));
    setZoomStatus(zoom);
}

void MainWindow::setZoomStatus(int zoom)
{
    m_zoomLabel->setText(QStringLiteral("Zoom:%1").arg(zoom));
}

// --- transfer lamp --------------------------------------------------------

void MainWindow::setNetLedOn()
{
    ++m_pendingRequests;
    showLampLoading();
}

void MainWindow::setNetLedOff()
{
    --m_pendingRequests;
    if (m_pendingRequests > 0)
        return;
    m_pendingRequests = 0;
    showLampIdle();
    m_tracking->setLoading(false);
}

void MainWindow::showLampLoading()
{
    m_fetchButton->setIcon(m_autoload ? m_loadAutoIcon : m_loadIcon);
    m_fetchButton->setToolTip(QStringLiteral("Übertragung stoppen"));
}

void MainWindow::showLampIdle()
{
    m_fetchButton->setIcon(m_autoload ? m_idleAutoIcon : m_idleIcon);
    m_fetchButton->setToolTip(QStringLiteral("neueste Positionsdaten holen"));
}

// --- slider, animation, capture -------------------------------------------

void MainWindow::setSliderRange(int minimum, int maximum)
{
    m_slider->setRange(minimum, maximum);
    m_slider->setPageStep(sliderPageStep);
    m_slider->setSingleStep(1);
}

void MainWindow::setSliderValue(int value)
{
    m_slider->setValue(value);
}

void MainWindow::setUhrzeit(int tstamp)
{
    if (tstamp == 0)
        tstamp = m_slider->value();
    const QDateTime shown = tstamp == 0 ? Seams::now() : QDateTime::fromSecsSinceEpoch(tstamp);
    const QString text = shown.toString(QString::fromLatin1(clockFormat));

    m_clockLabel->setText(text);
    if (tstamp <= m_slider->maximum()) {
        if (m_regatta)
            m_regatta->showMoment(tstamp);
        m_karte->relayout();
        m_leaderboard->showMoment(tstamp, m_animating);
    }
    // After the boats moved, so that a frame shows the moment it is named after.
    if (m_capture)
        writeFrame(tstamp);
    if (!m_animating)
        focusMap();
}

QString MainWindow::movieFolder()
{
    return QDir::current().filePath(QStringLiteral("movie"));
}

QString MainWindow::frameFileName(int tstamp)
{
    return QDir(movieFolder()).filePath(QStringLiteral("scene.%1.jpg").arg(tstamp));
}

void MainWindow::writeFrame(int tstamp)
{
    const QString path = frameFileName(tstamp);
    QString problem;
    if (!Paths::ensureFolder(movieFolder())) {
        problem = tr("Ordner %1 kann nicht angelegt werden").arg(movieFolder());
    } else {
        // Logical pixels at ratio 1: the same frame size on every screen.
        QImage image(m_karte->width(), m_karte->height(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(1.0);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            m_karte->render(&painter, QRectF(image.rect()), m_karte->rect(), Qt::KeepAspectRatio);
        }
        QSaveFile file(path);
        QImageWriter writer(&file, "jpg");
        writer.setQuality(frameQuality);
        if (!file.open(QIODevice::WriteOnly))
            problem = file.errorString();
        else if (!writer.write(image))
            problem = writer.errorString();
        else if (!file.commit())
            problem = file.errorString();
    }
    if (problem.isEmpty()) {
        m_frameErrorShown = false;
        return;
    }
    if (!m_frameErrorShown) {
        m_frameErrorShown = true;
        statusBar()->showMessage(
            tr("Bild %1 konnte nicht geschrieben werden: %2").arg(path, problem));
    }
}

void MainWindow::animOnOff()
{
    if (m_animating || m_slider->maximum() == 0) {
        m_animating = false;
        m_animationTimer->stop();
        m_playButton->setIcon(m_playIcon);
        m_playButton->setToolTip(QStringLiteral("Animation starten"));
        m_leaderboard->flush();
    } else {
        m_animating = true;
        m_replayClock->restart();
        m_animationTimer->start(animationIntervalMs);
        m_playButton->setIcon(m_pauseIcon);
        m_playButton->setToolTip(QStringLiteral("Animation beenden"));
    }
    focusMap();
}

void MainWindow::advanceFrame()
{
    const int value = m_slider->value();
    const int step = m_replayClock->nextStep();
    // Live replay: a tick shorter than a second moves nothing yet.
    if (step <= 0 && value < m_slider->maximum())
        return;
    if (qint64(value) + step >= m_slider->maximum()) {
        stopAnimation();
        m_slider->setValue(m_slider->maximum());
    } else {
        m_slider->setValue(value + step);
    }
}

int MainWindow::replaySpeed() const
{
    return m_replayClock->secondsPerTick();
}

void MainWindow::setReplaySpeed(int secondsPerTick)
{
    m_replayClock->setSecondsPerTick(secondsPerTick);
    const int speed = m_replayClock->secondsPerTick();
    const int index = m_speedBox->findData(speed);
    if (index != m_speedBox->currentIndex())
        m_speedBox->setCurrentIndex(index);
    std::unique_ptr<QSettings> settings(Config::windowSettings());
    settings->setValue(QString::fromLatin1(replaySpeedKey), ReplayClock::key(speed));
    focusMap();
}

void MainWindow::stopAnimation()
{
    if (!m_animating)
        return;
    m_animationTimer->stop();
    m_playButton->setIcon(m_playIcon);
    m_playButton->setToolTip(QStringLiteral("Animation starten"));
    m_animating = false;
    m_leaderboard->flush();
}

void MainWindow::captureOnOff()
{
    m_capture = !m_capture;
    m_captureAction->setChecked(m_capture);
    if (m_capture) {
        m_frameErrorShown = false;
        Paths::ensureFolder(movieFolder());
        statusBar()->showMessage(
            tr("Bilder werden nach %1 geschrieben").arg(QDir::toNativeSeparators(movieFolder())));
    } else {
        statusBar()->showMessage(tr("Bildaufzeichnung beendet"), statusMessageMs);
    }
}

// --- preferences ----------------------------------------------------------

void MainWindow::loadPreferences()
{
    // Only the value 1 counts as on.
    if (const auto value = readPreference("loadmaps")) {
        m_loadMaps = *value == 1;
        m_tileBox->setChecked(m_loadMaps);
        // The window was laid out before the preferences were known, with
        // downloading still off; those blanks would stay grey until panned away.
        if (m_loadMaps)
            m_karte->tileLoader()->forgetOfflineBlanks();
    }
    // The interval is read before the timer starts, so the first cycle already
    // waits the stored interval rather than the default.
    // A non-positive interval would make the poll timer fire continuously.
    m_pollInterval = readPreference("loadinterval").value_or(5);
    if (m_pollInterval <= 0)
        m_pollInterval = 5;
    if (const auto value = readPreference("autoload")) {
        m_autoload = *value == 1;
        m_autoloadBox->setChecked(m_autoload);
        if (m_autoload && !m_pollTimer->isActive())
            m_pollTimer->start(pollIntervalMs());
    }
    if (const auto value = readPreference("lookforupdate")) {
        m_lookForUpdate = *value == 1;
        m_updateBox->setChecked(m_lookForUpdate);
    }
}

void MainWindow::toggleLoadMaps()
{
    m_loadMaps = m_tileBox->isChecked();
    storePreference("loadmaps", m_loadMaps);
    focusMap();
}

void MainWindow::toggleAutoLoad()
{
    m_autoload = m_autoloadBox->isChecked();
    storePreference("autoload", m_autoload);
    if (m_autoload) {
        m_pollTimer->stop();
        m_pollTimer->start(pollIntervalMs());
        m_fetchButton->setIcon(isLoading() ? m_loadAutoIcon : m_idleAutoIcon);
    } else {
        m_pollTimer->stop();
        m_fetchButton->setIcon(isLoading() ? m_loadIcon : m_idleIcon);
    }
    focusMap();
}

void MainWindow::toggleLookForUpdate()
{
    m_lookForUpdate = m_updateBox->isChecked();
    storePreference("lookforupdate", m_lookForUpdate);
    focusMap();
}

void MainWindow::toggleShowCompleteTracks()
{
    m_showCompleteTracks = m_completeTracksBox->isChecked();
    if (m_regatta) {
        QSqlQuery query;
        if (query.prepare(QStringLiteral("UPDATE regatta SET "
                                         "showcompletetracks=:showcompletetracks "
                                         "WHERE id=:regatta_id"))) {
            query.bindValue(QStringLiteral(":showcompletetracks"), m_showCompleteTracks ? 1 : 0);
            query.bindValue(QStringLiteral(":regatta_id"), m_regatta->id());
            query.exec();
        }
        m_regatta->setCompleteTrack(m_showCompleteTracks);
        // The race list is read once; without this, choosing the race again
        // in this run would show the choice from before the click.
        for (RegattaEntry *entry : std::as_const(m_races)) {
            if (entry->id == m_regatta->id())
                entry->showCompleteTracks = m_showCompleteTracks;
        }
    }
    focusMap();
    m_karte->relayout();
}

void MainWindow::setCompleteTracksState(bool on)
{
    m_showCompleteTracks = on;
    m_completeTracksBox->setChecked(on);
}

void MainWindow::setRaceFinished(bool finished)
{
    if (finished) {
        m_fetchButton->setEnabled(false);
        m_autoloadBox->setEnabled(false);
        m_autoload = false;
        return;
    }
    m_fetchButton->setEnabled(true);
    m_autoloadBox->setEnabled(true);
    toggleAutoLoad();
}

// --- side panel and window state ------------------------------------------

QList<int> MainWindow::panelSizes(bool open, int windowWidth)
{
    if (open)
        return {windowWidth - windowWidth / 3, windowWidth / 3};
    return {windowWidth, 0};
}

void MainWindow::toggleLegende()
{
    m_panelOpen = !m_panelOpen;
    m_splitter->setSizes(panelSizes(m_panelOpen, width()));
    focusMap();
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
    settings->setValue(QStringLiteral("splitterOpen"), m_panelOpen);
    if (m_regatta) {
        settings->setValue(QStringLiteral("eventId"), m_regatta->eventId());
        settings->setValue(QStringLiteral("taskId"), m_regatta->taskId());
    }
    settings->sync();
    QMainWindow::closeEvent(event);
}

// --- small slots ----------------------------------------------------------

void MainWindow::load() {}

void MainWindow::about() {}

void MainWindow::quit()
{
    close();
}

void MainWindow::aboutOsm()
{
    Seams::openUrl(QUrl(QStringLiteral("https://www.openstreetmap.org")));
}

void MainWindow::checkForUpdates()
{
    VuUpdater::instance()->CheckForUpdatesNotSilent();
}

void MainWindow::getData()
{
    m_karte->setFocus(Qt::OtherFocusReason);
    m_tracking->getData();
}

bool MainWindow::isLoading() const
{
    return m_tracking->isLoading();
}

void MainWindow::setLoading(bool loading)
{
    m_tracking->setLoading(loading);
}

void MainWindow::focusMap()
{
    m_karte->setFocus();
}

// --- race, gates and boats ------------------------------------------------

void MainWindow::fillRaceMenu(const QList<RegattaEntry *> &races, int eventId, int taskId)
{
    setRaceMenu(races);
    RegattaEntry *found = nullptr;
    for (RegattaEntry *entry : races) {
        if (entry->eventId == eventId && entry->taskId == taskId)
            found = entry;
    }
    if (found && m_regatta) {
        m_regatta->select(*found);
        setCompleteTracksState(found->showCompleteTracks);
    }
    setWindowTitle(QStringLiteral("%1 %2 %3")
                       .arg(QString::fromLatin1(Identity::applicationName),
                            QString::fromLatin1(Identity::version),
                            m_regatta ? m_regatta->name() : QString()));
    QCoreApplication::processEvents();
    m_karte->relayout();
}

void MainWindow::detachRegatta(const Regatta *regatta)
{
    if (m_regatta != regatta)
        return;
    stopAnimation();
    m_regatta = nullptr;
    m_races.clear();
    clearRaceActions();
    fillGateMenu({});
    m_karte->setGateItems({});
    m_legend->clearShips();
}

void MainWindow::chooseRace()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action || !m_regatta)
        return;
    // By row id: with races named by users one name can start another.
    const int id = action->data().toInt();
    for (RegattaEntry *entry : std::as_const(m_races)) {
        if (entry->id == id)
            selectRaceEntry(entry);
    }
}

void MainWindow::fillGateMenu(const QList<GateItem *> &gates)
{
    m_gates = gates;
    m_leaderboard->setCourse(gates);
    m_gateMenu->clear();
    for (GateItem *gate : gates) {
        QAction *action = m_gateMenu->addAction(gate->name());
        connect(action, &QAction::triggered, this, &MainWindow::chooseGate);
    }
}

void MainWindow::chooseGate()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    const QString text = action->text();
    for (GateItem *gate : std::as_const(m_gates)) {
        if (!text.startsWith(gate->name()))
            continue;
        m_karte->setCenterGeo(gate->centre());
        m_karte->relayout();
    }
}

void MainWindow::shiponoff(TreeShipItem *item, bool on)
{
    if (m_regatta)
        m_regatta->shipOnOff(item, on);
    m_leaderboard->showMoment(m_slider->value(), m_animating);
}

void MainWindow::checkship(TreeShipItem *item)
{
    if (m_regatta)
        m_regatta->checkShip(item);
}

void MainWindow::mapClicked(int x, int y)
{
    if (m_regatta)
        m_regatta->followAt(x, y);
}

void MainWindow::stopFollowing()
{
    if (m_regatta)
        m_regatta->stopFollowing();
}

void MainWindow::updateShipGeometry(const MapProjection &projection)
{
    if (m_regatta)
        m_regatta->updateGeometry(projection);
}

// --- leaderboard and GPX export --------------------------------------------

void MainWindow::followFromLeaderboard(int shipId)
{
    const Ship *ship = m_regatta ? m_regatta->shipById(shipId) : nullptr;
    if (!ship)
        return;
    QStandardItem *item = m_legend->model()->itemFromIndex(ship->legendIndex());
    if (TreeShipItem *row = TreeShipItem::cast(item))
        checkship(row);
}

void MainWindow::setSaveFileChooser(SaveFileChooser chooser)
{
    saveFileChooser() = std::move(chooser);
}

void MainWindow::exportGpx()
{
    const QString title = tr("Als GPX exportieren");
    const QList<Gpx::Track> tracks =
        m_regatta ? Gpx::tracksOf(m_regatta->ships()) : QList<Gpx::Track>();
    if (tracks.isEmpty()) {
        Seams::information(title, tr("Keine angezeigten Boote mit Positionsdaten."));
        return;
    }
    QString name = m_regatta->name();
    name.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("_"));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString suggested = QDir(folder).filePath(
        (name.trimmed().isEmpty() ? QStringLiteral("regatta") : name) + QStringLiteral(".gpx"));
    const QString filter = tr("GPX-Dateien (*.gpx)");
    QString path = saveFileChooser() ? saveFileChooser()(this, title, suggested, filter)
                                     : QFileDialog::getSaveFileName(this, title, suggested, filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".gpx");

    Gpx::Document document;
    document.name = m_regatta->name();
    document.time = Seams::now();
    document.tracks = tracks;
    const QString problem = Gpx::write(path, document);
    if (!problem.isEmpty()) {
        Seams::critical(title, problem, QMessageBox::Ok);
        return;
    }
    const QString boats = tracks.size() == 1 ? tr("1 Boot") : tr("%1 Boote").arg(tracks.size());
    statusBar()->showMessage(tr("%1 nach %2 exportiert").arg(boats, QDir::toNativeSeparators(path)),
                             statusMessageMs);
}
