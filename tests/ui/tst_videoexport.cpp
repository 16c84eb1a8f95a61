// Video export of a stored race: frames and duration read back, cancel and
// failure leave no file, the menu's dialog, and the command line.
#include "childprogram.h"
#include "ui/videoexport.h"
#include "ui/videoexportflow.h"
#include "uitest.h"
#include "videoprobe.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace
{
constexpr int t0 = 1270458000; // the 2010 race, 10/88

const QStringList boatOfTenMinutes = {
    shipRow(7, 10, "Laser", "GER 7", "#ff0000", "'true'", "'true'"),
    fixRow(7, 10, t0, 43.0, 16.0),
    fixRow(7, 10, t0 + 600, 43.01, 16.02),
};

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}
} // namespace

class TestVideoExport : public QObject
{
    Q_OBJECT
    UiTest::Window w;

private slots:
    void initTestCase() { UiTest::initCase(); }
    void cleanup()
    {
        w.close();
        VideoExportFlow::setDialogRunner({});
        MainWindow::setSaveFileChooser({});
    }

    void replayWrittenCancelledAndRefused()
    {
        QVERIFY(w.open(boatOfTenMinutes, QSize(400, 300)));
        QTemporaryDir dir;
        VideoExport::Request request;
        request.eventId = 10;
        request.taskId = 88;
        request.raceName = u"Probe"_s;
        request.from = t0;
        request.to = t0 + 40;
        request.speed = 40;
        request.size = QSize(65, 49);
        request.loadMaps = false;
        request.fitFleet = true;
        VideoExport video;
        QList<int> done;
        QCOMPARE(video.write(request, dir.filePath(u"a.mp4"_s),
                             [&](int frame, int total) {
                                 done << frame;
                                 return total == 30;
                             }),
                 VideoExport::Outcome::Written);
        QCOMPARE(done.size(), 30);
        QCOMPARE(done.last(), 30);
        const VideoProbe probe = VideoProbe::read(dir.filePath(u"a.mp4"_s));
        QCOMPARE(QSize(probe.width, probe.height), QSize(64, 48));
        QCOMPARE(probe.frames, 30);
        QCOMPARE(probe.seconds, 1.0);

        QCOMPARE(video.write(request, dir.filePath(u"b.mp4"_s),
                             [](int frame, int) { return frame < 3; }),
                 VideoExport::Outcome::Cancelled);
        request.eventId = 21; // no positions stored
        request.taskId = 120;
        QCOMPARE(video.write(request, dir.filePath(u"c.mp4"_s)), VideoExport::Outcome::Failed);
        QVERIFY(!video.error().isEmpty());
        QCOMPARE(filesIn(dir.path()), QStringList{u"a.mp4"_s});
    }

    // The menu offers the race's span; the chosen span, speed and the map
    // view's size make the video.
    void menuExportsChosenSpan()
    {
        QVERIFY(w.open(boatOfTenMinutes, QSize(400, 300)));
        w.start();
        QTemporaryDir dir;
        const QString path = dir.filePath(u"race"_s);
        MainWindow::setSaveFileChooser(
            [&](QWidget *, const QString &, const QString &suggested, const QString &) {
                return suggested.endsWith(u".mp4"_s) ? path : QString();
            });
        QSize offered;
        VideoExportFlow::setDialogRunner([&](VideoExportDialog &dialog) {
            offered = dialog.frameSize();
            [&] {
                QCOMPARE(dialog.from(), qint64(t0 + 60));
                QCOMPARE(dialog.to(), qint64(t0 + 600));
                dialog.toEdit()->setDateTime(QDateTime::fromSecsSinceEpoch(t0 + 30));
                QVERIFY(!dialog.buttons()->button(QDialogButtonBox::Ok)->isEnabled());
                dialog.toEdit()->setDateTime(QDateTime::fromSecsSinceEpoch(t0 + 120));
                dialog.speedBox()->setCurrentIndex(dialog.speedBox()->findData(120));
                QVERIFY(dialog.buttons()->button(QDialogButtonBox::Ok)->isEnabled());
            }();
            return true;
        });
        w.window->videoExportAction()->trigger();
        const VideoProbe probe = VideoProbe::read(path + u".mp4"_s);
        QCOMPARE(probe.frames, 15);
        QCOMPARE(QSize(probe.width, probe.height), offered);
        QCOMPARE(w.boxes->count(), 0);

        VideoExportFlow::setDialogRunner([](VideoExportDialog &) { return false; });
        QVERIFY(QFile::remove(path + u".mp4"_s));
        w.window->videoExportAction()->trigger();
        QVERIFY(filesIn(dir.path()).isEmpty());

        // "Abbrechen" in the progress dialog, as soon as it takes events.
        VideoExportFlow::setDialogRunner([&](VideoExportDialog &) {
            QTimer::singleShot(0, w.window.get(), [&] {
                for (QProgressDialog *progress : w.window->findChildren<QProgressDialog *>())
                    progress->cancel();
            });
            return true;
        });
        w.window->videoExportAction()->trigger();
        QVERIFY(filesIn(dir.path()).isEmpty());
        QCOMPARE(w.window->statusBar()->currentMessage(), u"Videoexport abgebrochen"_s);
    }

    void commandLine()
    {
        ChildProgram child;
        child.setEnv(u"VELMARO_TILE_URL"_s, u"http://127.0.0.1:1"_s);
        child.process().setProcessChannelMode(QProcess::SeparateChannels);
        const QString out = QDir(child.home()).filePath(u"r.mp4"_s);
        QByteArray error;
        const auto run = [&](const QStringList &args) {
            const bool ended = child.start(ChildProgram::buildProgram(u"velmaro"_s),
                                           QStringList{u"--export"_s, u"video"_s} + args) &&
                               child.process().waitForFinished(60000);
            error = child.process().readAllStandardError();
            return ended ? child.process().exitCode() : -1;
        };
        const QStringList good = {u"--race"_s,   u"10/88"_s,
                                  u"--from"_s,   u"2010-04-05T09:00:00Z"_s,
                                  u"--to"_s,     u"2010-04-05T09:01:00"_s,
                                  u"--speed"_s,  u"60"_s,
                                  u"--size"_s,   u"48x32"_s,
                                  u"--output"_s, out};
        QCOMPARE(run(good), 2); // no boat stored yet
        QVERIFY(error.contains("no positions") || error.contains("Positionen"));
        const QList<QPair<int, QString>> bad = {
            {1, u"10-88"_s}, {3, u"gestern"_s}, {5, u"2010-04-05T08:00:00Z"_s},
            {7, u"0"_s},     {7, u"schnell"_s}, {7, u"1"_s},
            {9, u"48"_s},    {9, u"8x8"_s}};
        QVERIFY(SchemaFixture::write(child.databasePath(), boatOfTenMinutes));
        for (const auto &[at, value] : bad) {
            QStringList args = good;
            args[at] = value;
            if (value == u"1"_s) // a minute at real time is fine; a day is not
                args[5] = u"2010-04-06T09:00:00Z"_s;
            QCOMPARE(run(args), 2);
            QCOMPARE(error.count('\n'), 1);
            QVERIFY2(error.startsWith("velmaro: --"), error.constData());
            QVERIFY(!QFile::exists(out));
        }
        QCOMPARE(run(good.mid(0, 10)), 2); // no --output
        QCOMPARE(run(good), 0);
        const VideoProbe probe = VideoProbe::read(out);
        QCOMPARE(QSize(probe.width, probe.height), QSize(48, 32));
        QCOMPARE(probe.frames, 30);
        QCOMPARE(probe.seconds, 1.0);
    }
};

QTEST_MAIN(TestVideoExport)
#include "tst_videoexport.moc"
