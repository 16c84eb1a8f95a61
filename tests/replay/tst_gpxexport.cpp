#include "scene/gpxexport.h"
#include "scene/ship.h"

#include <QtTest>

#include <cmath>
#include <ctime>

using namespace Qt::StringLiterals;
namespace
{
bool haveXmllint()
{
    return !QStandardPaths::findExecutable(u"xmllint"_s).isEmpty();
}

// xmllint's verdict on the file against the GPX 1.1 schema; empty when it validates.
QString validate(const QString &file)
{
    QProcess lint;
    lint.setProcessChannelMode(QProcess::MergedChannels);
    lint.start(u"xmllint"_s,
               {u"--noout"_s, u"--schema"_s,
                qEnvironmentVariable("VELMARO_SOURCE_DIR") + u"/tests/data/gpx/gpx.xsd"_s, file});
    if (!lint.waitForFinished(30000))
        return u"xmllint did not finish"_s;
    return lint.exitCode() == 0 ? QString() : QString::fromUtf8(lint.readAll());
}

Gpx::Document sampleDocument()
{
    const Gpx::Track a{Gpx::trackName(u"GER 123"_s, u"Möwe ß Ärger"_s),
                       u"Klasse: ORC <1> & \"Cruiser\""_s,
                       u"ORC"_s,
                       {{43.98, 15.366, 1302000000},
                        {43.123456789, 15.9876543, 1302000060},
                        {-12.5, -0.000001, 1302003600}}};
    // 2010-07-01, summer time in Europe
    const Gpx::Track b{u"CRO 7 – Jadran"_s, {}, u"J/24"_s, {{42.0, 16.0, 1277942400}}};
    return {u"Adriatic Challenge – Ölgewässer"_s,
            QDateTime::fromSecsSinceEpoch(1302012345, Qt::UTC),
            {a, b}};
}
} // namespace

class TestGpxExport : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void writtenFileValidatesAgainstSchema()
    {
        if (!haveXmllint())
            QSKIP("xmllint is not installed");
        const QString path = m_dir.filePath(u"valid.gpx"_s);
        for (const Gpx::Document &doc : {sampleDocument(), Gpx::Document()}) { // empty race too
            QCOMPARE(Gpx::write(path, doc), QString());
            QCOMPARE(validate(path), QString());
        }
    }

    void readsBackSameFixesInUtc()
    {
        const QByteArray oldTz = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        const QString path = m_dir.filePath(u"roundtrip.gpx"_s);
        Gpx::Document written = sampleDocument();
        written.time = QDateTime(QDate(2010, 7, 1), QTime(14, 0), Qt::LocalTime); // 12:00 UTC
        const QString message = Gpx::write(path, written);
        oldTz.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldTz);
        tzset();
        QCOMPARE(message, QString());
        Gpx::Document read;
        QString error;
        QVERIFY2(Gpx::read(path, &read, &error), qPrintable(error));
        QCOMPARE(read.name, written.name);
        QCOMPARE(read.tracks.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const Gpx::Track &w = written.tracks[i];
            const Gpx::Track &r = read.tracks[i];
            QCOMPARE(r.name + r.desc + r.type, w.name + w.desc + w.type);
            QCOMPARE(r.points.size(), w.points.size());
            for (int k = 0; k < w.points.size(); ++k) {
                QVERIFY(qAbs(r.points[k].lat - w.points[k].lat) <= 0.5e-6 &&
                        qAbs(r.points[k].lon - w.points[k].lon) <= 0.5e-6);
                QCOMPARE(r.points[k].time, w.points[k].time);
            }
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        for (const char *part :
             {"lat=\"43.123457\" lon=\"15.987654\"", "M\xc3\xb6we", // UTF-8, no references
              "<time>2010-07-01T12:00:00Z</time>", "<time>2010-07-01T00:00:00Z</time>"})
            QVERIFY2(text.contains(part), part);
    }

    void unusableFixesLeftOutAndLongitudeWrapped()
    {
        const QList<Gpx::Point> fixes{
            {10.0, 180.0, 100}, {std::nan(""), 1.0, 200}, {95.0, 1.0, 300},    {-90.0, 190.5, 400},
            {1.0, -540.0, 500}, {2.0, 179.9999999, 600},  {3.0, HUGE_VAL, 700}};
        const Gpx::Document doc{{}, {}, {{u"X"_s, {}, {}, fixes}}};
        const QString path = m_dir.filePath(u"wrapped.gpx"_s);
        QCOMPARE(Gpx::write(path, doc), QString());
        if (haveXmllint())
            QCOMPARE(validate(path), QString());
        Gpx::Document read;
        QVERIFY(Gpx::read(path, &read));
        const QList<Gpx::Point> &p = read.tracks.first().points;
        QCOMPARE(p.size(), 4);
        QCOMPARE(p[1].time, 400);
        QList<double> lons;
        for (const Gpx::Point &point : p)
            lons << point.lon;
        QCOMPARE(lons, (QList<double>{-180.0, -169.5, -180.0, -180.0})); // not 180.000000
    }

    void unwritableTargetGivesMessageAndNoFile_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing folder") << u"gibt-es-nicht/race.gpx"_s;
        QTest::newRow("folder is a file") << u"plain.txt/race.gpx"_s;
        QTest::newRow("a folder in the way") << u"ordner.gpx"_s;
    }
    void unwritableTargetGivesMessageAndNoFile()
    {
        QFETCH(QString, relative);
        QTemporaryDir dir;
        QFile plain(dir.filePath(u"plain.txt"_s));
        QVERIFY(plain.open(QIODevice::WriteOnly) && plain.write("x") == 1 && plain.flush());
        QVERIFY(QDir(dir.path()).mkdir(u"ordner.gpx"_s));
        const QString path = dir.filePath(relative);
        const QString message = Gpx::write(path, sampleDocument());
        QVERIFY(message.contains(path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"plain.txt"_s});
        QVERIFY(!QFileInfo::exists(dir.filePath(u"gibt-es-nicht"_s)));
        QVERIFY(QFileInfo(dir.filePath(u"ordner.gpx"_s)).isDir() &&
                QDir(dir.filePath(u"ordner.gpx"_s)).isEmpty());
    }

    void tracksOfShownBoatsWithFixes()
    {
        Ship shown(1, u"Möwe"_s, QString(), QString());
        shown.setStartnr(u"GER 123"_s);
        shown.setKlasse(u"ORC"_s);
        shown.setSkipper(u"Jürgen"_s);
        shown.rawTrack()->addPoint(43.1, 15.1, 1000, 0.0);
        shown.rawTrack()->addPoint(43.2, 15.2, 1060, 0.0);
        Ship hidden(2, u"Versteckt"_s, QString(), QString());
        hidden.setShown(false);
        hidden.rawTrack()->addPoint(43.1, 15.1, 1000, 0.0);
        Ship empty(3, u"Leer"_s, QString(), QString());
        Ship noNumber(4, u"Ohne Nummer"_s, QString(), QString());
        noNumber.rawTrack()->addPoint(42.0, 16.0, 5, 0.0);
        const QList<Gpx::Track> tracks = Gpx::tracksOf({&shown, &hidden, &empty, &noNumber});
        QCOMPARE(tracks.size(), 2);
        QCOMPARE((QStringList{tracks[0].name, tracks[0].desc, tracks[1].name}),
                 (QStringList{u"GER 123 \u2013 Möwe"_s, u"Klasse: ORC, Skipper: Jürgen"_s,
                              u"Ohne Nummer"_s}));
        QCOMPARE(tracks[0].points.size(), 2);
    }

    // A boat name with control characters once made a file no XML reader takes.
    void controlCharactersInNamesGiveWellFormedXml()
    {
        Gpx::Document doc = sampleDocument();
        doc.name = u"Race\u0001\u0008"_s;
        doc.tracks[0].name = u"GER\u0000 1\u001b"_s;
        doc.tracks[0].desc = u"a\tb\u000c\U0001F600"_s;
        const QString path = m_dir.filePath(u"control.gpx"_s);
        QCOMPARE(Gpx::write(path, doc), QString());
        Gpx::Document read;
        QString error;
        QVERIFY2(Gpx::read(path, &read, &error), qPrintable(error));
        QCOMPARE((QStringList{read.name, read.tracks[0].name, read.tracks[0].desc}),
                 (QStringList{u"Race"_s, u"GER 1"_s, u"a\tb\U0001F600"_s}));
    }
};

QTEST_MAIN(TestGpxExport)
#include "tst_gpxexport.moc"
