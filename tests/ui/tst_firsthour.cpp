// Wheel zoom at the cursor, clock seconds, replay shortcuts, the OpenStreetMap
// link, race menu and dialog, slider moment and tab restored.
#include "app/startup.h"
#include "scene/ship.h"
#include "ui/iconselector.h"
#include "ui/leaderboardpanel.h"
#include "ui/regattadialog.h"
#include "uitest.h"
#include "urlcatcher.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>

using namespace Qt::StringLiterals;
constexpr int t0 =
    1270458000; // the 2010 race; its one boat has fixes at t0, t0 + 600 and t0 + 1200

class TestFirstHour : public QObject
{
    Q_OBJECT
    UiTest::Window f;
    MainWindow *w = nullptr;
    QMenu *menu(int at) const { return w->menuBar()->actions().at(at)->menu(); }

private slots:
    void initTestCase() { UiTest::initCase(); }
    void init()
    {
        const QString fix = u"INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) VALUES "
                            "(4, 10, %1, %2, 15.9)"_s;
        QVERIFY(f.open(
            {u"INSERT INTO ship (id, regatta_id, name, show) VALUES (4, 10, 'Boot', 1)"_s,
             fix.arg(t0).arg(43.5), fix.arg(t0 + 600).arg(43.51), fix.arg(t0 + 1200).arg(43.515)},
            QSize(900, 600)));
        w = f.window.get();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    void cleanup() { f.close(); }

    void wheelKeepsPlaceUnderCursor()
    {
        Karte *k = w->karte();
        for (const QPoint at : {QPoint(90, 70), QPoint(500, 400)}) {
            const GeoPoint place = k->projection().viewToGeo(at.x(), at.y());
            QWheelEvent wheel(at, k->mapToGlobal(at), {}, {0, 120}, {}, {}, Qt::NoScrollPhase, 0);
            QApplication::sendEvent(k->viewport(), &wheel);
            QVERIFY((k->projection().geoToView(place) - at).manhattanLength() <= 2);
        }
        QCOMPARE(k->zoom(), 12);
    }

    void clockSecondsWhenSlow()
    {
        w->setSliderRange(1000, 90000);
        w->setSliderValue(50007);
        for (const int speed : {1, 0, 60}) {
            w->setReplaySpeed(speed);
            const QString format = speed == 60 ? u"dd.MM.yyyy hh:mm"_s : u"dd.MM.yyyy hh:mm:ss"_s;
            QCOMPARE(w->clockLabel()->text(),
                     QDateTime::fromSecsSinceEpoch(50007).toString(format));
        }
        QCOMPARE(w->replay()->speedLabel()->text(), u"Tempo:"_s);
        QVERIFY(w->replay()->speedLabel()->buddy() == (QWidget *)w->speedBox());
    }

    void shortcutsDriveSlider()
    {
        w->setSliderRange(1000, 2000);
        w->setSliderValue(1500);
        const QList<std::pair<QKeyCombination, int>> steps = {{Qt::CTRL | Qt::Key_Left, 1499},
                                                              {Qt::CTRL | Qt::Key_Right, 1500},
                                                              {QKeyCombination(Qt::Key_Home), 1000},
                                                              {QKeyCombination(Qt::Key_End), 2000}};
        for (const auto &[key, value] : steps) {
            QTest::keyClick(w, key.key(), key.keyboardModifiers());
            QCOMPARE(w->timeSlider()->value(), value);
        }
        QTest::keyClick(w, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(w->isAnimating());
        QCOMPARE(menu(1)->title(), u"&Wiedergabe"_s);
        QCOMPARE(menu(1)->actions().mid(0, 5), w->replay()->actions());
        QCOMPARE(UiTest::findAction(menu(0), u"&Beenden"_s)->shortcut(), QKeySequence::Quit);
    }

    void browserLinkAtMapCentre()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(u"https"_s, &catcher, "open");
        w->karte()->setCenterGeo(54.5, -10.123456);
        w->karte()->setZoomLevel(12);
        UiTest::findAction(menu(0), u"OpenStreetMap im Browser öffnen"_s)->trigger();
        QDesktopServices::unsetUrlHandler(u"https"_s);
        QCOMPARE(catcher.urls,
                 {QUrl(u"https://www.openstreetmap.org/#map=12/54.50000/-10.12346"_s)});
    }

    void raceMenuMarksCurrentWithDate()
    {
        f.start();
        const QList<QAction *> races = w->raceActions();
        const QString date = QDateTime::fromSecsSinceEpoch(t0).toString(u"dd.MM.yyyy"_s);
        QCOMPARE(races.at(1)->text(), u"Dorur Izadidiva Dazidevire 2010 (%1)"_s.arg(date));
        QVERIFY(races.at(1)->isChecked() && !races.at(0)->isChecked());
        races.at(0)->trigger();
        QVERIFY(races.at(0)->isChecked() && !races.at(1)->isChecked() && f.regatta->id() == 2);
    }

    void dialogRechecksAndReturnNeedsValidInput()
    {
        RegattaDialog d;
        d.show();
        d.nameEdit()->setText(u"Kieler Woche"_s);
        d.eventEdit()->setText(u"4294967296"_s);
        d.taskEdit()->setText(u"7"_s);
        QTest::keyClick(d.taskEdit(), Qt::Key_Return);
        QVERIFY(d.isVisible() && d.result() != QDialog::Accepted);
        QCOMPARE(d.messageLabel()->text(), RaceStore::eventTooLargeMessage());
        d.eventEdit()->setText(u" 31 "_s);
        QVERIFY(d.messageLabel()->isHidden());
        QTest::keyClick(d.eventEdit(), Qt::Key_Return);
        QVERIFY(d.result() == QDialog::Accepted && d.addedRace().eventId == 31);
    }

    // A race change brings the fleet into view, and so does "Flotte zeigen".
    void fleetBroughtIntoView()
    {
        f.start();
        QVERIFY(f.regatta->fleetInView() && w->karte()->zoom() <= 14);
        // At the newest fix a boat shows the speed it arrived with (1.8 kn on
        // the last leg, 3.6 on the first), not 0.0 or one left from before.
        QCOMPARE(f.regatta->ships().first()->speedText(), u"1.8"_s);
        w->karte()->panBy(4000, 0);
        QVERIFY(!f.regatta->fleetInView());
        QTest::keyClick(w, Qt::Key_F);
        QVERIFY(f.regatta->fleetInView());
        QCOMPARE(UiTest::findAction(menu(1), u"Flotte zeigen"_s), w->showFleetAction());
    }

    // The load is told in the status bar until its last reply.
    void loadProgressShownThenCleared()
    {
        QVERIFY(f.db->exec({u"INSERT INTO ship (id, regatta_id, name) VALUES (5, 10, 'Neu')"_s,
                            u"UPDATE prefs SET autoload = 1"_s}));
        QSignalSpy finished(w->tracking(), &TrackingClient::loadFinished);
        QSignalSpy shown(w->statusBar(), &QStatusBar::messageChanged);
        f.start();
        QVERIFY(!finished.isEmpty() || finished.wait());
        QCOMPARE(shown.value(0).value(0).toString(),
                 u"Regatta wird geladen: 0 von 1 Booten, 0 Positionen erhalten"_s);
        QCOMPARE(shown.value(1).value(0).toString(),
                 u"Regatta wird geladen: 1 von 1 Booten, 0 Positionen erhalten"_s);
        QVERIFY(w->statusBar()->currentMessage().isEmpty());
    }

    // The legend's last report, the class box of an all-hidden class and a
    // white boat's dark rim on the map and in the legend.
    void legendRowsTellWhatIsStored()
    {
        QVERIFY(f.db->exec({u"UPDATE ship SET show = 0, farbe = '#ffffff'"_s}));
        f.start();
        const QAbstractItemModel *model = w->legend()->treeView()->model();
        const QModelIndex group = model->index(0, 0);
        QCOMPARE(group.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(model->index(0, 4, group).data().toString(),
                 QDateTime::fromSecsSinceEpoch(t0 + 1200).toString(u"dd.MM.yyyy hh:mm:ss"_s));
        const QImage swatch =
            model->index(0, 0, group).data(Qt::DecorationRole).value<QPixmap>().toImage();
        QVERIFY(qGray(swatch.pixel(0, 0)) < 80 && qGray(swatch.pixel(5, 5)) > 200);
        const QImage sprite = f.regatta->ships().first()->sprite();
        int dark = 0;
        for (int y = 0; y < sprite.height(); ++y)
            for (int x = 0; x < sprite.width(); ++x)
                dark += qAlpha(sprite.pixel(x, y)) > 128 && qGray(sprite.pixel(x, y)) < 80;
        QVERIFY(dark > 10);
    }

    // Dragging the map or a click on open water ends following while paused,
    // and the legend shows no followed boat.
    void followEndsWhilePaused()
    {
        f.start();
        Ship *boat = f.regatta->ships().first();
        QItemSelectionModel *selection = w->legend()->treeView()->selectionModel();
        for (const bool drag : {true, false}) {
            w->karte()->relayout();
            QTest::mouseClick(w->karte()->viewport(), Qt::LeftButton, {}, boat->screenPos());
            QVERIFY(boat->follow() && selection->hasSelection());
            if (drag)
                w->karte()->panBy(40, 0);
            else
                QTest::mouseClick(w->karte()->viewport(), Qt::LeftButton, {}, QPoint(3, 3));
            QVERIFY(!boat->follow() && !selection->hasSelection());
        }
        // Play at the end starts from the beginning.
        w->setSliderValue(w->timeSlider()->maximum());
        w->playButton()->click();
        QVERIFY(w->isAnimating() && w->timeSlider()->value() < t0 + 1200);
    }

    // In a small window the panel gives way before the map does.
    void smallWindowKeepsTheMap()
    {
        w->toggleLegende();
        w->resize(500, 400);
        QApplication::processEvents();
        QVERIFY(w->karte()->width() >= w->sidePanel()->width());
        QVERIFY(w->sidePanel()->width() >= 200);
    }

    // The boat under the cursor tells who it is, the sail number can stand
    // beside the speed, and of two labels on one spot only one is drawn.
    void boatsIdentifiedOnTheMap()
    {
        const QString twin = u"INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) VALUES "
                             "(5, 10, %1, %2, 15.9)"_s;
        QVERIFY(f.db->exec({u"UPDATE ship SET startnr = 'GER 7', skipper = 'Ina'"_s,
                            u"INSERT INTO ship (id, regatta_id, name, startnr, show) "
                            "VALUES (5, 10, 'Zwilling', 'GER 8', 1)"_s,
                            twin.arg(t0).arg(43.5), twin.arg(t0 + 1200).arg(43.515)}));
        f.start();
        const QList<Ship *> boats = f.regatta->ships();
        const QPoint at = boats.at(0)->screenPos();
        QHelpEvent help(QEvent::ToolTip, at, w->karte()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(w->karte()->viewport(), &help);
        QCOMPARE(QToolTip::text().section('\n', 0, 1), u"GER 7 Boot\nSkipper: Ina"_s);
        QVERIFY(f.regatta->boatInfoAt(at.x() + 30, at.y()).isEmpty());
        QCOMPARE(int(boats.at(0)->showSpeedLabel()) + int(boats.at(1)->showSpeedLabel()), 1);
        QSignalSpy told(w->settingsPage(), &SettingsPage::sailNumberLabelsToggled);
        w->settingsPage()->sailNumberBox()->click();
        QCOMPARE(told.size(), 1); // loading the preferences connects nothing again
        QVERIFY(boats.at(0)->labelText().startsWith(u"GER 7 "_s));
    }

    // The leaderboard keeps rank, number and boat in view and remembers the
    // columns hidden from its header.
    void leaderboardFreezesAndHidesColumns()
    {
        using Board = LeaderboardPanel;
        Board *board = w->leaderboard();
        QCOMPARE(board->frozenView()->model(), board->tree()->model());
        for (int c = 0; c < Board::ColumnCount; ++c)
            QCOMPARE(board->frozenView()->isColumnHidden(c), c >= Board::frozenColumns);
        board->setColumnShown(Board::GapColumn, false);
        board->setColumnShown(Board::RankColumn, false);
        const Board again;
        QVERIFY(again.tree()->isColumnHidden(Board::GapColumn));
        QVERIFY(!again.tree()->isColumnHidden(Board::RankColumn));
    }

    // A file written before ingest refused fixes off the world starts as if
    // they were not there, with the boat followed.
    void storedFixesOffTheWorldSkipped()
    {
        const QString bad = u"INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) VALUES "
                            "(4, 10, %1, %2, 15.9)"_s;
        QVERIFY(f.db->exec({u"UPDATE ship SET follow = 1"_s, bad.arg(t0 + 600).arg(91),
                            bad.arg(t0 + 700).arg(u"1e308"_s), bad.arg(t0 + 800).arg(u"'nan'"_s)}));
        f.start();
        const Ship *boat = f.regatta->ships().first();
        QCOMPARE(std::pair(boat->pointCount(), boat->follow()), std::pair(3, true));
        QVERIFY(f.regatta->fleetInView());
    }

    void sliderAndTabRestored()
    {
        for (const int moment : {t0 + 500, t0}) {
            f.start();
            w->setSliderValue(moment);
            w->sidePanel()->setCurrentIndex(2);
            QVERIFY(w->close());
            f.regatta.reset();
            f.window = std::make_unique<MainWindow>();
            w = f.window.get(); // no server, tiles into the test's folder
            w->tracking()->setBaseUrl("http://127.0.0.1:1");
            w->karte()->setTileServer("http://127.0.0.1:1");
            w->karte()->setTileCacheFolder(QDir::current().filePath("maps"));
            f.start();
            QSettings stored(u"velmaro.org"_s, u"Velmaro"_s);
            if (moment == t0) // a moment the slider cannot show any more
                stored.setValue(u"sliderValue"_s, t0);
            Startup::applyPanelState(w, stored);
            Startup::applyReplayMoment(w, stored);
            QCOMPARE(w->sidePanel()->currentIndex(), 2);
            QCOMPARE(w->timeSlider()->value(), moment == t0 ? t0 + 1200 : moment);
        }
    }
};

QTEST_MAIN(TestFirstHour)
#include "tst_firsthour.moc"
