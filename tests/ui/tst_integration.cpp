// The window over the loopback demo service: a race without stored boats is
// fetched, listed and placed; the update menu entry asks the feed.

#include "demoserver.h"
#include "ui/iconselector.h"
#include "ui/mainwindow.h"
#include "messagerecorder.h"
#include "ui/regatta.h"
#include "platform/seams.h"
#include "scene/ship.h"
#include "app/startup.h"
#include "testdatabase.h"
#include "tracking/trackingclient.h"
#include "ui/treeviewmodel.h"
#include "uitest.h"
#include "update/vuupdater.h"
#include "update/vuupdatewindow.h" // vuupdater.h needs it complete

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QTest>

#include <memory>

using UiTest::fixedNow; // both seeded races are over

class TestIntegration : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void raceWithoutStoredBoatsIsFetchedListedAndPlaced();
    void updateMenuEntryAsksTheFeed();

private:
    std::unique_ptr<DemoServer> m_server;
    UiTest::Window f;
};

void TestIntegration::initTestCase()
{
    Startup::setIdentity();
    UiTest::initCase();
}

void TestIntegration::init()
{
    DemoServer::Options options;
    options.quiet = true;
    options.boatsPerRace = 6;
    m_server = std::make_unique<DemoServer>(options);
    QVERIFY(m_server->listen(0) != 0);
    QVERIFY(f.open({QStringLiteral("UPDATE prefs SET loadmaps=0")}, QSize(900, 600)));
    f.window->tracking()->setBaseUrl(m_server->baseUrl());
}

void TestIntegration::cleanup()
{
    f.close();
    m_server.reset();
}

void TestIntegration::raceWithoutStoredBoatsIsFetchedListedAndPlaced()
{
    const QList<DemoServer::Boat> fleet = m_server->boats(10);
    QCOMPARE(fleet.size(), 6);
    QSet<QString> classes;
    for (const DemoServer::Boat &boat : fleet)
        classes.insert(boat.klasse);

    f.start(10, 88);
    QTRY_COMPARE_WITH_TIMEOUT(f.regatta->ships().size(), fleet.size(), 10000);
    QCOMPARE(f.window->legend()->model()->rowCount(), classes.size());
    QCOMPARE(f.db->count(QStringLiteral("ship"), QStringLiteral("regatta_id=10")), 6);

    // the boats' history follows, and the slider spans it
    QTRY_VERIFY_WITH_TIMEOUT(f.window->timeSlider()->maximum() < fixedNow, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(f.window->pendingRequests(), 0, 10000);
    QVERIFY(f.window->timeSlider()->minimum() > 1270458000);
    QVERIFY(f.window->timeSlider()->maximum() <= 1270764000);
    for (Ship *ship : f.regatta->ships())
        QVERIFY(ship->hasPositions());
    QCOMPARE(f.window->fetchButton()->toolTip(), QStringLiteral("neueste Positionsdaten holen"));
    QVERIFY(f.db->count(QStringLiteral("track")) > 0);
    QCOMPARE(f.boxes->count(), 0);
}

void TestIntegration::updateMenuEntryAsksTheFeed()
{
    VuUpdater::instance()->setFeedURL(m_server->baseUrl() +
                                      QStringLiteral("/downloads/setup/velmaro.xml"));
    QAction *check = nullptr;
    for (QAction *menu : f.window->menuBar()->actions()) {
        for (QAction *action : menu->menu()->actions()) {
            if (action->text() == QStringLiteral("Nach Updates suchen..."))
                check = action;
        }
    }
    QVERIFY(check);
    check->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(QStringLiteral("feed")), 1, 10000);
    // nothing newer: the interactive check says so
    QTRY_VERIFY_WITH_TIMEOUT(f.boxes->count() > 0, 10000);
}

QTEST_MAIN(TestIntegration)
#include "tst_integration.moc"
