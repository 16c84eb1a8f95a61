#include "database.h"
#include "messagerecorder.h"
#include "schemafixture.h"
#include "seams.h"
#include "startup.h"

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

namespace {

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
    const QString text = QString::fromUtf8(readBytes(path));
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString expectedCannotOpenLine(const QString &path)
{
    return QStringLiteral("Critical\tCannot open database\tUnable to establish a database "
                          "connection to %1\\nThis example needs SQLite support. Please read "
                          "the Qt SQL driver documentation for information how to build it."
                          "\\n\\nClick Cancel to exit.\t\tCancel\tCancel")
        .arg(path);
}

QStringList indexColumns(const QString &path)
{
    QStringList result;
    for (int i = 0; i < 3; ++i) {
        result << SchemaFixture::scalar(
                      path, QStringLiteral("SELECT name FROM pragma_index_info("
                                           "'track_regatta_ship_tstamp') WHERE seqno=%1")
                                .arg(i))
                      .toString();
    }
    return result;
}

// The real program in a folder of its own, with every box written to a log.
class Program
{
public:
    Program()
    {
        m_env = QProcessEnvironment::systemEnvironment();
        const QString home = m_dir.path();
        for (const char *sub : {"data", "config", "cache", "runtime", "work"})
            QDir(home).mkpath(QString::fromLatin1(sub));
        QFile::setPermissions(QDir(home).filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_env.insert("HOME", home);
        m_env.insert("XDG_DATA_HOME", QDir(home).filePath("data"));
        m_env.insert("XDG_CONFIG_HOME", QDir(home).filePath("config"));
        m_env.insert("XDG_CACHE_HOME", QDir(home).filePath("cache"));
        m_env.insert("XDG_RUNTIME_DIR", QDir(home).filePath("runtime"));
        m_env.insert("QT_QPA_PLATFORM", "offscreen");
        m_env.insert("VELMARO_MESSAGEBOX_LOG", logPath());
        // The running window fetches tiles, the version and the update feed:
        // keep all of it on a loopback port nothing listens on.
        for (const char *server :
             {"VELMARO_TRACKING_URL", "VELMARO_DOWNLOAD_URL", "VELMARO_TILE_URL"})
            m_env.insert(QString::fromLatin1(server), QStringLiteral("http://127.0.0.1:1"));
        m_process.setProcessEnvironment(m_env);
        m_process.setWorkingDirectory(QDir(home).filePath("work"));
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
    void setEnv(const QString &name, const QString &value)
    {
        m_env.insert(name, value);
        m_process.setProcessEnvironment(m_env);
    }
    QProcess &process() { return m_process; }

    bool start()
    {
        if (qEnvironmentVariableIsEmpty("VELMARO_BINARY_DIR"))
            return false;
        const QString binary =
            QDir(qEnvironmentVariable("VELMARO_BINARY_DIR")).filePath("bin/velmaro");
        m_process.start(binary, {});
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
    void cleanup();

    void identity();
    void updateFeedFollowsDownloadServer();
    void dataFolderIsCreated();
    void loadStyleSheet_data();
    void loadStyleSheet();
    void styleSheetIsInstalledFromWorkingDirectory();
    void windowGeometry();
    void startRace_data();
    void startRace();
    void messageBoxLogLine();

    void openDatabaseCreatesSchemaAndIndex();
    void openDatabaseAddsIndexToExistingFile();
    void openDatabaseRefusesNonDatabase();
    void openDatabaseReportsInterruptedMigration();

    void programEndsWithStatus1OnTextFile();
    void programEndsWithStatus1WhenFolderCannotBeCreated();
    void programCreatesDatabaseAndRuns();
};

void TestStartup::cleanup()
{
    Database::close();
    qunsetenv("VELMARO_MESSAGEBOX_LOG");
    qunsetenv("VELMARO_DOWNLOAD_URL");
}

void TestStartup::identity()
{
    Startup::setIdentity();
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Velmaro"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("2.7.2"));
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("t.a.l.v.e.n."));
    QCOMPARE(QCoreApplication::organizationDomain(), QStringLiteral("velmaro.org"));
    QCOMPARE(Startup::initialTitle(), QStringLiteral("Velmaro 2.7.2 Initialisierung"));
}

void TestStartup::updateFeedFollowsDownloadServer()
{
    qputenv("VELMARO_DOWNLOAD_URL", "http://127.0.0.1:9911/");
    QCOMPARE(Startup::updateFeedUrl(),
             QStringLiteral("http://127.0.0.1:9911/downloads/setup/velmaro.xml"));
}

void TestStartup::dataFolderIsCreated()
{
    const QString expected = QDir(QStandardPaths::writableLocation(
                                      QStandardPaths::GenericDataLocation))
                                 .filePath("Velmaro");
    QDir(expected).removeRecursively();
    QCOMPARE(Startup::prepareDataFolder(), expected);
    QVERIFY(QFileInfo(expected).isDir());
}

void TestStartup::loadStyleSheet_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: no file
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing file") << QByteArray() << QString();
    QTest::newRow("plain") << QByteArray("QMainWindow { background: #eef; }\n")
                           << QStringLiteral("QMainWindow { background: #eef; }\n");
    QTest::newRow("stops at NUL") << QByteArray("QLabel { color: red; }\0garbage", 31)
                                  << QStringLiteral("QLabel { color: red; }");
    QTest::newRow("NUL first") << QByteArray("\0QLabel {}", 10) << QString();
    QTest::newRow("UTF-8") << QByteArray("/* Größe */ QLabel {}") << QStringLiteral("/* Größe */ QLabel {}");
}

void TestStartup::loadStyleSheet()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("velmaro.qss");
    if (!bytes.isEmpty())
        QVERIFY(writeBytes(path, bytes));
    QCOMPARE(Startup::loadStyleSheet(path), expected);
}

void TestStartup::styleSheetIsInstalledFromWorkingDirectory()
{
    const QString path = QDir::current().filePath("css/velmaro.qss");
    QVERIFY(writeBytes(path, QByteArray("QStatusBar { color: #123456; }\0tail", 35)));
    Startup::applyStyleSheet();
    QFile::remove(path);
    QCOMPARE(qApp->styleSheet(), QStringLiteral("QStatusBar { color: #123456; }"));
    qApp->setStyleSheet(QString());
}

void TestStartup::windowGeometry()
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

void TestStartup::startRace_data()
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

void TestStartup::startRace()
{
    QFETCH(QVariant, eventId);
    QFETCH(QVariant, taskId);
    QFETCH(int, expectedEvent);
    QFETCH(int, expectedTask);
    QTemporaryDir dir;
    QSettings settings(dir.filePath("Velmaro.conf"), QSettings::IniFormat);
    if (eventId.isValid())
        settings.setValue("eventId", eventId);
    if (taskId.isValid())
        settings.setValue("taskId", taskId);
    const Startup::StartRace race = Startup::startRace(settings);
    QCOMPARE(race.eventId, expectedEvent);
    QCOMPARE(race.taskId, expectedTask);
}

void TestStartup::messageBoxLogLine()
{
    QTemporaryDir dir;
    const QString log = dir.filePath("boxes.log");
    qputenv("VELMARO_MESSAGEBOX_LOG", log.toLocal8Bit());

    Seams::MessageBoxRequest request;
    request.icon = QMessageBox::Question;
    request.title = QStringLiteral("Frage");
    request.text = QStringLiteral("a\tb\\c\nd\r");
    request.informativeText = QStringLiteral("Größe");
    request.buttons = QMessageBox::Yes | QMessageBox::No;
    request.defaultButton = QMessageBox::No;
    QCOMPARE(Seams::showMessage(request), QMessageBox::No);
    QCOMPARE(Seams::information("Titel", "Zeile 1\nZeile 2"), QMessageBox::Ok);

    QCOMPARE(logLines(log), QStringList({
        QStringLiteral("Question\tFrage\ta\\tb\\\\c\\nd\\r\tGröße\tYes|No\tNo"),
        QStringLiteral("Information\tTitel\tZeile 1\\nZeile 2\t\tOk\tOk"),
    }));
}

void TestStartup::openDatabaseCreatesSchemaAndIndex()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("db/velmaro.db");
    MessageRecorder boxes;
    QCOMPARE(Startup::openDatabase(path), Startup::DatabaseStatus::Ready);
    QCOMPARE(boxes.titles(), QStringList{"Initialisierung..."});
    QVERIFY(QSqlDatabase::database().isOpen());
    QCOMPARE(QSqlDatabase::database().databaseName(), path);
    QCOMPARE(indexColumns(path), QStringList({"regatta_id", "ship_id", "tstamp"}));
}

void TestStartup::openDatabaseAddsIndexToExistingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("velmaro.db");
    QVERIFY(SchemaFixture::write(path, SchemaFixture::statements("7")));
    const QStringList before = SchemaFixture::dump(path);
    QVERIFY(!SchemaFixture::hasIndex(path, "track_regatta_ship_tstamp"));
    MessageRecorder boxes;
    QCOMPARE(Startup::openDatabase(path), Startup::DatabaseStatus::Ready);
    QCOMPARE(boxes.count(), 0);
    QVERIFY(SchemaFixture::hasIndex(path, "track_regatta_ship_tstamp"));
    QCOMPARE(SchemaFixture::dump(path), before);
}

void TestStartup::openDatabaseRefusesNonDatabase()
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
    QCOMPARE(box.title, QStringLiteral("Cannot open database"));
    QCOMPARE(box.text, Database::cannotOpenText(path));
    QVERIFY(box.text.startsWith(
        QStringLiteral("Unable to establish a database connection to ") + path + '\n'));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
    QCOMPARE(readBytes(path), text);
    QVERIFY(!QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection)));
}

void TestStartup::openDatabaseReportsInterruptedMigration()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("velmaro.db");
    QVERIFY(SchemaFixture::write(path, SchemaFixture::statements("5")));
    const QStringList before = SchemaFixture::dump(path);
    MessageRecorder boxes;
    int seen = 0;
    QCOMPARE(Startup::openDatabase(path, [&](const QString &) { return ++seen < 3; }),
             Startup::DatabaseStatus::CannotOpen);
    QCOMPARE(boxes.titles().last(), QStringLiteral("Cannot open database"));
    QCOMPARE(SchemaFixture::dump(path), before);
}

void TestStartup::programEndsWithStatus1OnTextFile()
{
    Program program;
    const QByteArray text("loadmaps=1\nautoload=1\n");
    QVERIFY(writeBytes(program.databasePath(), text));
    QVERIFY(program.start());
    QVERIFY(program.process().waitForFinished(30000));
    QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.process().exitCode(), 1);
    QCOMPARE(logLines(program.logPath()),
             QStringList{expectedCannotOpenLine(program.databasePath())});
    QCOMPARE(readBytes(program.databasePath()), text);
    QCOMPARE(QDir(QFileInfo(program.databasePath()).path()).entryList(QDir::Files),
             QStringList{"velmaro.db"});
}

void TestStartup::programEndsWithStatus1WhenFolderCannotBeCreated()
{
    Program program;
    const QString blocker = QDir(program.home()).filePath("blocker");
    QVERIFY(writeBytes(blocker, "a file where the data folder should go"));
    program.setEnv("XDG_DATA_HOME", QDir(blocker).filePath("data"));
    QVERIFY(program.start());
    QVERIFY(program.process().waitForFinished(30000));
    QCOMPARE(program.process().exitCode(), 1);
    QCOMPARE(logLines(program.logPath()),
             QStringList{expectedCannotOpenLine(QDir(blocker).filePath("data/Velmaro/velmaro.db"))});
}

void TestStartup::programCreatesDatabaseAndRuns()
{
    Program program;
    const QString path = program.databasePath();
    QVERIFY(program.start());
    // The index is the last thing start-up writes before the window.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path)
                                 && SchemaFixture::hasIndex(path, "track_regatta_ship_tstamp"),
                             30000);
    QCOMPARE(program.process().state(), QProcess::Running);
    QCOMPARE(logLines(program.logPath()),
             QStringList{"Information\tInitialisierung...\tDie Datenbank wird in der Version 7 "
                         "neu angelegt.\\n\\n\t\tOk\tOk"});
    QCOMPARE(SchemaFixture::scalar(path, "SELECT version FROM version").toInt(), 7);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
