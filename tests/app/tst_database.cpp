#include "database.h"
#include "messagerecorder.h"
#include "schemafixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

using Database::SchemaResult;

namespace {

const QStringList allTables = {"prefs", "regatta", "ship", "track", "version"};

QString fileOf(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("velmaro.db"));
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// Aborts at the statement with the given index (counting from 0).
Database::StatementHook abortBefore(int index, int *seen)
{
    *seen = 0;
    return [index, seen](const QString &) { return (*seen)++ != index; };
}

// Child mode: runs the schema work on VELMARO_CRASH_DB and dies without any
// clean-up just before statement VELMARO_CRASH_AT, like a killed process.
int crashChild()
{
    const QString path = qEnvironmentVariable("VELMARO_CRASH_DB");
    const int crashAt = qEnvironmentVariableIntValue("VELMARO_CRASH_AT");
    const Database::OpenResult opened = Database::open(path);
    if (!opened.ok)
        return 2;
    int seen = 0;
    Database::ensureSchema(opened.existed, [&](const QString &) {
        if (seen++ == crashAt)
            std::_Exit(3);
        return true;
    });
    return 0;
}

} // namespace

class TestSchema : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { Database::close(); }

    void newFileGetsNewestSchema();
    void migratesOlderFiles_data();
    void migratesOlderFiles();
    void statementAlreadyAppliedIsSkipped_data();
    void statementAlreadyAppliedIsSkipped();
    void failedStatementKeepsTransactionOpen();
    void interruptedMigrationLeavesOldVersion_data();
    void interruptedMigrationLeavesOldVersion();
    void interruptedCreationRunsAgain();
    void crashInTheMiddleLeavesFileAsItWas_data();
    void crashInTheMiddleLeavesFileAsItWas();
    void notADatabaseIsLeftUntouched_data();
    void notADatabaseIsLeftUntouched();
    void unusablePlaces();
    void unwritablePlaces();
    void emptyFileIsCreatedAfresh();
};

void TestSchema::newFileGetsNewestSchema()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/folder/velmaro.db"));
    MessageRecorder boxes;

    const Database::OpenResult opened = Database::open(path);
    QVERIFY2(opened.ok, qPrintable(opened.error));
    QVERIFY(!opened.existed);
    QCOMPARE(Database::ensureSchema(opened.existed), SchemaResult::Created);

    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.boxes().at(0).icon, QMessageBox::Information);
    QCOMPARE(boxes.boxes().at(0).title, QStringLiteral("Initialisierung..."));
    QCOMPARE(boxes.boxes().at(0).text,
             QStringLiteral("Die Datenbank wird in der Version 7 neu angelegt.\n\n"));
    QCOMPARE(boxes.boxes().at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    QCOMPARE(SchemaFixture::tables(path), allTables);
    for (const QString &table : allTables)
        QCOMPARE(SchemaFixture::columns(path, table), SchemaFixture::expectedColumns(table));
    // The declarations word for word, as later versions of the program will read them.
    QCOMPARE(SchemaFixture::scalar(path, "SELECT sql FROM sqlite_master WHERE name='prefs'")
                 .toString(),
             QStringLiteral("CREATE TABLE prefs (id INTEGER primary key, loadmaps int, "
                            "autoload int, loadinterval int, lookforupdate int)"));
    QCOMPARE(SchemaFixture::scalar(path, "SELECT sql FROM sqlite_master WHERE name='ship'")
                 .toString(),
             QStringLiteral("CREATE TABLE ship (id INTEGER primary key,regatta_id int, "
                            "name varchar(100), skipper varchar(100), team varchar(100), "
                            "klasse varchar(100), startnr varchar(100), farbe varchar(7), "
                            "lastget int, show boolean, follow boolean)"));
    const QStringList rows = SchemaFixture::dump(path).filter(QStringLiteral(" row: "));
    QCOMPARE(rows, QStringList({
        "prefs row: 1|1|1|5|1",
        "regatta row: 1|10|88|Dorur Izadidiva Dazidevire 2010|1270458000|1270764000|0",
        "regatta row: 2|21|120|Vudav Avazavava Zerevudeva 2011|1302905280|1303509600|0",
        "version row: 0|7",
    }));
    QCOMPARE(SchemaFixture::scalar(path, "SELECT typeof(version) FROM version").toString(),
             QStringLiteral("integer"));
    QCOMPARE(Database::storedVersion(), 7);

    boxes.clear();
    QCOMPARE(Database::ensureSchema(true), SchemaResult::Current);
    QCOMPARE(boxes.count(), 0);
}

void TestSchema::migratesOlderFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("boxCount");
    QTest::addColumn<int>("fromVersion");
    QTest::addColumn<int>("finalVersion");
    QTest::addColumn<QString>("prefs");       // loadmaps|autoload|loadinterval|lookforupdate
    QTest::addColumn<QString>("completeTracks"); // race 1
    QTest::addColumn<QString>("lastget");     // boat 501

    const QString fresh = QStringLiteral("1|1|5|1");
    const QString kept5 = QStringLiteral("0|0|10|1");
    const QString kept6 = QStringLiteral("0|0|10|0");
    QTest::newRow("version 1") << "1" << 6 << 1 << 7 << fresh << "0" << "0";
    QTest::newRow("no version row") << "noVersionRow" << 6 << 0 << 7 << fresh << "0" << "0";
    QTest::newRow("no version table") << "noVersionTable" << 6 << 0 << 7 << fresh << "0" << "0";
    QTest::newRow("version 5") << "5" << 2 << 5 << 7 << kept5 << "0" << "1270460000";
    QTest::newRow("version 6") << "6" << 1 << 6 << 7 << kept6 << "1" << "1270460000";
    QTest::newRow("version 7") << "7" << 0 << 0 << 7 << kept6 << "1" << "1270460000";
    QTest::newRow("version 9 stays") << "9" << 0 << 0 << 9 << kept6 << "1" << "1270460000";
}

void TestSchema::migratesOlderFiles()
{
    QFETCH(QString, kind);
    QFETCH(int, boxCount);
    QFETCH(int, fromVersion);
    QFETCH(int, finalVersion);
    QFETCH(QString, prefs);
    QFETCH(QString, completeTracks);
    QFETCH(QString, lastget);

    QTemporaryDir dir;
    const QString path = fileOf(dir);
    QVERIFY(SchemaFixture::write(path, SchemaFixture::statements(kind)));
    MessageRecorder boxes;
    int statements = 0;

    const Database::OpenResult opened = Database::open(path);
    QVERIFY(opened.ok && opened.existed);
    const SchemaResult result = Database::ensureSchema(true, [&](const QString &) {
        ++statements;
        return true;
    });
    QCOMPARE(result, boxCount > 0 ? SchemaResult::Migrated : SchemaResult::Current);
    if (boxCount == 0)
        QCOMPARE(statements, 0);

    QCOMPARE(boxes.count(), boxCount);
    const QString text = QStringLiteral(
        "Die Datenbank wird von Version %1 auf die neueste Version 7 aktualisiert.\n\n")
                             .arg(fromVersion);
    for (const auto &box : boxes.boxes()) {
        QCOMPARE(box.title, QStringLiteral("Update..."));
        QCOMPARE(box.text, text);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    QCOMPARE(Database::storedVersion(), finalVersion);
    QCOMPARE(SchemaFixture::tables(path), allTables);
    for (const QString &table : allTables) {
        QCOMPARE(sorted(SchemaFixture::columns(path, table)),
                 sorted(SchemaFixture::expectedColumns(table)));
    }
    QCOMPARE(SchemaFixture::scalar(path, "SELECT loadmaps || '|' || autoload || '|' || "
                                         "loadinterval || '|' || lookforupdate FROM prefs")
                 .toString(),
             prefs);
    QCOMPARE(SchemaFixture::scalar(path, "SELECT count(*) FROM prefs").toInt(), 1);
    QCOMPARE(SchemaFixture::scalar(path, "SELECT showcompletetracks FROM regatta WHERE id=1")
                 .toString(),
             completeTracks);
    QCOMPARE(SchemaFixture::scalar(path, "SELECT von || '-' || bis FROM regatta WHERE id=2")
                 .toString(),
             QStringLiteral("1302905280-1303509600"));
    QCOMPARE(SchemaFixture::scalar(path, "SELECT lastget FROM ship WHERE id=501").toString(),
             lastget);
    QCOMPARE(SchemaFixture::scalar(path, "SELECT show FROM ship WHERE id=501").toString(),
             QStringLiteral("true"));
    QCOMPARE(SchemaFixture::scalar(path, "SELECT count(*) FROM track").toInt(), 2);

    // Done once: the next start neither asks nor changes anything.
    const QStringList after = SchemaFixture::dump(path);
    boxes.clear();
    QCOMPARE(Database::ensureSchema(true), SchemaResult::Current);
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(SchemaFixture::dump(path), after);
}

void TestSchema::statementAlreadyAppliedIsSkipped_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("already");
    QTest::addColumn<QString>("prefs");

    QTest::newRow("column lookforupdate exists")
        << "5" << QStringList{"alter table prefs add column lookforupdate int"} << "0|0|10|1";
    QTest::newRow("von and bis exist at version 1")
        << "1"
        << QStringList{"alter table regatta add column von int",
                       "alter table regatta add column bis int"}
        << "1|1|5|1";
    QTest::newRow("prefs table and row exist at version 2")
        << "2"
        << QStringList{"create table prefs (id INTEGER primary key, loadmaps int)",
                       "insert into prefs (id, loadmaps) values (1, 0)"}
        << "0|1|5|1";
}

void TestSchema::statementAlreadyAppliedIsSkipped()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, already);
    QFETCH(QString, prefs);

    QTemporaryDir dir;
    const QString path = fileOf(dir);
    QVERIFY(SchemaFixture::write(path, SchemaFixture::statements(kind) + already));
    MessageRecorder boxes;
    QVERIFY(Database::open(path).ok);

    QCOMPARE(Database::ensureSchema(true), SchemaResult::Migrated);
    QCOMPARE(Database::storedVersion(), 7);
    for (const QString &table : allTables) {
        QCOMPARE(sorted(SchemaFixture::columns(path, table)),
                 sorted(SchemaFixture::expectedColumns(table)));
    }
    QCOMPARE(SchemaFixture::scalar(path, "SELECT loadmaps || '|' || autoload || '|' || "
                                         "loadinterval || '|' || lookforupdate FROM prefs")
                 .toString(),
             prefs);
    QCOMPARE(SchemaFixture::scalar(path, "SELECT count(*) FROM regatta WHERE "
                                         "showcompletetracks=0").toInt(), 2);
}

void TestSchema::failedStatementKeepsTransactionOpen()
{
    // The failing "alter table prefs" comes first; the later abort must still
    // undo the update that ran after it.
    QTemporaryDir dir;
    const QString path = fileOf(dir);
    QVERIFY(SchemaFixture::write(path, SchemaFixture::statements("5")
                                           << "alter table prefs add column lookforupdate int"));
    const QStringList before = SchemaFixture::dump(path);
    MessageRecorder boxes;
    QVERIFY(Database::open(path).ok);

    QStringList ran;
    const SchemaResult result = Database::ensureSchema(true, [&](const QString &sql) {
        ran << sql;
        return !sql.contains(QLatin1String("showcompletetracks int"));
    });
    QCOMPARE(result, SchemaResult::Failed);
    QVERIFY(ran.contains(QStringLiteral("update prefs set lookforupdate=1 where id=1")));
    Database::close();
    QCOMPARE(SchemaFixture::dump(path), before);
}

void TestSchema::interruptedMigrationLeavesOldVersion_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("abortAt"); // negative: counted from the end

    QTest::newRow("version 1, first statement") << "1" << 0;
    QTest::newRow("version 1, half-way") << "1" << 12;
    QTest::newRow("version 1, last version update") << "1" << -1;
    QTest::newRow("no version row, version row insert") << "noVersionRow" << -1;
    QTest::newRow("version 5, second step") << "5" << 5;
}

void TestSchema::interruptedMigrationLeavesOldVersion()
{
    QFETCH(QString, kind);
    QFETCH(int, abortAt);

    // Count the statements on a copy first.
    QTemporaryDir dir;
    const QString path = fileOf(dir);
    const QString copy = dir.filePath(QStringLiteral("copy.db"));
    QVERIFY(SchemaFixture::write(path, SchemaFixture::statements(kind)));
    QVERIFY(QFile::copy(path, copy));
    MessageRecorder boxes;
    int total = 0;
    QVERIFY(Database::open(copy).ok);
    QCOMPARE(Database::ensureSchema(true, [&](const QString &) { return ++total > 0; }),
             SchemaResult::Migrated);
    Database::close();
    const int index = abortAt >= 0 ? abortAt : total + abortAt;
    QVERIFY(index < total);

    const QStringList before = SchemaFixture::dump(path);
    QVERIFY(Database::open(path).ok);
    int seen = 0;
    QCOMPARE(Database::ensureSchema(true, abortBefore(index, &seen)), SchemaResult::Failed);
    QCOMPARE(seen, index + 1);
    Database::close();
    QCOMPARE(SchemaFixture::dump(path), before);

    // The next start runs the whole migration again.
    boxes.clear();
    QVERIFY(Database::open(path).ok);
    QCOMPARE(Database::ensureSchema(true), SchemaResult::Migrated);
    QVERIFY(boxes.count() > 0);
    QCOMPARE(Database::storedVersion(), 7);
    Database::close();
    QCOMPARE(SchemaFixture::dump(path), SchemaFixture::dump(copy));
}

void TestSchema::interruptedCreationRunsAgain()
{
    QTemporaryDir dir;
    const QString path = fileOf(dir);
    MessageRecorder boxes;
    Database::OpenResult opened = Database::open(path);
    QVERIFY(opened.ok);
    int seen = 0;
    QCOMPARE(Database::ensureSchema(opened.existed, abortBefore(6, &seen)), SchemaResult::Failed);
    Database::close();
    QCOMPARE(SchemaFixture::tables(path), QStringList());

    boxes.clear();
    opened = Database::open(path);
    QVERIFY(opened.ok && opened.existed);
    QCOMPARE(Database::ensureSchema(opened.existed), SchemaResult::Created);
    QCOMPARE(boxes.titles(), QStringList{"Initialisierung..."});
    for (const QString &table : allTables)
        QCOMPARE(SchemaFixture::columns(path, table), SchemaFixture::expectedColumns(table));
}

void TestSchema::crashInTheMiddleLeavesFileAsItWas_data()
{
    QTest::addColumn<QString>("kind"); // empty: no file yet
    QTest::addColumn<int>("crashAt");
    QTest::newRow("migration from version 1") << "1" << 10;
    QTest::newRow("migration from version 5") << "5" << 5;
    QTest::newRow("creation") << QString() << 7;
}

void TestSchema::crashInTheMiddleLeavesFileAsItWas()
{
    QFETCH(QString, kind);
    QFETCH(int, crashAt);

    QTemporaryDir dir;
    const QString path = fileOf(dir);
    if (!kind.isEmpty())
        QVERIFY(SchemaFixture::write(path, SchemaFixture::statements(kind)));
    const QStringList before = SchemaFixture::dump(path);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMARO_CRASH_DB"), path);
    env.insert(QStringLiteral("VELMARO_CRASH_AT"), QString::number(crashAt));
    env.insert(QStringLiteral("VELMARO_MESSAGEBOX_LOG"), dir.filePath(QStringLiteral("boxes.log")));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 3);
    QVERIFY(!readBytes(dir.filePath(QStringLiteral("boxes.log"))).isEmpty());

    QCOMPARE(SchemaFixture::dump(path), before);
    MessageRecorder boxes;
    const Database::OpenResult opened = Database::open(path);
    QVERIFY(opened.ok);
    QVERIFY(Database::ensureSchema(opened.existed) != SchemaResult::Failed);
    QCOMPARE(Database::storedVersion(), 7);
    for (const QString &table : allTables) {
        QCOMPARE(sorted(SchemaFixture::columns(path, table)),
                 sorted(SchemaFixture::expectedColumns(table)));
    }
}

void TestSchema::notADatabaseIsLeftUntouched_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("text") << QByteArray("Velmaro settings\nloadmaps=1\n");
    QTest::newRow("one byte") << QByteArray("x");
    QTest::newRow("long text") << QByteArray("Regatta Kiel 2010;").repeated(1000);
    QByteArray header("SQLite format 3");
    header.append('\0');
    QTest::newRow("header then garbage") << header + QByteArray(4080, '\xff');
    QByteArray binary;
    for (int i = 0; i < 8192; ++i)
        binary.append(char((i * 7919 + 13) & 0xff));
    QTest::newRow("binary") << binary;
}

void TestSchema::notADatabaseIsLeftUntouched()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = fileOf(dir);
    QVERIFY(writeBytes(path, bytes));

    const Database::OpenResult opened = Database::open(path);
    QVERIFY(!opened.ok);
    QVERIFY(!opened.error.isEmpty());
    QVERIFY(!QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection)));
    QCOMPARE(readBytes(path), bytes);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"velmaro.db"});
}

void TestSchema::unusablePlaces()
{
    QTemporaryDir dir;
    // A folder where the file should be.
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder/velmaro.db")));
    QVERIFY(!Database::open(dir.filePath(QStringLiteral("folder/velmaro.db"))).ok);

    // A folder that cannot be created because a file is in the way.
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("blocker")), "file"));
    QVERIFY(!Database::open(dir.filePath(QStringLiteral("blocker/Velmaro/velmaro.db"))).ok);
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("blocker"))), QByteArray("file"));
}

void TestSchema::unwritablePlaces()
{
    QTemporaryDir dir;
    // A folder that cannot be written, with a database in it.
    const QString locked = dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(locked));
    const QString lockedFile = QDir(locked).filePath(QStringLiteral("velmaro.db"));
    QVERIFY(SchemaFixture::write(lockedFile, SchemaFixture::statements("5")));
    const QByteArray lockedBytes = readBytes(lockedFile);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(locked).isWritable()) {
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSKIP("running as root: permissions do not stop writes");
    }
    QVERIFY(!Database::open(lockedFile).ok);
    QVERIFY(!Database::open(QDir(locked).filePath(QStringLiteral("new.db"))).ok);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(readBytes(lockedFile), lockedBytes);

    // A read-only file.
    QFile::setPermissions(lockedFile, QFile::ReadOwner);
    QVERIFY(!Database::open(lockedFile).ok);
    QCOMPARE(readBytes(lockedFile), lockedBytes);
}

void TestSchema::emptyFileIsCreatedAfresh()
{
    QTemporaryDir dir;
    const QString path = fileOf(dir);
    QVERIFY(writeBytes(path, QByteArray()));
    MessageRecorder boxes;
    const Database::OpenResult opened = Database::open(path);
    QVERIFY(opened.ok && opened.existed);
    QCOMPARE(Database::ensureSchema(opened.existed), SchemaResult::Created);
    QCOMPARE(boxes.titles(), QStringList{"Initialisierung..."});
    QCOMPARE(Database::storedVersion(), 7);
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("VELMARO_CRASH_DB")) {
        QCoreApplication app(argc, argv);
        return crashChild();
    }
    QCoreApplication app(argc, argv);
    TestSchema test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_database.moc"
