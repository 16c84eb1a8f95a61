#include "childprogram.h"
#include "sailtrack.h"
#include "scene/analysisoverlay.h"
#include "scene/ship.h"
#include "ui/manoeuvrepanel.h"
#include "uitest.h"

#include <QTest>

using namespace Qt::StringLiterals;
constexpr int t0 = 1270458000; // the 2010 race

// A followed boat of the 2010 race sails the known course at 1 Hz: the tab,
// the map and the keys show its two tacks and the gybe.
class TestManoeuvres : public QObject
{
    Q_OBJECT
    UiTest::Window f;
    MainWindow *w = nullptr;
    ManoeuvrePanel *panel() const { return w->manoeuvres(); }

private slots:
    void initTestCase() { UiTest::initCase(); }
    void init()
    {
        QStringList rows;
        for (const auto &[t, lat, lng] : SailTrack::fixes(t0, 1, 0.0))
            rows << u"(7, 10, %1, %2, %3)"_s.arg(t).arg(lat, 0, 'f', 7).arg(lng, 0, 'f', 7);
        QVERIFY(f.open({u"INSERT INTO ship (id, regatta_id, name, startnr, show, follow) "
                        "VALUES (7, 10, 'Kreuzer', 'GER 7', 1, 1)"_s,
                        u"INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) VALUES "_s +
                            rows.join(',')},
                       QSize(900, 600)));
        w = f.window.get();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        f.start();
        w->sidePanel()->setCurrentWidget(panel());
        if (!w->isPanelOpen())
            w->toggleLegende();
    }
    void cleanup() { f.close(); }

    void tabMapAndKeysShowTheManoeuvres()
    {
        QTreeWidget *list = panel()->followedList();
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(2)->text(1), u"Halse"_s);
        // Far from the 2010 course the boat never passes its start: all on leg 0.
        QCOMPARE(list->topLevelItem(0)->text(4), u"vor dem Start"_s);
        QCOMPARE(panel()->fleetList()->topLevelItem(0)->text(5), u"0: 2/1"_s);
        QVERIFY(panel()->windLabel()->text().startsWith(u"Wind aus 25"_s));
        QVERIFY(panel()->windLabel()->text().contains(u"geschätzt"_s));
        QCOMPARE(f.regatta->overlay()->markCount(), 3);
        QVERIFY(f.regatta->overlay()->windLabel().endsWith(u"geschätzt"_s));

        w->setSliderValue(w->timeSlider()->minimum());
        QList<int> visited;
        for (QAction *key :
             {w->nextManoeuvreAction(), w->nextManoeuvreAction(), w->previousManoeuvreAction()}) {
            key->trigger();
            visited << w->timeSlider()->value() - t0;
        }
        QCOMPARE(visited, QList<int>({93, 191, 93}));
        list->itemClicked(list->topLevelItem(2), 0);
        QCOMPARE(w->timeSlider()->value(), t0 + 387);
    }

    // A fixed direction and a wind file replace the estimate; a file with a
    // bad line is refused whole and named.
    void windFromTheUser()
    {
        panel()->windSourceBox()->setCurrentIndex(1);
        panel()->windSourceBox()->activated(1);
        panel()->windDirectionBox()->setValue(200);
        QCOMPARE(panel()->windLabel()->text(), u"Wind aus 200° (eingegeben)"_s);

        QFile file(QDir::current().filePath(u"wind.csv"_s));
        for (const bool good : {false, true}) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(
                good ? "# Zeit; Richtung; Knoten\n1270458000;240;12\n2010-04-05T09:30:00Z;260;14\n"
                     : "1270458000;250;12\nmorgen;250;12\n");
            file.close();
            f.boxes->clear();
            ManoeuvrePanel::setOpenFileChooser(
                [&](QWidget *, const QString &) { return file.fileName(); });
            QTest::mouseClick(panel()->findChild<QPushButton *>(), Qt::LeftButton);
            QCOMPARE(f.boxes->boxes().size(), good ? 0 : 1);
        }
        QCOMPARE(panel()->windSourceBox()->currentIndex(), 2);
        QVERIFY(panel()->windLabel()->text().endsWith(u"(Datei)"_s));
    }

    // The command line writes the manoeuvres and the wind without a window;
    // bad arguments end with status 2 and write nothing.
    void commandLineExports()
    {
        ChildProgram child;
        const QString out = QDir(child.home()).filePath(u"out.csv"_s);
        const auto run = [&](const QStringList &args) {
            return child.start(ChildProgram::buildProgram(u"velmaro"_s), args) &&
                           child.process().waitForFinished(30000)
                       ? child.process().exitCode()
                       : -1;
        };
        QCOMPARE(run({u"--race"_s, u"10-88"_s, u"--export"_s, u"wind"_s, u"--output"_s, out}), 2);
        QVERIFY(!QFile::exists(out));
        QCOMPARE(run({u"--race"_s, u"10/88"_s, u"--export"_s, u"wind"_s, u"--output"_s, out}), 0);
        QStringList rows;
        for (const auto &[t, lat, lng] : SailTrack::fixes(t0, 1, 0.0))
            rows << u"(7, 10, %1, %2, %3)"_s.arg(t).arg(lat, 0, 'f', 7).arg(lng, 0, 'f', 7);
        QVERIFY(SchemaFixture::write(child.databasePath(),
                                     {u"INSERT INTO ship (id, regatta_id, name, startnr) "
                                      "VALUES (7, 10, 'Kreuzer', 'GER 7')"_s,
                                      u"INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) "
                                      "VALUES "_s +
                                          rows.join(',')}));
        QCOMPARE(run({u"--race=10/88"_s, u"--export=manoeuvres"_s, u"--output"_s, out}), 0);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.at(1).startsWith("GER 7,Kreuzer,tack,2010-04-05T09:01:33Z,"));
        QVERIFY(lines.at(3).contains(",gybe,"));
    }

    void badWindFileNamed()
    {
        const WindFile wind =
            RaceAnalysis::parseWindFile("1270458000;250;12\nmorgen;250;12\n1;400;3\n");
        QVERIFY(wind.samples.isEmpty());
        QCOMPARE(wind.errors.size(), 2);
        QVERIFY(wind.errors.at(0).startsWith(u"Zeile 2"_s) &&
                wind.errors.at(1).startsWith(u"Zeile 3"_s));
    }
};

QTEST_MAIN(TestManoeuvres)
#include "tst_manoeuvres.moc"
