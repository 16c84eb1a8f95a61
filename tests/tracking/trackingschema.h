#ifndef VELMARO_TESTS_TRACKING_TRACKINGSCHEMA_H
#define VELMARO_TESTS_TRACKING_TRACKINGSCHEMA_H

#include <QStringList>

// The version-7 tables the tracking code reads and writes, with the two
// seeded races and the preference row.
inline QStringList trackingSchema(int autoload = 1)
{
    return {
        QStringLiteral("create table version (id int primary key,version int)"),
        QStringLiteral("INSERT INTO version (id, version) VALUES (0, 7)"),
        QStringLiteral("create table regatta (id INTEGER primary key,event_id int, task_id int, "
                       "name varchar(100), von int, bis int)"),
        QStringLiteral("insert into regatta values(1, 10, 88, 'Dorur Izadidiva Dazidevire 2010', "
                       "1270458000, 1270764000)"),
        QStringLiteral("insert into regatta values(2, 21,120, 'Vudav Avazavava Zerevudeva 2011', "
                       "1302905280, 1303509600)"),
        QStringLiteral("create table ship (id INTEGER primary key,regatta_id int, name "
                       "varchar(100), skipper varchar(100), team varchar(100), klasse "
                       "varchar(100), startnr varchar(100), farbe varchar(7), lastget int, show "
                       "boolean, follow boolean)"),
        QStringLiteral("create table track (id INTEGER PRIMARY KEY, ship_id INTEGER, regatta_id "
                       "int, tstamp int, lat numeric(9,6), lng numeric(9,6))"),
        QStringLiteral("create table prefs (id INTEGER primary key, loadmaps int)"),
        QStringLiteral("insert into prefs (id, loadmaps) values (1, 1)"),
        QStringLiteral("alter table prefs add column autoload int"),
        QStringLiteral("update prefs set autoload=%1 where id=1").arg(autoload),
        QStringLiteral("alter table prefs add column loadinterval int"),
        QStringLiteral("update prefs set loadinterval=5 where id=1"),
        QStringLiteral("alter table prefs add column lookforupdate int"),
        QStringLiteral("update prefs set lookforupdate=1 where id=1"),
        QStringLiteral("alter table regatta add column showcompletetracks int"),
        QStringLiteral("update regatta set showcompletetracks=0"),
    };
}

#endif
