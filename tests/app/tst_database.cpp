#include "messagerecorder.h"
#include "schemafixture.h"
#include "store/database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <memory>

using Database::SchemaResult;
using namespace Qt::StringLiterals;

namespace
{

const QStringList allTables = {"prefs", "regatta", "ship", "track", "version"};

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

// "table: columns" of every table in the file, or of the newest schema. A
// migration adds columns at the end, so its order is compared sorted.
QStringList schemaOf(const QString &path, bool sortColumns = true)
{
    QStringList result;
    for (const QString &table : SchemaFixture::tables(path)) {
        QStringList columns = SchemaFixture::columns(path, table);
        if (sortColumns)
            columns.sort();
        result << table + u": "_s + columns.join(u", "_s);
    }
    return result;
}

QStringList newestSchema(bool sortColumns = true)
{
    QStringList result;
    for (const QString &table : allTables) {
        QStringList columns = SchemaFixture::expectedColumns(table);
        if (sortColumns)
            columns.sort();
        result << table + u": "_s + columns.join(u", "_s);
    }
    return result;
}

QString prefsOf(const QString &path)
{
    return SchemaFixture::scalar(path, "SELECT loadmaps || '|' || autoload || '|' || "
                                       "loadinterval || '|' || lookforupdate FROM prefs")
        .toString();
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
    const Database::OpenResult opened = Database::open(qEnvironmentVariable("VELMARO_CRASH_DB"));
    if (!opened.ok)
        return 2;
    const int crashAt = qEnvironmentVariableIntValue("VELMARO_CRASH_AT");
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
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;

    // A file of the given kind (see SchemaFixture::statements) at m_path.
    void writeKind(const QString &kind, const QStringList &more = {})
    {
        QVERIFY(SchemaFixture::write(m_path, SchemaFixture::statements(kind) + more));
    }

private slots:
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
        QVERIFY2(opened.ok, qPrintable(opened.error));
        QVERIFY(!opened.existed);
        QCOMPARE(Database::ensureSchema(opened.existed), SchemaResult::Created);

        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.boxes().at(0).icon, QMessageBox::Information);
        QCOMPARE(boxes.titles(), QStringList{u"Initialisierung..."_s});
        QCOMPARE(boxes.texts(),
                 QStringList{u"Die Datenbank wird in der Version 7 neu angelegt.\n\n"_s});
        QCOMPARE(boxes.boxes().at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

        QCOMPARE(schemaOf(path, false), newestSchema(false));
        // The declarations word for word, as later versions of the program will read them.
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
                "version row: 0|7",
            }));
        QCOMPARE(SchemaFixture::scalar(path, "SELECT typeof(version) FROM version"), u"integer"_s);

        boxes.clear();
        QCOMPARE(Database::ensureSchema(true), SchemaResult::Current);
        QCOMPARE(boxes.count(), 0);
    }

    void migratesOlderFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("boxCount");
        QTest::addColumn<int>("fromVersion");
        QTest::addColumn<int>("finalVersion");
        QTest::addColumn<QString>("prefs");          // loadmaps|autoload|loadinterval|lookforupdate
        QTest::addColumn<QString>("completeTracks"); // race 1
        QTest::addColumn<QString>("lastget");        // boat 501

        const QString fresh = u"1|1|5|1"_s;
        const QString kept6 = u"0|0|10|0"_s;
        const QString got = u"1270460000"_s;
        QTest::newRow("version 1") << "1" << 6 << 1 << 7 << fresh << "0"
                                   << "0";
        QTest::newRow("no version row") << "noVersionRow" << 6 << 0 << 7 << fresh << "0"
                                        << "0";
        QTest::newRow("no version table") << "noVersionTable" << 6 << 0 << 7 << fresh << "0"
                                          << "0";
        QTest::newRow("version 5") << "5" << 2 << 5 << 7 << "0|0|10|1"
                                   << "0" << got;
        QTest::newRow("version 6") << "6" << 1 << 6 << 7 << kept6 << "1" << got;
        QTest::newRow("version 7") << "7" << 0 << 0 << 7 << kept6 << "1" << got;
        QTest::newRow("version 9 stays") << "9" << 0 << 0 << 9 << kept6 << "1" << got;
    }
    void migratesOlderFiles()
    {
        QFETCH(QString, kind);
        QFETCH(int, boxCount);
        QFETCH(int, fromVersion);
        QFETCH(int, finalVersion);
        writeKind(kind);
        MessageRecorder boxes;
        int statements = 0;
        const Database::OpenResult opened = Database::open(m_path);
        QVERIFY(opened.ok && opened.existed);
        const SchemaResult result =
            Database::ensureSchema(true, [&](const QString &) { return ++statements > 0; });
        QCOMPARE(result, boxCount > 0 ? SchemaResult::Migrated : SchemaResult::Current);
        if (boxCount == 0)
            QCOMPARE(statements, 0);
        QCOMPARE(boxes.count(), boxCount);
        for (const auto &box : boxes.boxes()) {
            QCOMPARE(box.title, u"Update..."_s);
            QCOMPARE(box.text, u"Die Datenbank wird von Version %1 auf die neueste Version 7 "
                               "aktualisiert.\n\n"_s.arg(fromVersion));
            QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        }

        QCOMPARE(Database::storedVersion(), finalVersion);
        QCOMPARE(schemaOf(m_path), newestSchema());
        QTEST(prefsOf(m_path), "prefs");
        QCOMPARE(SchemaFixture::scalar(m_path, "SELECT count(*) FROM prefs").toInt(), 1);
        QTEST(SchemaFixture::scalar(m_path, "SELECT showcompletetracks FROM regatta WHERE id=1")
                  .toString(),
              "completeTracks");
        QCOMPARE(SchemaFixture::scalar(m_path, "SELECT von || '-' || bis FROM regatta WHERE id=2"),
                 u"1302905280-1303509600"_s);
        QTEST(SchemaFixture::scalar(m_path, "SELECT lastget FROM ship WHERE id=501").toString(),
              "lastget");
        QCOMPARE(SchemaFixture::scalar(m_path, "SELECT show FROM ship WHERE id=501"), u"true"_s);
        QCOMPARE(SchemaFixture::scalar(m_path, "SELECT count(*) FROM track").toInt(), 2);

        // Done once: the next start neither asks nor changes anything.
        const QStringList after = SchemaFixture::dump(m_path);
        boxes.clear();
        QCOMPARE(Database::ensureSchema(true), SchemaResult::Current);
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(SchemaFixture::dump(m_path), after);
    }

    void interruptedMigrationLeavesOldVersion_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("abortAt"); // negative: counted from the end
        QTest::newRow("version 1, first statement") << "1" << 0;
        QTest::newRow("version 1, half-way") << "1" << 12;
        QTest::newRow("version 1, last version update") << "1" << -1;
        QTest::newRow("no version row, version row insert") << "noVersionRow" << -1;
        QTest::newRow("version 5, second step") << "5" << 5;
    }
    void interruptedMigrationLeavesOldVersion()
    {
        QFETCH(QString, kind);
        QFETCH(int, abortAt);
        // Count the statements on a copy first.
        writeKind(kind);
        const QString copy = m_dir->filePath(u"copy.db"_s);
        QVERIFY(QFile::copy(m_path, copy));
        MessageRecorder boxes;
        int total = 0;
        QVERIFY(Database::open(copy).ok);
        QCOMPARE(Database::ensureSchema(true, [&](const QString &) { return ++total > 0; }),
                 SchemaResult::Migrated);
        Database::close();
        const int index = abortAt >= 0 ? abortAt : total + abortAt;
        QVERIFY(index < total);

        const QStringList before = SchemaFixture::dump(m_path);
        QVERIFY(Database::open(m_path).ok);
        int seen = 0;
        QCOMPARE(Database::ensureSchema(true, abortBefore(index, &seen)), SchemaResult::Failed);
        QCOMPARE(seen, index + 1);
        Database::close();
        QCOMPARE(SchemaFixture::dump(m_path), before);

        // The next start runs the whole migration again.
        boxes.clear();
        QVERIFY(Database::open(m_path).ok);
        QCOMPARE(Database::ensureSchema(true), SchemaResult::Migrated);
        QVERIFY(boxes.count() > 0);
        Database::close();
        QCOMPARE(SchemaFixture::dump(m_path), SchemaFixture::dump(copy));
    }

    void crashInTheMiddleLeavesFileAsItWas_data()
    {
        QTest::addColumn<QString>("kind"); // empty: no file yet
        QTest::addColumn<int>("crashAt");
        QTest::newRow("migration from version 1") << "1" << 10;
        QTest::newRow("migration from version 5") << "5" << 5;
        QTest::newRow("creation") << QString() << 7;
    }
    void crashInTheMiddleLeavesFileAsItWas()
    {
        QFETCH(QString, kind);
        QFETCH(int, crashAt);
        if (!kind.isEmpty())
            writeKind(kind);
        const QStringList before = SchemaFixture::dump(m_path);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"VELMARO_CRASH_DB"_s, m_path);
        env.insert(u"VELMARO_CRASH_AT"_s, QString::number(crashAt));
        env.insert(u"VELMARO_MESSAGEBOX_LOG"_s, m_dir->filePath(u"boxes.log"_s));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 3);
        QVERIFY(!readBytes(m_dir->filePath(u"boxes.log"_s)).isEmpty());

        QCOMPARE(SchemaFixture::dump(m_path), before);
        MessageRecorder boxes;
        const Database::OpenResult opened = Database::open(m_path);
        QVERIFY(opened.ok);
        QVERIFY(Database::ensureSchema(opened.existed) != SchemaResult::Failed);
        QCOMPARE(Database::storedVersion(), 7);
        QCOMPARE(schemaOf(m_path), newestSchema());
    }

    void notADatabaseIsLeftUntouched_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text") << QByteArray("Velmaro settings\nloadmaps=1\n");
        QTest::newRow("one byte") << QByteArray("x");
        QTest::newRow("header then garbage")
            << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\xff');
        QByteArray binary;
        for (int i = 0; i < 8192; ++i)
            binary.append(char((i * 7919 + 13) & 0xff));
        QTest::newRow("binary") << binary;
    }
    void notADatabaseIsLeftUntouched()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(writeBytes(m_path, bytes));
        const Database::OpenResult opened = Database::open(m_path);
        QVERIFY(!opened.ok);
        QVERIFY(!opened.error.isEmpty());
        QVERIFY(!QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection)));
        QCOMPARE(readBytes(m_path), bytes);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"velmaro.db"});
    }

    void unusablePlaces()
    {
        // A folder where the file should be.
        QVERIFY(QDir(m_dir->path()).mkpath(u"folder/velmaro.db"_s));
        QVERIFY(!Database::open(m_dir->filePath(u"folder/velmaro.db"_s)).ok);
        // A folder that cannot be created because a file is in the way.
        QVERIFY(writeBytes(m_dir->filePath(u"blocker"_s), "file"));
        QVERIFY(!Database::open(m_dir->filePath(u"blocker/Velmaro/velmaro.db"_s)).ok);
        QCOMPARE(readBytes(m_dir->filePath(u"blocker"_s)), QByteArray("file"));

        // A folder that cannot be written, with a database in it.
        const QString locked = m_dir->filePath(u"locked"_s);
        QVERIFY(QDir().mkpath(locked));
        const QString lockedFile = QDir(locked).filePath(u"velmaro.db"_s);
        QVERIFY(SchemaFixture::write(lockedFile, SchemaFixture::statements(u"5"_s)));
        const QByteArray lockedBytes = readBytes(lockedFile);
        const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        if (QFileInfo(locked).isWritable()) {
            QFile::setPermissions(locked, all);
            QSKIP("running as root: permissions do not stop writes");
        }
        QVERIFY(!Database::open(lockedFile).ok);
        QVERIFY(!Database::open(QDir(locked).filePath(u"new.db"_s)).ok);
        QFile::setPermissions(locked, all);
        QCOMPARE(readBytes(lockedFile), lockedBytes);
        // A read-only file.
        QFile::setPermissions(lockedFile, QFile::ReadOwner);
        QVERIFY(!Database::open(lockedFile).ok);
        QCOMPARE(readBytes(lockedFile), lockedBytes);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VELMARO_CRASH_DB"))
        return crashChild();
    TestSchema test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_database.moc"
