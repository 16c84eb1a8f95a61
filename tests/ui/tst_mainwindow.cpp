#include "iconselector.h"
#include "karte.h"
#include "leaderboardpanel.h"
#include "mainwindow.h"
#include "messagerecorder.h"
#include "regatta.h"
#include "seams.h"
#include "startup.h"
#include "testdatabase.h"
#include "trackingclient.h"
#include "uitest.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

namespace
{
constexpr qint64 fixedNow = 1400000000; // 2014, after both seeded races

QImage picture(const QString &file)
{
    return QImage(file).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(QSize(32, 32))
        .toImage()
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QAction *findAction(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

QMenu *findMenu(QMainWindow *window, const QString &title)
{
    for (QAction *action : window->menuBar()->actions()) {
        if (action->text() == title)
            return action->menu();
    }
    return nullptr;
}

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void widgetTreeAndObjectNames();
    void menus();
    void initialState();
    void xyStatus_data();
    void xyStatus();
    void lampCountsOverlappingTransfers();
    void lampStaysOnWhileOtherRepliesAreOpen();
    void lampNeverBelowZero();
    void lampAutomaticIcons();
    void animationTakesTenTicksOverHundredSeconds();
    void animationDoesNotStartOnEmptyRace();
    void timePastMaximumChangesOnlyClock();
    void raceChangeStopsAnimation();
    void captureWritesJpegOfViewSize();
    void captureCreatesMovieFolderBeforeFirstFrame();
    void captureFailureReportedOnce();
    void captureMenuEntryTogglesAndTellsWhere();
    void preferenceBoxesStoreZeroOrOne_data();
    void preferenceBoxesStoreZeroOrOne();
    void storedTwoCountsAsOff();
    void pollIntervalFromPrefs();
    void zeroPollIntervalFallsBackToFive();
    void autoloadBoxDrivesPollTimer();
    void panelSizes_data();
    void panelSizes();
    void toggleLegendeOpensAndCloses();
    void spaceKeyTogglesPanel();
    void windowStateWrittenOnCloseAndRestored();
    void windowStateDefaults();
    void raceMenuListsNewestFirstAndSelectsStartRace();
    void unknownStartRaceSelectsNothing();
    void finishedRaceDisablesFetching();
    void runningRaceEnablesFetching();
    void aboutOsmOpensProjectPage();

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<MessageRecorder> m_boxes;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<Regatta> m_regatta;
    void makeRegatta(int eventId = 10, int taskId = 88)
    {
        m_regatta = std::make_unique<Regatta>(m_window.get(), eventId, taskId);
    }
};

void TestMainWindow::initTestCase()
{
    UiTest::installAssets();
    Seams::setClock([] { return QDateTime::fromSecsSinceEpoch(fixedNow); });
}

void TestMainWindow::init()
{
    m_db = std::make_unique<TestDatabase>();
    QVERIFY(m_db->isOpen());
    QVERIFY(UiTest::createSchema(*m_db));
    m_boxes = std::make_unique<MessageRecorder>();
    QSettings(QStringLiteral("velmaro.org"), QStringLiteral("Velmaro")).clear();
    QDir(MainWindow::movieFolder()).removeRecursively();
    QFile::remove(MainWindow::movieFolder());
    m_window = std::make_unique<MainWindow>();
    UiTest::isolate(m_window.get());
    m_window->resize(900, 600);
}

void TestMainWindow::cleanup()
{
    m_regatta.reset();
    m_window.reset();
    m_boxes.reset();
    m_db.reset();
    QDir(MainWindow::movieFolder()).removeRecursively();
    QFile::remove(MainWindow::movieFolder());
}

void TestMainWindow::widgetTreeAndObjectNames()
{
    MainWindow *w = m_window.get();
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("uhrzeit")), w->clockLabel());
    QVERIFY(!w->windowIcon().isNull());
    auto *dank = w->findChild<QLabel *>(QStringLiteral("danklabel"));
    QVERIFY(dank);
    QVERIFY(dank->text().contains(QStringLiteral("OpenStreetMap")));
    QCOMPARE(dank->parentWidget(), w->statusBar());

    QSplitter *splitter = w->splitter();
    QCOMPARE(splitter->orientation(), Qt::Horizontal);
    QCOMPARE(splitter->count(), 2);
    QCOMPARE(splitter->widget(0), static_cast<QWidget *>(w->karte()));
    QCOMPARE(splitter->widget(1), static_cast<QWidget *>(w->sidePanel()));

    QTabWidget *panel = w->sidePanel();
    QCOMPARE(panel->count(), 3);
    QCOMPARE(panel->tabText(0), QStringLiteral("Teilnehmer"));
    QCOMPARE(panel->widget(0), static_cast<QWidget *>(w->legend()));
    QCOMPARE(panel->tabText(1), QStringLiteral("Einstellungen"));
    QCOMPARE(panel->tabText(2), QStringLiteral("Rangliste"));
    QCOMPARE(panel->widget(2), static_cast<QWidget *>(w->leaderboard()));
    QVERIFY(w->legend()->isWindow() == false);

    // bottom bar, left to right
    auto *main = qobject_cast<QVBoxLayout *>(w->centralWidget()->layout());
    QVERIFY(main);
    QCOMPARE(main->itemAt(0)->widget(), static_cast<QWidget *>(splitter));
    auto *bar = qobject_cast<QHBoxLayout *>(main->itemAt(1)->layout());
    QVERIFY(bar);
    QCOMPARE(bar->count(), 6);
    QCOMPARE(bar->itemAt(0)->widget(), static_cast<QWidget *>(w->clockLabel()));
    QCOMPARE(bar->itemAt(1)->widget(), static_cast<QWidget *>(w->playButton()));
    QCOMPARE(bar->itemAt(2)->widget(), static_cast<QWidget *>(w->speedBox()));
    QCOMPARE(bar->itemAt(3)->widget(), static_cast<QWidget *>(w->timeSlider()));
    QVERIFY(qobject_cast<QLabel *>(bar->itemAt(4)->widget()));
    QCOMPARE(bar->itemAt(5)->widget(), static_cast<QWidget *>(w->fetchButton()));
    QCOMPARE(w->playButton()->iconSize(), QSize(32, 32));
    QCOMPARE(w->fetchButton()->iconSize(), QSize(32, 32));

    // settings rows
    auto *settings = panel->widget(1);
    const QStringList rows{QStringLiteral("Letzte Abfrage der Postionsdaten"),
                           QStringLiteral("Positionsdaten automatisch herunterladen"),
                           QStringLiteral("Fehlende Karten automatisch herunterladen"),
                           QStringLiteral("Beim Start nach Programmupdates suchen"),
                           QStringLiteral("komplette Tracks anzeigen")};
    QStringList labels;
    for (QLabel *label : settings->findChildren<QLabel *>())
        labels.append(label->text());
    for (const QString &row : rows)
        QVERIFY2(labels.contains(row), qPrintable(row));
    QCOMPARE(w->lastFetchLabel()->font().family(), QStringLiteral("Arial"));
    QVERIFY(w->lastFetchLabel()->font().bold());
    QCOMPARE(w->lastFetchLabel()->font().pointSize(), 9);
}

void TestMainWindow::menus()
{
    MainWindow *w = m_window.get();
    QMenu *file = findMenu(w, QStringLiteral("&Datei"));
    QVERIFY(file);
    QVERIFY(findAction(file, QStringLiteral("&Beenden")));
    QAction *capture = findAction(file, QStringLiteral("Bilder aufzeichnen"));
    QVERIFY(capture);
    QVERIFY(capture->isCheckable());
    QVERIFY(!capture->isChecked());
    QCOMPARE(findMenu(w, QStringLiteral("&Regatten")), w->raceMenu());
    QCOMPARE(findMenu(w, QStringLiteral("&Gates")), w->gateMenu());

    // "&Beenden" closes the window
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    findAction(file, QStringLiteral("&Beenden"))->trigger();
    QVERIFY(!w->isVisible());
}

void TestMainWindow::initialState()
{
    MainWindow *w = m_window.get();
    QCOMPARE(w->timeSlider()->minimum(), 0);
    QCOMPARE(w->timeSlider()->maximum(), 0);
    QCOMPARE(w->clockLabel()->text(),
             QDateTime::fromSecsSinceEpoch(fixedNow).toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    QCOMPARE(w->lastFetchLabel()->text(), QStringLiteral("--.--.---- --:--"));
    QVERIFY(w->updateBox()->isChecked());
    QVERIFY(!w->tileBox()->isChecked());
    QVERIFY(!w->autoloadBox()->isChecked());
    QVERIFY(!w->completeTracksBox()->isChecked());
    QCOMPARE(w->pollInterval(), 5);
    QVERIFY(!w->isAnimating());
    QVERIFY(!w->isCapturing());
    QVERIFY(!w->isPanelOpen());
    QCOMPARE(w->playButton()->toolTip(), QStringLiteral("Animation starten"));
    QCOMPARE(w->fetchButton()->toolTip(), QStringLiteral("neueste Positionsdaten holen"));
    QCOMPARE(w->windowTitle(), QString());
}

void TestMainWindow::xyStatus_data()
{
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lng");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QString>("latText");
    QTest::addColumn<QString>("lngText");
    QTest::addColumn<QString>("zoomText");
    QTest::newRow("Adriatic") << 42.5 << 16.0203 << 10 << "Lat:  42.50000"
                              << "Lng:  16.02030"
                              << "Zoom:10";
    QTest::newRow("south west") << -5.25 << -170.123456 << 4 << "Lat:  -5.25000"
                                << "Lng:-170.12346"
                                << "Zoom:4";
    QTest::newRow("zero") << 0.0 << 180.0 << 15 << "Lat:   0.00000"
                          << "Lng: 180.00000"
                          << "Zoom:15";
}

void TestMainWindow::xyStatus()
{
    QFETCH(double, lat);
    QFETCH(double, lng);
    QFETCH(int, zoom);
    m_window->setXYStatus(12, 34, lat, lng, zoom);
    const auto *lat_ = m_window->findChild<QLabel *>(QStringLiteral("lat"));
    const auto *lng_ = m_window->findChild<QLabel *>(QStringLiteral("lng"));
    const auto *zoom_ = m_window->findChild<QLabel *>(QStringLiteral("zoom"));
    QTEST(lat_->text(), "latText");
    QTEST(lng_->text(), "lngText");
    QTEST(zoom_->text(), "zoomText");
    m_window->setZoomStatus(7);
    QCOMPARE(zoom_->text(), QStringLiteral("Zoom:7"));
}

void TestMainWindow::lampCountsOverlappingTransfers()
{
    MainWindow *w = m_window.get();
    const QImage load = picture(QStringLiteral("img/loadicon.png"));
    const QImage idle = picture(QStringLiteral("img/idleicon.png"));
    QVERIFY(!load.isNull() && !idle.isNull() && load != idle);

    w->setLoading(true);
    w->setNetLedOn();
    QCOMPARE(iconImage(w->fetchButton()->icon()), load);
    QCOMPARE(w->fetchButton()->toolTip(), QStringLiteral("Übertragung stoppen"));
    w->setNetLedOn();
    QCOMPARE(w->pendingRequests(), 2);
    w->setNetLedOff();
    QCOMPARE(w->pendingRequests(), 1);
    QCOMPARE(iconImage(w->fetchButton()->icon()), load);
    QVERIFY(w->isLoading());
    w->setNetLedOff();
    QCOMPARE(w->pendingRequests(), 0);
    QCOMPARE(iconImage(w->fetchButton()->icon()), idle);
    QCOMPARE(w->fetchButton()->toolTip(), QStringLiteral("neueste Positionsdaten holen"));
    QVERIFY(!w->isLoading());
}

void TestMainWindow::lampStaysOnWhileOtherRepliesAreOpen()
{
    MainWindow *w = m_window.get();
    w->setLoading(true);
    w->setNetLedOn();
    w->setNetLedOn();
    // one positions reply handled: it places the boats and counts down once
    w->placeShips();
    w->setNetLedOff();
    QCOMPARE(w->pendingRequests(), 1);
    QVERIFY(w->isLoading());
    QCOMPARE(w->fetchButton()->toolTip(), QStringLiteral("Übertragung stoppen"));
    w->setNetLedOff();
    QCOMPARE(w->pendingRequests(), 0);
    QVERIFY(!w->isLoading());
}

void TestMainWindow::lampNeverBelowZero()
{
    MainWindow *w = m_window.get();
    w->setNetLedOff();
    w->setNetLedOff();
    QCOMPARE(w->pendingRequests(), 0);
    QCOMPARE(iconImage(w->fetchButton()->icon()), picture(QStringLiteral("img/idleicon.png")));
    // the next transfer lights it again and one reply puts it out
    w->setNetLedOn();
    QCOMPARE(w->pendingRequests(), 1);
    QCOMPARE(iconImage(w->fetchButton()->icon()), picture(QStringLiteral("img/loadicon.png")));
    w->setNetLedOff();
    QCOMPARE(w->pendingRequests(), 0);
    QCOMPARE(iconImage(w->fetchButton()->icon()), picture(QStringLiteral("img/idleicon.png")));
}

void TestMainWindow::lampAutomaticIcons()
{
    MainWindow *w = m_window.get();
    w->autoloadBox()->click(); // on
    QVERIFY(w->autoload());
    QCOMPARE(iconImage(w->fetchButton()->icon()), picture(QStringLiteral("img/idleicon_auto.png")));
    w->setNetLedOn();
    QCOMPARE(iconImage(w->fetchButton()->icon()), picture(QStringLiteral("img/loadicon_auto.png")));
    // switching automatic off keeps the loading state, drops the badge
    w->setLoading(true);
    w->autoloadBox()->click();
    QCOMPARE(iconImage(w->fetchButton()->icon()), picture(QStringLiteral("img/loadicon.png")));
    w->setNetLedOff();
    QCOMPARE(iconImage(w->fetchButton()->icon()), picture(QStringLiteral("img/idleicon.png")));
}

void TestMainWindow::animationTakesTenTicksOverHundredSeconds()
{
    MainWindow *w = m_window.get();
    w->setSliderRange(1270458000, 1270458100);
    w->setSliderValue(1270458000);
    QCOMPARE(w->timeSlider()->pageStep(), 120);
    QCOMPARE(w->timeSlider()->singleStep(), 1);

    w->animOnOff();
    QVERIFY(w->isAnimating());
    QVERIFY(w->animationTimer()->isActive());
    QCOMPARE(w->animationTimer()->interval(), 30);
    QCOMPARE(w->playButton()->toolTip(), QStringLiteral("Animation beenden"));
    QCOMPARE(iconImage(w->playButton()->icon()), picture(QStringLiteral("img/pausebutton.png")));

    QSignalSpy clock(w->timeSlider(), &QSlider::valueChanged);
    int ticks = 0;
    while (w->isAnimating() && ticks < 50) {
        w->advanceFrame(); // what the timer's timeout runs
        ++ticks;
    }
    QCOMPARE(ticks, 10);
    QCOMPARE(clock.count(), 10);
    QCOMPARE(w->timeSlider()->value(), 1270458100);
    QVERIFY(!w->animationTimer()->isActive());
    QCOMPARE(w->playButton()->toolTip(), QStringLiteral("Animation starten"));
    QCOMPARE(iconImage(w->playButton()->icon()), picture(QStringLiteral("img/playbutton.png")));
    QCOMPARE(
        w->clockLabel()->text(),
        QDateTime::fromSecsSinceEpoch(1270458100).toString(QStringLiteral("dd.MM.yyyy hh:mm")));

    // and the real timer drives it as well
    w->setSliderValue(1270458000);
    w->animOnOff();
    QTRY_VERIFY_WITH_TIMEOUT(!w->isAnimating(), 5000);
    QCOMPARE(w->timeSlider()->value(), 1270458100);
}

void TestMainWindow::animationDoesNotStartOnEmptyRace()
{
    MainWindow *w = m_window.get();
    w->animOnOff();
    QVERIFY(!w->isAnimating());
    QVERIFY(!w->animationTimer()->isActive());
    QCOMPARE(w->playButton()->toolTip(), QStringLiteral("Animation starten"));
    // pressing play twice on a loaded race stops it again
    w->setSliderRange(100, 1000);
    w->animOnOff();
    QVERIFY(w->isAnimating());
    w->animOnOff();
    QVERIFY(!w->isAnimating());
    QVERIFY(!w->animationTimer()->isActive());
}

void TestMainWindow::timePastMaximumChangesOnlyClock()
{
    MainWindow *w = m_window.get();
    w->setSliderRange(1000, 2000);
    w->setSliderValue(1500);
    w->setUhrzeit(1270458000);
    QCOMPARE(
        w->clockLabel()->text(),
        QDateTime::fromSecsSinceEpoch(1270458000).toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    QCOMPARE(w->timeSlider()->value(), 1500);
    // zero means the slider's value
    w->setUhrzeit(0);
    QCOMPARE(w->clockLabel()->text(),
             QDateTime::fromSecsSinceEpoch(1500).toString(QStringLiteral("dd.MM.yyyy hh:mm")));
}

void TestMainWindow::raceChangeStopsAnimation()
{
    makeRegatta();
    MainWindow *w = m_window.get();
    w->setSliderRange(1000, 100000);
    w->setSliderValue(1000);
    w->animOnOff();
    QVERIFY(w->isAnimating());
    QAction *race2011 =
        findAction(w->raceMenu(), QStringLiteral("Vudav Avazavava Zerevudeva 2011"));
    QVERIFY(race2011);
    race2011->trigger();
    QVERIFY(!w->isAnimating());
    QVERIFY(!w->animationTimer()->isActive());
    QCOMPARE(w->playButton()->toolTip(), QStringLiteral("Animation starten"));
    QCOMPARE(m_regatta->eventId(), 21);
    QCOMPARE(w->windowTitle(), QStringLiteral("Velmaro 2.7.2 Vudav Avazavava Zerevudeva 2011"));
}

void TestMainWindow::captureWritesJpegOfViewSize()
{
    MainWindow *w = m_window.get();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->setSliderRange(1270457000, 1270459000);
    w->captureOnOff();
    QVERIFY(w->isCapturing());
    w->setSliderValue(1270458000);

    const QString file = QStringLiteral("movie/scene.1270458000.jpg");
    QVERIFY(QFile::exists(file));
    QCOMPARE(QDir::current().filePath(file), MainWindow::frameFileName(1270458000));
    QImageReader reader(file);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage frame = reader.read();
    QVERIFY(!frame.isNull());
    QCOMPARE(frame.size(), w->karte()->size());

    w->captureOnOff();
    QVERIFY(!w->isCapturing());
    w->setSliderValue(1270458500);
    QVERIFY(!QFile::exists(QStringLiteral("movie/scene.1270458500.jpg")));
}

void TestMainWindow::captureCreatesMovieFolderBeforeFirstFrame()
{
    MainWindow *w = m_window.get();
    w->setSliderRange(1000, 2000);
    w->captureOnOff();
    QVERIFY(QFileInfo(QStringLiteral("movie")).isDir());
    // also when the folder vanished while capturing
    QVERIFY(QDir(QStringLiteral("movie")).removeRecursively());
    w->setSliderValue(1500);
    QVERIFY(QFile::exists(QStringLiteral("movie/scene.1500.jpg")));
}

void TestMainWindow::captureFailureReportedOnce()
{
    MainWindow *w = m_window.get();
    // a plain file where the folder should be: no frame can be written
    QFile blocker(QStringLiteral("movie"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    w->setSliderRange(1000, 2000);
    w->captureOnOff();
    QSignalSpy messages(w->statusBar(), &QStatusBar::messageChanged);
    for (int t = 1010; t <= 1100; t += 10)
        w->setSliderValue(t);
    int failures = 0;
    for (const QList<QVariant> &message : std::as_const(messages)) {
        if (message.at(0).toString().contains(QStringLiteral("konnte nicht")))
            ++failures;
    }
    QCOMPARE(failures, 1);
    QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("scene.1010.jpg")));
    QCOMPARE(m_boxes->count(), 0);
}

void TestMainWindow::captureMenuEntryTogglesAndTellsWhere()
{
    MainWindow *w = m_window.get();
    QAction *capture = w->captureAction();
    capture->trigger();
    QVERIFY(w->isCapturing());
    QVERIFY(capture->isChecked());
    QVERIFY(w->statusBar()->currentMessage().contains(
        QDir::toNativeSeparators(MainWindow::movieFolder())));
    // the slot keeps the entry in step
    w->captureOnOff();
    QVERIFY(!w->isCapturing());
    QVERIFY(!capture->isChecked());
    capture->trigger();
    QVERIFY(w->isCapturing());
}

void TestMainWindow::preferenceBoxesStoreZeroOrOne_data()
{
    QTest::addColumn<QString>("column");
    QTest::newRow("loadmaps") << "loadmaps";
    QTest::newRow("autoload") << "autoload";
    QTest::newRow("lookforupdate") << "lookforupdate";
}

void TestMainWindow::preferenceBoxesStoreZeroOrOne()
{
    QFETCH(QString, column);
    MainWindow *w = m_window.get();
    QCheckBox *box = column == QLatin1String("loadmaps")   ? w->tileBox()
                     : column == QLatin1String("autoload") ? w->autoloadBox()
                                                           : w->updateBox();
    const QString sql = QStringLiteral("SELECT %1 FROM prefs WHERE id=1").arg(column);
    m_db->exec({QStringLiteral("UPDATE prefs SET %1=7").arg(column)});
    const bool was = box->isChecked();
    box->click();
    QCOMPARE(box->isChecked(), !was);
    QCOMPARE(m_db->scalar(sql).toString(), was ? QStringLiteral("0") : QStringLiteral("1"));
    box->click();
    QCOMPARE(m_db->scalar(sql).toString(), was ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(w->loadMapsEnabled(), w->tileBox()->isChecked());
    QCOMPARE(w->lookForUpdate(), w->updateBox()->isChecked());
}

void TestMainWindow::storedTwoCountsAsOff()
{
    m_db->exec({QStringLiteral("UPDATE prefs SET loadmaps=2, autoload=2, lookforupdate=2")});
    makeRegatta();
    MainWindow *w = m_window.get();
    QVERIFY(!w->loadMaps());
    QVERIFY(!w->tileBox()->isChecked());
    QVERIFY(!w->autoload());
    QVERIFY(!w->pollTimer()->isActive());
    QVERIFY(!w->lookForUpdate());
    QVERIFY(!w->updateBox()->isChecked());

    m_regatta.reset();
    QVERIFY(!w->regatta());
    QVERIFY(w->raceActions().isEmpty());
    m_db->exec({QStringLiteral("UPDATE prefs SET loadmaps=1, lookforupdate=1")});
    makeRegatta();
    QCOMPARE(w->raceActions().size(), 2);
    QVERIFY(w->loadMaps());
    QVERIFY(w->tileBox()->isChecked());
    QVERIFY(w->lookForUpdate());
}

void TestMainWindow::pollIntervalFromPrefs()
{
    m_db->exec({QStringLiteral("UPDATE prefs SET loadinterval=7")});
    m_window->loadPreferences();
    QCOMPARE(m_window->pollInterval(), 7);
    QCOMPARE(m_window->pollIntervalMs(), 420000);
    m_db->exec({QStringLiteral("UPDATE prefs SET loadinterval=5")});
    m_window->loadPreferences();
    QCOMPARE(m_window->pollIntervalMs(), 300000);
    // no row: five minutes
    m_db->exec({QStringLiteral("DELETE FROM prefs")});
    m_window->setPollInterval(9);
    m_window->loadPreferences();
    QCOMPARE(m_window->pollInterval(), 5);
}

void TestMainWindow::zeroPollIntervalFallsBackToFive()
{
    m_db->exec({QStringLiteral("UPDATE prefs SET loadinterval=0")});
    m_window->loadPreferences();
    QCOMPARE(m_window->pollInterval(), 5);
    QCOMPARE(m_window->pollTimer()->interval(), 300000);
}

void TestMainWindow::autoloadBoxDrivesPollTimer()
{
    m_db->exec({QStringLiteral("UPDATE prefs SET autoload=0")});
    m_window->loadPreferences();
    MainWindow *w = m_window.get();
    QVERIFY(!w->pollTimer()->isActive());
    w->autoloadBox()->click();
    QVERIFY(w->pollTimer()->isActive());
    QCOMPARE(w->pollTimer()->interval(), 300000);
    w->autoloadBox()->click();
    QVERIFY(!w->pollTimer()->isActive());
    // stored autoload starts the timer when the preferences are loaded
    m_db->exec({QStringLiteral("UPDATE prefs SET autoload=1")});
    w->loadPreferences();
    QVERIFY(w->autoloadBox()->isChecked());
    QVERIFY(w->pollTimer()->isActive());
    QCOMPARE(w->pollTimer()->interval(), 300000);
}

void TestMainWindow::panelSizes_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("width");
    QTest::addColumn<QList<int>>("sizes");
    QTest::newRow("open 900") << true << 900 << QList<int>{600, 300};
    QTest::newRow("closed 900") << false << 900 << QList<int>{900, 0};
    QTest::newRow("open 738") << true << 738 << QList<int>{492, 246};
    QTest::newRow("open 1000") << true << 1000 << QList<int>{667, 333};
}

void TestMainWindow::panelSizes()
{
    QFETCH(bool, open);
    QFETCH(int, width);
    QTEST(MainWindow::panelSizes(open, width), "sizes");
}

void TestMainWindow::toggleLegendeOpensAndCloses()
{
    MainWindow *w = m_window.get();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->toggleLegende();
    QVERIFY(w->isPanelOpen());
    QVERIFY(w->splitter()->sizes().at(1) > 0);
    w->toggleLegende();
    QVERIFY(!w->isPanelOpen());
    QCOMPARE(w->splitter()->sizes().at(1), 0);
    // the legend's Space reaches the same toggle
    emit w->legend()->toggleLegende();
    QVERIFY(w->isPanelOpen());
}

void TestMainWindow::spaceKeyTogglesPanel()
{
    MainWindow *w = m_window.get();
    QTest::keyClick(w, Qt::Key_Space);
    QVERIFY(w->isPanelOpen());
    QTest::keyClick(w, Qt::Key_A);
    QVERIFY(w->isPanelOpen());
    QTest::keyClick(w, Qt::Key_Space);
    QVERIFY(!w->isPanelOpen());
}

void TestMainWindow::windowStateWrittenOnCloseAndRestored()
{
    makeRegatta(21, 120);
    MainWindow *w = m_window.get();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->setGeometry(120, 80, 800, 640);
    w->toggleLegende();
    QVERIFY(w->close());
    {
        QSettings settings(QStringLiteral("velmaro.org"), QStringLiteral("Velmaro"));
        QVERIFY(settings.value(QStringLiteral("geomMainwindow")).isValid());
        QCOMPARE(settings.value(QStringLiteral("splitterOpen")).toBool(), true);
        QCOMPARE(settings.value(QStringLiteral("eventId")).toInt(), 21);
        QCOMPARE(settings.value(QStringLiteral("taskId")).toInt(), 120);
    }
    m_regatta.reset();

    // what start-up does with them
    auto next = Startup::createMainWindow();
    QSettings settings(QStringLiteral("velmaro.org"), QStringLiteral("Velmaro"));
    Startup::applyWindowGeometry(next.get(), settings);
    Startup::applyPanelState(next.get(), settings);
    const Startup::StartRace race = Startup::startRace(settings);
    QCOMPARE(race.eventId, 21);
    QCOMPARE(race.taskId, 120);
    QVERIFY(next->isPanelOpen());
    QCOMPARE(next->size(), QSize(800, 640));
}

void TestMainWindow::windowStateDefaults()
{
    QSettings settings(QStringLiteral("velmaro.org"), QStringLiteral("Velmaro"));
    Startup::applyWindowGeometry(m_window.get(), settings);
    Startup::applyPanelState(m_window.get(), settings);
    const Startup::StartRace race = Startup::startRace(settings);
    QCOMPARE(race.eventId, 10);
    QCOMPARE(race.taskId, 88);
    QVERIFY(!m_window->isPanelOpen());
    QCOMPARE(m_window->geometry(), QRect(50, 50, 738, 664));
}

void TestMainWindow::raceMenuListsNewestFirstAndSelectsStartRace()
{
    makeRegatta();
    MainWindow *w = m_window.get();
    const QList<QAction *> races = w->raceActions();
    QCOMPARE(races.size(), 2);
    QCOMPARE(races.at(0)->text(), QStringLiteral("Vudav Avazavava Zerevudeva 2011"));
    QCOMPARE(races.at(1)->text(), QStringLiteral("Dorur Izadidiva Dazidevire 2010"));
    QCOMPARE(m_regatta->eventId(), 10);
    QCOMPARE(m_regatta->taskId(), 88);
    QCOMPARE(m_regatta->id(), 1);
    QCOMPARE(m_regatta->name(), QStringLiteral("Dorur Izadidiva Dazidevire 2010"));
    QCOMPARE(m_regatta->start(), 1270458000);
    QCOMPARE(m_regatta->end(), 1270764000);
    QCOMPARE(w->regatta(), m_regatta.get());
    QCOMPARE(w->windowTitle(), QStringLiteral("Velmaro 2.7.2 Dorur Izadidiva Dazidevire 2010"));
}

void TestMainWindow::unknownStartRaceSelectsNothing()
{
    makeRegatta(21, 121);
    QCOMPARE(m_regatta->name(), QString());
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Velmaro 2.7.2 "));
    QVERIFY(m_window->gateMenu()->actions().isEmpty());
    QCOMPARE(m_window->timeSlider()->maximum(), 0);
}

void TestMainWindow::finishedRaceDisablesFetching()
{
    m_db->exec({QStringLiteral("UPDATE prefs SET autoload=1")});
    makeRegatta();
    MainWindow *w = m_window.get();
    QVERIFY(!w->fetchButton()->isEnabled());
    QVERIFY(!w->autoloadBox()->isEnabled());
    QVERIFY(!w->autoload());
    // not stored
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT autoload FROM prefs")).toInt(), 1);
}

void TestMainWindow::runningRaceEnablesFetching()
{
    m_db->exec({QStringLiteral("UPDATE regatta SET bis=1500000000 WHERE id=2"),
                QStringLiteral("UPDATE prefs SET autoload=1")});
    makeRegatta(21, 120);
    MainWindow *w = m_window.get();
    QVERIFY(w->fetchButton()->isEnabled());
    QVERIFY(w->autoloadBox()->isEnabled());
    QVERIFY(w->autoload());
    QVERIFY(w->pollTimer()->isActive());
    QCOMPARE(w->pollTimer()->interval(), 300000);
}

void TestMainWindow::aboutOsmOpensProjectPage()
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    QMenu *file = findMenu(m_window.get(), QStringLiteral("&Datei"));
    QAction *osm = nullptr;
    for (QAction *action : file->actions()) {
        if (action->text().contains(QStringLiteral("OpenStreetMap")))
            osm = action;
    }
    QVERIFY(osm);
    osm->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(recorder.urls, QList<QUrl>{QUrl(QStringLiteral("https://www.openstreetmap.org"))});
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
