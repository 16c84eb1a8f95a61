#ifndef VELMARO_TESTS_SUPPORT_TESTDATABASE_H
#define VELMARO_TESTS_SUPPORT_TESTDATABASE_H

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

// A fresh SQLite file in a temporary folder as the default connection, which
// is removed again when it goes out of scope.
class TestDatabase
{
public:
    TestDatabase()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE");
        db.setDatabaseName(m_dir.filePath("velmaro.db"));
        db.open();
    }
    ~TestDatabase()
    {
        QSqlDatabase::database(QSqlDatabase::defaultConnection, false).close();
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    }
    Q_DISABLE_COPY(TestDatabase)

    bool isOpen() const
    {
        return QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen();
    }
    // Runs statements one by one; false at the first failure.
    bool exec(const QStringList &statements)
    {
        QSqlQuery query;
        for (const QString &sql : statements)
            if (!query.exec(sql))
                return qWarning() << "TestDatabase:" << sql << query.lastError().text(), false;
        return true;
    }
    // First column of the first row, or an invalid QVariant.
    QVariant scalar(const QString &sql)
    {
        QSqlQuery query;
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }
    int count(const QString &table, const QString &where = "1")
    {
        return scalar("SELECT COUNT(*) FROM " + table + " WHERE " + where).toInt();
    }

private:
    QTemporaryDir m_dir;
};

// A row of table ship: boat `id` of event `event`, "Boot <id>" of "Skipper <id>".
inline QString shipRow(int id, int event, const QString &klasse, const QString &startnr,
                       const QString &farbe = "#ff0000", const QString &show = "'true'",
                       const QString &follow = "'false'")
{
    return QStringLiteral("INSERT INTO ship VALUES (%1, %2, 'Boot %1', 'Skipper %1', 'Team %1', "
                          "'%3', '%4', '%5', 0, %6, %7)")
        .arg(QString::number(id), QString::number(event), klasse, startnr, farbe, show, follow);
}

inline QString fixRow(int ship, int event, qint64 tstamp, double lat, double lng)
{
    return QString::asprintf("INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) VALUES "
                             "(%d, %d, %lld, %.6f, %.6f)",
                             ship, event, tstamp, lat, lng);
}

// The tables as program version `kind` left them, 1 to 9 (a higher number: a
// version-9 file that claims it; "noVersionRow" and "noVersionTable": version 1
// without its version row or table), with the seeded races and the
// preferences loadmaps, autoload, loadinterval, lookforupdate as far as the
// version has them. With `userData`, boat 501 of race 1 with two fixes and
// race 1's complete tracks on: what a migration must keep.
inline QStringList schemaStatements(const QString &kind, const QList<int> &prefs, bool userData)
{
    bool numeric = false;
    const int version = kind.toInt(&numeric);
    const int level = numeric ? qMin(version, 9) : 1;
    const auto from = [level](int v, const QString &text) { return level >= v ? text : QString(); };
    QStringList sql;
    if (kind != "noVersionTable")
        sql << "create table version (id int primary key,version int)";
    if (numeric)
        sql << QStringLiteral("insert into version values (0, %1)").arg(version);
    sql << "create table regatta (id INTEGER primary key,event_id int, task_id int, name "
           "varchar(100)" +
               from(2, ", von int, bis int") + from(6, ", showcompletetracks int") + ")"
        << "insert into regatta values(1, 10, 88, 'Dorur Izadidiva Dazidevire 2010'" +
               from(2, ", 1270458000, 1270764000") + from(6, userData ? ", 1" : ", 0") + ")"
        << "insert into regatta values(2, 21, 120, 'Vudav Avazavava Zerevudeva 2011'" +
               from(2, ", 1302905280, 1303509600") + from(6, ", 0") + ")"
        << "create table ship (id INTEGER primary key,regatta_id int, name varchar(100), skipper "
           "varchar(100), team varchar(100), klasse varchar(100), startnr varchar(100), farbe "
           "varchar(7)" +
               from(2, ", lastget int") + ", show boolean, follow boolean)"
        << "create table track (id INTEGER PRIMARY KEY, ship_id INTEGER, regatta_id int, tstamp "
           "int, lat numeric(9,6), lng numeric(9,6))";
    if (userData)
        sql << "insert into ship values (501, 10, 'Aurora', 'Jan', 'Nord', 'Folkeboot', '12', "
               "'#ff8800'" +
                   from(2, ", 1270460000") + ", 'true', 'false')"
            << "insert into track values (1, 501, 10, 1270459000, 54.3201, 10.1402)"
            << "insert into track values (2, 501, 10, 1270460000, 54.3305, 10.1511)";
    if (level >= 3)
        sql << "create table prefs (id INTEGER primary key, loadmaps int)"
            << QStringLiteral("insert into prefs (id, loadmaps) values (1, %1)").arg(prefs.at(0));
    const QStringList later{"autoload", "loadinterval", "lookforupdate"};
    for (int i = 1; i < 4 && level >= 3 + i; ++i)
        sql << "alter table prefs add column " + later[i - 1] + " int"
            << QStringLiteral("update prefs set %1=%2 where id=1")
                   .arg(later[i - 1], QString::number(prefs.at(i)));
    if (level >= 8)
        sql << "create table mark (id INTEGER primary key, event_id int, task_id int, seq int, "
               "name varchar(100), lat_a numeric(9,6), lng_a numeric(9,6), lat_b numeric(9,6), "
               "lng_b numeric(9,6))"
            << "create table moment (id INTEGER primary key, event_id int, task_id int, name "
               "varchar(100), tstamp int, ship_id int, lat numeric(9,6), lng numeric(9,6), zoom "
               "int)";
    if (level >= 9)
        sql << "create table rating (ship_id int, regatta_id int, system varchar(10), value real, "
               "primary key (ship_id, regatta_id))";
    return sql;
}

// The newest tables the tracking code reads and writes, with the two
// seeded races and the preference row.
inline QStringList trackingSchema(int autoload = 1)
{
    return schemaStatements("9", {1, autoload, 5, 1}, false);
}

// Database files seen through a connection of their own, so that the default
// connection of the code under test is never disturbed.
namespace SchemaFixture
{

// Runs f on a query of a private connection to path.
template <typename F> auto withQuery(const QString &path, F f)
{
    struct Remover {
        ~Remover() { QSqlDatabase::removeDatabase("fixture"); }
    } remover;
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fixture");
    db.setDatabaseName(path);
    db.open();
    QSqlQuery query(db);
    return f(query);
}

// Runs the statements on a new file in one transaction; false on the first failure.
inline bool write(const QString &path, const QStringList &statements)
{
    return withQuery(path, [&](QSqlQuery &q) {
        for (const QString &sql : QStringList{"BEGIN"} + statements + QStringList{"COMMIT"})
            if (!q.exec(sql))
                return false; // closing without COMMIT rolls back
        return true;
    });
}

// First column of the first row, or an invalid QVariant.
inline QVariant scalar(const QString &path, const QString &sql)
{
    return withQuery(
        path, [&](QSqlQuery &q) { return q.exec(sql) && q.next() ? q.value(0) : QVariant(); });
}

// "table: name type pk, ..." per table, columns sorted (a migration adds them
// at the end), then every row as text when asked: equal dumps mean equal contents.
inline QStringList dump(const QString &path, bool rows = true)
{
    return withQuery(path, [&](QSqlQuery &q) {
        const auto column = [&q](const QString &sql) {
            QStringList values;
            for (q.exec(sql); q.next();)
                values << q.value(0).toString();
            return values;
        };
        QStringList result;
        for (const QString &table :
             column("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")) {
            result << table + ": " +
                          column("SELECT name||' '||type||' '||pk FROM pragma_table_info('" +
                                 table + "') ORDER BY 1")
                              .join(", ");
            q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(table));
            while (rows && q.next()) {
                QStringList row;
                for (int i = 0; i < q.record().count(); ++i)
                    row << q.value(i).toString();
                result << table + " row: " + row.join('|');
            }
        }
        return result;
    });
}

} // namespace SchemaFixture

#endif
