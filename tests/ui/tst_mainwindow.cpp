#include "ui/iconselector.h"
#include "ui/leaderboardpanel.h"
#include "app/startup.h"
#include "uitest.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QSettings>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using UiTest::findAction;

namespace
{
QImage picture(const QString &name)
{
    return QImage(u"img/%1.png"_s.arg(name)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(
        QImage::Format_ARGB32_Premultiplied);
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
    UiTest::Window f;
    MainWindow *w = nullptr;

    void clearMovieFolder()
    {
        QDir(MainWindow::movieFolder()).removeRecursively();
        QFile::remove(MainWindow::movieFolder());
    }
    void showWindow()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    QString pref(const QString &column)
    {
        return f.db->scalar(u"SELECT %1 FROM prefs WHERE id=1"_s.arg(column)).toString();
    }
    void setPrefs(const QString &assignments)
    {
        QVERIFY(f.db->exec({u"UPDATE prefs SET "_s + assignments}));
    }
    // Pending count, icon and tooltip of the fetch button; the tooltip goes with the icon.
    void checkLamp(int pending, const QString &icon)
    {
        QCOMPARE(w->pendingRequests(), pending);
        QCOMPARE(iconImage(w->fetchButton()->icon()), picture(icon));
        QCOMPARE(w->fetchButton()->toolTip(), icon.startsWith(u"load"_s)
                                                  ? u"Übertragung stoppen"_s
                                                  : u"neueste Positionsdaten holen"_s);
    }

private slots:
    void initTestCase() { UiTest::initCase(); }
    void init()
    {
        clearMovieFolder();
        QVERIFY(f.open({}, QSize(900, 600)));
        w = f.window.get();
    }
    void cleanup()
    {
        f.close();
        clearMovieFolder();
    }

    void widgetTreeAndInitialState()
    {
        QCOMPARE(w->findChild<QLabel *>(u"uhrzeit"_s), w->clockLabel());
        QVERIFY(!w->windowIcon().isNull());
        auto *dank = w->findChild<QLabel *>(u"danklabel"_s);
        QVERIFY(dank && dank->text().contains(u"OpenStreetMap"_s));
        QCOMPARE(dank->parentWidget(), w->statusBar());

        QSplitter *splitter = w->splitter();
        QCOMPARE(splitter->orientation(), Qt::Horizontal);
        QCOMPARE(splitter->count(), 2);
        QCOMPARE(splitter->widget(0), static_cast<QWidget *>(w->karte()));
        QCOMPARE(splitter->widget(1), static_cast<QWidget *>(w->sidePanel()));
        QTabWidget *panel = w->sidePanel();
        QCOMPARE(panel->count(), 3);
        const QStringList tabs{u"Teilnehmer"_s, u"Einstellungen"_s, u"Rangliste"_s};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(panel->tabText(i), tabs.at(i));
        QCOMPARE(panel->widget(0), static_cast<QWidget *>(w->legend()));
        QCOMPARE(panel->widget(2), static_cast<QWidget *>(w->leaderboard()));

        // bottom bar, left to right; index 4 is a label
        auto *main = qobject_cast<QVBoxLayout *>(w->centralWidget()->layout());
        QVERIFY(main);
        QCOMPARE(main->itemAt(0)->widget(), static_cast<QWidget *>(splitter));
        auto *bar = qobject_cast<QHBoxLayout *>(main->itemAt(1)->layout());
        QVERIFY(bar);
        const QList<QWidget *> order{w->clockLabel(), w->playButton(), w->speedBox(),
                                     w->timeSlider(), nullptr, w->fetchButton()};
        QCOMPARE(bar->count(), order.size());
        for (int i = 0; i < order.size(); ++i) {
            if (order.at(i))
                QCOMPARE(bar->itemAt(i)->widget(), order.at(i));
        }
        QVERIFY(qobject_cast<QLabel *>(bar->itemAt(4)->widget()));
        QCOMPARE(w->playButton()->iconSize(), QSize(32, 32));
        QCOMPARE(w->fetchButton()->iconSize(), QSize(32, 32));

        QStringList labels;
        for (QLabel *label : panel->widget(1)->findChildren<QLabel *>())
            labels.append(label->text());
        for (const QString &row : {u"Letzte Abfrage der Postionsdaten"_s,
                                   u"Positionsdaten automatisch herunterladen"_s,
                                   u"Fehlende Karten automatisch herunterladen"_s,
                                   u"Beim Start nach Programmupdates suchen"_s,
                                   u"komplette Tracks anzeigen"_s})
            QVERIFY2(labels.contains(row), qPrintable(row));
        const QFont font = w->lastFetchLabel()->font();
        QCOMPARE(font.family(), u"Arial"_s);
        QVERIFY(font.bold());
        QCOMPARE(font.pointSize(), 9);

        QCOMPARE(w->timeSlider()->maximum(), 0);
        QCOMPARE(w->clockLabel()->text(), UiTest::clockText(UiTest::fixedNow));
        QCOMPARE(w->lastFetchLabel()->text(), u"--.--.---- --:--"_s);
        QVERIFY(w->updateBox()->isChecked());
        QVERIFY(!w->tileBox()->isChecked());
        QVERIFY(!w->autoloadBox()->isChecked());
        QVERIFY(!w->completeTracksBox()->isChecked());
        QCOMPARE(w->pollInterval(), 5);
        QVERIFY(!w->isAnimating() && !w->isCapturing() && !w->isPanelOpen());
        QCOMPARE(w->playButton()->toolTip(), u"Animation starten"_s);
        QCOMPARE(w->windowTitle(), QString());
    }

    void menus()
    {
        QMenu *file = findMenu(w, u"&Datei"_s);
        QVERIFY(file);
        QAction *capture = findAction(file, u"Bilder aufzeichnen"_s);
        QVERIFY(capture && capture->isCheckable() && !capture->isChecked());
        QCOMPARE(findMenu(w, u"&Regatten"_s), w->raceMenu());
        QCOMPARE(findMenu(w, u"&Gates"_s), w->gateMenu());

        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(u"https"_s, &recorder, "open");
        for (QAction *action : file->actions()) {
            if (action->text().contains(u"OpenStreetMap"_s))
                action->trigger();
        }
        QDesktopServices::unsetUrlHandler(u"https"_s);
        QCOMPARE(recorder.urls, QList<QUrl>{QUrl(u"https://www.openstreetmap.org"_s)});

        showWindow();
        QAction *quit = findAction(file, u"&Beenden"_s);
        QVERIFY(quit);
        quit->trigger();
        QVERIFY(!w->isVisible());
    }

    void xyStatus_data()
    {
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lng");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("Adriatic")
            << 42.5 << 16.0203 << 10 << QStringList{"Lat:  42.50000", "Lng:  16.02030", "Zoom:10"};
        QTest::newRow("south west") << -5.25 << -170.123456 << 4
                                    << QStringList{"Lat:  -5.25000", "Lng:-170.12346", "Zoom:4"};
        QTest::newRow("zero")
            << 0.0 << 180.0 << 15 << QStringList{"Lat:   0.00000", "Lng: 180.00000", "Zoom:15"};
    }
    void xyStatus()
    {
        QFETCH(double, lat);
        QFETCH(double, lng);
        QFETCH(int, zoom);
        QFETCH(QStringList, texts);
        w->setXYStatus(12, 34, lat, lng, zoom);
        const QStringList names{u"lat"_s, u"lng"_s, u"zoom"_s};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(w->findChild<QLabel *>(names.at(i))->text(), texts.at(i));
        w->setZoomStatus(7);
        QCOMPARE(w->findChild<QLabel *>(u"zoom"_s)->text(), u"Zoom:7"_s);
    }

    // Steps: "+" a transfer starts, "-" a reply is handled, "L" loading
    // starts, "a" the autoload box is clicked; each step
    // is followed by ":pending:icon" to check, and ":loading" where the
    // transfer must still count as running.
    void lampCountsTransfers_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("overlapping transfers")
            << QStringList{"L:0:idleicon", "+:1:loadicon", "+:2:loadicon", "-:1:loadicon:loading",
                           "-:0:idleicon"};
        QTest::newRow("never below zero")
            << QStringList{"-:0:idleicon", "-:0:idleicon", "+:1:loadicon", "-:0:idleicon"};
        // switching automatic off keeps the loading state, drops the badge
        QTest::newRow("automatic icons")
            << QStringList{"a:0:idleicon_auto", "+:1:loadicon_auto", "L:1:loadicon_auto",
                           "a:1:loadicon", "-:0:idleicon"};
    }
    void lampCountsTransfers()
    {
        QFETCH(QStringList, steps);
        for (const QString &step : steps) {
            const QStringList parts = step.split(u':');
            switch (parts.at(0).at(0).toLatin1()) {
            case '+': w->setNetLedOn(); break;
            case '-': w->setNetLedOff(); break;
            case 'L': w->setLoading(true); break;
            case 'a': w->autoloadBox()->click(); break;
            }
            checkLamp(parts.at(1).toInt(), parts.at(2));
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(u"after step "_s + step));
            if (parts.size() > 3)
                QVERIFY(w->isLoading());
        }
        QVERIFY(!w->isLoading());
    }

    void animationTakesTenTicksOverHundredSeconds()
    {
        w->setSliderRange(1270458000, 1270458100);
        w->setSliderValue(1270458000);
        QCOMPARE(w->timeSlider()->pageStep(), 120);
        w->animOnOff();
        QVERIFY(w->animationTimer()->isActive());
        QCOMPARE(w->animationTimer()->interval(), 30);
        QCOMPARE(w->playButton()->toolTip(), u"Animation beenden"_s);
        QCOMPARE(iconImage(w->playButton()->icon()), picture(u"pausebutton"_s));

        QSignalSpy clock(w->timeSlider(), &QSlider::valueChanged);
        int ticks = 0;
        for (; w->isAnimating() && ticks < 50; ++ticks)
            w->advanceFrame(); // what the timer's timeout runs
        QCOMPARE(ticks, 10);
        QCOMPARE(clock.count(), 10);
        QCOMPARE(w->timeSlider()->value(), 1270458100);
        QVERIFY(!w->animationTimer()->isActive());
        QCOMPARE(w->playButton()->toolTip(), u"Animation starten"_s);
        QCOMPARE(iconImage(w->playButton()->icon()), picture(u"playbutton"_s));
        QCOMPARE(w->clockLabel()->text(), UiTest::clockText(1270458100));

        // and the real timer drives it as well
        w->setSliderValue(1270458000);
        w->animOnOff();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isAnimating(), 5000);
        QCOMPARE(w->timeSlider()->value(), 1270458100);
    }

    void animationDoesNotStartOnEmptyRace()
    {
        w->animOnOff();
        QVERIFY(!w->isAnimating());
        QVERIFY(!w->animationTimer()->isActive());
        // pressing play twice on a loaded race stops it again
        w->setSliderRange(100, 1000);
        w->animOnOff();
        QVERIFY(w->isAnimating());
        w->animOnOff();
        QVERIFY(!w->isAnimating());
        QVERIFY(!w->animationTimer()->isActive());
    }

    void timePastMaximumChangesOnlyClock()
    {
        w->setSliderRange(1000, 2000);
        w->setSliderValue(1500);
        w->setUhrzeit(1270458000);
        QCOMPARE(w->clockLabel()->text(), UiTest::clockText(1270458000));
        QCOMPARE(w->timeSlider()->value(), 1500);
        w->setUhrzeit(0); // zero means the slider's value
        QCOMPARE(w->clockLabel()->text(), UiTest::clockText(1500));
    }

    void raceChangeStopsAnimation()
    {
        f.start();
        w->setSliderRange(1000, 100000);
        w->setSliderValue(1000);
        w->animOnOff();
        QVERIFY(w->isAnimating());
        findAction(w->raceMenu(), u"Vudav Avazavava Zerevudeva 2011"_s)->trigger();
        QVERIFY(!w->isAnimating());
        QVERIFY(!w->animationTimer()->isActive());
        QCOMPARE(w->playButton()->toolTip(), u"Animation starten"_s);
        QCOMPARE(f.regatta->eventId(), 21);
        QCOMPARE(w->windowTitle(), u"Velmaro 2.7.2 Vudav Avazavava Zerevudeva 2011"_s);
    }

    void captureWritesJpegOfViewSizeAndMenuEntryFollows()
    {
        showWindow();
        w->setSliderRange(1270457000, 1270459000);
        QAction *capture = w->captureAction();
        capture->trigger();
        QVERIFY(w->isCapturing());
        QVERIFY(w->statusBar()->currentMessage().contains(
            QDir::toNativeSeparators(MainWindow::movieFolder())));
        w->setSliderValue(1270458000);

        const QString file = u"movie/scene.1270458000.jpg"_s;
        QCOMPARE(QDir::current().filePath(file), MainWindow::frameFileName(1270458000));
        QImageReader reader(file);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.read().size(), w->karte()->size());

        // the slot keeps the entry in step
        w->captureOnOff();
        QVERIFY(!w->isCapturing());
        QVERIFY(!capture->isChecked());
        w->setSliderValue(1270458500);
        QVERIFY(!QFile::exists(u"movie/scene.1270458500.jpg"_s));
        capture->trigger();
        QVERIFY(w->isCapturing() && capture->isChecked());
    }

    void captureCreatesMovieFolderBeforeFirstFrame()
    {
        w->setSliderRange(1000, 2000);
        w->captureOnOff();
        QVERIFY(QFileInfo(u"movie"_s).isDir());
        // also when the folder vanished while capturing
        QVERIFY(QDir(u"movie"_s).removeRecursively());
        w->setSliderValue(1500);
        QVERIFY(QFile::exists(u"movie/scene.1500.jpg"_s));
    }

    void captureFailureReportedOnce()
    {
        // a plain file where the folder should be: no frame can be written
        QFile blocker(u"movie"_s);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        w->setSliderRange(1000, 2000);
        w->captureOnOff();
        QSignalSpy messages(w->statusBar(), &QStatusBar::messageChanged);
        for (int t = 1010; t <= 1100; t += 10)
            w->setSliderValue(t);
        int failures = 0;
        for (const QList<QVariant> &message : std::as_const(messages))
            failures += message.at(0).toString().contains(u"konnte nicht"_s);
        QCOMPARE(failures, 1);
        QVERIFY(w->statusBar()->currentMessage().contains(u"scene.1010.jpg"_s));
        QCOMPARE(f.boxes->count(), 0);
    }

    void preferenceBoxesStoreZeroOrOne_data()
    {
        QTest::addColumn<QString>("column");
        for (const char *column : {"loadmaps", "autoload", "lookforupdate"})
            QTest::newRow(column) << QString::fromLatin1(column);
    }
    void preferenceBoxesStoreZeroOrOne()
    {
        QFETCH(QString, column);
        QCheckBox *box = column == u"loadmaps"_s   ? w->tileBox()
                         : column == u"autoload"_s ? w->autoloadBox()
                                                   : w->updateBox();
        setPrefs(column + u"=7"_s);
        const bool was = box->isChecked();
        box->click();
        QCOMPARE(box->isChecked(), !was);
        QCOMPARE(pref(column), was ? u"0"_s : u"1"_s);
        box->click();
        QCOMPARE(pref(column), was ? u"1"_s : u"0"_s);
        QCOMPARE(w->loadMapsEnabled(), w->tileBox()->isChecked());
        QCOMPARE(w->lookForUpdate(), w->updateBox()->isChecked());
    }

    void storedTwoCountsAsOff()
    {
        setPrefs(u"loadmaps=2, autoload=2, lookforupdate=2"_s);
        f.start();
        QVERIFY(!w->loadMaps() && !w->tileBox()->isChecked());
        QVERIFY(!w->autoload() && !w->pollTimer()->isActive());
        QVERIFY(!w->lookForUpdate() && !w->updateBox()->isChecked());

        f.regatta.reset();
        QVERIFY(!w->regatta());
        QVERIFY(w->raceActions().isEmpty());
        setPrefs(u"loadmaps=1, lookforupdate=1"_s);
        f.start();
        QCOMPARE(w->raceActions().size(), 2);
        QVERIFY(w->loadMaps() && w->tileBox()->isChecked());
        QVERIFY(w->lookForUpdate() && w->updateBox()->isChecked());
    }

    void pollInterval_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("minutes");
        QTest::newRow("seven") << "UPDATE prefs SET loadinterval=7, autoload=1" << 7;
        QTest::newRow("zero falls back to five") << "UPDATE prefs SET loadinterval=0" << 5;
        QTest::newRow("no row") << "DELETE FROM prefs" << 5;
    }
    void pollInterval()
    {
        QFETCH(QString, sql);
        QFETCH(int, minutes);
        w->setPollInterval(9);
        QVERIFY(f.db->exec({sql}));
        w->loadPreferences();
        QCOMPARE(w->pollInterval(), minutes);
        QCOMPARE(w->pollIntervalMs(), minutes * 60000);
        // a timer started by the stored autoload runs at the stored interval
        if (w->pollTimer()->isActive())
            QCOMPARE(w->pollTimer()->interval(), minutes * 60000);
    }

    void autoloadBoxDrivesPollTimer()
    {
        setPrefs(u"autoload=0"_s);
        w->loadPreferences();
        QVERIFY(!w->pollTimer()->isActive());
        w->autoloadBox()->click();
        QVERIFY(w->pollTimer()->isActive());
        QCOMPARE(w->pollTimer()->interval(), 300000);
        w->autoloadBox()->click();
        QVERIFY(!w->pollTimer()->isActive());
        // stored autoload starts the timer when the preferences are loaded
        setPrefs(u"autoload=1"_s);
        w->loadPreferences();
        QVERIFY(w->autoloadBox()->isChecked());
        QVERIFY(w->pollTimer()->isActive());
    }

    void panelSizes_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("open 900") << true << 900 << QList<int>{600, 300};
        QTest::newRow("closed 900") << false << 900 << QList<int>{900, 0};
        QTest::newRow("open 738") << true << 738 << QList<int>{492, 246};
        QTest::newRow("open 1000") << true << 1000 << QList<int>{667, 333};
    }
    void panelSizes()
    {
        QFETCH(bool, open);
        QFETCH(int, width);
        QTEST(MainWindow::panelSizes(open, width), "sizes");
    }

    void panelToggledByMenuSpaceAndLegend()
    {
        QTest::keyClick(w, Qt::Key_Space);
        QVERIFY(w->isPanelOpen());
        QTest::keyClick(w, Qt::Key_A);
        QVERIFY(w->isPanelOpen());
        QTest::keyClick(w, Qt::Key_Space);
        QVERIFY(!w->isPanelOpen());

        showWindow();
        w->toggleLegende();
        QVERIFY(w->isPanelOpen());
        QVERIFY(w->splitter()->sizes().at(1) > 0);
        w->toggleLegende();
        QCOMPARE(w->splitter()->sizes().at(1), 0);
        emit w->legend()->toggleLegende(); // the legend's Space
        QVERIFY(w->isPanelOpen());
    }

    void panelDraggedClosedCountsAsClosed()
    {
        showWindow();
        w->toggleLegende();
        QSplitterHandle *handle = w->splitter()->handle(1);
        const auto send = [&](QEvent::Type type, int x, Qt::MouseButtons buttons) {
            QMouseEvent event(type, QPointF(x, 5), handle->mapToGlobal(QPointF(x, 5)),
                              Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(handle, &event);
        };
        // drag the handle to the right edge: the panel collapses
        send(QEvent::MouseButtonPress, 0, Qt::LeftButton);
        send(QEvent::MouseMove, w->width(), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, w->width(), Qt::NoButton);
        QCOMPARE(w->splitter()->sizes().at(1), 0);
        QVERIFY(!w->isPanelOpen());

        QTest::keyClick(w, Qt::Key_Space); // opens it at the first press
        QVERIFY(w->splitter()->sizes().at(1) > 0);
        QVERIFY(w->close());
        QVERIFY(QSettings(u"velmaro.org"_s, u"Velmaro"_s).value(u"splitterOpen"_s).toBool());
    }

    void windowStateWrittenOnCloseAndRestored()
    {
        QSettings settings(u"velmaro.org"_s, u"Velmaro"_s);
        Startup::applyPanelState(w, settings);
        QVERIFY(!w->isPanelOpen()); // the default

        f.start(21, 120);
        showWindow();
        w->setGeometry(120, 80, 800, 640);
        w->toggleLegende();
        QVERIFY(w->close());
        settings.sync();
        QVERIFY(settings.value(u"geomMainwindow"_s).isValid());
        QCOMPARE(settings.value(u"splitterOpen"_s).toBool(), true);
        f.regatta.reset();

        // what start-up does with them
        auto next = Startup::createMainWindow();
        Startup::applyWindowGeometry(next.get(), settings);
        Startup::applyPanelState(next.get(), settings);
        const Startup::StartRace race = Startup::startRace(settings);
        QCOMPARE(race.eventId, 21);
        QCOMPARE(race.taskId, 120);
        QVERIFY(next->isPanelOpen());
        QCOMPARE(next->size(), QSize(800, 640));
    }

    void raceMenuListsNewestFirstAndSelectsStartRace()
    {
        // an unknown start race selects nothing
        f.start(21, 121);
        QCOMPARE(f.regatta->name(), QString());
        QCOMPARE(w->windowTitle(), u"Velmaro 2.7.2 "_s);
        QVERIFY(w->gateMenu()->actions().isEmpty());
        QCOMPARE(w->timeSlider()->maximum(), 0);

        f.regatta.reset();
        f.start();
        const QList<QAction *> races = w->raceActions();
        QCOMPARE(races.size(), 2);
        QCOMPARE(races.at(0)->text(), u"Vudav Avazavava Zerevudeva 2011"_s);
        QCOMPARE(races.at(1)->text(), u"Dorur Izadidiva Dazidevire 2010"_s);
        QCOMPARE(f.regatta->id(), 1);
        QCOMPARE(f.regatta->start(), 1270458000);
        QCOMPARE(f.regatta->end(), 1270764000);
        QCOMPARE(w->regatta(), f.regatta.get());
        QCOMPARE(w->windowTitle(), u"Velmaro 2.7.2 Dorur Izadidiva Dazidevire 2010"_s);
    }

    void fetchingOnlyForRunningRace_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("running");
        QTest::newRow("finished") << "1303509600" << false;
        QTest::newRow("running") << "1500000000" << true;
    }
    void fetchingOnlyForRunningRace()
    {
        QFETCH(QString, end);
        QFETCH(bool, running);
        QVERIFY(f.db->exec({u"UPDATE regatta SET bis=%1 WHERE id=2"_s.arg(end)}));
        setPrefs(u"autoload=1"_s);
        f.start(21, 120);
        QCOMPARE(w->fetchButton()->isEnabled(), running);
        QCOMPARE(w->autoloadBox()->isEnabled(), running);
        QCOMPARE(w->autoload(), running);
        if (running)
            QCOMPARE(w->pollTimer()->interval(), 300000);
        QVERIFY(!running || w->pollTimer()->isActive());
        QCOMPARE(pref(u"autoload"_s), u"1"_s); // a finished race does not store it off
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
