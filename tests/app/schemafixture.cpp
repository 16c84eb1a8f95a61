#include "schemafixture.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <QDebug>

#include <functional>

namespace {

// Runs f on a private connection to path that is gone again afterwards, so
// the default connection of the code under test is never disturbed.
template<typename F>
auto withConnection(const QString &path, F f)
{
    const QString name = QStringLiteral("fixture");
    struct Remover {
        QString name;
        ~Remover() { QSqlDatabase::removeDatabase(name); }
    } remover{name};
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.open();
    auto result = f(db);
    db.close();
    db = QSqlDatabase();
    return result;
}

} // namespace

namespace SchemaFixture {

QStringList statements(const QString &kind)
{
    bool numeric = false;
    const int version = kind.toInt(&numeric);
    const int level = numeric ? qMin(version, 7) : 1;

    QStringList sql;
    if (kind != QLatin1String("noVersionTable"))
        sql << QStringLiteral("create table version (id int primary key,version int)");
    if (numeric)
        sql << QStringLiteral("insert into version values (0, %1)").arg(version);

    QString regatta = QStringLiteral("id INTEGER primary key,event_id int, task_id int, "
                                     "name varchar(100)");
    if (level >= 2)
        regatta += QStringLiteral(", von int, bis int");
    if (level >= 6)
        regatta += QStringLiteral(", showcompletetracks int");
    sql << QStringLiteral("create table regatta (%1)").arg(regatta);
    const QString extra1 = level >= 2 ? QStringLiteral(", 1270458000, 1270764000") : QString();
    const QString extra2 = level >= 2 ? QStringLiteral(", 1302905280, 1303509600") : QString();
    const QString tracks1 = level >= 6 ? QStringLiteral(", 1") : QString();
    const QString tracks2 = level >= 6 ? QStringLiteral(", 0") : QString();
    sql << QStringLiteral("insert into regatta values(1, 10, 88, 'Dorur Izadidiva Dazidevire 2010'"
                          "%1%2)").arg(extra1, tracks1)
        << QStringLiteral("insert into regatta values(2, 21, 120, 'Vudav Avazavava Zerevudeva "
                          "2011'%1%2)").arg(extra2, tracks2);

    sql << QStringLiteral("create table ship (id INTEGER primary key,regatta_id int, "
                          "name varchar(100), skipper varchar(100), team varchar(100), "
                          "klasse varchar(100), startnr varchar(100), farbe varchar(7)%1, "
                          "show boolean, follow boolean)")
               .arg(level >= 2 ? QStringLiteral(", lastget int") : QString());
    if (level >= 2)
        sql << QStringLiteral("insert into ship values (501, 10, 'Aurora', 'Jan', 'Nord', "
                              "'Folkeboot', '12', '#ff8800', 1270460000, 'true', 'false')");
    else
        sql << QStringLiteral("insert into ship values (501, 10, 'Aurora', 'Jan', 'Nord', "
                              "'Folkeboot', '12', '#ff8800', 'true', 'false')");
    sql << QStringLiteral("create table track (id INTEGER PRIMARY KEY, ship_id INTEGER, "
                          "regatta_id int, tstamp int, lat numeric(9,6), lng numeric(9,6))")
        << QStringLiteral("insert into track values (1, 501, 10, 1270459000, 54.3201, 10.1402)")
        << QStringLiteral("insert into track values (2, 501, 10, 1270460000, 54.3305, 10.1511)");

    // Users changed their preferences; a migration must keep them.
    if (level >= 3)
        sql << QStringLiteral("create table prefs (id INTEGER primary key, loadmaps int)")
            << QStringLiteral("insert into prefs (id, loadmaps) values (1, 0)");
    if (level >= 4)
        sql << QStringLiteral("alter table prefs add column autoload int")
            << QStringLiteral("update prefs set autoload=0 where id=1");
    if (level >= 5)
        sql << QStringLiteral("alter table prefs add column loadinterval int")
            << QStringLiteral("update prefs set loadinterval=10 where id=1");
    if (level >= 6)
        sql << QStringLiteral("alter table prefs add column lookforupdate int")
            << QStringLiteral("update prefs set lookforupdate=0 where id=1");
    return sql;
}

bool write(const QString &path, const QStringList &statements)
{
    return withConnection(path, [&](QSqlDatabase &db) {
        // One transaction: a sync per statement would make the fixtures slow.
        db.transaction();
        QSqlQuery query(db);
        for (const QString &sql : statements) {
            if (!query.exec(sql)) {
                qWarning() << "fixture:" << sql << query.lastError().text();
                query.finish();
                db.rollback();
                return false;
            }
        }
        query.finish();
        return db.commit();
    });
}

QStringList columns(const QString &path, const QString &table)
{
    return withConnection(path, [&](QSqlDatabase &db) {
        QStringList result;
        QSqlQuery query(db);
        query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table));
        while (query.next()) {
            result << QStringLiteral("%1 %2 %3")
                          .arg(query.value(1).toString(), query.value(2).toString(),
                               query.value(5).toString());
        }
        return result;
    });
}

QStringList tables(const QString &path)
{
    if (!QFileInfo::exists(path))
        return {};
    return withConnection(path, [&](QSqlDatabase &db) {
        QStringList result;
        QSqlQuery query(db);
        query.exec(QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"));
        while (query.next())
            result << query.value(0).toString();
        return result;
    });
}

QStringList dump(const QString &path)
{
    const QStringList names = tables(path);
    QStringList result;
    if (names.isEmpty())
        return result;
    for (const QString &table : names)
        result << table + QStringLiteral(": ") + columns(path, table).join(QStringLiteral(", "));
    withConnection(path, [&](QSqlDatabase &db) {
        QSqlQuery query(db);
        for (const QString &table : names) {
            query.exec(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(table));
            while (query.next()) {
                QStringList row;
                for (int i = 0; i < query.record().count(); ++i)
                    row << query.value(i).toString();
                result << table + QStringLiteral(" row: ") + row.join(QLatin1Char('|'));
            }
        }
        return 0;
    });
    return result;
}

QVariant scalar(const QString &path, const QString &sql)
{
    return withConnection(path, [&](QSqlDatabase &db) {
        QSqlQuery query(db);
        if (query.exec(sql) && query.next())
            return query.value(0);
        return QVariant();
    });
}

bool hasIndex(const QString &path, const QString &name)
{
    return scalar(path, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='index' "
                                       "AND name='%1'").arg(name)).toInt() == 1;
}

QStringList expectedColumns(const QString &table)
{
    if (table == QLatin1String("version"))
        return {"id INT 1", "version INT 0"};
    if (table == QLatin1String("regatta"))
        return {"id INTEGER 1", "event_id INT 0", "task_id INT 0", "name varchar(100) 0",
                "von INT 0", "bis INT 0", "showcompletetracks INT 0"};
    if (table == QLatin1String("ship"))
        return {"id INTEGER 1", "regatta_id INT 0", "name varchar(100) 0",
                "skipper varchar(100) 0", "team varchar(100) 0", "klasse varchar(100) 0",
                "startnr varchar(100) 0", "farbe varchar(7) 0", "lastget INT 0",
                "show boolean 0", "follow boolean 0"};
    if (table == QLatin1String("track"))
        return {"id INTEGER 1", "ship_id INTEGER 0", "regatta_id INT 0", "tstamp INT 0",
                "lat numeric(9,6) 0", "lng numeric(9,6) 0"};
    if (table == QLatin1String("prefs"))
        return {"id INTEGER 1", "loadmaps INT 0", "autoload INT 0", "loadinterval INT 0",
                "lookforupdate INT 0"};
    return {};
}

} // namespace SchemaFixture
