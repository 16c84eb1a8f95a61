#include "ui/fixagelabel.h"
#include "uitest.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

class TestMainWindow : public QObject
{
    Q_OBJECT
    UiTest::Window f;
    MainWindow *w = nullptr;

private slots:
    void initTestCase() { UiTest::initCase(); }
    void init()
    {
        // No frames, nor a file in their folder's place, from an earlier test.
        QDir(MainWindow::movieFolder()).removeRecursively();
        QFile::remove(MainWindow::movieFolder());
        QVERIFY(f.open({}, QSize(900, 600)));
        w = f.window.get();
    }
    void cleanup() { f.close(); }

    // Steps: "+" a transfer starts, "-" a reply is handled, "L" loading
    // starts, "a" the autoload box is clicked; each step is followed by
    // ":pending:icon" to check, and ":loading" where the transfer must still
    // count as running.
    void lampCountsTransfers_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("overlapping transfers") << QStringList{
            "L:0:idleicon", "+:1:loadicon", "+:2:loadicon", "-:1:loadicon:loading", "-:0:idleicon"};
        QTest::newRow("never below zero")
            << QStringList{"-:0:idleicon", "-:0:idleicon", "+:1:loadicon", "-:0:idleicon"};
        // switching automatic off keeps the loading state, drops the badge
        QTest::newRow("automatic icons")
            << QStringList{"a:0:idleicon_auto", "+:1:loadicon_auto", "L:1:loadicon_auto",
                           "a:1:loadicon", "-:0:idleicon"};
    }
    void lampCountsTransfers()
    {
        QFETCH(QStringList, steps);
        const auto image = [](const QImage &i) {
            return i.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        };
        for (const QString &step : steps) {
            const QStringList parts = step.split(u':');
            const QChar op = parts.at(0).at(0);
            if (op == u'+')
                w->setNetLedOn();
            else if (op == u'-')
                w->setNetLedOff();
            else if (op == u'L')
                w->setLoading(true);
            else
                w->autoloadBox()->click();
            QVERIFY2(w->pendingRequests() == parts.at(1).toInt() &&
                         image(w->fetchButton()->icon().pixmap(QSize(32, 32)).toImage()) ==
                             image(QImage(u"img/%1.png"_s.arg(parts.at(2)))) &&
                         (parts.size() < 4 || w->isLoading()),
                     qPrintable(u"after step "_s + step));
        }
        QVERIFY(!w->isLoading());
    }

    void raceChangeStopsAnimation()
    {
        f.start();
        w->setSliderRange(1000, 100000);
        w->animOnOff();
        QVERIFY(w->isAnimating());
        UiTest::findAction(w->raceMenu(), u"Vudav Avazavava Zerevudeva 2011"_s)->trigger();
        QVERIFY(!w->isAnimating() && !w->animationTimer()->isActive());
    }

    void captureFailureReportedOnce()
    {
        // a plain file where the folder should be: no frame can be written
        QVERIFY(QFile(u"movie"_s).open(QIODevice::WriteOnly));
        w->setSliderRange(1000, 2000);
        w->captureOnOff();
        QSignalSpy messages(w->statusBar(), &QStatusBar::messageChanged);
        for (int t = 1010; t <= 1100; t += 10)
            w->setSliderValue(t);
        int failures = 0;
        for (const QList<QVariant> &message : std::as_const(messages))
            failures += message.at(0).toString().contains(u"konnte nicht"_s);
        QCOMPARE(failures, 1);
        QVERIFY(w->statusBar()->currentMessage().contains(u"scene.1010.jpg"_s));
        QCOMPARE(f.boxes->count(), 0);
    }

    void panelDraggedClosedCountsAsClosed()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->toggleLegende();
        QSplitterHandle *handle = w->splitter()->handle(1);
        const auto send = [&](QEvent::Type type, int x, Qt::MouseButtons buttons) {
            QMouseEvent event(type, QPointF(x, 5), handle->mapToGlobal(QPointF(x, 5)),
                              Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(handle, &event);
        };
        // drag the handle to the right edge: the panel collapses
        send(QEvent::MouseButtonPress, 0, Qt::LeftButton);
        send(QEvent::MouseMove, w->width(), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, w->width(), Qt::NoButton);
        QVERIFY(w->splitter()->sizes().at(1) == 0 && !w->isPanelOpen());
        QTest::keyClick(w, Qt::Key_Space); // opens it at the first press
        QVERIFY(w->splitter()->sizes().at(1) > 0);
        QVERIFY(w->close());
        QVERIFY(QSettings(u"velmaro.org"_s, u"Velmaro"_s).value(u"splitterOpen"_s).toBool());
    }

    void fetchingOnlyForRunningRace_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("running");
        QTest::newRow("finished") << "1303509600" << false;
        QTest::newRow("running") << "1500000000" << true;
    }
    void fetchingOnlyForRunningRace()
    {
        QFETCH(QString, end);
        QFETCH(bool, running);
        QVERIFY(f.db->exec({u"UPDATE regatta SET bis=%1 WHERE id=2"_s.arg(end),
                            u"UPDATE prefs SET autoload=1"_s}));
        f.start(21, 120);
        QCOMPARE((QList<bool>{w->fetchButton()->isEnabled(), w->autoload(),
                              !running || w->pollTimer()->isActive()}),
                 (QList<bool>{running, running, true}));
        // a finished race does not store it off
        QCOMPARE(f.db->scalar(u"SELECT autoload FROM prefs"_s).toInt(), 1);
        if (!running)
            return;
        // Following live polls every second; off again, the stored minutes.
        QCheckBox *live = w->settingsPage()->liveEverySecondBox();
        live->click();
        QCOMPARE((std::pair{w->pollTimer()->isActive(), w->pollTimer()->interval()}),
                 (std::pair{true, 1000}));
        live->click();
        QCOMPARE(w->pollTimer()->interval(), w->pollInterval() * 60000);
    }

    // While a race is under way the status bar tells the age of its newest
    // fix by the program's clock; a finished race shows nothing.
    void liveRaceShowsFixAge()
    {
        const qint64 newest = UiTest::fixedNow - 725;
        QVERIFY(f.db->exec({u"UPDATE regatta SET bis=1500000000 WHERE id=2"_s,
                            u"INSERT INTO ship (id, regatta_id, name, startnr) "
                            "VALUES (7, 21, 'Kreuzer', 'GER 7')"_s,
                            u"INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) VALUES "
                            "(7, 21, %1, 43.0, 16.0), (7, 21, %2, 43.01, 16.0)"_s.arg(newest - 60)
                                .arg(newest)}));
        f.start(21, 120);
        FixAgeLabel *age = w->fixAgeLabel();
        QVERIFY(!age->isHidden());
        QCOMPARE(age->text(), u"Neueste Position vor 12 min"_s);
        Seams::setClock([&] { return QDateTime::fromSecsSinceEpoch(newest + 3 * 3600 + 330); });
        age->refresh();
        QCOMPARE(age->text(), u"Neueste Position vor 3 h 5 min"_s);
        Seams::setClock([] { return QDateTime::fromSecsSinceEpoch(1600000000); });
        age->refresh();
        UiTest::initCase();
        QVERIFY(age->isHidden());
        QCOMPARE(FixAgeLabel::ageText(-5), u"vor 0 s"_s);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
