// The 2011 race fetched from the loopback demo service: the fastest replay
// speed covers it in about a minute, and the leaderboard ranks the fleet
// plausibly at every hour of it.

#include "../ui/uitest.h"

#include "demoserver.h"
#include "ui/leaderboardpanel.h"
#include "ui/regatta.h"
#include "ui/replayclock.h"
#include "platform/seams.h"
#include "scene/ship.h"
#include "app/startup.h"

#include <QComboBox>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

#include <cmath>
#include <memory>

namespace
{
constexpr qint64 fixedNow = UiTest::fixedNow; // the 2011 race is over
}

class TestReplayDemo : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fastestSpeedReplaysRaceInAboutAMinute();
    void leaderboardPlausibleThroughoutRace();

private:
    void loadRace();

    std::unique_ptr<DemoServer> m_server;
    UiTest::Window f;
};

void TestReplayDemo::initTestCase()
{
    Startup::setIdentity();
    UiTest::initCase();
    DemoServer::Options options;
    options.quiet = true;
    options.boatsPerRace = 8;
    m_server = std::make_unique<DemoServer>(options);
    QVERIFY(m_server->listen(0) != 0);
    QVERIFY(f.open({QStringLiteral("UPDATE prefs SET loadmaps=0")}, QSize(1200, 800)));
    f.window->tracking()->setBaseUrl(m_server->baseUrl());
    loadRace();
}

void TestReplayDemo::loadRace()
{
    f.start(21, 120);
    QTRY_COMPARE_WITH_TIMEOUT(int(f.regatta->ships().size()), 8, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(f.window->timeSlider()->maximum() < fixedNow, 10000);
    const auto allPlaced = [this] {
        for (Ship *ship : f.regatta->ships()) {
            if (!ship->hasPositions())
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allPlaced(), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(f.window->pendingRequests(), 0, 30000);
}

void TestReplayDemo::fastestSpeedReplaysRaceInAboutAMinute()
{
    MainWindow *w = f.window.get();
    emit w->speedBox()->activated(w->speedBox()->findData(300));
    w->setSliderValue(w->timeSlider()->minimum());
    w->animOnOff();
    w->animationTimer()->stop(); // ticks by hand, counted
    int ticks = 0;
    while (w->isAnimating() && ticks < 100000) {
        w->advanceFrame();
        ++ticks;
    }
    QCOMPARE(w->timeSlider()->value(), w->timeSlider()->maximum());
    // A seven-day race at one tick per 30 ms.
    const double seconds = ticks * 0.030;
    QVERIFY2(seconds > 45.0 && seconds < 75.0, qPrintable(QString::number(seconds)));
}

void TestReplayDemo::leaderboardPlausibleThroughoutRace()
{
    MainWindow *w = f.window.get();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    if (!w->isPanelOpen())
        w->toggleLegende();
    w->sidePanel()->setCurrentWidget(w->leaderboard());
    LeaderboardPanel *board = w->leaderboard();
    const int courseGates = int(f.regatta->gates().size());
    QCOMPARE(courseGates, 11);

    QHash<int, int> passed;
    const int first = w->timeSlider()->minimum();
    const int last = w->timeSlider()->maximum();
    QList<int> moments;
    for (int t = first; t < last; t += 3600)
        moments.append(t);
    moments.append(last);
    for (int t : moments) {
        w->setSliderValue(t);
        QCOMPARE(board->shownMoment(), t);
        const QList<LeaderboardRow> &rows = board->rows();
        QCOMPARE(rows.size(), 8);
        QHash<QString, int> ranks;
        for (const LeaderboardRow &row : rows) {
            QVERIFY(row.hasPosition);
            QCOMPARE(row.rank, ++ranks[row.klasse]);          // 1, 2, ... within each class
            QVERIFY(row.gatesPassed >= passed.value(row.id)); // never loses a gate
            QVERIFY(std::isfinite(row.distanceFinishKm) && row.distanceFinishKm >= 0.0);
            QVERIFY(row.distanceFinishKm <= 700.0); // the course is about 660 km
            if (row.rank == 1)
                QCOMPARE(row.gapKm, 0.0);
            else
                QVERIFY(row.finished || row.gapKm >= -1e-9);
            passed[row.id] = row.gatesPassed;
        }
    }
    // The demo fleet sails the whole course within the race.
    int finished = 0;
    for (const LeaderboardRow &row : board->rows()) {
        if (row.finished) {
            ++finished;
            QVERIFY(row.finishTime > first && row.finishTime <= last);
        }
    }
    QVERIFY2(finished >= 6, qPrintable(QString::number(finished)));

    // Jumping back to the middle gives what a fresh ranking of that moment gives.
    const int middle = first + (last - first) / 2;
    w->setSliderValue(middle);
    QCOMPARE(board->shownMoment(), middle);
    Leaderboard fresh;
    fresh.setCourse(Leaderboard::gatesOf(f.regatta->gates()));
    const QList<LeaderboardRow> expected =
        fresh.update(Leaderboard::boatsOf(f.regatta->ships()), middle);
    QCOMPARE(board->rows().size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(board->rows()[i].id, expected[i].id);
        QCOMPARE(board->rows()[i].gatesPassed, expected[i].gatesPassed);
        QCOMPARE(board->rows()[i].distanceFinishKm, expected[i].distanceFinishKm);
    }
    QCOMPARE(f.boxes->count(), 0);
}

QTEST_MAIN(TestReplayDemo)
#include "tst_replaydemo.moc"
