#ifndef VELMARO_TESTS_UI_UITEST_H
#define VELMARO_TESTS_UI_UITEST_H

#include "testdatabase.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace UiTest {

// The version-7 tables with their seed rows, as a new database file has them.
inline bool createSchema(TestDatabase &db)
{
    return db.exec({
        QStringLiteral("create table version (id int primary key,version int)"),
        QStringLiteral("insert into version values (0, 7)"),
        QStringLiteral("create table regatta (id INTEGER primary key,event_id int, task_id int, "
                       "name varchar(100), von int, bis int, showcompletetracks int)"),
        QStringLiteral("insert into regatta values(1, 10, 88, 'Dorur Izadidiva Dazidevire 2010', "
                       "1270458000, 1270764000, 0)"),
        QStringLiteral("insert into regatta values(2, 21,120, 'Vudav Avazavava Zerevudeva 2011', "
                       "1302905280, 1303509600, 0)"),
        QStringLiteral("create table ship (id INTEGER primary key,regatta_id int, name "
                       "varchar(100), skipper varchar(100), team varchar(100), klasse "
                       "varchar(100), startnr varchar(100), farbe varchar(7), lastget int, show "
                       "boolean, follow boolean)"),
        QStringLiteral("create table track (id INTEGER PRIMARY KEY, ship_id INTEGER, regatta_id "
                       "int, tstamp int, lat numeric(9,6), lng numeric(9,6))"),
        QStringLiteral("create table prefs (id INTEGER primary key, loadmaps int, autoload int, "
                       "loadinterval int, lookforupdate int)"),
        QStringLiteral("insert into prefs values (1, 1, 1, 5, 1)"),
    });
}

// Copies the asset folders of the source tree into the working directory,
// where the window looks first.
inline void installAssets()
{
    const QDir source(qEnvironmentVariable("VELMARO_SOURCE_DIR"));
    for (const QString &folder : {QStringLiteral("img"), QStringLiteral("sprites")}) {
        const QDir from(source.filePath(folder));
        QDir().mkpath(folder);
        const QStringList files = from.entryList(QDir::Files);
        for (const QString &file : files) {
            const QString target = QDir(folder).filePath(file);
            QFile::remove(target);
            QFile::copy(from.filePath(file), target);
        }
    }
}

} // namespace UiTest

#endif
