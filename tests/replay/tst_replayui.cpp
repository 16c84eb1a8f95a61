// The replay extras in the window: the "Rangliste" tab and the GPX export
// entry of "&Datei".

#include "../ui/uitest.h"

#include "platform/seams.h"
#include "scene/gpxexport.h"
#include "scene/ship.h"
#include "ui/iconselector.h"
#include "ui/leaderboardpanel.h"
#include "ui/regatta.h"
#include "ui/replayclock.h"
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
constexpr int raceStart = 1302906000; // the 2011 race, course of 11 gates
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

    void leaderboardClickFollowsBoatAsLegendClick();
    void leaderboardThrottledWhileAnimating();
    void exportCancelledOrUnwritable();

private:
    void openRace();
    void showLeaderboard();

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
