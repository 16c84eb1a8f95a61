#include "childprogram.h"
#include "demoserver.h"
#include "scene/gpxexport.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// The real program without a window against the demo service: --fetch
// stores the race, the leaderboard and GPX exports write it, and bad
// arguments or a failed download end with their status and write nothing.
class TestCommandLine : public QObject
{
    Q_OBJECT
    std::unique_ptr<DemoServer> m_demo;

    // The exit status; the demo service answers while the child runs.
    int run(ChildProgram &child, const QStringList &args)
    {
        if (!child.start(ChildProgram::buildProgram(u"velmaro"_s), args))
            return -1;
        QEventLoop loop;
        connect(&child.process(), &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        if (child.process().state() != QProcess::NotRunning)
            loop.exec();
        if (child.process().state() != QProcess::NotRunning)
            return -1;
        return child.process().exitStatus() == QProcess::NormalExit ? child.process().exitCode()
                                                                    : -1;
    }
    static QList<QByteArray> lines(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().split('\n')
                                              : QList<QByteArray>();
    }

private slots:
    void initTestCase()
    {
        DemoServer::Options options;
        options.quiet = true;
        m_demo = std::make_unique<DemoServer>(options);
        QVERIFY(m_demo->listen() != 0);
    }
    void init() { m_demo->clearFaults(); }

    void badArgumentsWriteNothing()
    {
        ChildProgram child;
        const QString out = QDir(child.home()).filePath(u"x.csv"_s);
        const QStringList base{u"--race"_s, u"21/120"_s, u"--output"_s, out};
        for (const QStringList &bad :
             {QStringList{u"--export"_s, u"leaderboard"_s, u"--at"_s, u"gestern"_s},
              QStringList{u"--export"_s, u"gpx"_s, u"--at"_s, u"2011-04-19T16:00:00Z"_s},
              QStringList{u"--export"_s, u"tabelle"_s},
              QStringList{u"--export"_s, u"leaderboard"_s, u"--race"_s, u"99/999"_s}}) {
            QCOMPARE(run(child, base + bad), 2);
            QVERIFY(!QFile::exists(out));
        }
    }

    void fetchThenExport()
    {
        ChildProgram child;
        child.setEnv(u"VELMARO_TRACKING_URL"_s, m_demo->baseUrl());
        const QString csv = QDir(child.home()).filePath(u"x.csv"_s);
        QCOMPARE(run(child,
                     {u"--race"_s, u"21/120"_s, u"--fetch"_s, u"--at"_s, u"2011-04-19T16:00:00Z"_s,
                      u"--export"_s, u"leaderboard"_s, u"--output"_s, csv}),
                 0);
        const QList<QByteArray> rows = lines(csv);
        QCOMPARE(rows.size(), 23); // header and 22 boats
        QCOMPARE(rows.first(), "class,rank,sail_number,boat,next_mark,finish_time,"
                               "distance_next_km,distance_finish_km,speed_kn,gap_km,gap_nm,"
                               "gap_s,leg,vmc_kn,vmg_kn,average_1h_kn,average_4h_kn,"
                               "average_24h_kn,eta,last_fix,fix_age_s,elapsed_s,corrected_s,"
                               "corrected_projected");
        // Within each class ranks count up from 1 and the distance to the
        // finish grows with them, the leader's gap being 0.
        QByteArray klasse;
        int rank = 0;
        double lastDistance = 0;
        for (const QByteArray &row : rows.mid(1)) {
            const QList<QByteArray> f = row.split(',');
            QCOMPARE(f.size(), 24);
            if (f[0] != klasse) {
                klasse = f[0];
                rank = 0;
                lastDistance = 0;
                QCOMPARE(f[9].toDouble(), 0.0);
            }
            QCOMPARE(f[1].toInt(), ++rank);
            QVERIFY2(f[7].toDouble() >= lastDistance, row.constData());
            lastDistance = f[7].toDouble();
            QVERIFY(f[8].toDouble() > 0.0);
        }

        // Stored by the fetch: every fix of the race, once.
        const QString gpx = QDir(child.home()).filePath(u"x.gpx"_s);
        QCOMPARE(run(child, {u"--race=21/120"_s, u"--export=gpx"_s, u"--output"_s, gpx}), 0);
        Gpx::Document document;
        QVERIFY(Gpx::read(gpx, &document));
        QCOMPARE(document.tracks.size(), 22);
        qsizetype fixes = 0;
        for (const Gpx::Track &track : document.tracks)
            fixes += track.points.size();
        QCOMPARE(fixes, 295515);
    }

    // A race known only to the service is taken from its race list; a
    // download that fails ends with 1, nothing written.
    void fetchNewRaceAndFailure()
    {
        ChildProgram child;
        child.setEnv(u"VELMARO_TRACKING_URL"_s, m_demo->baseUrl());
        const QString csv = QDir(child.home()).filePath(u"x.csv"_s);
        QCOMPARE(run(child, {u"--race"_s, u"30/300"_s, u"--fetch"_s}), 0);
        QCOMPARE(run(child, {u"--race"_s, u"30/300"_s, u"--export"_s, u"leaderboard"_s,
                             u"--output"_s, csv}),
                 0);
        QVERIFY(lines(csv).size() > 10);
        QFile::remove(csv);
        m_demo->setFault(u"getPosition"_s, DemoServer::Fault::HttpError, 500);
        QCOMPARE(run(child, {u"--race"_s, u"30/300"_s, u"--fetch"_s, u"--export"_s,
                             u"leaderboard"_s, u"--output"_s, csv}),
                 1);
        QVERIFY(!QFile::exists(csv));
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
