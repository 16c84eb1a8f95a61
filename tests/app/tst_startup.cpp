#include "store/database.h"
#include "messagerecorder.h"
#include "schemafixture.h"
#include "platform/seams.h"
#include "app/startup.h"

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

namespace {

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

    void updateFeedFollowsDownloadServer()
    {
        qputenv("VELMARO_DOWNLOAD_URL", "http://127.0.0.1:9911/");
        QCOMPARE(Startup::updateFeedUrl(), u"http://127.0.0.1:9911/downloads/setup/velmaro.xml"_s);
    }

    void dataFolderIsCreated()
    {
        const QString expected =
            QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                .filePath("Velmaro");
        QDir(expected).removeRecursively();
        QCOMPARE(Startup::prepareDataFolder(), expected);
        QVERIFY(QFileInfo(expected).isDir());
    }

    void loadStyleSheet_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing file") << QByteArray() << QString();
        QTest::newRow("plain") << QByteArray("QMainWindow { background: #eef; }\n")
                               << u"QMainWindow { background: #eef; }\n"_s;
        QTest::newRow("stops at NUL") << QByteArray("QLabel { color: red; }\0garbage", 31)
                                      << u"QLabel { color: red; }"_s;
        QTest::newRow("NUL first") << QByteArray("\0QLabel {}", 10) << QString();
        QTest::newRow("UTF-8") << QByteArray("/* Größe */ QLabel {}")
                               << u"/* Größe */ QLabel {}"_s;
    }
    void loadStyleSheet()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath("velmaro.qss");
        if (!bytes.isEmpty())
            QVERIFY(writeBytes(path, bytes));
        QTEST(Startup::loadStyleSheet(path), "expected");
    }

    void styleSheetIsInstalledFromWorkingDirectory()
    {
        const QString path = QDir::current().filePath("css/velmaro.qss");
        QVERIFY(writeBytes(path, QByteArray("QStatusBar { color: #123456; }\0tail", 35)));
        Startup::applyStyleSheet();
        QFile::remove(path);
        QCOMPARE(qApp->styleSheet(), u"QStatusBar { color: #123456; }"_s);
        qApp->setStyleSheet(QString());
    }

    void windowGeometry()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath("Velmaro.conf"), QSettings::IniFormat);
        std::unique_ptr<QMainWindow> first = Startup::createMainWindow();
        Startup::applyWindowGeometry(first.get(), settings);
        QCOMPARE(first->geometry(), QRect(50, 50, 738, 664));
        QVERIFY(!first->isVisible());

        first->setGeometry(120, 140, 800, 600);
        settings.setValue("geomMainwindow", first->saveGeometry());
        std::unique_ptr<QMainWindow> second = Startup::createMainWindow();
        Startup::applyWindowGeometry(second.get(), settings);
        QCOMPARE(second->geometry(), QRect(120, 140, 800, 600));
    }

    void startRace_data()
    {
        QTest::addColumn<QVariant>("eventId"); // invalid: key absent
        QTest::addColumn<QVariant>("taskId");
        QTest::addColumn<int>("expectedEvent");
        QTest::addColumn<int>("expectedTask");
        QTest::newRow("absent") << QVariant() << QVariant() << 10 << 88;
        QTest::newRow("stored") << QVariant(21) << QVariant(120) << 21 << 120;
        QTest::newRow("only event") << QVariant(21) << QVariant() << 21 << 88;
        QTest::newRow("not a number") << QVariant("abc") << QVariant("120") << 0 << 120;
    }
    void startRace()
    {
        QFETCH(QVariant, eventId);
        QFETCH(QVariant, taskId);
        QTemporaryDir dir;
        QSettings settings(dir.filePath("Velmaro.conf"), QSettings::IniFormat);
        if (eventId.isValid())
            settings.setValue("eventId", eventId);
        if (taskId.isValid())
            settings.setValue("taskId", taskId);
        const Startup::StartRace race = Startup::startRace(settings);
        QTEST(race.eventId, "expectedEvent");
        QTEST(race.taskId, "expectedTask");
    }

    void messageBoxLogLine()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("boxes.log");
        qputenv("VELMARO_MESSAGEBOX_LOG", log.toLocal8Bit());
        Seams::MessageBoxRequest request;
        request.icon = QMessageBox::Question;
        request.title = u"Frage"_s;
        request.text = u"a\tb\\c\nd\r"_s;
        request.informativeText = u"Größe"_s;
        request.buttons = QMessageBox::Yes | QMessageBox::No;
        request.defaultButton = QMessageBox::No;
        QCOMPARE(Seams::showMessage(request), QMessageBox::No);
        QCOMPARE(Seams::information("Titel", "Zeile 1\nZeile 2"), QMessageBox::Ok);
        QCOMPARE(logLines(log), QStringList({
            u"Question\tFrage\ta\\tb\\\\c\\nd\\r\tGröße\tYes|No\tNo"_s,
            u"Information\tTitel\tZeile 1\\nZeile 2\t\tOk\tOk"_s,
        }));
    }

    void openDatabaseCreatesSchemaAndIndex()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("db/velmaro.db");
        MessageRecorder boxes;
        QCOMPARE(Startup::openDatabase(path), Startup::DatabaseStatus::Ready);
        QCOMPARE(boxes.titles(), QStringList{"Initialisierung..."});
        QCOMPARE(QSqlDatabase::database().databaseName(), path);
        QStringList columns;
        for (int i = 0; i < 3; ++i) {
            columns << SchemaFixture::scalar(path, u"SELECT name FROM pragma_index_info('%1') "
                                                   "WHERE seqno=%2"_s.arg(trackIndex).arg(i))
                           .toString();
        }
        QCOMPARE(columns, QStringList({"regatta_id", "ship_id", "tstamp"}));

        // an existing file gets the index too, and nothing else changes
        Database::close();
        const QString old = dir.filePath("velmaro.db");
        QVERIFY(SchemaFixture::write(old, SchemaFixture::statements("7")));
        const QStringList before = SchemaFixture::dump(old);
        QVERIFY(!SchemaFixture::hasIndex(old, trackIndex));
        boxes.clear();
        QCOMPARE(Startup::openDatabase(old), Startup::DatabaseStatus::Ready);
        QCOMPARE(boxes.count(), 0);
        QVERIFY(SchemaFixture::hasIndex(old, trackIndex));
        QCOMPARE(SchemaFixture::dump(old), before);
    }

    void openDatabaseRefusesNonDatabase()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("velmaro.db");
        const QByteArray text("Dies ist keine Datenbank.\n");
        QVERIFY(writeBytes(path, text));
        MessageRecorder boxes;
        QCOMPARE(Startup::openDatabase(path), Startup::DatabaseStatus::CannotOpen);
        QCOMPARE(boxes.count(), 1);
        const Seams::MessageBoxRequest &box = boxes.boxes().at(0);
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.title, u"Cannot open database"_s);
        QCOMPARE(box.text, Database::cannotOpenText(path));
        QVERIFY(box.text.startsWith(u"Unable to establish a database connection to "_s + path
                                    + u'\n'));
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        QCOMPARE(readBytes(path), text);
        QVERIFY(!QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection)));
    }

    void openDatabaseReportsInterruptedMigration()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("velmaro.db");
        QVERIFY(SchemaFixture::write(path, SchemaFixture::statements("5")));
        const QStringList before = SchemaFixture::dump(path);
        MessageRecorder boxes;
        int seen = 0;
        QCOMPARE(Startup::openDatabase(path, [&](const QString &) { return ++seen < 3; }),
                 Startup::DatabaseStatus::CannotOpen);
        QCOMPARE(boxes.titles().last(), u"Cannot open database"_s);
        QCOMPARE(SchemaFixture::dump(path), before);
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
                             "\\n\\nClick Cancel to exit.\t\tCancel\tCancel"_s
                                 .arg(program.databasePath())});
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
