#include "scene/course.h"
#include "scene/gateitem.h"
#include "scene/gpxexport.h"
#include "store/boatstore.h"
#include "store/database.h"
#include "store/racestore.h"
#include "tracking/trackimport.h"

#include "messagerecorder.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace
{

QString nmea(const QByteArray &body)
{
    unsigned char sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    return u"$%1*%2"_s.arg(QString::fromLatin1(body)).arg(sum, 2, 16, QChar('0')).toUpper();
}

QString gpx(const QString &body, const QString &ns = u"http://www.topografix.com/GPX/1/1"_s)
{
    return u"<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"%1\">\n%2\n</gpx>\n"_s
        .arg(ns, body);
}

QString point(double lat, double lon, const QString &time)
{
    return u"<trkpt lat=\"%1\" lon=\"%2\"><ele>1</ele>%3</trkpt>"_s.arg(lat).arg(lon).arg(
        time.isEmpty() ? QString() : u"<time>%1</time>"_s.arg(time));
}

} // namespace

class TestTrackImport : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString write(const QString &name, const QString &text)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write(text.toUtf8());
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void gpxTracksBoatsAndCourse()
    {
        const QString two =
            write(u"club.gpx"_s,
                  gpx(u"<metadata><name>Mittwochsregatta</name></metadata>"
                      "<rte><rtept lat=\"54.40\" lon=\"10.20\"><name>Start</name></rtept>"
                      "<rtept lat=\"54.41\" lon=\"10.21\"><name>Start</name></rtept>"
                      "<rtept lat=\"54.45\" lon=\"10.25\"><name>Luv</name></rtept></rte>"
                      "<wpt lat=\"1\" lon=\"1\"><name>ignored, the route comes first</name></wpt>"
                      "<trk><name>GER 12 – Möwe</name><type>Folkeboot</type><trkseg>"_s +
                      point(54.4, 10.2, u"2024-06-05T17:00:00Z"_s) +
                      u"<extensions><x:speed xmlns:x=\"urn:other\">3</x:speed></extensions>"_s +
                      point(54.401, 10.201, u"2024-06-05T17:00:10Z"_s) + u"</trkseg><trkseg>"_s +
                      point(54.402, 10.202, u"2024-06-05T17:00:20.500Z"_s) +
                      u"</trkseg></trk><trk><trkseg>"_s +
                      point(54.5, 10.3, u"2024-06-05T17:01:00Z"_s) + u"</trkseg></trk>"_s));
        const QString old =
            write(u"gpx10.gpx"_s,
                  gpx(u"<wpt lat=\"54.0\" lon=\"10.0\"><name>Tonne</name></wpt><trk><trkseg>"_s +
                          point(54.0, 10.0, u"2024-06-05T17:00:00Z"_s) + u"</trkseg></trk>"_s,
                      u"http://www.topografix.com/GPX/1/0"_s));

        const TrackImport::FileResult a = TrackImport::readFile(two);
        QCOMPARE(a.refusal, QString());
        QCOMPARE(a.badPoints, 0);
        QCOMPARE(a.boats.size(), 2);
        QCOMPARE(a.boats[0].name, u"Möwe"_s);
        QCOMPARE(a.boats[0].startnr, u"GER 12"_s);
        QCOMPARE(a.boats[0].klasse, u"Folkeboot"_s);
        QCOMPARE(a.boats[0].fixes.size(), 3); // both segments
        QCOMPARE(a.boats[0].fixes[2].time, 1717606820);
        QCOMPARE(a.boats[1].name, u"Mittwochsregatta (2)"_s);
        QCOMPARE(a.marks.size(), 2);
        QVERIFY(a.marks[0].isGate() && !a.marks[1].isGate());
        QCOMPARE(a.marks[0].latB, 54.41);

        const TrackImport::FileResult b = TrackImport::readFile(old);
        QCOMPARE(b.refusal, QString());
        QCOMPARE(b.boats.value(0).name, u"gpx10"_s);
        QCOMPARE(b.marks.value(0).name, u"Tonne"_s);
    }

    void nmeaLogFromRmc()
    {
        const QString path = write(
            u"plotter.nmea"_s,
            QStringList{nmea("GPGGA,120000,5424.000,N,01012.000,E,1,08,0.9,1,M,,M,,"),
                        nmea("GPRMC,120000.00,A,5424.000,N,01012.000,E,5.1,45.0,050624,,,A"),
                        nmea("GPRMC,120000.50,A,5424.010,N,01012.000,E,5.1,45,050624,,,A"),
                        nmea("GPRMC,120001,V,,,,,,,050624,,,N"),
                        nmea("GNRMC,120002,A,5424.100,S,01012.100,W,5.0,45.0,050624,,"), u""_s}
                .join(u"\r\n"_s));
        const TrackImport::FileResult r = TrackImport::readFile(path);
        QCOMPARE(r.refusal, QString());
        QCOMPARE(r.badPoints, 0);
        QCOMPARE(r.boats.size(), 1);
        QCOMPARE(r.boats[0].name, u"plotter"_s);
        const auto &fixes = r.boats[0].fixes;
        // Neither the void fix nor the second fix of a second is a point or a fault.
        QCOMPARE(fixes.size(), 2);
        QCOMPARE(fixes[0].time, 1717588800);
        QCOMPARE(fixes[0].lat, 54.4);
        QCOMPARE(fixes[0].lng, 10.2);
        QVERIFY(qAbs(fixes[1].lat + (54.0 + 24.1 / 60.0)) < 1e-9);
        QVERIFY(fixes[1].lng < 0);
        QVERIFY(TrackImport::checksumOk(nmea("GPRMC,1").toLatin1()));
        QVERIFY(!TrackImport::checksumOk("$GPRMC,1*00"));
        QVERIFY(!TrackImport::checksumOk("$GPRMC,1"));
    }

    // Each file is refused whole, with a reason that names what is wrong.
    void badFilesRefusedWithReason_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not xml") << "a.gpx"
                                 << "Wegpunkte: 54,10"
                                 << "kein gültiges XML";
        QTest::newRow("broken xml")
            << "b.gpx" << gpx(point(54, 10, u"2024-06-05T17:00:00Z"_s)).left(120)
            << "kein gültiges XML";
        QTest::newRow("wrong namespace")
            << "c.gpx" << gpx(u"<trk/>"_s, u"http://www.topografix.com/GPX/2/0"_s)
            << "Namensraum \u201ehttp://www.topografix.com/GPX/2/0\u201c";
        QTest::newRow("no time stamps") << "d.gpx"
                                        << gpx(u"<trk><trkseg>"_s + point(54, 10, {}) +
                                               point(54.1, 10, {}) + u"</trkseg></trk>"_s)
                                        << "keine Zeitstempel";
        QTest::newRow("no points")
            << "e.gpx" << gpx(u"<trk><name>x</name></trk>"_s) << "keine Trackpunkte";
        QTest::newRow("broken checksums")
            << "f.nmea"
            << "$GPRMC,120000,A,5424.000,N,01012.000,E,5,45,050624,,*00\n"
            << "Prüfsumme fehlt oder ist falsch (Zeile 1)";
        QTest::newRow("gga only") << "g.nmea"
                                  << nmea("GPGGA,120000,5424.000,N,01012.000,E,1,08,0.9,1,M,,M,,")
                                  << "nur GGA-Sätze ohne Datum";
        QTest::newRow("not nmea") << "h.txt"
                                  << "hello\nworld\n"
                                  << "kein NMEA-Satz (Zeile 1)";
    }
    void badFilesRefusedWithReason()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, reason);
        const TrackImport::Batch batch = TrackImport::readFiles({write(name, text)});
        QVERIFY(batch.anyRefused());
        QVERIFY(batch.boats().isEmpty());
        QCOMPARE(batch.refusals().size(), 1);
        QVERIFY2(batch.refusals()[0].startsWith(name + u": "_s) &&
                     batch.refusals()[0].contains(reason),
                 qPrintable(batch.refusals()[0]));
    }

    // Bad points are left out and counted; the good ones stay for the user to accept.
    void mixedFileKeepsGoodPoints()
    {
        const QString g = write(
            u"mixed.gpx"_s,
            gpx(u"<trk><trkseg>"_s + point(54, 10, u"2024-06-05T17:00:00Z"_s) +
                point(54, 10, u"2024-06-05T16:59:00Z"_s) +                     // back in time
                point(54, 10, {}) + point(91, 10, u"2024-06-05T17:02:00Z"_s) + // no time, off range
                point(54.1, 10, u"2024-06-05T17:03:00Z"_s) + u"</trkseg></trk>"_s));
        const QString n =
            write(u"mixed.nmea"_s, nmea("GPRMC,120000,A,5424.000,N,01012.000,E,5,45,050624,,") +
                                       u"\n$GPRMC,garbage*11\n"_s +
                                       nmea("GPRMC,115959,A,5424.000,N,01012.000,E,5,45,050624,,") +
                                       u"\n"_s +
                                       nmea("GPRMC,120010,A,5424.000,N,01012.000,E,5,45,050624,,"));
        const TrackImport::Batch batch = TrackImport::readFiles({g, n});
        QVERIFY(!batch.anyRefused());
        QVERIFY(batch.anyPartlyBad());
        QCOMPARE(batch.files[0].goodPoints, 2);
        QCOMPARE(batch.files[0].badPoints, 3);
        QCOMPARE(batch.files[1].goodPoints, 2);
        QCOMPARE(batch.files[1].badPoints, 2);
        QCOMPARE(batch.partialNotes(),
                 QStringList({u"mixed.gpx: 3 von 5 Punkten ausgelassen (Zeit vor der vorigen "
                              "(Zeile 3))"_s,
                              u"mixed.nmea: 2 von 4 Punkten ausgelassen (Prüfsumme fehlt oder ist "
                              "falsch (Zeile 2))"_s}));
        QCOMPARE(batch.boats().size(), 2);
    }

    // Stored like a user-added race, in its own event range, with its course;
    // the GPX export of its boats reads back to the same fixes.
    void storedRaceRoundTrip()
    {
        const QString db = m_dir.filePath(u"velmaro.db"_s);
        MessageRecorder boxes;
        QVERIFY(Database::open(db).ok);
        QCOMPARE(Database::ensureSchema(false), Database::SchemaResult::Created);

        Gpx::Document doc;
        doc.name = u"Export"_s;
        for (int b = 0; b < 2; ++b) {
            Gpx::Track track{
                Gpx::trackName(u"GER %1"_s.arg(b + 1), u"Boot %1"_s.arg(b)), {}, u"J/70"_s, {}};
            for (int i = 0; i < 50; ++i)
                track.points.append(
                    {54.123456 + i * 1e-4, 10.654321 - b * 1e-3, 1717600000 + i * 7});
            doc.tracks.append(track);
        }
        const QString exported = m_dir.filePath(u"export.gpx"_s);
        QCOMPARE(Gpx::write(exported, doc), QString());
        const TrackImport::Batch batch = TrackImport::readFiles({exported});
        QVERIFY(!batch.anyRefused() && !batch.anyPartlyBad());
        const QVector<TrackImport::Mark> course{{u"Tor"_s, 54.1, 10.6, 54.1, 10.61},
                                                {u"Luv"_s, 54.2, 10.6, 54.2, 10.6}};

        const ImportedRace::Result first =
            TrackImport::storeRace(u"  Clubrennen "_s, batch.boats(), course);
        QVERIFY2(first.ok, qPrintable(first.error));
        QCOMPARE(first.race.name, u"Clubrennen"_s);
        QCOMPARE(first.race.eventId, importedEventBase);
        QCOMPARE(first.race.start, 1717600000);
        QCOMPARE(first.race.end, 1717600000 + 49 * 7);
        QCOMPARE(RaceStore::race(first.race.id), first.race);
        const ImportedRace::Result second =
            TrackImport::storeRace(u"Noch eins"_s, batch.boats(), {});
        QVERIFY(second.ok);
        QCOMPARE(second.race.eventId, importedEventBase + 1);

        const QVector<BoatRow> boats = BoatStore::boats(first.race.eventId);
        QCOMPARE(boats.size(), 2);
        QCOMPARE(boats[0].startnr, u"GER 1"_s);
        QCOMPARE(boats[0].klasse, u"J/70"_s);
        QVERIFY(boats[0].id >= importedEventBase && boats[0].show);
        TrackReader reader;
        for (int b = 0; b < 2; ++b) {
            QVector<FixRow> fixes;
            QVERIFY(reader.read(boats[b].id, first.race.eventId, &fixes));
            QCOMPARE(fixes.size(), 50);
            for (int i = 0; i < 50; ++i) {
                const Gpx::Point &p = doc.tracks[b].points[i];
                QVERIFY(qAbs(fixes[i].lat - p.lat) < 1e-6 && qAbs(fixes[i].lng - p.lon) < 1e-6);
                QCOMPARE(fixes[i].tstamp, p.time);
            }
        }

        const QList<GateItem *> gates = buildCourse(first.race.eventId, 1);
        QCOMPARE(gates.size(), 2);
        QCOMPARE(gates[0]->name(), u"Tor"_s);
        QVERIFY(qAbs(gates[0]->posB().lng() - 10.61) < 1e-9);
        QCOMPARE(gates[1]->centre().lat(), 54.2);
        qDeleteAll(gates);

        // The service's list cannot claim the range; removing the race takes its course.
        Race claim{0, importedEventBase + 5, 1, u"x"_s, 1717600000, 1717700000, false};
        QCOMPARE(RaceStore::importRaces({claim}).invalid, 1);
        QCOMPARE(RaceStore::remove(first.race.id).status, RaceStore::RemoveResult::Removed);
        QVERIFY(ImportedRace::marks(first.race.eventId, 1).isEmpty());
        QVERIFY(BoatStore::boats(first.race.eventId).isEmpty());
        Database::close();
    }
};

QTEST_MAIN(TestTrackImport)
#include "tst_trackimport.moc"
