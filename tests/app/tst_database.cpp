#include "childprogram.h"
#include "messagerecorder.h"
#include "store/database.h"
#include "testdatabase.h"

#include <QtTest>

#include <cstdlib>

using Database::SchemaResult;
using namespace Qt::StringLiterals;

class TestSchema : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    QStringList m_newest; // tables and columns of a new file

    // Counts the statements of the schema work; false stops it before statement abortAt.
    static Database::StatementHook counter(int *seen, int abortAt = -1)
    {
        *seen = 0;
        return [seen, abortAt](const QString &) { return (*seen)++ != abortAt; };
    }

private slots:
    void initTestCase()
    {
        QTemporaryDir dir;
        MessageRecorder boxes;
        QVERIFY(Database::open(dir.filePath("new.db")).ok);
        QCOMPARE(Database::ensureSchema(false), SchemaResult::Created);
        Database::close();
        m_newest = SchemaFixture::dump(dir.filePath("new.db"), false);
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(u"velmaro.db"_s);
    }
    void cleanup() { Database::close(); }

    void newFileGetsNewestSchema()
    {
        const QString path = m_dir->filePath(u"sub/folder/velmaro.db"_s);
        MessageRecorder boxes;
        const Database::OpenResult opened = Database::open(path);
        QVERIFY2(opened.ok && !opened.existed, qPrintable(opened.error));
        QCOMPARE(Database::ensureSchema(opened.existed), SchemaResult::Created);
        QCOMPARE(boxes.count(), 1);
        const Seams::MessageBoxRequest &box = boxes.boxes().at(0);
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.title + box.text,
                 u"Initialisierung...Die Datenbank wird in der Version 9 neu angelegt.\n\n"_s);
        // Declarations and first rows word for word, as later versions will read them.
        QCOMPARE(SchemaFixture::scalar(path, "SELECT sql FROM sqlite_master WHERE name='prefs'"),
                 u"CREATE TABLE prefs (id INTEGER primary key, loadmaps int, autoload int, "
                 "loadinterval int, lookforupdate int)"_s);
        QCOMPARE(SchemaFixture::scalar(path, "SELECT sql FROM sqlite_master WHERE name='ship'"),
                 u"CREATE TABLE ship (id INTEGER primary key,regatta_id int, name varchar(100), "
                 "skipper varchar(100), team varchar(100), klasse varchar(100), startnr "
                 "varchar(100), farbe varchar(7), lastget int, show boolean, follow boolean)"_s);
        QCOMPARE(
            SchemaFixture::dump(path).filter(u" row: "_s),
            QStringList({
                "prefs row: 1|1|1|5|1",
                "regatta row: 1|10|88|Dorur Izadidiva Dazidevire 2010|1270458000|1270764000|0",
                "regatta row: 2|21|120|Vudav Avazavava Zerevudeva 2011|1302905280|1303509600|0",
                "version row: 0|9",
            }));
        QCOMPARE(SchemaFixture::scalar(path, "SELECT typeof(version) FROM version"), u"integer"_s);
    }

    void migratesOlderFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("boxCount");
        QTest::addColumn<int>("fromVersion");
        QTest::addColumn<int>("finalVersion");
        QTest::addColumn<QString>("kept"); // prefs, complete tracks of race 1, lastget of boat 501
        QTest::newRow("version 1") << "1" << 8 << 1 << 9 << "1|1|5|1 0 0";
        QTest::newRow("no version row") << "noVersionRow" << 8 << 0 << 9 << "1|1|5|1 0 0";
        QTest::newRow("no version table") << "noVersionTable" << 8 << 0 << 9 << "1|1|5|1 0 0";
        QTest::newRow("version 5") << "5" << 4 << 5 << 9 << "0|0|10|1 0 1270460000";
        QTest::newRow("version 6") << "6" << 3 << 6 << 9 << "0|0|10|0 1 1270460000";
        QTest::newRow("version 7") << "7" << 2 << 7 << 9 << "0|0|10|0 1 1270460000";
        QTest::newRow("version 8") << "8" << 1 << 8 << 9 << "0|0|10|0 1 1270460000";
        QTest::newRow("version 9") << "9" << 0 << 0 << 9 << "0|0|10|0 1 1270460000";
        QTest::newRow("version 10 stays") << "10" << 0 << 0 << 10 << "0|0|10|0 1 1270460000";
    }
    void migratesOlderFiles()
    {
        QFETCH(QString, kind);
        QFETCH(int, boxCount);
        QFETCH(int, fromVersion);
        QVERIFY(SchemaFixture::write(m_path, schemaStatements(kind, {0, 0, 10, 0}, true)));
        MessageRecorder boxes;
        int statements = 0;
        const Database::OpenResult opened = Database::open(m_path);
        QVERIFY(opened.ok && opened.existed);
        QCOMPARE(Database::ensureSchema(true, counter(&statements)),
                 boxCount > 0 ? SchemaResult::Migrated : SchemaResult::Current);
        QCOMPARE(statements > 0, boxCount > 0);
        QCOMPARE(boxes.count(), boxCount);
        for (const auto &box : boxes.boxes())
            QCOMPARE(box.title + box.text,
                     u"Update...Die Datenbank wird von Version %1 auf die "
                     "neueste Version 9 aktualisiert.\n\n"_s.arg(fromVersion));
        QTEST(Database::storedVersion(), "finalVersion");
        QCOMPARE(SchemaFixture::dump(m_path, false), m_newest);
        QTEST(SchemaFixture::scalar(m_path,
                                    "SELECT loadmaps || '|' || autoload || '|' || loadinterval || "
                                    "'|' || lookforupdate || (SELECT ' ' || showcompletetracks "
                                    "FROM regatta WHERE id=1) || (SELECT ' ' || lastget || show "
                                    "|| count(*) FROM ship, track WHERE ship.id=501) FROM prefs")
                  .toString()
                  .remove("true2"),
              "kept");
        QCOMPARE(SchemaFixture::scalar(m_path, "SELECT (SELECT count(*) FROM prefs) || ' ' || von "
                                               "|| '-' || bis FROM regatta WHERE id=2"),
                 u"1 1302905280-1303509600"_s);
        // Done once: the next start neither asks nor changes anything.
        const QStringList after = SchemaFixture::dump(m_path);
        boxes.clear();
        QCOMPARE(Database::ensureSchema(true), SchemaResult::Current);
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(SchemaFixture::dump(m_path), after);
    }

    // Stopped anywhere, by a failed statement or a killed process, the schema
    // work leaves the file as it was, and the next start does it all.
    void stoppedSchemaWorkLeavesFileAsItWas_data()
    {
        QTest::addColumn<QString>("kind"); // empty: no file yet
        QTest::addColumn<int>("at");       // negative: counted from the end
        QTest::addColumn<bool>("crash");
        QTest::newRow("version 1, first statement") << "1" << 0 << false;
        QTest::newRow("version 1, half-way") << "1" << 12 << false;
        QTest::newRow("version 1, last version update") << "1" << -1 << false;
        QTest::newRow("no version row, version row insert") << "noVersionRow" << -1 << false;
        QTest::newRow("version 5, second step") << "5" << 5 << false;
        QTest::newRow("version 1, killed") << "1" << 10 << true;
        QTest::newRow("creation, killed") << QString() << 7 << true;
    }
    void stoppedSchemaWorkLeavesFileAsItWas()
    {
        QFETCH(QString, kind);
        QFETCH(int, at);
        QFETCH(bool, crash);
        if (!kind.isEmpty())
            QVERIFY(SchemaFixture::write(m_path, schemaStatements(kind, {0, 0, 10, 0}, true)));
        MessageRecorder boxes;
        if (at < 0) { // count the statements on a copy
            const QString copy = m_dir->filePath(u"copy.db"_s);
            QVERIFY(QFile::copy(m_path, copy));
            int total = 0;
            QVERIFY(Database::open(copy).ok);
            QCOMPARE(Database::ensureSchema(true, counter(&total)), SchemaResult::Migrated);
            Database::close();
            at += total;
        }
        const QStringList before = SchemaFixture::dump(m_path);
        if (crash) {
            ChildProgram child;
            child.setEnv("VELMARO_CRASH_DB", m_path);
            child.setEnv("VELMARO_CRASH_AT", QString::number(at));
            QVERIFY(child.start(QCoreApplication::applicationFilePath()));
            QVERIFY(child.process().waitForFinished(30000));
            QCOMPARE(child.process().exitCode(), 3);
        } else {
            int seen = 0;
            QVERIFY(Database::open(m_path).ok);
            QCOMPARE(Database::ensureSchema(true, counter(&seen, at)), SchemaResult::Failed);
            QCOMPARE(seen, at + 1);
            Database::close();
        }
        QCOMPARE(SchemaFixture::dump(m_path), before);
        const Database::OpenResult opened = Database::open(m_path);
        QVERIFY(opened.ok);
        QVERIFY(Database::ensureSchema(opened.existed) != SchemaResult::Failed);
        QCOMPARE(Database::storedVersion(), 9);
        QCOMPARE(SchemaFixture::dump(m_path, false), m_newest);
    }

    void unusableFilesLeftUntouched_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text") << QByteArray("Velmaro settings\nloadmaps=1\n");
        QTest::newRow("header then garbage")
            << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\xff');
    }
    void unusableFilesLeftUntouched()
    {
        QFETCH(QByteArray, bytes);
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.write(bytes) == bytes.size() &&
                file.flush());
        const Database::OpenResult opened = Database::open(m_path);
        QVERIFY(!opened.ok && !opened.error.isEmpty());
        QVERIFY(!QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection)));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"velmaro.db"});
        // A folder where the file should be; a file where a folder should be.
        QVERIFY(QDir(m_dir->path()).mkpath(u"folder/velmaro.db"_s));
        QVERIFY(!Database::open(m_dir->filePath(u"folder/velmaro.db"_s)).ok);
        QVERIFY(!Database::open(m_path + u"/Velmaro/velmaro.db"_s).ok);
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), bytes);
    }

    // The real program of the build on a bad data folder.
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
        for (const char *s : {"VELMARO_TRACKING_URL", "VELMARO_DOWNLOAD_URL", "VELMARO_TILE_URL"})
            program.setEnv(s, u"http://127.0.0.1:1"_s);
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

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Child mode: runs the schema work on VELMARO_CRASH_DB and dies without any
    // clean-up just before statement VELMARO_CRASH_AT, like a killed process.
    if (qEnvironmentVariableIsSet("VELMARO_CRASH_DB")) {
        const Database::OpenResult opened =
            Database::open(qEnvironmentVariable("VELMARO_CRASH_DB"));
        int seen = 0;
        const int crashAt = qEnvironmentVariableIntValue("VELMARO_CRASH_AT");
        if (opened.ok)
            Database::ensureSchema(opened.existed, [&](const QString &) {
                if (seen++ == crashAt)
                    std::_Exit(3);
                return true;
            });
        return 2;
    }
    TestSchema test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_database.moc"
