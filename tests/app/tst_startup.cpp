#include "app/startup.h"
#include "messagerecorder.h"
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

QStringList logLines(const QString &path)
{
    return QString::fromUtf8(readBytes(path)).split(u'\n', Qt::SkipEmptyParts);
}

// The real program in a folder of its own, with every box written to a log.
class Program
{
public:
    Program()
    {
        m_env = QProcessEnvironment::systemEnvironment();
        const QDir home(m_dir.path());
        for (const char *sub : {"data", "config", "cache", "runtime", "work"})
            home.mkpath(QString::fromLatin1(sub));
        QFile::setPermissions(home.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_env.insert("HOME", home.path());
        m_env.insert("XDG_DATA_HOME", home.filePath("data"));
        m_env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        m_env.insert("XDG_CACHE_HOME", home.filePath("cache"));
        m_env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        m_env.insert("QT_QPA_PLATFORM", "offscreen");
        m_env.insert("VELMARO_MESSAGEBOX_LOG", logPath());
        // The running window fetches tiles, the version and the update feed:
        // keep all of it on a loopback port nothing listens on.
        for (const char *server :
             {"VELMARO_TRACKING_URL", "VELMARO_DOWNLOAD_URL", "VELMARO_TILE_URL"})
            m_env.insert(QString::fromLatin1(server), u"http://127.0.0.1:1"_s);
        m_process.setWorkingDirectory(home.filePath("work"));
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Program()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    QString home() const { return m_dir.path(); }
    QString logPath() const { return QDir(m_dir.path()).filePath("boxes.log"); }
    QString databasePath() const
    {
        return QDir(m_env.value("XDG_DATA_HOME")).filePath("Velmaro/velmaro.db");
    }
    void setEnv(const QString &name, const QString &value) { m_env.insert(name, value); }
    QProcess &process() { return m_process; }
    bool start()
    {
        if (qEnvironmentVariableIsEmpty("VELMARO_BINARY_DIR"))
            return false;
        m_process.setProcessEnvironment(m_env);
        m_process.start(QDir(qEnvironmentVariable("VELMARO_BINARY_DIR")).filePath("bin/velmaro"));
        return m_process.waitForStarted(10000);
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QProcess m_process;
};

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
        Program program;
        const QByteArray text("loadmaps=1\nautoload=1\n");
        if (textFile) {
            QVERIFY(writeBytes(program.databasePath(), text));
        } else {
            const QString blocker = QDir(program.home()).filePath("blocker");
            QVERIFY(writeBytes(blocker, "a file where the data folder should go"));
            program.setEnv("XDG_DATA_HOME", QDir(blocker).filePath("data"));
        }
        QVERIFY(program.start());
        QVERIFY(program.process().waitForFinished(30000));
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 1);
        QCOMPARE(logLines(program.logPath()),
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
        Program program;
        const QString path = program.databasePath();
        QVERIFY(program.start());
        // The index is the last thing start-up writes before the window.
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(path) && SchemaFixture::hasIndex(path, trackIndex), 30000);
        QCOMPARE(program.process().state(), QProcess::Running);
        QCOMPARE(logLines(program.logPath()),
                 QStringList{"Information\tInitialisierung...\tDie Datenbank wird in der Version 7 "
                             "neu angelegt.\\n\\n\t\tOk\tOk"});
        QCOMPARE(SchemaFixture::scalar(path, "SELECT version FROM version").toInt(), 7);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
