#include "scene/ship.h"
#include "ui/iconselector.h"
#include "ui/leaderboardpanel.h"
#include "ui/ratingflow.h"
#include "ui/treeviewmodel.h"
#include "uitest.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;
using UiTest::findAction;

namespace
{
constexpr int race2010 = 1270458000;
constexpr int race2011 = 1302906000;

// Event 10: three classes, one boat 38 that is never shown; event 21: two
// classes. Three fixes each, over 600 s (2010) or 1200 s (2011).
QStringList fleet()
{
    QStringList sql{u"UPDATE prefs SET loadmaps=0"_s}; // the lamp counts only race transfers
    const struct {
        int id, event;
        const char *klasse, *startnr, *farbe;
    } rows[] = {{11, 10, "Charlie", "7", "#ff0000"}, {4, 10, "Alpha", "1", "#ff008a"},
                {9, 10, "Charlie", "3", "#00ff00"},  {7, 10, "Bravo", "5", "#9000ff"},
                {38, 10, "Alpha", "0", "#000000"},   {5, 10, "Alpha", "2", "#00ffcc"},
                {10, 10, "Charlie", "4", "#ffff00"}, {20, 21, "Delta", "1", "#0000ff"},
                {21, 21, "Delta", "2", "#e19a00"},   {22, 21, "Echo", "7", "#ff0000"}};
    for (const auto &r : rows) {
        sql << shipRow(r.id, r.event, r.klasse, r.startnr, r.farbe);
        for (int k = 0; k < 3; ++k)
            sql << fixRow(r.id, r.event,
                          (r.event == 10 ? race2010 : race2011) + k * (r.event == 10 ? 300 : 600),
                          43.5 + r.id * 0.05 + k * 0.005, 15.9 + k * 0.01);
    }
    return sql;
}
} // namespace

class TestRegatta : public QObject
{
    Q_OBJECT
    UiTest::Window f;
    MainWindow *w = nullptr;

    Ship *ship(int id) const { return f.regatta->shipById(id); }
    QString stored(int id, const QString &column) const
    {
        return f.db->scalar(u"SELECT %1 FROM ship WHERE id=%2"_s.arg(column).arg(id)).toString();
    }
    QModelIndex rowOf(int id) const { return ship(id)->legendIndex(); }
    void check(const QModelIndex &row, bool on)
    {
        w->legend()->model()->setData(row, on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    }
    bool selected(int id) const
    {
        return w->legend()->treeView()->selectionModel()->isRowSelected(rowOf(id).row(),
                                                                        rowOf(id).parent());
    }
    void restart()
    {
        f.regatta.reset();
        f.start();
    }

private slots:
    void initTestCase() { UiTest::initCase(); }
    void init()
    {
        QVERIFY(f.open(fleet(), QSize(900, 700)));
        w = f.window.get();
    }
    void cleanup()
    {
        MainWindow::setSaveFileChooser({});
        RatingFlow::setOpenFileChooser({});
        RatingFlow::setRatingAsker({});
        f.close();
    }

    void classCheckBoxHidesAndStoresAllItsBoats()
    {
        f.start();
        check(w->legend()->model()->index(2, 0), false);
        for (int id : {9, 10, 11})
            QVERIFY(!ship(id)->isShown() &&
                    stored(id, "show") + stored(id, "follow") == u"falsefalse"_s);
        QVERIFY(ship(7)->isShown() && stored(7, "show") == u"true"_s);
        check(rowOf(10), true);
        QCOMPARE(stored(10, "show"), u"true"_s);
        // a hidden boat survives a restart hidden
        restart();
        QVERIFY(!ship(9)->isShown() && ship(10)->isShown());
        QCOMPARE(rowOf(9).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    }

    void legendClickFollowsAndStoresSingleFlag()
    {
        f.start();
        IconSelector *legend = w->legend();
        legend->curItem(rowOf(5).sibling(rowOf(5).row(), 3)); // the "Skipper" cell
        QVERIFY(ship(5)->follow());
        QCOMPARE(stored(5, "follow"), u"true"_s);
        QCOMPARE(w->karte()->projection().centre(), ship(5)->currentPoint()->position);
        legend->curItem(rowOf(9));
        QVERIFY(ship(9)->follow() && !ship(5)->follow());
        QCOMPARE(stored(9, "follow") + stored(5, "follow"), u"truefalse"_s);
        legend->curItem(rowOf(9)); // again: stop following
        QVERIFY(!ship(9)->follow());
        QCOMPARE(f.db->count(u"ship"_s, u"follow='true'"_s), 0);
        // dragging the map forgets it in memory only
        legend->curItem(rowOf(4));
        emit w->karte()->dragged();
        QVERIFY(!ship(4)->follow() && stored(4, "follow") == u"true"_s);
    }

    void legendClickOnHiddenBoatReselectsFollowed()
    {
        f.start();
        IconSelector *legend = w->legend();
        legend->curItem(rowOf(4));
        check(rowOf(7), false);
        const QString sql = u"SELECT group_concat(id||show||follow) FROM ship"_s;
        const QString before = f.db->scalar(sql).toString();
        legend->treeView()->selectionModel()->clearSelection();
        legend->curItem(rowOf(7));
        QVERIFY(!ship(7)->follow() && ship(4)->follow());
        QCOMPARE(f.db->scalar(sql).toString(), before);
        QVERIFY(selected(4) && !selected(7));
    }

    void completeTracksChoiceKeptWhenRaceChosenAgain()
    {
        f.start();
        QCheckBox *box = w->completeTracksBox();
        box->click();
        QCOMPARE(f.db->scalar(u"SELECT group_concat(showcompletetracks) FROM regatta"_s).toString(),
                 u"1,0"_s);
        QVERIFY(ship(4)->completeTrack());
        findAction(w->raceMenu(), u"Vudav Avazavava Zerevudeva 2011"_s)->trigger();
        QVERIFY(!box->isChecked() && !ship(20)->completeTrack());
        // back to the first race in the same run: the choice is still there
        findAction(w->raceMenu(), u"Dorur Izadidiva Dazidevire 2010"_s)->trigger();
        QVERIFY(box->isChecked() && ship(9)->completeTrack());
        restart(); // a new start reads the stored value
        QVERIFY(box->isChecked() && ship(4)->completeTrack());
    }

    void frameShowsTheMomentItIsNamedAfter()
    {
        f.start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // only boat 4, close up: a minute of its course is some 50 pixels
        for (int row = 1; row < w->legend()->model()->rowCount(); ++row)
            check(w->legend()->model()->index(row, 0), false);
        check(rowOf(5), false);
        const int t1 = race2010 + 300, t2 = t1 + 60;
        w->karte()->setZoomLevel(15);
        w->karte()->setCenterGeo(ship(4)->positionAt(t1 + 30)->position);
        w->setSliderValue(t1);
        w->captureOnOff();
        w->setSliderValue(t2);
        w->captureOnOff();
        const QPoint then = ship(4)->screenPos();
        const QImage frame(MainWindow::frameFileName(t2));
        QVERIFY(!frame.isNull());
        QDir(MainWindow::movieFolder()).removeRecursively();
        // the boat is drawn where it is at t2 (its sprite in #ff008a)
        auto boatLike = [&](const QPoint &p) {
            int hits = 0;
            for (int dy = -6; dy <= 6; ++dy)
                for (int dx = -6; dx <= 6; ++dx) {
                    const QColor c = frame.pixelColor(p + QPoint(dx, dy));
                    hits += c.red() > 180 && c.green() < 90 && c.blue() > 80;
                }
            return hits;
        };
        w->setSliderValue(t1);
        const QPoint before = ship(4)->screenPos();
        QVERIFY((then - before).manhattanLength() > 40);
        QVERIFY2(boatLike(then) > 20, qPrintable(QString::number(boatLike(then))));
        QCOMPARE(boatLike(before), 0);
    }

    void leaderboardClickFollowsBoatAsLegendClick()
    {
        f.start(21, 120);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        if (!w->isPanelOpen())
            w->toggleLegende();
        w->sidePanel()->setCurrentWidget(w->leaderboard());
        w->setSliderValue(race2011 + 600);
        QTreeWidget *tree = w->leaderboard()->tree();
        // A point of the row in the boat name column, which is in view.
        const auto click = [tree](QTreeWidgetItem *item) {
            tree->scrollToItem(item);
            QTest::mouseClick(
                tree->viewport(), Qt::LeftButton, {},
                QPoint(tree->header()->sectionViewportPosition(LeaderboardPanel::NameColumn) + 8,
                       tree->visualItemRect(item).center().y()));
        };
        click(w->leaderboard()->itemForShip(22));
        QVERIFY(ship(22)->follow() && stored(22, "follow") == u"true"_s);
        // Another boat takes over, as from the legend; a class row follows nothing.
        click(w->leaderboard()->itemForShip(20));
        QVERIFY(ship(20)->follow() && !ship(22)->follow());
        click(tree->topLevelItem(1));
        QVERIFY(ship(20)->follow());
    }

    // Ratings entered from the legend and read from a file are stored for the
    // race and bring the handicap columns and the toggle into the list.
    void ratingsFromLegendAndFile()
    {
        using S = Rating::System;
        f.start(21, 120);
        LeaderboardPanel *board = w->leaderboard();
        const auto offered = [board] {
            return !board->tree()->isColumnHidden(LeaderboardPanel::CorrectedColumn) &&
                   board->correctedToggle()->isVisibleTo(board);
        };
        QVERIFY(!offered());
        QString asked;
        RatingFlow::setRatingAsker([&asked](const QString &boat, Rating *rating) {
            asked = boat;
            *rating = {S::TimeOnTime, 0.95};
            return true;
        });
        emit w->legend()->ratingRequested(20);
        QCOMPARE(asked, u"1 Boot 20"_s);
        QVERIFY(offered());
        QTemporaryDir dir;
        QFile csv(dir.filePath(u"ratings.csv"_s));
        QVERIFY(csv.open(QIODevice::WriteOnly) &&
                csv.write("Boot 21;ToD;600\n7;ToT;x\n99;ToT;1\n") > 0);
        csv.close();
        RatingFlow::setOpenFileChooser(
            [&](QWidget *, const QString &, const QString &) { return csv.fileName(); });
        emit w->legend()->ratingImportRequested();
        QCOMPARE(f.boxes->count(), 1);
        QVERIFY(f.boxes->boxes().first().text.contains(u"Zeile 2: ungültiger Wert „x“"_s) &&
                f.boxes->boxes().first().text.contains(u"Zeile 3: kein Boot"_s));
        const QHash<int, Rating> expected{{20, {S::TimeOnTime, 0.95}},
                                          {21, {S::TimeOnDistance, 600}}};
        QCOMPARE(board->ratings(), expected);
        QCOMPARE(f.db->scalar(u"SELECT count(*) FROM rating WHERE regatta_id=21"_s).toInt(), 2);
        // Read back when the race is chosen again.
        f.regatta.reset();
        board->setRatings({});
        f.start(21, 120);
        QVERIFY(board->ratings() == expected && offered());
    }

    void exportCancelledOrUnwritable()
    {
        int asked = 0;
        QString answer;
        MainWindow::setSaveFileChooser([&](QWidget *, const QString &, const QString &,
                                           const QString &) { return ++asked, answer; });
        // No race: nothing to export, and no dialog.
        w->gpxExportAction()->trigger();
        QVERIFY(asked == 0 && f.boxes->boxes().value(0).icon == QMessageBox::Information);
        f.boxes->clear();
        f.start(21, 120);
        w->gpxExportAction()->trigger(); // cancelled
        QVERIFY(asked == 1 && f.boxes->count() == 0);
        QTemporaryDir dir;
        answer = dir.filePath(u"fehlt/rennen.gpx"_s);
        w->gpxExportAction()->trigger();
        QCOMPARE(f.boxes->count(), 1);
        QVERIFY(f.boxes->boxes().first().icon == QMessageBox::Critical &&
                f.boxes->boxes().first().text.contains(answer));
        QVERIFY(QDir(dir.path()).isEmpty());
    }
};

QTEST_MAIN(TestRegatta)
#include "tst_regatta.moc"
