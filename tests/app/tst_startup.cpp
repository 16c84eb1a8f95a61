#include "app/startup.h"
#include "childprogram.h"
#include "platform/seams.h"
#include "schemafixture.h"
#include "store/database.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace
{

const QString trackIndex = u"track_regatta_ship_tstamp"_s;

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The program of the build in a home of its own. The running window fetches
// tiles, the version and the update feed: keep all of it on a loopback port
// nothing listens on.
bool startProgram(ChildProgram &program)
{
    for (const char *server : {"VELMARO_TRACKING_URL", "VELMARO_DOWNLOAD_URL", "VELMARO_TILE_URL"})
        program.setEnv(QString::fromLatin1(server), u"http://127.0.0.1:1"_s);
    return program.start(ChildProgram::buildProgram(u"velmaro"_s));
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup()
    {
        Database::close();
        qunsetenv("VELMARO_MESSAGEBOX_LOG");
        qunsetenv("VELMARO_DOWNLOAD_URL");
    }

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
        if (textFile) {
            QVERIFY(writeBytes(program.databasePath(), text));
        } else {
            const QString blocker = QDir(program.home()).filePath("blocker");
            QVERIFY(writeBytes(blocker, "a file where the data folder should go"));
            program.setEnv("XDG_DATA_HOME", QDir(blocker).filePath("data"));
        }
        QVERIFY(startProgram(program));
        QVERIFY(program.process().waitForFinished(30000));
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 1);
        QCOMPARE(program.boxLines(),
                 QStringList{u"Critical\tCannot open database\tUnable to establish a database "
                             "connection to %1\\nThis example needs SQLite support. Please read "
                             "the Qt SQL driver documentation for information how to build it."
                             "\\n\\nClick Cancel to exit.\t\tCancel\tCancel"_s.arg(
                                 program.databasePath())});
        if (textFile) {
            QCOMPARE(readBytes(program.databasePath()), text);
            QCOMPARE(QDir(QFileInfo(program.databasePath()).path()).entryList(QDir::Files),
                     QStringList{"velmaro.db"});
        }
    }

    void programCreatesDatabaseAndRuns()
    {
        ChildProgram program;
        const QString path = program.databasePath();
        QVERIFY(startProgram(program));
        // The index is the last thing start-up writes before the window.
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(path) && SchemaFixture::hasIndex(path, trackIndex), 30000);
        QCOMPARE(program.process().state(), QProcess::Running);
        QCOMPARE(program.boxLines(),
                 QStringList{"Information\tInitialisierung...\tDie Datenbank wird in der Version 7 "
                             "neu angelegt.\\n\\n\t\tOk\tOk"});
        QCOMPARE(SchemaFixture::scalar(path, "SELECT version FROM version").toInt(), 7);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
