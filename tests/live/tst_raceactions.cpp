// The race actions of the window, offscreen: a race added by hand or fetched
// from the demo service is listed and selected, a removed one is gone from
// the menu and the database, and a live race's boats move on with each poll.
#include "demoserver.h"
#include "ui/mainwindow.h"
#include "messagerecorder.h"
#include "tracking/racelist.h"
#include "store/racestore.h"
#include "ui/regatta.h"
#include "ui/regattadialog.h"
#include "platform/seams.h"
#include "scene/ship.h"
#include "app/startup.h"
#include "testdatabase.h"
#include "tracking/trackingclient.h"
#include "uitest.h"

#include <QAction>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace
{

constexpr qint64 anchor = 1700000000; // the demo's live race runs 3 h before to a day after
qint64 g_now = anchor;

QStringList actionTexts(const QList<QAction *> &actions)
{
    QStringList texts;
    for (const QAction *a : actions)
        texts.append(a->text());
    return texts;
}

// Runs f on the first top-level or child widget of type T once a modal loop
// shows it; the loop the action opens is then ended by f.
template <typename T> void whenShown(QWidget *parent, std::function<void(T *)> f)
{
    auto *timer = new QTimer(parent);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, parent, [timer, parent, f]() {
        T *widget = parent->findChild<T *>();
        if (!widget || !widget->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        f(widget);
    });
    timer->start();
}

} // namespace

class TestRaceActions : public QObject
{
    Q_OBJECT

private:
    void start() { m_regatta = std::make_unique<Regatta>(m_window.get(), 10, 88); }
    int addRace(const QString &name, int eventId, int taskId, qint64 start, qint64 end)
    {
        const RaceStore::InsertResult r = RaceStore::insert({0, eventId, taskId, name, start, end});
        return r.status == RaceStore::InsertResult::Inserted ? r.stored.id : 0;
    }
    bool waitIdle()
    {
        // The lamp counts tile transfers too and leaves out the probe, so it
        // alone does not tell that every tracking reply is in.
        QNetworkAccessManager *manager = m_window->tracking()->networkManager();
        return QTest::qWaitFor([manager] { return manager->findChildren<QNetworkReply *>().isEmpty(); },
                               20000);
    }

    std::unique_ptr<DemoServer> m_server;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<MessageRecorder> m_boxes;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<Regatta> m_regatta;

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        UiTest::installAssets();
        Seams::setClock([] { return QDateTime::fromSecsSinceEpoch(g_now); });
    }

    void init()
    {
        g_now = anchor;
        DemoServer::Options options;
        options.quiet = true;
        options.boatsPerRace = 4;
        options.liveAnchor = anchor;
        m_server = std::make_unique<DemoServer>(options);
        m_server->setClock([] { return g_now; });
        QVERIFY(m_server->listen(0) != 0);
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(UiTest::createSchema(*m_db));
        QVERIFY(m_db->exec({QStringLiteral("UPDATE prefs SET loadmaps=0, autoload=1")}));
        m_boxes = std::make_unique<MessageRecorder>();
        m_window = std::make_unique<MainWindow>();
        UiTest::isolate(m_window.get());
        m_window->tracking()->setBaseUrl(m_server->baseUrl());
        m_window->tracking()->setDiagnosticStream(nullptr);
        m_window->resize(900, 700);
    }

    void cleanup()
    {
        m_regatta.reset();
        m_window.reset();
        m_boxes.reset();
        m_db.reset();
        m_server.reset();
    }

    void actionsFollowTheRaces()
    {
        start();
        QMenu *menu = m_window->raceMenu();
        const QList<QAction *> all = menu->actions();
        QCOMPARE(all.size(), 2 + 1 + 3);
        QVERIFY(all.at(2)->isSeparator());
        QCOMPARE(actionTexts(all.mid(3)), (QStringList{QStringLiteral("Regatta hinzufügen..."),
                                                       QStringLiteral("Regatten vom Server holen"),
                                                       QStringLiteral("Regatta entfernen...")}));
        // Only the seeded races: nothing to remove.
        QVERIFY(!m_window->removeRaceAction()->isEnabled());
        m_window->removeRaceAction()->trigger();
        QCOMPARE(m_boxes->count(), 0);
        QCOMPARE(m_db->count("regatta"), 2);
    }

    void dialogRaceIsListedAndSelected()
    {
        start();
        QCOMPARE(m_regatta->id(), 1);
        const QDateTime begin = QDateTime::fromSecsSinceEpoch(anchor - 3600);
        whenShown<RegattaDialog>(m_window.get(), [begin](RegattaDialog *d) {
            d->nameEdit()->setText(QStringLiteral("Kieler Woche"));
            d->eventEdit()->setText(QStringLiteral("77"));
            d->taskEdit()->setText(QStringLiteral("7"));
            d->startEdit()->setDateTime(begin);
            d->endEdit()->setDateTime(begin.addDays(2));
            d->buttons()->button(QDialogButtonBox::Ok)->click();
        });
        m_window->addRaceAction()->trigger();

        QCOMPARE(m_db->count("regatta"), 3);
        QCOMPARE(actionTexts(m_window->raceActions()),
                 (QStringList{QStringLiteral("Kieler Woche"),
                              QStringLiteral("Vudav Avazavava Zerevudeva 2011"),
                              QStringLiteral("Dorur Izadidiva Dazidevire 2010")}));
        QCOMPARE(m_window->raceListCopy().size(), 3);
        QCOMPARE(m_regatta->races().size(), 3);
        QCOMPARE(m_regatta->id(), 3);
        QCOMPARE(m_regatta->eventId(), 77);
        QCOMPARE(m_regatta->start(), anchor - 3600);
        QVERIFY(m_window->windowTitle().endsWith(QStringLiteral("Kieler Woche")));
        // Running: fetching is possible.
        QVERIFY(m_window->fetchButton()->isEnabled());
        QVERIFY(m_window->removeRaceAction()->isEnabled());
        QVERIFY(m_window->statusBar()->currentMessage().contains(QStringLiteral("hinzugefügt")));
        QVERIFY(waitIdle());
    }

    void badDialogInputChangesNothing()
    {
        start();
        QString shown;
        whenShown<RegattaDialog>(m_window.get(), [&shown](RegattaDialog *d) {
            d->nameEdit()->setText(QStringLiteral("Doppelt"));
            d->eventEdit()->setText(QStringLiteral("21"));
            d->taskEdit()->setText(QStringLiteral("120"));
            d->buttons()->button(QDialogButtonBox::Ok)->click();
            shown = d->messageLabel()->text();
            d->buttons()->button(QDialogButtonBox::Cancel)->click();
        });
        m_window->addRaceAction()->trigger();
        QCOMPARE(shown, RaceStore::duplicateMessage(21, 120));
        QCOMPARE(m_db->count("regatta"), 2);
        QCOMPARE(m_window->raceActions().size(), 2);
        QCOMPARE(m_regatta->id(), 1);
    }

    void raceEntryShowsItsNameAndChoosesOnlyItsRace()
    {
        // "Live & Co" starts with "Live"; its entry must not also select
        // "Live", and its "&" is not a shortcut marker.
        const int first = addRace(QStringLiteral("Live"), 61, 1, anchor - 7200, anchor + 3600);
        const int second =
            addRace(QStringLiteral("Live & Co"), 62, 1, anchor - 3600, anchor + 3600);
        start();
        const QList<QAction *> races = m_window->raceActions();
        QCOMPARE(races.at(0)->iconText(), QStringLiteral("Live & Co"));
        races.at(0)->trigger();
        QCOMPARE(m_regatta->id(), second);
        races.at(1)->trigger();
        QCOMPARE(m_regatta->id(), first);
        QVERIFY(waitIdle());
    }

    void removingCurrentRaceSelectsAnother()
    {
        const int id = addRace(QStringLiteral("Weg damit"), 30, 300, anchor - 3600, anchor + 3600);
        start();
        m_window->refreshRaces(id);
        QCOMPARE(m_regatta->id(), id);
        QVERIFY(waitIdle());
        QVERIFY(m_db->count("ship", "regatta_id=30") > 0);
        QVERIFY(m_db->count("track", "regatta_id=30") > 0);

        m_boxes->queueAnswer(QMessageBox::Yes);
        m_window->removeRaceAction()->trigger();
        QCOMPARE(m_boxes->count(), 1);
        QCOMPARE(m_boxes->boxes().first().title, QStringLiteral("Regatta entfernen"));
        QVERIFY(m_boxes->boxes().first().text.contains(QStringLiteral("Weg damit")));
        QCOMPARE(m_db->count("regatta", QStringLiteral("id=%1").arg(id)), 0);
        QCOMPARE(m_db->count("ship", "regatta_id=30"), 0);
        QCOMPARE(m_db->count("track", "regatta_id=30"), 0);
        QVERIFY(!actionTexts(m_window->raceActions()).contains(QStringLiteral("Weg damit")));
        QCOMPARE(m_window->raceActions().size(), 2);
        // The newest remaining race takes over.
        QCOMPARE(m_regatta->id(), 2);
        QVERIFY(!m_window->removeRaceAction()->isEnabled());
        QVERIFY(waitIdle());
    }

    void lateBoatListOfRemovedRaceIsNotStored()
    {
        m_server->setFault(QStringLiteral("getBoats"), DemoServer::Fault::Delay, 300);
        const int id = addRace(QStringLiteral("Kurz"), 30, 300, anchor - 3600, anchor + 3600);
        start();
        QVERIFY(waitIdle());
        m_window->refreshRaces(id);
        QCOMPARE(m_server->requestCount(QStringLiteral("getBoats")), 1); // under way
        m_boxes->queueAnswer(QMessageBox::Yes);
        QVERIFY(m_window->removeRaceWithId(id));
        QVERIFY(waitIdle());
        QCOMPARE(m_db->count("ship", "regatta_id=30"), 0);
        QCOMPARE(m_db->count("track", "regatta_id=30"), 0);
        QCOMPARE(m_window->pendingRequests(), 0);
    }

    void removalAsksAndRefusalKeepsEverything()
    {
        const int id = addRace(QStringLiteral("Bleibt"), 30, 300, anchor - 3600, anchor + 3600);
        start();
        m_window->refreshRaces(id);
        QVERIFY(waitIdle());
        const int boats = m_db->count("ship", "regatta_id=30");
        m_boxes->queueAnswer(QMessageBox::No);
        QVERIFY(!m_window->removeRaceWithId(id));
        QCOMPARE(m_boxes->count(), 1);
        QCOMPARE(m_boxes->boxes().first().defaultButton, QMessageBox::No);
        QCOMPARE(m_db->count("regatta"), 3);
        QCOMPARE(m_db->count("ship", "regatta_id=30"), boats);
        QCOMPARE(m_regatta->id(), id);

        // A seeded race is refused even when asked for directly.
        m_boxes->queueAnswer(QMessageBox::Yes);
        QVERIFY(!m_window->removeRaceWithId(1));
        QCOMPARE(m_db->count("regatta"), 3);
    }

    void raceToRemoveIsChosenFromList()
    {
        const int a = addRace(QStringLiteral("Erste"), 71, 1, 1500000000, 1500003600);
        const int b = addRace(QStringLiteral("Zweite"), 72, 1, 1500010000, 1500013600);
        start(); // the seeded 2010 race is current
        QVERIFY(m_db->exec({QStringLiteral("INSERT INTO ship (id, regatta_id, name, klasse, startnr, "
                                           "farbe, lastget, show, follow) VALUES (9001, 72, 'X', 'A', "
                                           "'1', '#ff0000', 0, 'true', 'false')")}));
        QStringList offered;
        whenShown<QInputDialog>(m_window.get(), [&offered](QInputDialog *d) {
            offered = d->comboBoxItems();
            d->setTextValue(QStringLiteral("Zweite"));
            d->accept();
        });
        m_boxes->queueAnswer(QMessageBox::Yes);
        m_window->removeRaceAction()->trigger();
        QCOMPARE(offered, (QStringList{QStringLiteral("Zweite"), QStringLiteral("Erste")}));
        QCOMPARE(m_db->count("regatta", QStringLiteral("id=%1").arg(b)), 0);
        QCOMPARE(m_db->count("regatta", QStringLiteral("id=%1").arg(a)), 1);
        QCOMPARE(m_db->count("ship", "regatta_id=72"), 0);
        QCOMPARE(
            actionTexts(m_window->raceActions()),
            (QStringList{QStringLiteral("Erste"), QStringLiteral("Vudav Avazavava Zerevudeva 2011"),
                         QStringLiteral("Dorur Izadidiva Dazidevire 2010")}));
        QCOMPARE(m_regatta->id(), 1); // the current race stays
        QVERIFY(waitIdle());
    }

    void fetchedLiveRaceIsSelectedAndMovesOnWithEachPoll()
    {
        start();
        QVERIFY(waitIdle());
        m_window->fetchRacesAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->statusBar()->currentMessage(),
                                  QStringLiteral("1 neue Regatta vom Server geholt."), 20000);
        QCOMPARE(m_window->raceActions().first()->text(), QStringLiteral("Velmaro Live Demo"));
        QCOMPARE(m_regatta->eventId(), DemoServer::liveEventId);
        QCOMPARE(m_regatta->taskId(), DemoServer::liveTaskId);
        QVERIFY(m_window->fetchButton()->isEnabled());
        QVERIFY(waitIdle());
        QTRY_VERIFY_WITH_TIMEOUT(!m_regatta->ships().isEmpty(), 20000);
        QVERIFY(waitIdle());

        int maximum = m_window->timeSlider()->maximum();
        QVERIFY(maximum > anchor - 3 * 3600);
        QVERIFY(maximum <= anchor);
        for (int poll = 0; poll < 2; ++poll) {
            g_now += 300;
            const int lamps = m_server->requestCount(QStringLiteral("getPosition"));
            m_window->getData();
            QVERIFY(waitIdle());
            QVERIFY(m_server->requestCount(QStringLiteral("getPosition")) > lamps);
            QVERIFY2(m_window->timeSlider()->maximum() > maximum,
                     qPrintable(QString::number(m_window->timeSlider()->maximum())));
            maximum = m_window->timeSlider()->maximum();
            QVERIFY(maximum <= g_now);
        }
        QCOMPARE(m_db->scalar("SELECT COUNT(*) FROM (SELECT ship_id, tstamp FROM track GROUP BY "
                              "ship_id, tstamp HAVING COUNT(*) > 1)")
                     .toInt(),
                 0);

        // Fetching again adds nothing and keeps the selection.
        m_window->fetchRacesAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->statusBar()->currentMessage(),
                                  QStringLiteral("Keine neuen Regatten auf dem Server."), 20000);
        QCOMPARE(m_window->raceActions().size(), 3);
        QCOMPARE(m_regatta->eventId(), DemoServer::liveEventId);
        QCOMPARE(m_boxes->count(), 0);
    }

    void serviceWithoutListGetsStatusMessageOnly()
    {
        start();
        QVERIFY(waitIdle());
        m_server->setFault(QStringLiteral("getRaces"), DemoServer::Fault::HttpError, 404);
        m_window->fetchRacesAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->statusBar()->currentMessage(),
                                  QStringLiteral("Der Server bietet keine Regattaliste an."), 20000);
        m_server->setFault(QStringLiteral("getRaces"), DemoServer::Fault::HttpError, 500);
        m_window->fetchRacesAction()->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(m_window->statusBar()->currentMessage().startsWith(
                                     QStringLiteral("Die Regattaliste konnte nicht geholt werden")),
                                 20000);
        QCOMPARE(m_boxes->count(), 0);
        QCOMPARE(m_window->raceActions().size(), 2);
        QCOMPARE(m_regatta->id(), 1);
    }
};

QTEST_MAIN(TestRaceActions)
#include "tst_raceactions.moc"
