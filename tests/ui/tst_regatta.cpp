#include "scene/gateitem.h"
#include "ui/iconselector.h"
#include "map/scheme.h"
#include "scene/ship.h"
#include "ui/treeshipitem.h"
#include "ui/treeviewmodel.h"
#include "uitest.h"

#include <QAction>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;
using UiTest::findAction;

namespace
{
constexpr int race2010 = 1270458000;
constexpr int race2011 = 1302906000;

// Event 10: three classes, one boat 38 that is never shown; event 21: two
// boats. Three fixes each, over 600 s (2010) or 1200 s (2011).
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
                {21, 21, "Delta", "2", "#e19a00"}};
    for (const auto &r : rows) {
        sql << u"INSERT INTO ship (id, regatta_id, name, skipper, team, klasse, startnr, farbe, "
               "lastget, show, follow) VALUES (%1, %2, 'Boot %1', 'Skipper %1', 'Team %1', "
               "'%3', '%4', '%5', 0, 'true', 'false')"_s.arg(r.id)
                   .arg(r.event)
                   .arg(QLatin1String(r.klasse), QLatin1String(r.startnr), QLatin1String(r.farbe));
        const int start = r.event == 10 ? race2010 : race2011;
        const int span = r.event == 10 ? 600 : 1200;
        for (int k = 0; k < 3; ++k) {
            sql << u"INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) "
                   "VALUES (%1, %2, %3, %4, %5)"_s.arg(r.id)
                       .arg(r.event)
                       .arg(start + k * span / 2)
                       .arg(43.5 + r.id * 0.05 + k * 0.005, 0, 'f', 6)
                       .arg(15.9 + k * 0.01, 0, 'f', 6);
        }
    }
    return sql;
}

// Records what a race change touches, in order.
class ChangeLog : public QObject
{
public:
    QStringList steps;
    void note(const QString &step)
    {
        if (steps.isEmpty() || steps.last() != step)
            steps.append(step);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ActionAdded)
            note(u"gate menu"_s);
        if (event->type() == QEvent::EnabledChange && !static_cast<QWidget *>(watched)->isEnabled())
            note(u"fetch disabled"_s);
        return false;
    }
};
} // namespace

class TestRegatta : public QObject
{
    Q_OBJECT
    UiTest::Window f;
    MainWindow *w = nullptr;

    Ship *ship(int id) const { return f.regatta->shipById(id); }
    QString stored(int id, const char *column) const
    {
        return f.db->scalar(u"SELECT %1 FROM ship WHERE id=%2"_s.arg(QLatin1String(column)).arg(id))
            .toString();
    }
    int followedInDb() const
    {
        return f.db->count(u"ship"_s, u"follow='true' AND regatta_id=10"_s);
    }
    QModelIndex rowOf(int id) const { return ship(id)->legendIndex(); }
    void check(int id, bool on)
    {
        w->legend()->model()->setData(rowOf(id), on ? Qt::Checked : Qt::Unchecked,
                                      Qt::CheckStateRole);
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
    void showWindow()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }

private slots:
    void initTestCase() { UiTest::initCase(); }
    void init()
    {
        QVERIFY(f.open(fleet(), QSize(900, 700)));
        w = f.window.get();
    }
    void cleanup() { f.close(); }

    void startRaceListsBoatsPlacesGatesAndSlider()
    {
        f.start();
        TreeViewModel *model = w->legend()->model();
        QCOMPARE(model->rowCount(), 3);
        const QStringList classes{u"Alpha"_s, u"Bravo"_s, u"Charlie"_s};
        const QStringList numbers{u"1 2"_s, u"5"_s, u"3 4 7"_s};
        for (int row = 0; row < 3; ++row) {
            const QModelIndex group = model->index(row, 0);
            QCOMPARE(group.data().toString(), classes.at(row));
            QCOMPARE(group.data(Qt::FontRole).value<QFont>().weight(), QFont::Bold);
            QVERIFY(w->legend()->treeView()->isFirstColumnSpanned(row, QModelIndex()));
            QVERIFY(w->legend()->treeView()->isExpanded(group));
            QStringList shown;
            for (int child = 0; child < model->rowCount(group); ++child)
                shown << model->index(child, 0, group).data().toString();
            QCOMPARE(shown.join(u' '), numbers.at(row));
        }
        QVERIFY(!ship(38));
        // each boat knows its row, and the row its colour
        const QModelIndex row = rowOf(10);
        QCOMPARE(row.data().toString(), u"4"_s);
        QCOMPARE(row.parent().data().toString(), u"Charlie"_s);
        QCOMPARE(row.data(Qt::DecorationRole).value<QPixmap>().toImage().pixelColor(3, 3),
                 QColor(u"#ffff00"_s));
        QCOMPARE(row.sibling(row.row(), 2).data().toString(), u"Boot 10"_s);

        QCOMPARE(f.regatta->name(), u"Dorur Izadidiva Dazidevire 2010"_s);
        QCOMPARE(w->timeSlider()->minimum(), race2010 + 60);
        QCOMPARE(w->timeSlider()->maximum(), race2010 + 600);
        QCOMPARE(w->timeSlider()->value(), race2010 + 600);
        QCOMPARE(f.regatta->ships().size(), 6);
        for (Ship *s : f.regatta->ships()) {
            QVERIFY(s->hasPositions());
            QCOMPARE(s->scene(), static_cast<QGraphicsScene *>(w->scene()));
            QCOMPARE(s->currentTime(), race2010 + 600);
        }
        QCOMPARE(w->gateMenu()->actions().size(), 11);
        QCOMPARE(w->gateMenu()->actions().first()->text(), u"Biograd Start"_s);
        QCOMPARE(f.regatta->gates().size(), 11);
        for (GateItem *gate : f.regatta->gates())
            QCOMPARE(gate->scene(), static_cast<QGraphicsScene *>(w->scene()));
        QCOMPARE(w->pendingRequests(), 0);
        QVERIFY(!w->fetchButton()->isEnabled());
    }

    void raceChangeOrder()
    {
        // the 2010 race still running, so that the switch to 2011 disables fetching
        QVERIFY(f.db->exec({u"UPDATE regatta SET bis=1500000000 WHERE id=1"_s}));
        f.start();
        QVERIFY(w->fetchButton()->isEnabled());

        ChangeLog log;
        TreeViewModel *model = w->legend()->model();
        connect(model, &QAbstractItemModel::rowsRemoved, &log, [&](const QModelIndex &parent) {
            if (!parent.isValid())
                log.note(u"legend cleared"_s);
        });
        connect(model, &QAbstractItemModel::rowsInserted, &log, [&](const QModelIndex &parent) {
            if (!parent.isValid())
                log.note(u"boats listed"_s);
        });
        connect(w->timeSlider(), &QSlider::rangeChanged, &log, [&] { log.note(u"slider"_s); });
        w->gateMenu()->installEventFilter(&log);
        w->fetchButton()->installEventFilter(&log);

        findAction(w->raceMenu(), u"Vudav Avazavava Zerevudeva 2011"_s)->trigger();
        QCOMPARE(log.steps, (QStringList{u"legend cleared"_s, u"gate menu"_s, u"boats listed"_s,
                                         u"slider"_s, u"fetch disabled"_s}));
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 0).data().toString(), u"Delta"_s);
        int ships = 0;
        int gates = 0;
        for (QGraphicsItem *item : w->scene()->items()) {
            ships += item->type() == Ship::Type;
            gates += item->type() == GateItem::Type;
        }
        QCOMPARE(ships, 2);
        QCOMPARE(gates, 11);
        QCOMPARE(w->gateMenu()->actions().size(), 11);
        QCOMPARE(w->timeSlider()->minimum(), race2011 + 60);
        QCOMPARE(w->timeSlider()->maximum(), race2011 + 1200);
        QVERIFY(!w->autoloadBox()->isEnabled());
        QVERIFY(!w->autoload());
    }

    void classCheckBoxHidesAndStoresAllItsBoats()
    {
        f.start();
        QVERIFY(w->legend()->model()->setData(w->legend()->model()->index(2, 0), Qt::Unchecked,
                                              Qt::CheckStateRole));
        for (int id : {9, 10, 11}) {
            QVERIFY(!ship(id)->isShown());
            QCOMPARE(stored(id, "show") + stored(id, "follow"), u"falsefalse"_s);
        }
        for (int id : {4, 5, 7})
            QVERIFY(ship(id)->isShown() && stored(id, "show") == u"true"_s);
        check(10, true);
        QCOMPARE(stored(10, "show"), u"true"_s);

        // a hidden boat survives a restart hidden
        restart();
        QVERIFY(!ship(9)->isShown());
        QCOMPARE(rowOf(9).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(ship(10)->isShown());
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
        QCOMPARE(followedInDb(), 1);
        legend->curItem(rowOf(9)); // again: stop following
        QVERIFY(!ship(9)->follow());
        QCOMPARE(followedInDb(), 0);

        // dragging the map forgets it in memory only
        legend->curItem(rowOf(4));
        emit w->karte()->dragged();
        QVERIFY(!ship(4)->follow());
        QCOMPARE(stored(4, "follow"), u"true"_s);

        // the follow flag survives a restart
        legend->curItem(rowOf(7));
        restart();
        QVERIFY(ship(7)->follow());
    }

    void legendClickOnHiddenBoatReselectsFollowed()
    {
        f.start();
        IconSelector *legend = w->legend();
        legend->curItem(rowOf(4));
        check(7, false);
        const QString sql = u"SELECT group_concat(id||show||follow) FROM ship"_s;
        const QString before = f.db->scalar(sql).toString();
        legend->treeView()->selectionModel()->clearSelection();

        legend->curItem(rowOf(7));
        QVERIFY(!ship(7)->follow() && ship(4)->follow());
        QCOMPARE(f.db->scalar(sql).toString(), before);
        QVERIFY(selected(4) && !selected(7));
    }

    void uncheckingFollowedBoatStoresBothFlags()
    {
        f.start();
        w->legend()->curItem(rowOf(4));
        check(4, false);
        QVERIFY(!ship(4)->follow() && !ship(4)->isShown());
        QCOMPARE(stored(4, "show") + stored(4, "follow"), u"falsefalse"_s);
    }

    void mapClickFollowsNearestShownBoat()
    {
        f.start();
        showWindow();
        w->karte()->setCenterGeo(ship(11)->currentPoint()->position);
        w->karte()->relayout();
        w->karte()->setCenterGeo(ship(10)->currentPoint()->position); // some pixels away
        w->karte()->relayout();
        const QPoint at = ship(11)->screenPos();
        QVERIFY(w->karte()->rect().contains(at));

        emit w->karte()->clicked(at.x() + 10, at.y() - 9); // the farthest click that still hits it
        QVERIFY(ship(11)->follow());
        QCOMPARE(followedInDb(), 1);
        QCOMPARE(w->karte()->projection().centre(), ship(11)->currentPoint()->position);
        QVERIFY(selected(11));

        // the map now centres on it; clicking it again stops following
        w->karte()->relayout();
        emit w->karte()->clicked(ship(11)->screenPos().x(), ship(11)->screenPos().y());
        QVERIFY(!ship(11)->follow());
        emit w->karte()->clicked(-500, -500); // far away from every boat: nothing happens
        QCOMPARE(followedInDb(), 0);

        // hidden boats cannot be picked
        check(11, false);
        w->karte()->relayout();
        emit w->karte()->clicked(ship(11)->screenPos().x(), ship(11)->screenPos().y());
        QVERIFY(!ship(11)->follow());
    }

    void gateMenuCentresMap_data()
    {
        QTest::addColumn<QString>("gate");
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("lng");
        QTest::newRow("Hvar") << "Hvar" << 43.119053 << 16.345864;
        QTest::newRow("Mulo (1)") << "Mulo (1)" << 43.323220 << 15.654470;
        QTest::newRow("Mulo (2)") << "Mulo (2)" << 43.527178 << 15.936132;
    }
    void gateMenuCentresMap()
    {
        QFETCH(QString, gate);
        QFETCH(double, lat);
        QFETCH(double, lng);
        f.start();
        QAction *action = findAction(w->gateMenu(), gate);
        QVERIFY(action);
        action->trigger();
        const GeoPoint centre = w->karte()->projection().centre();
        QVERIFY2(qAbs(centre.lat() - lat) < 1e-6 && qAbs(centre.lng() - lng) < 1e-6,
                 qPrintable(u"%1 %2"_s.arg(centre.lat(), 0, 'f', 6).arg(centre.lng(), 0, 'f', 6)));
    }

    void sliderMovesBoatsAndFollowedBoatCentres()
    {
        f.start();
        w->legend()->curItem(rowOf(5));
        w->setSliderValue(race2010 + 450);
        for (Ship *s : f.regatta->ships())
            QVERIFY(s->currentTime() == race2010 + 450 && s->positionKnown());
        const GeoPoint position = ship(5)->currentPoint()->position;
        // halfway between the second and third fix
        QVERIFY(qAbs(position.lat() - (43.5 + 0.25 + 0.0075)) < 1e-4);
        QCOMPARE(w->karte()->projection().centre(), position);

        // a time past the slider's maximum moves the clock, not the boats
        w->setUhrzeit(race2010 + 5000);
        QCOMPARE(ship(4)->currentTime(), race2010 + 450);
        QCOMPARE(w->clockLabel()->text(), UiTest::clockText(race2010 + 5000));
    }

    void completeTracksChoiceKeptWhenRaceChosenAgain()
    {
        f.start();
        QCheckBox *box = w->completeTracksBox();
        QVERIFY(!box->isChecked());
        box->click();
        QCOMPARE(f.db->scalar(u"SELECT group_concat(showcompletetracks) FROM regatta"_s).toString(),
                 u"1,0"_s);
        for (Ship *s : f.regatta->ships())
            QVERIFY(s->completeTrack());

        findAction(w->raceMenu(), u"Vudav Avazavava Zerevudeva 2011"_s)->trigger();
        QVERIFY(!box->isChecked());
        for (Ship *s : f.regatta->ships())
            QVERIFY(!s->completeTrack());

        // back to the first race in the same run: the choice is still there
        findAction(w->raceMenu(), u"Dorur Izadidiva Dazidevire 2010"_s)->trigger();
        QVERIFY(box->isChecked());
        for (Ship *s : f.regatta->ships())
            QVERIFY(s->completeTrack());

        restart(); // a new start reads the stored value
        QVERIFY(box->isChecked());
        QVERIFY(ship(4)->completeTrack());
    }

    void frameShowsTheMomentItIsNamedAfter()
    {
        f.start();
        showWindow();
        // only boat 4, close up: a minute of its course is some 50 pixels
        TreeViewModel *model = w->legend()->model();
        for (int row = 1; row < model->rowCount(); ++row)
            model->setData(model->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
        check(5, false);
        const int t1 = race2010 + 300;
        const int t2 = t1 + 60;
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
            for (int dy = -6; dy <= 6; ++dy) {
                for (int dx = -6; dx <= 6; ++dx) {
                    const QColor c = frame.pixelColor(p + QPoint(dx, dy));
                    hits += c.red() > 180 && c.green() < 90 && c.blue() > 80;
                }
            }
            return hits;
        };
        w->setSliderValue(t1);
        const QPoint before = ship(4)->screenPos();
        QVERIFY((then - before).manhattanLength() > 40);
        QVERIFY2(boatLike(then) > 20, qPrintable(QString::number(boatLike(then))));
        QCOMPARE(boatLike(before), 0);
    }

    void raceOfOnlySkippedBoatsShowsInitBox()
    {
        QVERIFY(f.db->exec({u"DELETE FROM ship WHERE regatta_id=10 AND id<>38"_s}));
        f.start();
        QCOMPARE(f.boxes->titles(), QStringList{u"init"_s});
        QCOMPARE(f.boxes->texts(), QStringList{u"ships.isEmpty()???"_s});
        QCOMPARE(f.boxes->boxes().at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        QVERIFY(f.regatta->ships().isEmpty());
        QCOMPARE(w->legend()->model()->rowCount(), 0);
        QCOMPARE(w->timeSlider()->maximum(), int(UiTest::fixedNow)); // collapsed to "now"
    }
};

QTEST_MAIN(TestRegatta)
#include "tst_regatta.moc"
