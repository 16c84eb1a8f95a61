// GPX export: schema validity (xmllint against the GPX 1.1 schema in the test
// data), round trip through our own reader, UTC times, atomic writing.

#include "gpxexport.h"
#include "ship.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <ctime>

namespace
{

QString schemaPath()
{
    return QDir(qEnvironmentVariable("VELMARO_SOURCE_DIR"))
        .filePath(QStringLiteral("tests/data/gpx/gpx.xsd"));
}

// xmllint's verdict on the file; empty when it validates.
QString validate(const QString &file)
{
    QProcess lint;
    lint.setProcessChannelMode(QProcess::MergedChannels);
    lint.start(QStringLiteral("xmllint"),
               {QStringLiteral("--noout"), QStringLiteral("--schema"), schemaPath(), file});
    if (!lint.waitForFinished(30000))
        return QStringLiteral("xmllint did not finish");
    const QString out = QString::fromUtf8(lint.readAll());
    return lint.exitCode() == 0 ? QString() : out;
}

bool haveXmllint()
{
    return !QStandardPaths::findExecutable(QStringLiteral("xmllint")).isEmpty();
}

Gpx::Document sampleDocument()
{
    Gpx::Document doc;
    doc.name = QStringLiteral("Adriatic Challenge – Ölgewässer");
    doc.time = QDateTime::fromSecsSinceEpoch(1302012345, Qt::UTC);
    Gpx::Track a;
    a.name = Gpx::trackName(QStringLiteral("GER 123"), QStringLiteral("Möwe ß Ärger"));
    a.desc = QStringLiteral("Klasse: ORC <1> & \"Cruiser\"");
    a.type = QStringLiteral("ORC");
    a.points = {{43.98, 15.366, 1302000000},
                {43.123456789, 15.9876543, 1302000060},
                {-12.5, -0.000001, 1302003600}};
    Gpx::Track b;
    b.name = QStringLiteral("CRO 7 – Jadran");
    b.type = QStringLiteral("J/24");
    b.points = {{42.0, 16.0, 1277942400}}; // 2010-07-01, summer time in Europe
    doc.tracks = {a, b};
    return doc;
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestGpxExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writtenFileValidatesAgainstSchema();
    void schemaRejectsBrokenFiles_data();
    void schemaRejectsBrokenFiles();
    void readsBackSameFixes();
    void timesAreUtcWhateverTheLocalZone();
    void unusableFixesLeftOutAndLongitudeWrapped();
    void unwritableTargetGivesMessageAndNoFile_data();
    void unwritableTargetGivesMessageAndNoFile();
    void existingFileReplacedWhole();
    void tracksOfShownBoatsWithFixes();
    void readerRejectsNonGpx_data();
    void readerRejectsNonGpx();

private:
    QTemporaryDir m_dir;
};

void TestGpxExport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QFile::exists(schemaPath()));
}

void TestGpxExport::writtenFileValidatesAgainstSchema()
{
    if (!haveXmllint())
        QSKIP("xmllint is not installed");
    const QString path = m_dir.filePath(QStringLiteral("valid.gpx"));
    QCOMPARE(Gpx::write(path, sampleDocument()), QString());
    QCOMPARE(validate(path), QString());

    // An empty race still gives a valid file.
    const QString empty = m_dir.filePath(QStringLiteral("empty.gpx"));
    QCOMPARE(Gpx::write(empty, Gpx::Document()), QString());
    QCOMPARE(validate(empty), QString());
}

void TestGpxExport::schemaRejectsBrokenFiles_data()
{
    // Each row breaks one rule of GPX 1.1, so a passing validation above
    // means something.
    QTest::addColumn<QString>("body");
    const QString pt = QStringLiteral("<trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg>");
    QTest::newRow("type before name") << "<trk><type>x</type><name>n</name>" + pt + "</trk>";
    QTest::newRow("trkseg before desc") << "<trk>" + pt + "<desc>d</desc></trk>";
    QTest::newRow("latitude 90.5")
        << QStringLiteral("<trk><trkseg><trkpt lat=\"90.5\" lon=\"2\"/></trkseg></trk>");
    QTest::newRow("longitude 180")
        << QStringLiteral("<trk><trkseg><trkpt lat=\"1\" lon=\"180\"/></trkseg></trk>");
    QTest::newRow("trkpt without lon")
        << QStringLiteral("<trk><trkseg><trkpt lat=\"1\"/></trkseg></trk>");
    QTest::newRow("time without date")
        << QStringLiteral("<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><time>10:00</time>"
                          "</trkpt></trkseg></trk>");
    QTest::newRow("time before ele")
        << QStringLiteral("<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><time>2011-01-01T00:00:00Z"
                          "</time><ele>3</ele></trkpt></trkseg></trk>");
    QTest::newRow("metadata after trk") << "<trk>" + pt + "</trk><metadata/>";
}

void TestGpxExport::schemaRejectsBrokenFiles()
{
    if (!haveXmllint())
        QSKIP("xmllint is not installed");
    QFETCH(QString, body);
    const QString path = m_dir.filePath(QStringLiteral("broken.gpx"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
               "xmlns=\"http://www.topografix.com/GPX/1/1\">");
    file.write(body.toUtf8());
    file.write("</gpx>\n");
    file.close();
    QVERIFY(!validate(path).isEmpty());
}

void TestGpxExport::readsBackSameFixes()
{
    const QString path = m_dir.filePath(QStringLiteral("roundtrip.gpx"));
    const Gpx::Document written = sampleDocument();
    QCOMPARE(Gpx::write(path, written), QString());

    Gpx::Document read;
    QString error;
    QVERIFY2(Gpx::read(path, &read, &error), qPrintable(error));
    QCOMPARE(read.name, written.name);
    QCOMPARE(read.time.toSecsSinceEpoch(), written.time.toSecsSinceEpoch());
    QCOMPARE(read.tracks.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const Gpx::Track &w = written.tracks[i];
        const Gpx::Track &r = read.tracks[i];
        QCOMPARE(r.name, w.name);
        QCOMPARE(r.desc, w.desc);
        QCOMPARE(r.type, w.type);
        QCOMPARE(r.points.size(), w.points.size());
        for (int k = 0; k < w.points.size(); ++k) {
            QVERIFY(qAbs(r.points[k].lat - w.points[k].lat) <= 0.5e-6);
            QVERIFY(qAbs(r.points[k].lon - w.points[k].lon) <= 0.5e-6);
            QCOMPARE(r.points[k].time, w.points[k].time);
        }
    }
    QCOMPARE(read.tracks[0].name, QStringLiteral("GER 123 \u2013 M\u00f6we \u00df \u00c4rger"));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("lat=\"43.123457\" lon=\"15.987654\""));
    QVERIFY(text.contains("creator=\"Velmaro 2.7.2\""));
    QVERIFY(text.contains("version=\"1.1\""));
    QVERIFY(text.contains("xmlns=\"http://www.topografix.com/GPX/1/1\""));
    QVERIFY(text.contains("M\xc3\xb6we")); // UTF-8, not character references
}

void TestGpxExport::timesAreUtcWhateverTheLocalZone()
{
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    const QString path = m_dir.filePath(QStringLiteral("utc.gpx"));
    Gpx::Document doc = sampleDocument();
    doc.time = QDateTime(QDate(2010, 7, 1), QTime(14, 0), Qt::LocalTime); // 12:00 UTC
    const QString message = Gpx::write(path, doc);
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
    QCOMPARE(message, QString());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("<time>2010-07-01T12:00:00Z</time>"));
    QVERIFY(text.contains("<time>2010-07-01T00:00:00Z</time>"));
    QVERIFY(text.contains("<time>2011-04-05T10:40:00Z</time>"));
    QCOMPARE(Gpx::timeText(0), QStringLiteral("1970-01-01T00:00:00Z"));
}

void TestGpxExport::unusableFixesLeftOutAndLongitudeWrapped()
{
    Gpx::Document doc;
    Gpx::Track t;
    t.name = QStringLiteral("X");
    t.points = {{10.0, 180.0, 100},  {std::nan(""), 1.0, 200}, {95.0, 1.0, 300},
                {-90.0, 190.5, 400}, {1.0, -540.0, 500},       {2.0, 179.9999999, 600},
                {3.0, HUGE_VAL, 700}};
    doc.tracks = {t};
    const QString path = m_dir.filePath(QStringLiteral("wrapped.gpx"));
    QCOMPARE(Gpx::write(path, doc), QString());
    if (haveXmllint())
        QCOMPARE(validate(path), QString());

    Gpx::Document read;
    QVERIFY(Gpx::read(path, &read));
    const QList<Gpx::Point> &p = read.tracks.first().points;
    QCOMPARE(p.size(), 4);
    QCOMPARE(p[0].lon, -180.0);
    QCOMPARE(p[1].time, 400);
    QCOMPARE(p[1].lon, -169.5);
    QCOMPARE(p[2].lon, -180.0);
    QCOMPARE(p[3].lon, -180.0); // would print as 180.000000
}

void TestGpxExport::unwritableTargetGivesMessageAndNoFile_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing folder") << QStringLiteral("gibt-es-nicht/race.gpx");
    QTest::newRow("folder is a file") << QStringLiteral("plain.txt/race.gpx");
}

void TestGpxExport::unwritableTargetGivesMessageAndNoFile()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain.txt")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("x");
    plain.close();

    const QString path = dir.filePath(relative);
    const QString message = Gpx::write(path, sampleDocument());
    QVERIFY(!message.isEmpty());
    QVERIFY(message.contains(path));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("plain.txt")});
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("gibt-es-nicht"))));
}

void TestGpxExport::existingFileReplacedWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("race.gpx"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(200000, 'x')); // longer than the new file
    old.close();

    QCOMPARE(Gpx::write(path, sampleDocument()), QString());
    Gpx::Document read;
    QVERIFY(Gpx::read(path, &read));
    QCOMPARE(read.tracks.size(), 2);
    QVERIFY(QFileInfo(path).size() < 200000);
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("race.gpx")});

    // A directory in the way stays as it is.
    const QString folder = dir.filePath(QStringLiteral("ordner.gpx"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(!Gpx::write(folder, sampleDocument()).isEmpty());
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("race.gpx")});
}

void TestGpxExport::tracksOfShownBoatsWithFixes()
{
    Ship shown(1, QStringLiteral("Möwe"), QString(), QString());
    shown.setStartnr(QStringLiteral("GER 123"));
    shown.setKlasse(QStringLiteral("ORC"));
    shown.setSkipper(QStringLiteral("Jürgen"));
    shown.rawTrack()->addPoint(43.1, 15.1, 1000, 0.0);
    shown.rawTrack()->addPoint(43.2, 15.2, 1060, 0.0);
    Ship hidden(2, QStringLiteral("Versteckt"), QString(), QString());
    hidden.setShown(false);
    hidden.rawTrack()->addPoint(43.1, 15.1, 1000, 0.0);
    Ship empty(3, QStringLiteral("Leer"), QString(), QString());
    Ship noNumber(4, QStringLiteral("Ohne Nummer"), QString(), QString());
    noNumber.rawTrack()->addPoint(42.0, 16.0, 5, 0.0);

    const QList<Gpx::Track> tracks = Gpx::tracksOf({&shown, &hidden, &empty, &noNumber});
    QCOMPARE(tracks.size(), 2);
    QCOMPARE(tracks[0].name, QStringLiteral("GER 123 \u2013 Möwe"));
    QCOMPARE(tracks[0].type, QStringLiteral("ORC"));
    QCOMPARE(tracks[0].desc, QStringLiteral("Klasse: ORC, Skipper: Jürgen"));
    QCOMPARE(tracks[0].points.size(), 2);
    QCOMPARE(tracks[0].points[1].time, 1060);
    QCOMPARE(tracks[0].points[1].lon, 15.2);
    QCOMPARE(tracks[1].name, QStringLiteral("Ohne Nummer"));
}

void TestGpxExport::readerRejectsNonGpx_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("other root") << QByteArray("<kml><trk/></kml>");
    QTest::newRow("not closed") << QByteArray("<gpx version=\"1.1\"><trk><name>a</name>");
    QTest::newRow("bad latitude") << QByteArray(
        "<gpx><trk><trkseg><trkpt lat=\"x\" lon=\"1\"/></trkseg></trk></gpx>");
    QTest::newRow("empty file") << QByteArray();
}

void TestGpxExport::readerRejectsNonGpx()
{
    QFETCH(QByteArray, content);
    const QString path = m_dir.filePath(QStringLiteral("other.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    Gpx::Document doc;
    QString error;
    QVERIFY(!Gpx::read(path, &doc, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_MAIN(TestGpxExport)
#include "tst_gpxexport.moc"
