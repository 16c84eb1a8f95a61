#include "store/database.h"

#include "platform/paths.h"
#include "platform/seams.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <memory>

namespace
{

const QString versionPlaceholder = QStringLiteral(":version");

// 7 -> 8: the course marks of imported races and the moments kept per race.
QStringList marksAndMomentsStep()
{
    return {
        QStringLiteral("create table mark (id INTEGER primary key, event_id int, task_id int, "
                       "seq int, name varchar(100), lat_a numeric(9,6), lng_a numeric(9,6), "
                       "lat_b numeric(9,6), lng_b numeric(9,6))"),
        QStringLiteral("create table moment (id INTEGER primary key, event_id int, task_id int, "
                       "name varchar(100), tstamp int, ship_id int, lat numeric(9,6), "
                       "lng numeric(9,6), zoom int)"),
    };
}

// 8 -> 9: handicap ratings, one per boat of a race.
QStringList ratingsStep()
{
    return {
        QStringLiteral("create table rating (ship_id int, regatta_id int, system varchar(10), "
                       "value real, primary key (ship_id, regatta_id))"),
    };
}

// Statements of the step that starts at schema version `from` (1 to 8),
// without the closing version update.
QStringList stepStatements(int from)
{
    switch (from) {
    case 1:
        return {
            QStringLiteral("alter table regatta add column von int"),
            QStringLiteral("alter table regatta add column bis int"),
            QStringLiteral("update regatta set von=1270458000 where id=1"),
            QStringLiteral("update regatta set bis=1270764000 where id=1"),
            QStringLiteral("update regatta set von=1302905280 where id=2"),
            QStringLiteral("update regatta set bis=1303509600 where id=2"),
            QStringLiteral("alter table ship add column lastget int"),
            QStringLiteral("update ship set lastget=0"),
        };
    case 2:
        return {
            QStringLiteral("create table prefs (id INTEGER primary key, loadmaps int)"),
            QStringLiteral("insert into prefs (id, loadmaps) values (1, 1)"),
        };
    case 3:
        return {
            QStringLiteral("alter table prefs add column autoload int"),
            QStringLiteral("update prefs set autoload=1 where id=1"),
        };
    case 4:
        return {
            QStringLiteral("alter table prefs add column loadinterval int"),
            QStringLiteral("update prefs set loadinterval=5 where id=1"),
        };
    case 5:
        return {
            QStringLiteral("alter table prefs add column lookforupdate int"),
            QStringLiteral("update prefs set lookforupdate=1 where id=1"),
            QStringLiteral("alter table regatta add column showcompletetracks int"),
            QStringLiteral("update regatta set showcompletetracks=0"),
        };
    case 7:
        return marksAndMomentsStep();
    case 8:
        return ratingsStep();
    default: // 6 -> 7 changes no table
        return {};
    }
}

// SQLITE_ERROR (syntax, missing or duplicate table or column) and
// SQLITE_CONSTRAINT (a seed row that is already there) concern one statement
// only and leave the transaction open. Anything else (read-only, full disk,
// I/O, busy, corrupt) means the file cannot take the change.
bool isStatementLevelError(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    return ok && (code == 1 || code == 19);
}

// Runs the statements of a creation or migration inside the caller's
// transaction. Each statement gets a savepoint: a statement that fails at the
// SQL level is undone and skipped, and rolling back to its savepoint proves
// that SQLite kept the surrounding transaction open.
class SchemaWork
{
public:
    explicit SchemaWork(const Database::StatementHook &hook)
        : m_hook(hook), m_query(QSqlDatabase::database()), m_control(QSqlDatabase::database())
    {
    }

    bool exec(const QString &sql)
    {
        return run(sql, [this, &sql] { return m_query.exec(sql); });
    }

    // For the version statements: prepared, with :version bound to the newest version.
    bool execVersion(const QString &sql)
    {
        return run(sql, [this, &sql] {
            if (!m_query.prepare(sql))
                return false;
            m_query.bindValue(versionPlaceholder, Database::schemaVersion);
            return m_query.exec();
        });
    }

    bool execAll(const QStringList &statements)
    {
        for (const QString &sql : statements) {
            if (!exec(sql))
                return false;
        }
        return true;
    }

    bool versionRowExists()
    {
        const bool found = m_query.exec(QStringLiteral("SELECT version FROM version WHERE id=0")) &&
                           m_query.next();
        m_query.finish();
        return found;
    }

    QString error() const { return m_error; }

private:
    template <typename Statement> bool run(const QString &sql, Statement statement)
    {
        if (m_hook && !m_hook(sql))
            return fail(QStringLiteral("interrupted before: ") + sql);
        if (!m_control.exec(QStringLiteral("SAVEPOINT velmaro_statement")))
            return fail(m_control.lastError().text());
        if (statement()) {
            m_query.finish();
            if (!m_control.exec(QStringLiteral("RELEASE velmaro_statement")))
                return fail(m_control.lastError().text());
            return true;
        }
        const QSqlError error = m_query.lastError();
        m_query.finish();
        if (!isStatementLevelError(error))
            return fail(sql + QStringLiteral(": ") + error.text());
        if (!m_control.exec(QStringLiteral("ROLLBACK TO velmaro_statement")))
            return fail(QStringLiteral("transaction lost after: ") + sql);
        m_control.exec(QStringLiteral("RELEASE velmaro_statement"));
        qInfo().noquote() << "Database: skipped" << sql << "-" << error.databaseText();
        return true;
    }

    bool fail(const QString &why)
    {
        m_error = why;
        return false;
    }

    const Database::StatementHook &m_hook;
    QSqlQuery m_query;   // every schema statement
    QSqlQuery m_control; // savepoints only
    QString m_error;
};

// SQLite reads a one-byte file as an empty database and would overwrite it;
// anything not empty must start with the SQLite header.
bool hasDatabaseHeader(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    static const QByteArray header("SQLite format 3", 16); // with its NUL
    const QByteArray start = file.read(header.size());
    return start.isEmpty() || start == header;
}

bool execControl(const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database());
    if (query.exec(sql))
        return true;
    qWarning().noquote() << "Database:" << sql << "failed:" << query.lastError().text();
    return false;
}

int tableCount()
{
    QSqlQuery query(QSqlDatabase::database());
    if (query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table'")) &&
        query.next())
        return query.value(0).toInt();
    return 0;
}

Database::SchemaResult finish(bool ok, const SchemaWork &work, Database::SchemaResult success)
{
    if (ok && execControl(QStringLiteral("COMMIT")))
        return success;
    if (!ok)
        qWarning().noquote() << "Database: schema work rolled back:" << work.error();
    execControl(QStringLiteral("ROLLBACK"));
    return Database::SchemaResult::Failed;
}

Database::SchemaResult createSchema(const Database::StatementHook &hook)
{
    Seams::information(QCoreApplication::translate("Database", "Initialisierung..."),
                       QCoreApplication::translate(
                           "Database", "Die Datenbank wird in der Version %1 neu angelegt.\n\n")
                           .arg(Database::schemaVersion));

    if (!execControl(QStringLiteral("BEGIN IMMEDIATE")))
        return Database::SchemaResult::Failed;
    SchemaWork work(hook);
    bool ok =
        work.exec(QStringLiteral("create table version (id int primary key,version int)")) &&
        work.execVersion(
            QStringLiteral("INSERT INTO version (id, version) VALUES (0, :version)")) &&
        work.exec(QStringLiteral("create table regatta (id INTEGER primary key,event_id int, "
                                 "task_id int, name varchar(100), von int, bis int)")) &&
        work.exec(QStringLiteral("insert into regatta values(1, 10, 88, 'Dorur Izadidiva "
                                 "Dazidevire 2010', 1270458000, 1270764000)")) &&
        work.exec(QStringLiteral("insert into regatta values(2, 21,120, 'Vudav Avazavava "
                                 "Zerevudeva 2011', 1302905280, 1303509600)")) &&
        work.exec(QStringLiteral(
            "create table ship (id INTEGER primary key,regatta_id int, name varchar(100), "
            "skipper varchar(100), team varchar(100), klasse varchar(100), startnr varchar(100), "
            "farbe varchar(7), lastget int, show boolean, follow boolean)")) &&
        work.exec(QStringLiteral("create table track (id INTEGER PRIMARY KEY, ship_id INTEGER, "
                                 "regatta_id int, tstamp int, lat numeric(9,6), "
                                 "lng numeric(9,6))"));
    for (int from = 2; ok && from < Database::schemaVersion; ++from)
        ok = work.execAll(stepStatements(from));
    return finish(ok, work, Database::SchemaResult::Created);
}

Database::SchemaResult migrateSchema(int oldVersion, const Database::StatementHook &hook)
{
    const QString title = QCoreApplication::translate("Database", "Update...");
    const QString text =
        QCoreApplication::translate(
            "Database",
            "Die Datenbank wird von Version %1 auf die neueste Version %2 aktualisiert.\n\n")
            .arg(oldVersion)
            .arg(Database::schemaVersion);

    std::unique_ptr<SchemaWork> work;
    bool ok = true;
    for (int from = qMax(oldVersion, 1); ok && from < Database::schemaVersion; ++from) {
        Seams::information(title, text);
        if (!work) {
            if (!execControl(QStringLiteral("BEGIN IMMEDIATE")))
                return Database::SchemaResult::Failed;
            work = std::make_unique<SchemaWork>(hook);
        }
        ok = work->execAll(stepStatements(from)) &&
             work->execVersion(QStringLiteral("UPDATE version SET version=:version"));
    }
    // A file without a version row would otherwise be migrated again at every
    // start, resetting lastget and the track options each time.
    if (ok && !work->versionRowExists()) {
        ok = work->exec(QStringLiteral("create table version (id int primary key,version int)")) &&
             work->execVersion(
                 QStringLiteral("INSERT INTO version (id, version) VALUES (0, :version)"));
    }
    return finish(ok, *work, Database::SchemaResult::Migrated);
}

} // namespace

namespace Database
{

OpenResult open(const QString &path)
{
    close();
    OpenResult result;
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    if (!Paths::ensureFolder(folder)) {
        result.error = QStringLiteral("cannot create folder ") + folder;
        return result;
    }
    result.existed = file.exists();
    if (result.existed && !file.isFile()) {
        result.error = QStringLiteral("not a file");
        return result;
    }
    if (result.existed && !hasDatabaseHeader(path)) {
        result.error = QStringLiteral("file is not a database");
        return result;
    }
    // SQLite writes its journal beside the file, so the folder must be writable too.
    if (!QFileInfo(folder).isWritable() || (result.existed && !file.isWritable())) {
        result.error = QStringLiteral("not writable");
        return result;
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    // Writes run on the window's thread: while another program holds the
    // lock a statement gives up soon (the reply is fetched again later)
    // instead of freezing the window for seconds.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open()) {
        result.error = db.lastError().text();
        db = QSqlDatabase();
        close();
        return result;
    }
    // A read first: a file that is not an SQLite database fails here, before
    // anything could write to it.
    {
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !probe.next()) {
            result.error = probe.lastError().text();
            probe = QSqlQuery();
            db = QSqlDatabase();
            close();
            return result;
        }
    }
    // A write-ahead log with synchronous=NORMAL: a commit appends to the log
    // without waiting for the disk, which a poll cycle (one commit per boat)
    // would otherwise do hundreds of times; a crash or power cut still leaves
    // the file at a complete commit, only the newest ones may be lost.
    {
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    result.ok = true;
    return result;
}

void close()
{
    const QString name = QLatin1String(QSqlDatabase::defaultConnection);
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

SchemaResult ensureSchema(bool existed, const StatementHook &beforeStatement)
{
    // A file without any table is what an interrupted creation leaves behind.
    if (!existed || tableCount() == 0)
        return createSchema(beforeStatement);
    const int oldVersion = storedVersion();
    if (oldVersion >= schemaVersion)
        return SchemaResult::Current;
    return migrateSchema(oldVersion, beforeStatement);
}

bool ensureIndexes()
{
    return execControl(QStringLiteral("CREATE INDEX IF NOT EXISTS track_regatta_ship_tstamp ON "
                                      "track (regatta_id, ship_id, tstamp)"));
}

bool setSynchronous(bool durable)
{
    return execControl(durable ? QStringLiteral("PRAGMA synchronous=FULL")
                               : QStringLiteral("PRAGMA synchronous=OFF"));
}

int storedVersion()
{
    QSqlQuery query(QSqlDatabase::database());
    if (query.prepare(QStringLiteral("SELECT version FROM version WHERE id=0")) && query.exec() &&
        query.next())
        return query.value(0).toInt();
    return 0;
}

QString cannotOpenTitle()
{
    return QCoreApplication::translate("main", "Cannot open database");
}

QString cannotOpenText(const QString &path)
{
    return QCoreApplication::translate(
               "main",
               "Unable to establish a database connection to %1\nThis example needs SQLite "
               "support. Please read the Qt SQL driver documentation for information how to "
               "build it.\n\nClick Cancel to exit.")
        .arg(path);
}

WriteFailure failureOf(const QString &error)
{
    if (error.isEmpty())
        return WriteFailure::None;
    // SQLite's own texts for SQLITE_BUSY, SQLITE_LOCKED and SQLITE_FULL.
    if (error.contains(QLatin1String("database is locked")) ||
        error.contains(QLatin1String("database table is locked")))
        return WriteFailure::Locked;
    if (error.contains(QLatin1String("database or disk is full")))
        return WriteFailure::DiskFull;
    return WriteFailure::Other;
}

} // namespace Database
