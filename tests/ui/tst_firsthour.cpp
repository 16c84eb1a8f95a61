// First-hour fixes: wheel zoom at the cursor, clock seconds, replay shortcuts,
// the OpenStreetMap link, race menu and dialog, slider and tab restored.
#include "app/startup.h"
#include "ui/regattadialog.h"
#include "uitest.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;
constexpr int t0 = 1270458000; // the 2010 race; its one boat has fixes at t0 and t0 + 1200

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestFirstHour : public QObject
{
    Q_OBJECT
    UiTest::Window f;
    MainWindow *w = nullptr;
    QMenu *menu(int at) const { return w->menuBar()->actions().at(at)->menu(); }
    void reopen()
    {
        f.regatta.reset();
        f.window = std::make_unique<MainWindow>();
        UiTest::isolate(w = f.window.get());
        f.start();
    }

private slots:
    void initTestCase() { UiTest::initCase(); }
    void init()
    {
        const QString fix = u"INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) VALUES "
                            "(4, 10, %1, 43.5, 15.9)"_s;
        QVERIFY(f.open({u"INSERT INTO ship (id, regatta_id, name, show, follow) VALUES (4, 10, "
                        "'Boot', 'true', 'false')"_s,
                        fix.arg(t0), fix.arg(t0 + 1200)},
                       QSize(900, 600)));
        w = f.window.get();
    }
    void cleanup() { f.close(); }

    void wheelKeepsPlaceUnderCursor_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("delta");
        QTest::newRow("in, top left") << QPoint(90, 70) << 120;
        QTest::newRow("out, bottom right") << QPoint(500, 400) << -120;
    }
    void wheelKeepsPlaceUnderCursor()
    {
        QFETCH(QPoint, at);
        QFETCH(int, delta);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        Karte *k = w->karte();
        const int zoom = k->zoom();
        const GeoPoint place = k->projection().viewToGeo(at.x(), at.y());
        QWheelEvent wheel(at, k->mapToGlobal(at), {}, {0, delta}, {}, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(k->viewport(), &wheel);
        QCOMPARE(k->zoom(), zoom + delta / 120);
        QVERIFY((k->projection().geoToView(place) - at).manhattanLength() <= 2);
    }

    void clockSecondsWhenSlow_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("format");
        QTest::newRow("1 s") << 1 << "dd.MM.yyyy hh:mm:ss";
        QTest::newRow("Echtzeit") << 0 << "dd.MM.yyyy hh:mm:ss";
        QTest::newRow("60 s") << 60 << "dd.MM.yyyy hh:mm";
    }
    void clockSecondsWhenSlow()
    {
        QFETCH(int, speed);
        w->setReplaySpeed(speed);
        w->setSliderRange(1000, 90000);
        w->setSliderValue(50007);
        QCOMPARE(w->clockLabel()->text(),
                 QDateTime::fromSecsSinceEpoch(50007).toString(QFETCH(QString, format)));
        QCOMPARE(w->replay()->speedLabel()->text(), u"Tempo:"_s);
        QCOMPARE(w->replay()->speedLabel()->buddy(), w->speedBox());
        QCOMPARE(w->speedBox()->toolTip(), u"Rennzeit je Animationsschritt"_s);
    }

    void shortcutsDriveSlider_data()
    {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<int>("value");
        QTest::newRow("step back") << (Qt::CTRL | Qt::Key_Left) << 1499;
        QTest::newRow("step on") << (Qt::CTRL | Qt::Key_Right) << 1501;
        QTest::newRow("start") << QKeyCombination(Qt::Key_Home) << 1000;
        QTest::newRow("end") << QKeyCombination(Qt::Key_End) << 2000;
        QTest::newRow("play") << (Qt::CTRL | Qt::Key_P) << -1;
    }
    void shortcutsDriveSlider()
    {
        QFETCH(QKeyCombination, key);
        QFETCH(int, value);
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->setSliderRange(1000, 2000);
        w->setSliderValue(1500);
        w->karte()->setFocus();
        QTest::keyClick(w, key.key(), key.keyboardModifiers());
        QCOMPARE(w->isAnimating(), value < 0);
        QCOMPARE(w->timeSlider()->value(), value < 0 ? 1500 : value);
        QCOMPARE(menu(1)->title(), u"&Wiedergabe"_s);
        QCOMPARE(menu(1)->actions(), w->replay()->actions());
        QCOMPARE(UiTest::findAction(menu(0), u"&Beenden"_s)->shortcut(), QKeySequence::Quit);
    }

    void browserLinkAtMapCentre()
    {
        QCOMPARE(Geo::browserUrl({42.986766, -16.0203}, 10),
                 u"https://www.openstreetmap.org/#map=10/42.98677/-16.02030"_s);
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(u"https"_s, &catcher, "open");
        w->karte()->setCenterGeo(54.5, 10.25);
        w->karte()->setZoomLevel(12);
        UiTest::findAction(menu(0), u"OpenStreetMap im Browser öffnen"_s)->trigger();
        QDesktopServices::unsetUrlHandler(u"https"_s);
        QCOMPARE(catcher.urls,
                 {QUrl(u"https://www.openstreetmap.org/#map=12/54.50000/10.25000"_s)});
    }

    void raceMenuMarksCurrentWithDate()
    {
        f.start();
        const QList<QAction *> races = w->raceActions();
        QCOMPARE(races.size(), 2);
        for (const QAction *a : races)
            QCOMPARE(a->isChecked(), a->data().toInt() == f.regatta->id());
        const QString date = QDateTime::fromSecsSinceEpoch(t0).toString(u"dd.MM.yyyy"_s);
        QCOMPARE(races.at(1)->text(), u"Dorur Izadidiva Dazidevire 2010 (%1)"_s.arg(date));
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
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.addedRace().eventId, 31);
    }

    void sliderAndTabRestored_data()
    {
        QTest::addColumn<int>("moment");
        QTest::addColumn<int>("restored");
        QTest::newRow("inside the race") << t0 + 500 << t0 + 500;
        QTest::newRow("before it: the end") << t0 << t0 + 1200;
    }
    void sliderAndTabRestored()
    {
        QFETCH(int, moment);
        f.start();
        w->setSliderValue(moment);
        w->sidePanel()->setCurrentIndex(2);
        QVERIFY(w->close());
        const QSettings stored(u"velmaro.org"_s, u"Velmaro"_s);
        reopen();
        Startup::applyPanelState(w, stored);
        Startup::applyReplayMoment(w, stored);
        QCOMPARE(w->sidePanel()->currentIndex(), 2);
        QTEST(w->timeSlider()->value(), "restored");
    }
};

QTEST_MAIN(TestFirstHour)
#include "tst_firsthour.moc"
