#include "gateitem.h"
#include "iconselector.h"
#include "karte.h"
#include "mainwindow.h"
#include "messagerecorder.h"
#include "regatta.h"
#include "scheme.h"
#include "seams.h"
#include "ship.h"
#include "testdatabase.h"
#include "trackingclient.h"
#include "treeshipitem.h"
#include "treeviewmodel.h"
#include "uitest.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTest>
#include <QTreeView>

#include <memory>

namespace
{
constexpr qint64 fixedNow = 1400000000; // after both seeded races
constexpr int race2010 = 1270458000;
constexpr int race2011 = 1302906000;

// Event 10: three classes, one boat 38 that is never shown; event 21: two boats.
QStringList fleet()
{
    QStringList sql;
    struct Row {
        int id;
        int event;
        const char *klasse;
        const char *startnr;
        const char *farbe;
    };
    const Row rows[] = {
        {11, 10, "Charlie", "7", "#ff0000"}, {4, 10, "Alpha", "1", "#ff008a"},
        {9, 10, "Charlie", "3", "#00ff00"},  {7, 10, "Bravo", "5", "#9000ff"},
        {38, 10, "Alpha", "0", "#000000"},   {5, 10, "Alpha", "2", "#00ffcc"},
        {10, 10, "Charlie", "4", "#ffff00"}, {20, 21, "Delta", "1", "#0000ff"},
        {21, 21, "Delta", "2", "#e19a00"},
    };
    for (const Row &r : rows) {
        sql << QStringLiteral("INSERT INTO ship (id, regatta_id, name, skipper, team, klasse, "
                              "startnr, farbe, lastget, show, follow) VALUES (%1, %2, 'Boot %1', "
                              "'Skipper %1', 'Team %1', '%3', '%4', '%5', 0, 'true', 'false')")
                   .arg(r.id)
                   .arg(r.event)
                   .arg(QString::fromLatin1(r.klasse), QString::fromLatin1(r.startnr),
                        QString::fromLatin1(r.farbe));
        const int start = r.event == 10 ? race2010 : race2011;
        const int span = r.event == 10 ? 600 : 1200;
        for (int k = 0; k < 3; ++k) {
            sql << QStringLiteral("INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) "
                                  "VALUES (%1, %2, %3, %4, %5)")
                       .arg(r.id)
                       .arg(r.event)
                       .arg(start + k * span / 2)
                       .arg(43.5 + r.id * 0.05 + k * 0.005, 0, 'f', 6)
                       .arg(15.9 + k * 0.01, 0, 'f', 6);
        }
    }
    return sql;
}

QAction *findAction(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
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
            note(QStringLiteral("gate menu"));
        if (event->type() == QEvent::EnabledChange && !static_cast<QWidget *>(watched)->isEnabled())
            note(QStringLiteral("fetch disabled"));
        return false;
    }
};
} // namespace

class TestRegatta : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void legendListsClassesThenStartNumbers();
    void startRacePlacesBoatsGatesAndSlider();
    void raceChangeOrder();
    void classCheckBoxHidesAndStoresAllItsBoats();
    void legendClickFollowsAndStoresSingleFlag();
    void legendClickOnHiddenBoatReselectsFollowed();
    void uncheckingFollowedBoatStoresBothFlags();
    void mapClickFollowsNearestShownBoat();
    void gateMenuCentresMap_data();
    void gateMenuCentresMap();
    void sliderMovesBoatsAndFollowedBoatCentres();
    void timePastMaximumLeavesBoats();
    void completeTracksBoxStoresPerRace();
    void stopFollowingClearsMemoryOnly();
    void frameShowsTheMomentItIsNamedAfter();
    void raceOfOnlySkippedBoatsShowsInitBox();

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<MessageRecorder> m_boxes;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<Regatta> m_regatta;

    void start(int eventId = 10, int taskId = 88)
    {
        m_regatta = std::make_unique<Regatta>(m_window.get(), eventId, taskId);
    }
    Ship *ship(int id) const { return m_regatta->shipById(id); }
    QString stored(int id, const char *column) const
    {
        return m_db
            ->scalar(QStringLiteral("SELECT %1 FROM ship WHERE id=%2")
                         .arg(QString::fromLatin1(column))
                         .arg(id))
            .toString();
    }
    int followedInDb(int event) const
    {
        return m_db->count(QStringLiteral("ship"),
                           QStringLiteral("follow='true' AND regatta_id=%1").arg(event));
    }
    QModelIndex rowOf(int id) const { return ship(id)->legendIndex(); }
};

void TestRegatta::initTestCase()
{
    UiTest::installAssets();
    Seams::setClock([] { return QDateTime::fromSecsSinceEpoch(fixedNow); });
}

void TestRegatta::init()
{
    m_db = std::make_unique<TestDatabase>();
    QVERIFY(UiTest::createSchema(*m_db));
    QVERIFY(m_db->exec(fleet()));
    // no tile traffic: the lamp then counts only the race's own transfers
    QVERIFY(m_db->exec({QStringLiteral("UPDATE prefs SET loadmaps=0")}));
    m_boxes = std::make_unique<MessageRecorder>();
    QSettings(QStringLiteral("velmaro.org"), QStringLiteral("Velmaro")).clear();
    m_window = std::make_unique<MainWindow>();
    UiTest::isolate(m_window.get());
    m_window->resize(900, 700);
}

void TestRegatta::cleanup()
{
    m_regatta.reset();
    m_window.reset();
    m_boxes.reset();
    m_db.reset();
}

void TestRegatta::legendListsClassesThenStartNumbers()
{
    start();
    TreeViewModel *model = m_window->legend()->model();
    QTreeView *tree = m_window->legend()->treeView();
    QCOMPARE(model->rowCount(), 3);
    const QStringList classes{QStringLiteral("Alpha"), QStringLiteral("Bravo"),
                              QStringLiteral("Charlie")};
    const QList<QStringList> numbers{
        {QStringLiteral("1"), QStringLiteral("2")},
        {QStringLiteral("5")},
        {QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("7")}};
    for (int row = 0; row < 3; ++row) {
        const QModelIndex group = model->index(row, 0);
        QCOMPARE(group.data().toString(), classes.at(row));
        QCOMPARE(group.data(Qt::FontRole).value<QFont>().weight(), QFont::Bold);
        QVERIFY(tree->isFirstColumnSpanned(row, QModelIndex()));
        QVERIFY(tree->isExpanded(group));
        QStringList shown;
        for (int child = 0; child < model->rowCount(group); ++child)
            shown << model->index(child, 0, group).data().toString();
        QCOMPARE(shown, numbers.at(row));
    }
    QVERIFY(!ship(38));
    QCOMPARE(m_regatta->ships().size(), 6);

    // each boat knows its row, and the row its colour
    const QModelIndex row = rowOf(10);
    QCOMPARE(row.data().toString(), QStringLiteral("4"));
    QCOMPARE(row.parent().data().toString(), QStringLiteral("Charlie"));
    QCOMPARE(row.data(Qt::DecorationRole).value<QPixmap>().toImage().pixelColor(3, 3),
             QColor(QStringLiteral("#ffff00")));
    QCOMPARE(row.sibling(row.row(), 2).data().toString(), QStringLiteral("Boot 10"));
}

void TestRegatta::startRacePlacesBoatsGatesAndSlider()
{
    start();
    MainWindow *w = m_window.get();
    QCOMPARE(m_regatta->name(), QStringLiteral("Dorur Izadidiva Dazidevire 2010"));
    QCOMPARE(w->timeSlider()->minimum(), race2010 + 60);
    QCOMPARE(w->timeSlider()->maximum(), race2010 + 600);
    QCOMPARE(w->timeSlider()->value(), race2010 + 600);
    for (Ship *s : m_regatta->ships()) {
        QVERIFY(s->hasPositions());
        QCOMPARE(s->scene(), static_cast<QGraphicsScene *>(w->scene()));
        QCOMPARE(s->currentTime(), race2010 + 600);
    }
    QCOMPARE(w->gateMenu()->actions().size(), 11);
    QCOMPARE(w->gateMenu()->actions().first()->text(), QStringLiteral("Biograd Start"));
    QCOMPARE(m_regatta->gates().size(), 11);
    for (GateItem *gate : m_regatta->gates())
        QCOMPARE(gate->scene(), static_cast<QGraphicsScene *>(w->scene()));
    QCOMPARE(w->pendingRequests(), 0);
    QVERIFY(!w->fetchButton()->isEnabled());
}

void TestRegatta::raceChangeOrder()
{
    // the 2010 race still running, so that the switch to 2011 disables fetching
    m_db->exec({QStringLiteral("UPDATE regatta SET bis=1500000000 WHERE id=1")});
    start();
    MainWindow *w = m_window.get();
    QVERIFY(w->fetchButton()->isEnabled());
    const QList<Ship *> before = m_regatta->ships();
    QCOMPARE(before.size(), 6);

    ChangeLog log;
    TreeViewModel *model = w->legend()->model();
    connect(model, &QAbstractItemModel::rowsRemoved, &log, [&](const QModelIndex &parent) {
        if (!parent.isValid())
            log.note(QStringLiteral("legend cleared"));
    });
    connect(model, &QAbstractItemModel::rowsInserted, &log, [&](const QModelIndex &parent) {
        if (!parent.isValid())
            log.note(QStringLiteral("boats listed"));
    });
    connect(w->timeSlider(), &QSlider::rangeChanged, &log,
            [&] { log.note(QStringLiteral("slider")); });
    w->gateMenu()->installEventFilter(&log);
    w->fetchButton()->installEventFilter(&log);

    findAction(w->raceMenu(), QStringLiteral("Vudav Avazavava Zerevudeva 2011"))->trigger();

    QCOMPARE(log.steps, (QStringList{QStringLiteral("legend cleared"), QStringLiteral("gate menu"),
                                     QStringLiteral("boats listed"), QStringLiteral("slider"),
                                     QStringLiteral("fetch disabled")}));
    QCOMPARE(m_regatta->eventId(), 21);
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("Delta"));
    QCOMPARE(m_regatta->ships().size(), 2);
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

void TestRegatta::classCheckBoxHidesAndStoresAllItsBoats()
{
    start();
    TreeViewModel *model = m_window->legend()->model();
    const QModelIndex charlie = model->index(2, 0);
    QVERIFY(model->setData(charlie, Qt::Unchecked, Qt::CheckStateRole));
    for (int id : {9, 10, 11}) {
        QVERIFY(!ship(id)->isShown());
        QCOMPARE(stored(id, "show"), QStringLiteral("false"));
        QCOMPARE(stored(id, "follow"), QStringLiteral("false"));
    }
    for (int id : {4, 5, 7}) {
        QVERIFY(ship(id)->isShown());
        QCOMPARE(stored(id, "show"), QStringLiteral("true"));
    }
    model->setData(rowOf(10), Qt::Checked, Qt::CheckStateRole);
    QVERIFY(ship(10)->isShown());
    QCOMPARE(stored(10, "show"), QStringLiteral("true"));

    // a hidden boat survives a restart hidden
    m_regatta.reset();
    start();
    QVERIFY(!ship(9)->isShown());
    QCOMPARE(rowOf(9).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(ship(10)->isShown());
}

void TestRegatta::legendClickFollowsAndStoresSingleFlag()
{
    start();
    IconSelector *legend = m_window->legend();
    const QModelIndex five = rowOf(5);
    legend->curItem(five.sibling(five.row(), 3)); // the "Skipper" cell
    QVERIFY(ship(5)->follow());
    QCOMPARE(stored(5, "follow"), QStringLiteral("true"));
    QCOMPARE(followedInDb(10), 1);
    QCOMPARE(m_window->karte()->projection().centre(), ship(5)->currentPoint()->position);

    legend->curItem(rowOf(9));
    QVERIFY(ship(9)->follow());
    QVERIFY(!ship(5)->follow());
    QCOMPARE(stored(9, "follow"), QStringLiteral("true"));
    QCOMPARE(stored(5, "follow"), QStringLiteral("false"));
    QCOMPARE(followedInDb(10), 1);

    legend->curItem(rowOf(9)); // again: stop following
    QVERIFY(!ship(9)->follow());
    QCOMPARE(followedInDb(10), 0);

    // the follow flag survives a restart
    legend->curItem(rowOf(7));
    m_regatta.reset();
    start();
    QVERIFY(ship(7)->follow());
}

void TestRegatta::legendClickOnHiddenBoatReselectsFollowed()
{
    start();
    IconSelector *legend = m_window->legend();
    legend->curItem(rowOf(4));
    QVERIFY(ship(4)->follow());
    legend->model()->setData(rowOf(7), Qt::Unchecked, Qt::CheckStateRole);
    const QString before =
        m_db->scalar(QStringLiteral("SELECT group_concat(id||show||follow) FROM ship")).toString();
    legend->treeView()->selectionModel()->clearSelection();

    legend->curItem(rowOf(7));
    QVERIFY(!ship(7)->follow());
    QVERIFY(ship(4)->follow());
    QCOMPARE(
        m_db->scalar(QStringLiteral("SELECT group_concat(id||show||follow) FROM ship")).toString(),
        before);
    QItemSelectionModel *selection = legend->treeView()->selectionModel();
    QVERIFY(selection->isRowSelected(rowOf(4).row(), rowOf(4).parent()));
    QVERIFY(!selection->isRowSelected(rowOf(7).row(), rowOf(7).parent()));
}

void TestRegatta::uncheckingFollowedBoatStoresBothFlags()
{
    start();
    IconSelector *legend = m_window->legend();
    legend->curItem(rowOf(4));
    QCOMPARE(stored(4, "follow"), QStringLiteral("true"));
    legend->model()->setData(rowOf(4), Qt::Unchecked, Qt::CheckStateRole);
    QVERIFY(!ship(4)->follow());
    QVERIFY(!ship(4)->isShown());
    QCOMPARE(stored(4, "show"), QStringLiteral("false"));
    QCOMPARE(stored(4, "follow"), QStringLiteral("false"));
}

void TestRegatta::mapClickFollowsNearestShownBoat()
{
    start();
    MainWindow *w = m_window.get();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->karte()->setCenterGeo(ship(11)->currentPoint()->position);
    w->karte()->relayout();
    w->karte()->setCenterGeo(ship(10)->currentPoint()->position); // some pixels away
    w->karte()->relayout();
    const QPoint at = ship(11)->screenPos();
    QVERIFY(w->karte()->rect().contains(at));

    w->mapClicked(at.x() + 10, at.y() - 9); // the farthest click that still hits it
    QVERIFY(ship(11)->follow());
    QCOMPARE(stored(11, "follow"), QStringLiteral("true"));
    QCOMPARE(followedInDb(10), 1);
    QCOMPARE(w->karte()->projection().centre(), ship(11)->currentPoint()->position);
    QItemSelectionModel *selection = w->legend()->treeView()->selectionModel();
    QVERIFY(selection->isRowSelected(rowOf(11).row(), rowOf(11).parent()));

    // the map now centres on it; clicking it again stops following
    w->karte()->relayout();
    const QPoint now = ship(11)->screenPos();
    w->mapClicked(now.x(), now.y());
    QVERIFY(!ship(11)->follow());
    QCOMPARE(followedInDb(10), 0);

    // far away from every boat: nothing happens
    w->mapClicked(-500, -500);
    QCOMPARE(followedInDb(10), 0);

    // hidden boats cannot be picked
    w->legend()->model()->setData(rowOf(11), Qt::Unchecked, Qt::CheckStateRole);
    w->karte()->relayout();
    const QPoint hidden = ship(11)->screenPos();
    w->mapClicked(hidden.x(), hidden.y());
    QVERIFY(!ship(11)->follow());
}

void TestRegatta::gateMenuCentresMap_data()
{
    QTest::addColumn<QString>("gate");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lng");
    QTest::newRow("Hvar") << "Hvar" << 43.119053 << 16.345864;
    QTest::newRow("Mulo (1)") << "Mulo (1)" << 43.323220 << 15.654470;
    QTest::newRow("Mulo (2)") << "Mulo (2)" << 43.527178 << 15.936132;
    QTest::newRow("Dugi Otok North") << "Dugi Otok North" << 44.188733 << 14.845183;
}

void TestRegatta::gateMenuCentresMap()
{
    QFETCH(QString, gate);
    QFETCH(double, lat);
    QFETCH(double, lng);
    start();
    QAction *action = findAction(m_window->gateMenu(), gate);
    QVERIFY(action);
    action->trigger();
    const GeoPoint centre = m_window->karte()->projection().centre();
    QVERIFY2(qAbs(centre.lat() - lat) < 1e-6, qPrintable(QString::number(centre.lat(), 'f', 6)));
    QVERIFY2(qAbs(centre.lng() - lng) < 1e-6, qPrintable(QString::number(centre.lng(), 'f', 6)));
}

void TestRegatta::sliderMovesBoatsAndFollowedBoatCentres()
{
    start();
    m_window->legend()->curItem(rowOf(5));
    m_window->setSliderValue(race2010 + 450);
    for (Ship *s : m_regatta->ships()) {
        QCOMPARE(s->currentTime(), race2010 + 450);
        QVERIFY(s->positionKnown());
    }
    const GeoPoint position = ship(5)->currentPoint()->position;
    // halfway between the second and third fix
    QVERIFY(qAbs(position.lat() - (43.5 + 0.25 + 0.0075)) < 1e-4);
    QCOMPARE(m_window->karte()->projection().centre(), position);
}

void TestRegatta::timePastMaximumLeavesBoats()
{
    start();
    m_window->setSliderValue(race2010 + 300);
    m_window->setUhrzeit(race2010 + 5000);
    QCOMPARE(ship(4)->currentTime(), race2010 + 300);
    QCOMPARE(m_window->clockLabel()->text(), QDateTime::fromSecsSinceEpoch(race2010 + 5000)
                                                 .toString(QStringLiteral("dd.MM.yyyy hh:mm")));
}

void TestRegatta::completeTracksBoxStoresPerRace()
{
    start();
    QCheckBox *box = m_window->completeTracksBox();
    QVERIFY(!box->isChecked());
    box->click();
    QCOMPARE(
        m_db->scalar(QStringLiteral("SELECT showcompletetracks FROM regatta WHERE id=1")).toInt(),
        1);
    QCOMPARE(
        m_db->scalar(QStringLiteral("SELECT showcompletetracks FROM regatta WHERE id=2")).toInt(),
        0);
    for (Ship *s : m_regatta->ships())
        QVERIFY(s->completeTrack());

    findAction(m_window->raceMenu(), QStringLiteral("Vudav Avazavava Zerevudeva 2011"))->trigger();
    QVERIFY(!box->isChecked());
    for (Ship *s : m_regatta->ships())
        QVERIFY(!s->completeTrack());

    // a new start reads the stored value
    m_regatta.reset();
    start();
    QVERIFY(box->isChecked());
    QVERIFY(ship(4)->completeTrack());
}

void TestRegatta::stopFollowingClearsMemoryOnly()
{
    start();
    m_window->legend()->curItem(rowOf(4));
    m_window->stopFollowing();
    QVERIFY(!ship(4)->follow());
    QCOMPARE(stored(4, "follow"), QStringLiteral("true"));
}

void TestRegatta::frameShowsTheMomentItIsNamedAfter()
{
    start();
    MainWindow *w = m_window.get();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    // only boat 4, close up: a minute of its course is some 50 pixels
    TreeViewModel *model = w->legend()->model();
    for (int row = 1; row < model->rowCount(); ++row)
        model->setData(model->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
    model->setData(rowOf(5), Qt::Unchecked, Qt::CheckStateRole);
    const int t1 = race2010 + 300;
    const int t2 = t1 + 60;
    w->karte()->setZoomLevel(15);
    w->karte()->setCenterGeo(ship(4)->positionAt(t1 + 30)->position);
    w->setSliderValue(t1);

    w->captureOnOff();
    w->setSliderValue(t2);
    w->captureOnOff();
    const QPoint then = ship(4)->screenPos();
    QImage frame(MainWindow::frameFileName(t2));
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

void TestRegatta::raceOfOnlySkippedBoatsShowsInitBox()
{
    m_db->exec({QStringLiteral("DELETE FROM ship WHERE regatta_id=10 AND id<>38")});
    start();
    QCOMPARE(m_boxes->titles(), QStringList{QStringLiteral("init")});
    QCOMPARE(m_boxes->texts(), QStringList{QStringLiteral("ships.isEmpty()???")});
    QCOMPARE(m_boxes->boxes().at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
    QVERIFY(m_regatta->ships().isEmpty());
    QCOMPARE(m_window->legend()->model()->rowCount(), 0);
    // an empty race collapses the slider to "now"
    QCOMPARE(m_window->timeSlider()->maximum(), int(fixedNow));
}

QTEST_MAIN(TestRegatta)
#include "tst_regatta.moc"
