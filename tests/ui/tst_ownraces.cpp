#include "app/startup.h"
#include "childprogram.h"
#include "scene/ship.h"
#include "store/racestore.h"
#include "ui/importflow.h"
#include "ui/leaderboardpanel.h"
#include "ui/momentpanel.h"
#include "ui/racemenu.h"
#include "uitest.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace
{

constexpr qint64 t0 = 1717578000; // 2024-06-05 09:00 UTC

// A boat sailing north through the start gate at lat 54.40, round the mark at
// 54.42 and back through the same gate as the finish (as the boats of
// tests/data/gpx do), one fix every `pace` seconds.
QString boatGpx(const QString &name, double lng, int pace)
{
    QString points;
    for (int i = 0; i <= 40; ++i) {
        const double lat = 54.395 + (i <= 20 ? i : 40 - i) * 0.0015;
        points +=
            u"<trkpt lat=\"%1\" lon=\"%2\"><time>%3</time></trkpt>\n"_s.arg(lat, 0, 'f', 6)
                .arg(lng + (i > 20 ? 0.002 : 0.0), 0, 'f', 6)
                .arg(QDateTime::fromSecsSinceEpoch(t0 + i * pace, Qt::UTC).toString(Qt::ISODate));
    }
    return u"<?xml version=\"1.0\"?>\n<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" "
           "version=\"1.1\" creator=\"watch\">\n"
           "<wpt lat=\"54.40\" lon=\"10.195\"><name>Start</name></wpt>\n"
           "<wpt lat=\"54.40\" lon=\"10.215\"><name>Start</name></wpt>\n"
           "<wpt lat=\"54.42\" lon=\"10.201\"><name>Luv</name></wpt>\n"
           "<wpt lat=\"54.40\" lon=\"10.195\"><name>Ziel</name></wpt>\n"
           "<wpt lat=\"54.40\" lon=\"10.215\"><name>Ziel</name></wpt>\n"
           "<trk><name>%1</name><trkseg>\n%2</trkseg></trk></gpx>\n"_s.arg(name, points);
}

} // namespace

class TestOwnRaces : public QObject
{
    Q_OBJECT
    UiTest::Window f;
    MainWindow *w = nullptr;
    QTemporaryDir m_dir;
    QString m_suggestedName; // what the import dialog offered

    QString write(const QString &name, const QString &text)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write(text.toUtf8());
        return file.fileName();
    }

    int raceCount() { return f.db->count(u"regatta"_s); }

    // Imports the two boats, the second given the class "Folkeboot" in the dialog.
    Race importTwoBoats()
    {
        // The test data: two boats of one club race with its course as waypoints.
        const QDir data(qEnvironmentVariable("VELMARO_SOURCE_DIR") + u"/tests/data/gpx"_s);
        const QStringList files{data.filePath(u"moewe.gpx"_s), data.filePath(u"kormoran.gpx"_s)};
        return w->races()->importFiles(files, [this](ImportDialog &d) {
            m_suggestedName = d.nameEdit()->text();
            for (int row = 0; row < 2; ++row) {
                d.table()->item(row, 2)->setText(u"Folkeboot"_s);
                d.table()->item(row, 3)->setText(QString::number(row + 7));
            }
            d.nameEdit()->setText(u"Mittwochsregatta"_s);
            return true;
        });
    }

private slots:
    void initTestCase()
    {
        UiTest::initCase();
        QVERIFY(m_dir.isValid());
    }
    void init()
    {
        QVERIFY(f.open({}, QSize(900, 600)));
        w = f.window.get();
        f.start();
    }
    void cleanup() { f.close(); }

    // Two watches' files become a race that replays and ranks along the
    // course of their waypoints, with nothing asked of the service.
    void importedRaceReplaysAndRanks()
    {
        const Race race = importTwoBoats();
        QVERIFY(race.id > 0 && isImportedEvent(race.eventId));
        QCOMPARE(m_suggestedName, u"Mittwochsregatta Kiel"_s);
        QCOMPARE(f.boxes->count(), 0);
        QCOMPARE(w->regatta()->id(), race.id);
        QCOMPARE(w->regatta()->ships().size(), 2);
        QCOMPARE(w->timeSlider()->minimum(), t0 + 60); // as for any race
        QCOMPARE(w->timeSlider()->maximum(), t0 + 40 * 25);
        QCOMPARE(w->gateListCopy().size(), 3);
        QVERIFY(!w->tracking()->isLoadActive());
        QVERIFY(UiTest::findAction(w->raceMenu(), u"Mittwochsregatta"_s));

        w->setSliderValue(t0 + 40 * 25);
        const QList<LeaderboardRow> rows = w->leaderboard()->upToDateRows();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].name, u"Möwe"_s);
        QCOMPARE(rows[0].klasse, u"Folkeboot"_s);
        QCOMPARE(rows[0].startnr, u"7"_s);
        QVERIFY(rows[0].finished && rows[1].finished);
        QCOMPARE(rows[0].rank, 1);
        QCOMPARE(rows[1].rank, 2);
        QVERIFY(rows[0].finishTime < rows[1].finishTime);
    }

    void badFilesStoreNothing()
    {
        const int before = raceCount();
        const QString good = write(u"good.gpx"_s, boatGpx(u"A"_s, 10.2, 20));
        const QString refused = write(u"plotter.nmea"_s, u"$GPRMC,1*00\n"_s);
        QString text = boatGpx(u"B"_s, 10.2, 20);
        text.replace(u"<time>2024-06-05T09:00:20Z</time>"_s, QString());
        const QString partly = write(u"partly.gpx"_s, text);
        bool dialogShown = false;
        const auto runner = [&dialogShown](ImportDialog &) { return dialogShown = true; };

        // One box names every refused file; nothing is stored.
        QCOMPARE(w->races()->importFiles({good, refused, partly}, runner).id, 0);
        QCOMPARE(f.boxes->count(), 1);
        QCOMPARE(f.boxes->boxes()[0].icon, QMessageBox::Warning);
        QVERIFY2(f.boxes->boxes()[0].informativeText.startsWith(
                     u"plotter.nmea: Prüfsumme fehlt oder ist falsch (Zeile 1)\npartly.gpx: 1 von "
                     "41 Punkten ausgelassen (Punkt ohne Zeitstempel"_s),
                 qPrintable(f.boxes->boxes()[0].informativeText));
        // Bad points left out only when the user agrees.
        f.boxes->clear();
        f.boxes->queueAnswer(QMessageBox::No);
        QCOMPARE(w->races()->importFiles({good, partly}, runner).id, 0);
        QVERIFY(!dialogShown);
        QCOMPARE(raceCount(), before);
        f.boxes->queueAnswer(QMessageBox::Yes);
        const Race race = w->races()->importFiles({good, partly}, runner);
        QVERIFY(dialogShown && race.id > 0);
        QCOMPARE(raceCount(), before + 1);
        QCOMPARE(f.db->count(u"track"_s, u"regatta_id=%1"_s.arg(race.eventId)), 81);
    }

    void momentKeptRestoredAndShared()
    {
        const Race race = importTwoBoats();
        MomentPanel *panel = w->moments();
        Ship *kormoran = w->regatta()->ships().value(1);
        QVERIFY(kormoran && kormoran->name() == u"Kormoran"_s);
        w->setSliderValue(t0 + 300);
        w->regatta()->restoreMoment(
            {0, race.eventId, 1, {}, t0 + 300, kormoran->id(), 54.41, 10.2, 15});
        QVERIFY(panel->keepMoment());
        QCOMPARE(panel->list()->count(), 1);
        QVERIFY(panel->list()->item(0)->text().endsWith(u" – Kormoran"_s));

        w->regatta()->stopFollowing();
        w->setSliderValue(t0 + 900);
        w->karte()->showView(GeoPoint(54.0, 10.0), 9);
        QTest::mouseClick(panel->list()->viewport(), Qt::LeftButton, {},
                          panel->list()->visualItemRect(panel->list()->item(0)).center());
        QCOMPARE(w->timeSlider()->value(), t0 + 300);
        QVERIFY(kormoran->follow());
        QCOMPARE(w->karte()->zoom(), 15);

        const QString link = panel->shareMoment();
        QCOMPARE(QGuiApplication::clipboard()->text(), link);
        const MomentLink::Parsed parsed = MomentLink::parse(link);
        QVERIFY(parsed.ok);
        QCOMPARE(parsed.moment.shipId, kormoran->id());
        QCOMPARE(parsed.moment.time, t0 + 300);

        // The link opens the race at the moment, from another race.
        UiTest::findAction(w->raceMenu(), u"Vudav Avazavava Zerevudeva 2011"_s)->trigger();
        QVERIFY(panel->moments().isEmpty());
        QVERIFY(Startup::openMomentLink(w, link));
        QCOMPARE(w->regatta()->id(), race.id);
        QCOMPARE(w->timeSlider()->value(), t0 + 300);
        QCOMPARE(panel->moments().size(), 1);
        QCOMPARE(f.boxes->count(), 0);
    }

    void badLinkLeavesWindowAsItWas_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("reason");
        QTest::newRow("malformed") << u"velmaro://race/10/88?time=x"_s << u"keine gültige Zeit"_s;
        QTest::newRow("unknown race") << u"velmaro://race/99/1?time=1270460000&centre=1,1&zoom=9"_s
                                      << u"Die Regatta 99/1 ist nicht bekannt."_s;
    }
    void badLinkLeavesWindowAsItWas()
    {
        QFETCH(QString, link);
        QFETCH(QString, reason);
        const int shown = w->regatta()->id();
        const int moment = w->timeSlider()->value();
        QVERIFY(!Startup::openMomentLink(w, link));
        QCOMPARE(f.boxes->count(), 1);
        QVERIFY(f.boxes->boxes()[0].informativeText.contains(reason));
        QCOMPARE(w->regatta()->id(), shown);
        QCOMPARE(w->timeSlider()->value(), moment);
        QCOMPARE(Startup::momentLinkArgument({u"velmaro"_s, u"-x"_s, link}), link);
    }

    // velmaro --import without a window: the race's numbers on standard
    // output; a refused file: its reason, exit status 2, nothing stored.
    void commandLineImport()
    {
        ChildProgram child;
        child.process().setProcessChannelMode(QProcess::SeparateChannels);
        const auto run = [&child](const QStringList &args) {
            return child.start(ChildProgram::buildProgram(u"velmaro"_s), args) &&
                           child.process().waitForFinished(30000)
                       ? child.process().exitCode()
                       : -1;
        };
        const QString a = write(u"a.gpx"_s, boatGpx(u"A"_s, 10.2, 20));
        const QString b = write(u"b.gpx"_s, boatGpx(u"B"_s, 10.21, 20));
        const QString bad = write(u"bad.gpx"_s, u"<gpx xmlns=\"urn:x\"/>"_s);
        QCOMPARE(run({u"--import"_s, a, b, u"--name"_s, u"Club"_s, u"--class"_s, u"J/70"_s}), 0);
        QCOMPARE(child.process().readAllStandardOutput(), QByteArray("2000000000/1\n"));
        QCOMPARE(SchemaFixture::scalar(child.databasePath(),
                                       u"SELECT count(*) || ' ' || min(klasse) FROM ship "
                                       "WHERE regatta_id=2000000000"_s),
                 u"2 J/70"_s);
        QCOMPARE(run({u"--import"_s, a, bad, u"--name"_s, u"Club"_s}), 2);
        QVERIFY(child.process().readAllStandardError().contains(
            "bad.gpx: kein GPX 1.0 oder 1.1 (Element \xe2\x80\x9egpx\xe2\x80\x9c, Namensraum "
            "\xe2\x80\x9eurn:x\xe2\x80\x9c)"));
        QCOMPARE(SchemaFixture::scalar(child.databasePath(), u"SELECT count(*) FROM regatta"_s), 3);
    }
};

QTEST_MAIN(TestOwnRaces)
#include "tst_ownraces.moc"
