#include "childprogram.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void programEndsWithStatus1_data()
    {
        QTest::addColumn<bool>("textFile"); // else the data folder cannot be created
        QTest::newRow("text file as database") << true;
        QTest::newRow("folder cannot be created") << false;
    }
    void programEndsWithStatus1()
    {
        QFETCH(bool, textFile);
        ChildProgram program;
        const QByteArray text("loadmaps=1\nautoload=1\n");
        const QString blocker = QDir(program.home()).filePath("blocker");
        QFile file(textFile ? program.databasePath() : blocker);
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()) && file.open(QIODevice::ReadWrite) &&
                file.write(text) == text.size() && file.flush());
        if (!textFile)
            program.setEnv("XDG_DATA_HOME", QDir(blocker).filePath("data"));
        // Tiles, version and feed all go to a loopback port nothing listens on.
        for (const char *server :
             {"VELMARO_TRACKING_URL", "VELMARO_DOWNLOAD_URL", "VELMARO_TILE_URL"})
            program.setEnv(QString::fromLatin1(server), u"http://127.0.0.1:1"_s);
        QVERIFY(program.start(ChildProgram::buildProgram(u"velmaro"_s)));
        QVERIFY(program.process().waitForFinished(30000));
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 1);
        QCOMPARE(program.boxLines(),
                 QStringList{u"Critical\tCannot open database\tUnable to establish a database "
                             "connection to %1\\nThis example needs SQLite support. Please read "
                             "the Qt SQL driver documentation for information how to build it."
                             "\\n\\nClick Cancel to exit.\t\tCancel\tCancel"_s.arg(
                                 program.databasePath())});
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), text);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
