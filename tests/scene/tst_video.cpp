// The video encoder read back with libavformat, its atomic file, and the
// frame plan of a replay video.
#include "scene/videoencoder.h"
#include "scene/videoplan.h"
#include "videoprobe.h"

#include <QtTest>

class TestVideo : public QObject
{
    Q_OBJECT

    static QImage frame(int i, const QSize &size)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 25 % 360, 200, 220));
        return image;
    }

private slots:
    void framesAndDurationReadBack_data()
    {
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<QSize>("written");
        QTest::addColumn<int>("frames");
        QTest::newRow("even") << QSize(64, 36) << QSize(64, 36) << 15;
        QTest::newRow("odd size rounded down") << QSize(67, 41) << QSize(66, 40) << 31;
        QTest::newRow("one frame") << QSize(32, 32) << QSize(32, 32) << 1;
    }
    void framesAndDurationReadBack()
    {
        QFETCH(QSize, asked);
        QFETCH(QSize, written);
        QFETCH(int, frames);
        QTemporaryDir dir;
        const QString path = dir.filePath("race.mp4");
        VideoEncoder encoder;
        QVERIFY2(encoder.open(path, asked), qPrintable(encoder.error()));
        QCOMPARE(encoder.size(), written);
        for (int i = 0; i < frames; ++i)
            QVERIFY2(encoder.addFrame(frame(i, i % 2 ? asked : written)),
                     qPrintable(encoder.error()));
        QVERIFY(!QFile::exists(path)); // not before it is complete
        QVERIFY2(encoder.finish(), qPrintable(encoder.error()));
        const VideoProbe probe = VideoProbe::read(path);
        QVERIFY(probe.ok);
        QCOMPARE(probe.codec, AV_CODEC_ID_H264);
        QCOMPARE(QSize(probe.width, probe.height), written);
        QCOMPARE(probe.frames, frames);
        QCOMPARE(probe.seconds, frames / 30.0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"race.mp4"});
    }

    void cancelOrFailureLeavesNoFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("race.mp4");
        {
            VideoEncoder encoder;
            QVERIFY(encoder.open(path, QSize(32, 32)));
            QVERIFY(encoder.addFrame(frame(0, QSize(32, 32))));
            encoder.cancel();
            QVERIFY(!encoder.addFrame(frame(1, QSize(32, 32))));
        }
        {
            VideoEncoder encoder; // going out of scope unfinished
            QVERIFY(encoder.open(path, QSize(32, 32)));
            QVERIFY(encoder.addFrame(frame(0, QSize(32, 32))));
        }
        {
            VideoEncoder encoder;
            QVERIFY(encoder.open(path, QSize(32, 32)));
            QVERIFY(!encoder.finish()); // no frame
            QVERIFY(!encoder.error().isEmpty());
        }
        QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

        // An older video of the name stays as it was.
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        {
            VideoEncoder encoder;
            QVERIFY(encoder.open(path, QSize(32, 32)));
            QVERIFY(encoder.addFrame(frame(0, QSize(32, 32))));
            encoder.cancel();
        }
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));

        VideoEncoder encoder;
        QVERIFY(!encoder.open(dir.filePath("missing/race.mp4"), QSize(32, 32)));
        QVERIFY(encoder.error().contains("race.mp4"));
    }

    void plan_data()
    {
        QTest::addColumn<qint64>("span");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("problem");
        QTest::addColumn<int>("frames");
        QTest::addColumn<qint64>("lastMoment");
        const int none = int(VideoPlan::Problem::None);
        QTest::newRow("hour at a minute a second") << qint64(3600) << 60 << none << 1800 << 3598ll;
        QTest::newRow("real time") << qint64(2) << 1 << none << 60 << 1ll;
        QTest::newRow("rounded to a frame") << qint64(10) << 7 << none << 43 << 9ll;
        QTest::newRow("shorter than a frame") << qint64(1) << 600 << none << 1 << 0ll;
        QTest::newRow("week in ten seconds") << qint64(604800) << 60480 << none << 300 << 602784ll;
        QTest::newRow("empty span")
            << qint64(0) << 60 << int(VideoPlan::Problem::EmptySpan) << 0 << 0ll;
        QTest::newRow("speed 0") << qint64(60) << 0 << int(VideoPlan::Problem::BadSpeed) << 0
                                 << 0ll;
        QTest::newRow("over an hour of video")
            << qint64(3601) << 1 << int(VideoPlan::Problem::TooLong) << 108001 << 0ll;
    }
    void plan()
    {
        QFETCH(qint64, span);
        QFETCH(int, speed);
        QFETCH(int, problem);
        QFETCH(int, frames);
        QFETCH(qint64, lastMoment);
        const qint64 from = 1270458000;
        const VideoPlan plan(from, from + span, speed);
        QCOMPARE(int(plan.problem()), problem);
        QCOMPARE(plan.frameCount(), frames);
        if (problem == int(VideoPlan::Problem::None)) {
            QCOMPARE(plan.momentAt(0), from);
            QCOMPARE(plan.momentAt(frames - 1), from + lastMoment);
        }
    }

    void planOfCenturiesTooLong()
    {
        QCOMPARE(int(VideoPlan(0, qint64(1) << 40, 1).problem()), int(VideoPlan::Problem::TooLong));
    }
};

QTEST_MAIN(TestVideo)
#include "tst_video.moc"
