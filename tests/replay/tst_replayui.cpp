// The replay extras in the window: speed choice next to the play button,
// the "Rangliste" tab and the GPX export entry of "&Datei".

#include "../ui/uitest.h"
#include "gpxcheck.h"

#include "scene/gpxexport.h"
#include "ui/iconselector.h"
#include "ui/leaderboardpanel.h"
#include "ui/regatta.h"
#include "ui/replayclock.h"
#include "platform/seams.h"
#include "scene/ship.h"
#include "ui/treeshipitem.h"
#include "ui/treeviewmodel.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace
{

constexpr qint64 fixedNow = UiTest::fixedNow;
constexpr int raceStart = 1302906000;   // the 2011 race, course of 11 gates
constexpr int fixEvery = 300;
constexpr int fixCount = 37; // three hours

// Start line centre and the next gate's first end of the 2011 course.
const GeoPoint startCentre(43.978650, 15.362750);
const GeoPoint dugiOtok(44.188733, 14.845183);

// Along P0 -> W1 -> Dugi Otok North at `km` from P0; P0 lies 1 km south-east
// of the start line, W1 0.5 km beyond it.
GeoPoint along(double km)
{
    const GeoPoint p0 = Geo::destinationPoint(startCentre, 1.0, 150.0);
    const GeoPoint w1 = Geo::destinationPoint(startCentre, 0.5, 330.0);
    const double first = Geo::distanceKm(p0, w1);
    if (km <= first)
        return Geo::destinationPoint(p0, km, Geo::bearingTo(p0, w1));
    return Geo::destinationPoint(w1, km - first, Geo::bearingTo(w1, dugiOtok));
}

struct Boat {
    int id;
    const char *klasse;
    const char *startnr;
    double knots;
};
const Boat fleet[] = {{20, "Delta", "1", 6.0}, {21, "Delta", "2", 8.0}, {22, "Echo", "7", 7.0}};

QStringList fleetSql()
{
    QStringList sql;
    for (const Boat &b : fleet) {
        sql << QStringLiteral("INSERT INTO ship (id, regatta_id, name, skipper, team, klasse, "
                              "startnr, farbe, lastget, show, follow) VALUES (%1, 21, 'Möwe %1', "
                              "'S', 'T', '%2', '%3', '#ff0000', 0, 'true', 'false')")
                   .arg(b.id)
                   .arg(QString::fromLatin1(b.klasse), QString::fromLatin1(b.startnr));
        for (int k = 0; k < fixCount; ++k) {
            const GeoPoint p = along(b.knots * 1.852 * k * fixEvery / 3600.0);
            sql << QStringLiteral("INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) "
                                  "VALUES (%1, 21, %2, %3, %4)")
                       .arg(b.id)
                       .arg(raceStart + k * fixEvery)
                       .arg(p.lat(), 0, 'f', 6)
                       .arg(p.lng(), 0, 'f', 6);
        }
    }
    return sql;
}

// A point of the row in the boat name column, which is in view.
QPoint inNameColumn(QTreeWidget *tree, const QRect &row)
{
    return QPoint(tree->header()->sectionViewportPosition(LeaderboardPanel::NameColumn) + 8,
                  row.center().y());
}

} // namespace

class TestReplayUi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { UiTest::initCase(); }
    void init();
    void cleanup();

    void speedChoicesAdvanceSliderAndStopAtEnd_data();
    void speedChoicesAdvanceSliderAndStopAtEnd();
    void liveSpeedAdvancesByMeasuredTime();
    void speedStoredAndRestored_data();
    void speedStoredAndRestored();
    void leaderboardRanksFleetAlongCourse();
    void leaderboardClickFollowsBoatAsLegendClick();
    void leaderboardThrottledWhileAnimating();
    void leaderboardDropsHiddenBoat();
    void exportWritesValidFileOfShownBoats();
    void exportCancelledOrUnwritable();

private:
    void openRace();
    void showLeaderboard();
    void hide(int id)
    {
        const QModelIndex row = f.regatta->shipById(id)->legendIndex();
        f.window->shiponoff(TreeShipItem::cast(f.window->legend()->model()->itemFromIndex(row)),
                            false);
    }

    UiTest::Window f;
    MainWindow *w = nullptr;
};

void TestReplayUi::init()
{
    QVERIFY(f.open({}, QSize(1000, 700)));
    w = f.window.get();
}

void TestReplayUi::cleanup()
{
    MainWindow::setSaveFileChooser({});
    f.close();
}

void TestReplayUi::openRace()
{
    QVERIFY(f.db->exec(fleetSql()));
    f.start(21, 120);
    QCOMPARE(f.regatta->ships().size(), 3);
    QCOMPARE(f.regatta->gates().size(), 11);
}

void TestReplayUi::showLeaderboard()
{
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    if (!w->isPanelOpen())
        w->toggleLegende();
    w->sidePanel()->setCurrentWidget(w->leaderboard());
    QVERIFY(w->leaderboard()->isVisible());
}

void TestReplayUi::speedChoicesAdvanceSliderAndStopAtEnd_data()
{
    QTest::addColumn<int>("speed");
    for (int speed : {1, 10, 60, 300})
        QTest::addRow("%d s per tick", speed) << speed;
}

void TestReplayUi::speedChoicesAdvanceSliderAndStopAtEnd()
{
    QFETCH(int, speed);
    QCOMPARE(w->replaySpeed(), 10); // the default
    const int index = w->speedBox()->findData(speed);
    QVERIFY(index >= 0);
    emit w->speedBox()->activated(index); // what choosing it in the box sends
    QCOMPARE(w->replaySpeed(), speed);

    const int start = 1302906000;
    const int end = start + 3 * speed + 1;
    w->setSliderRange(start, end);
    w->setSliderValue(start);
    w->animOnOff();
    QVERIFY(w->isAnimating());
    QSignalSpy moves(w->timeSlider(), &QSlider::valueChanged);
    int ticks = 0;
    while (w->isAnimating() && ticks < 20) {
        w->advanceFrame();
        ++ticks;
    }
    QCOMPARE(ticks, 4);
    QCOMPARE(moves.count(), 4);
    QCOMPARE(moves.at(0).at(0).toInt(), start + speed);
    QCOMPARE(moves.at(2).at(0).toInt(), start + 3 * speed);
    QCOMPARE(moves.at(3).at(0).toInt(), end); // the last tick lands on the end and stops
    QVERIFY(!w->animationTimer()->isActive());
    QCOMPARE(w->playButton()->toolTip(), QStringLiteral("Animation starten"));
}

void TestReplayUi::liveSpeedAdvancesByMeasuredTime()
{
    qint64 ms = 5000;
    w->replayClock()->setMsClock([&ms] { return ms; });
    emit w->speedBox()->activated(w->speedBox()->findData(ReplayClock::live));
    QVERIFY(w->replayClock()->isLive());

    w->setSliderRange(1000, 1010);
    w->setSliderValue(1000);
    ms += 60000; // paused time does not count
    w->animOnOff();
    ms += 30;
    w->advanceFrame();
    QCOMPARE(w->timeSlider()->value(), 1000);
    ms += 980; // 1010 ms in all
    w->advanceFrame();
    QCOMPARE(w->timeSlider()->value(), 1001);
    ms += 2500; // a late tick catches up; 510 ms carried
    w->advanceFrame();
    QCOMPARE(w->timeSlider()->value(), 1003);
    ms += 490;
    w->advanceFrame();
    QCOMPARE(w->timeSlider()->value(), 1004);
    ms += 10000;
    w->advanceFrame();
    QCOMPARE(w->timeSlider()->value(), 1010);
    QVERIFY(!w->isAnimating());
}

void TestReplayUi::speedStoredAndRestored_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("60") << "60" << 60;
    QTest::newRow("live") << "live" << int(ReplayClock::live);
    QTest::newRow("unknown value") << "7" << 10;
    QTest::newRow("not a number") << "schnell" << 10;
}

void TestReplayUi::speedStoredAndRestored()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    const int index = w->speedBox()->findData(ReplayClock::fromKey(stored));
    emit w->speedBox()->activated(index);
    QSettings settings(QStringLiteral("velmaro.org"), QStringLiteral("Velmaro"));
    QCOMPARE(settings.value(QStringLiteral("replaySpeed")).toString(), ReplayClock::key(expected));

    settings.setValue(QStringLiteral("replaySpeed"), stored);
    settings.sync();
    MainWindow next;
    QCOMPARE(next.replaySpeed(), expected);
    QCOMPARE(next.speedBox()->currentData().toInt(), expected);
}

void TestReplayUi::leaderboardRanksFleetAlongCourse()
{
    openRace();
    showLeaderboard();
    LeaderboardPanel *board = w->leaderboard();
    const int oneHour = raceStart + 3600;
    w->setSliderValue(oneHour);
    QCOMPARE(board->shownMoment(), oneHour);

    const QList<LeaderboardRow> &rows = board->rows();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].id, 21); // Delta, the faster boat leads
    QCOMPARE(rows[0].rank, 1);
    QCOMPARE(rows[0].gatesPassed, 1);
    QCOMPARE(rows[0].nextGateName, QStringLiteral("Dugi Otok North"));
    QCOMPARE(rows[1].id, 20);
    QCOMPARE(rows[1].rank, 2);
    QVERIFY2(qAbs(rows[1].gapKm - 2 * 1.852) < 0.05, qPrintable(QString::number(rows[1].gapKm)));
    QCOMPARE(rows[2].id, 22);
    QCOMPARE(rows[2].rank, 1);

    // The tree shows the same, grouped by class.
    QTreeWidget *tree = board->tree();
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Delta"));
    QTreeWidgetItem *leader = tree->topLevelItem(0)->child(0);
    QCOMPARE(leader->text(LeaderboardPanel::NumberColumn), QStringLiteral("2"));
    QCOMPARE(leader->text(LeaderboardPanel::NameColumn), QStringLiteral("Möwe 21"));
    QCOMPARE(leader->text(LeaderboardPanel::NextGateColumn), QStringLiteral("Dugi Otok North"));
    QCOMPARE(leader->text(LeaderboardPanel::SpeedColumn), QStringLiteral("8.0 kn"));
    QCOMPARE(tree->topLevelItem(0)->child(1)->text(LeaderboardPanel::GapColumn),
             QStringLiteral("+3.7 km (2.0 sm)"));

    // Back to before the start: nobody has passed the start line.
    w->setSliderValue(w->timeSlider()->minimum());
    for (const LeaderboardRow &row : board->rows())
        QCOMPARE(row.gatesPassed, 0);
    QCOMPARE(board->rows().first().nextGateName, QStringLiteral("Biograd Start"));
}

void TestReplayUi::leaderboardClickFollowsBoatAsLegendClick()
{
    openRace();
    showLeaderboard();
    w->setSliderValue(raceStart + 3600);
    QTreeWidget *tree = w->leaderboard()->tree();
    QTreeWidgetItem *item = w->leaderboard()->itemForShip(22);
    QVERIFY(item);
    tree->scrollToItem(item);
    const QRect rect = tree->visualItemRect(item);
    QVERIFY(rect.isValid());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, inNameColumn(tree, rect));

    Ship *ship = f.regatta->shipById(22);
    QVERIFY(ship->follow());
    QCOMPARE(f.db->scalar(QStringLiteral("SELECT follow FROM ship WHERE id=22")).toString(),
             QStringLiteral("true"));
    const GeoPoint centre = w->karte()->projection().centre();
    QVERIFY(qAbs(centre.lat() - ship->currentPoint()->position.lat()) < 1e-6);
    QVERIFY(qAbs(centre.lng() - ship->currentPoint()->position.lng()) < 1e-6);

    // Another boat takes over, as from the legend.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      inNameColumn(tree, tree->visualItemRect(w->leaderboard()->itemForShip(20))));
    QVERIFY(f.regatta->shipById(20)->follow());
    QVERIFY(!ship->follow());
    // A class row follows nothing.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      inNameColumn(tree, tree->visualItemRect(tree->topLevelItem(1))));
    QVERIFY(f.regatta->shipById(20)->follow());
}

void TestReplayUi::leaderboardThrottledWhileAnimating()
{
    openRace();
    showLeaderboard();
    LeaderboardPanel *board = w->leaderboard();
    w->setSliderValue(raceStart + 600);
    // Paused: every moment at once.
    const int before = board->updateCount();
    w->setSliderValue(raceStart + 900);
    w->setSliderValue(raceStart + 1200);
    QCOMPARE(board->updateCount(), before + 2);
    QCOMPARE(board->shownMoment(), raceStart + 1200);

    emit w->speedBox()->activated(w->speedBox()->findData(10));
    w->animOnOff();
    // Ticks by hand only: the slider must hold still while the owed update comes.
    w->animationTimer()->stop();
    const int atStart = board->updateCount();
    QElapsedTimer timer;
    timer.start();
    const int ticks = 100;
    for (int i = 0; i < ticks; ++i)
        w->advanceFrame();
    const qint64 elapsed = timer.elapsed();
    const int updates = board->updateCount() - atStart;
    QVERIFY2(updates <= 1 + elapsed / LeaderboardPanel::updateIntervalMs,
             qPrintable(QStringLiteral("%1 updates in %2 ms").arg(updates).arg(elapsed)));
    QVERIFY(updates < ticks);
    // The update owed comes by its timer, while the animation runs...
    const int value = w->timeSlider()->value();
    QTRY_COMPARE_WITH_TIMEOUT(board->shownMoment(), value, 5000);
    // ...and stopping shows the last moment at once.
    w->advanceFrame();
    w->animOnOff();
    QVERIFY(!w->isAnimating());
    QCOMPARE(board->shownMoment(), w->timeSlider()->value());
}

void TestReplayUi::leaderboardDropsHiddenBoat()
{
    openRace();
    showLeaderboard();
    w->setSliderValue(raceStart + 3600);
    QVERIFY(w->leaderboard()->itemForShip(21));
    Ship *ship = f.regatta->shipById(21);
    QVERIFY(ship);
    hide(21);
    QVERIFY(!w->leaderboard()->itemForShip(21));
    QCOMPARE(w->leaderboard()->rows().size(), 2);
    QCOMPARE(w->leaderboard()->rows().first().id, 20);
    QCOMPARE(w->leaderboard()->rows().first().rank, 1);
}

void TestReplayUi::exportWritesValidFileOfShownBoats()
{
    openRace();
    QTemporaryDir dir;
    QString asked;
    MainWindow::setSaveFileChooser(
        [&](QWidget *, const QString &, const QString &suggested, const QString &) {
            asked = suggested;
            return dir.filePath(QStringLiteral("rennen")); // no suffix: ".gpx" is added
        });
    hide(22);

    QVERIFY(w->gpxExportAction());
    w->gpxExportAction()->trigger();
    QVERIFY(asked.endsWith(QStringLiteral(".gpx")));
    QCOMPARE(f.boxes->count(), 0);
    const QString path = dir.filePath(QStringLiteral("rennen.gpx"));
    QVERIFY(QFile::exists(path));

    Gpx::Document doc;
    QString error;
    QVERIFY2(Gpx::read(path, &doc, &error), qPrintable(error));
    QCOMPARE(doc.name, f.regatta->name());
    QCOMPARE(doc.time.toSecsSinceEpoch(), fixedNow);
    QCOMPARE(doc.tracks.size(), 2);
    QCOMPARE(doc.tracks[0].name, QStringLiteral("1 \u2013 Möwe 20"));
    QCOMPARE(doc.tracks[0].type, QStringLiteral("Delta"));
    QCOMPARE(doc.tracks[0].points.size(), fixCount);
    const Ship *first = f.regatta->shipById(20);
    for (int k = 0; k < fixCount; ++k) {
        const TrackPoint *p = first->rawTrack()->pointAt(k);
        QCOMPARE(doc.tracks[0].points[k].time, qint64(p->tstamp));
        QVERIFY(qAbs(doc.tracks[0].points[k].lat - p->position.lat()) <= 0.5e-6);
        QVERIFY(qAbs(doc.tracks[0].points[k].lon - p->position.lng()) <= 0.5e-6);
    }

    if (GpxCheck::haveXmllint())
        QCOMPARE(GpxCheck::validate(path), QString());
}

void TestReplayUi::exportCancelledOrUnwritable()
{
    int asked = 0;
    QString answer;
    MainWindow::setSaveFileChooser(
        [&](QWidget *, const QString &, const QString &, const QString &) {
            ++asked;
            return answer;
        });
    // No race: nothing to export, and no dialog.
    w->gpxExportAction()->trigger();
    QCOMPARE(asked, 0);
    QCOMPARE(f.boxes->count(), 1);
    QCOMPARE(f.boxes->boxes().first().icon, QMessageBox::Information);
    f.boxes->clear();

    openRace();
    w->gpxExportAction()->trigger(); // cancelled
    QCOMPARE(asked, 1);
    QCOMPARE(f.boxes->count(), 0);

    QTemporaryDir dir;
    answer = dir.filePath(QStringLiteral("fehlt/rennen.gpx"));
    w->gpxExportAction()->trigger();
    QCOMPARE(f.boxes->count(), 1);
    QCOMPARE(f.boxes->boxes().first().icon, QMessageBox::Critical);
    QVERIFY(f.boxes->boxes().first().text.contains(answer));
    QVERIFY(!QFileInfo::exists(answer));
    QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

QTEST_MAIN(TestReplayUi)
#include "tst_replayui.moc"
