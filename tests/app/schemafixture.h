#ifndef VELMARO_TESTS_APP_SCHEMAFIXTURE_H
#define VELMARO_TESTS_APP_SCHEMAFIXTURE_H

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

// Database files as older program versions left them, and plain-text views of
// a file, each through a connection of its own so that the default connection
// of the code under test is never disturbed.
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

// A file of schema version 1 to 7 with a boat and two fixes; "noVersionRow"
// and "noVersionTable" give version 1 without its version row or table; a
// number above 7 a version-7 file that claims it.
inline QStringList statements(const QString &kind)
{
    bool numeric = false;
    const int version = kind.toInt(&numeric);
    const int level = numeric ? qMin(version, 7) : 1;
    QStringList sql;
    if (kind != "noVersionTable")
        sql << "create table version (id int primary key,version int)";
    if (numeric)
        sql << QStringLiteral("insert into version values (0, %1)").arg(version);
    sql << QString("create table regatta (id INTEGER primary key,event_id int, task_id int, "
                   "name varchar(100)") +
               (level >= 2 ? ", von int, bis int" : "") +
               (level >= 6 ? ", showcompletetracks int" : "") + ")"
        << QString("insert into regatta values(1, 10, 88, 'Dorur Izadidiva Dazidevire 2010'") +
               (level >= 2 ? ", 1270458000, 1270764000" : "") + (level >= 6 ? ", 1" : "") + ")"
        << QString("insert into regatta values(2, 21, 120, 'Vudav Avazavava Zerevudeva 2011'") +
               (level >= 2 ? ", 1302905280, 1303509600" : "") + (level >= 6 ? ", 0" : "") + ")"
        << QString("create table ship (id INTEGER primary key,regatta_id int, name varchar(100), "
                   "skipper varchar(100), team varchar(100), klasse varchar(100), startnr "
                   "varchar(100), farbe varchar(7)") +
               (level >= 2 ? ", lastget int" : "") + ", show boolean, follow boolean)"
        << QString("insert into ship values (501, 10, 'Aurora', 'Jan', 'Nord', 'Folkeboot', '12', "
                   "'#ff8800'") +
               (level >= 2 ? ", 1270460000" : "") + ", 'true', 'false')"
        << "create table track (id INTEGER PRIMARY KEY, ship_id INTEGER, regatta_id int, tstamp "
           "int, lat numeric(9,6), lng numeric(9,6))"
        << "insert into track values (1, 501, 10, 1270459000, 54.3201, 10.1402)"
        << "insert into track values (2, 501, 10, 1270460000, 54.3305, 10.1511)";
    // Preferences the user changed; a migration must keep them.
    const char *prefs[][2] = {
        {"loadmaps", "0"}, {"autoload", "0"}, {"loadinterval", "10"}, {"lookforupdate", "0"}};
    if (level >= 3)
        sql << "create table prefs (id INTEGER primary key, loadmaps int)"
            << "insert into prefs (id, loadmaps) values (1, 0)";
    for (int i = 1; i < 4 && level >= 3 + i; ++i)
        sql << QStringLiteral("alter table prefs add column %1 int").arg(prefs[i][0])
            << QStringLiteral("update prefs set %1=%2 where id=1").arg(prefs[i][0], prefs[i][1]);
    return sql;
}

// Runs the statements on a new file in one transaction; false on the first failure.
inline bool write(const QString &path, const QStringList &statements)
{
    return withQuery(path, [&](QSqlQuery &q) {
        QSqlDatabase db = QSqlDatabase::database("fixture");
        db.transaction();
        for (const QString &sql : statements)
            if (!q.exec(sql))
                return q.finish(), db.rollback(), false;
        q.finish();
        return db.commit();
    });
}

// First column of the first row, or an invalid QVariant.
inline QVariant scalar(const QString &path, const QString &sql)
{
    return withQuery(
        path, [&](QSqlQuery &q) { return q.exec(sql) && q.next() ? q.value(0) : QVariant(); });
}

// "table: name type pk, ..." per table, columns sorted when asked (a
// migration adds them at the end), then every row as text: equal dumps mean
// equal contents.
inline QStringList dump(const QString &path, bool sortColumns = true, bool rows = true)
{
    return withQuery(path, [&](QSqlQuery &q) {
        QStringList tables, result;
        q.exec("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name");
        while (q.next())
            tables << q.value(0).toString();
        for (const QString &table : tables) {
            QStringList columns;
            q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table));
            while (q.next())
                columns << QStringLiteral("%1 %2 %3")
                               .arg(q.value(1).toString(), q.value(2).toString(),
                                    q.value(5).toString());
            if (sortColumns)
                columns.sort();
            result << table + ": " + columns.join(", ");
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
