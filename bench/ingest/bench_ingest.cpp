// Fixes per second for a positions reply of 10,000 fixes: our ingest through
// Qt's SQLite driver next to the same rows inserted with the sqlite3 C API
// (one transaction, one prepared statement), which is the floor.
#include "benchresult.h"
#include "platform/seams.h"
#include "store/boatstore.h"
#include "store/database.h"
#include "tracking/ingest.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QVector>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace
{

constexpr int fixCount = 10000;
// Enough for a stable median; the whole report stays within minutes.
constexpr int rounds = 9;

// The floor's file gets the tables as the viewer creates them.
const char *const schema[] = {
    "create table ship (id INTEGER primary key,regatta_id int, name varchar(100), skipper "
    "varchar(100), team varchar(100), klasse varchar(100), startnr varchar(100), farbe "
    "varchar(7), lastget int, show boolean, follow boolean)",
    "create table track (id INTEGER PRIMARY KEY, ship_id INTEGER, regatta_id int, tstamp int, "
    "lat numeric(9,6), lng numeric(9,6))",
    "insert into ship (id, regatta_id, name, lastget, show, follow) "
    "values (7, 21, 'Bench', 0, 'true', 'false')",
};

QByteArray makeBody(QVector<Tracking::Fix> &fixes)
{
    QByteArray body;
    double lat = 54.321, lng = 10.123;
    int t = 1302905280;
    for (int i = 0; i < fixCount; ++i) {
        lat += 0.000137;
        lng += 0.000211;
        t += 30 + i % 31;
        Tracking::Fix fix{lat, lng, t, double(i % 360), 6.5};
        fixes.append(fix);
        body += QByteArray::number(lat, 'f', 6) + ';' + QByteArray::number(lng, 'f', 6) + ';' +
                QByteArray::number(t) + ';' + QByteArray::number(fix.heading, 'f', 1) + ";6.5\n";
    }
    return body;
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

// Seconds for one reply through the tracking ingest.
double runOurs(const QByteArray &body)
{
    BoatStore::clearFixes(7, 21);
    Tracking::PositionsTarget target{0, 7, 21, false, 0};
    QElapsedTimer timer;
    timer.start();
    const Tracking::PositionsResult result = Tracking::ingestPositions(body, target, nullptr);
    const double s = double(timer.nsecsElapsed()) / 1e9;
    if (!result.committed || result.fixes.size() != fixCount) {
        std::fprintf(stderr, "ingest failed: %s\n", qPrintable(result.error));
        std::exit(1);
    }
    return s;
}

// Seconds for the same rows through the C API.
double runFloor(sqlite3 *db, const QVector<Tracking::Fix> &fixes)
{
    sqlite3_exec(db, "DELETE FROM track", nullptr, nullptr, nullptr);
    QElapsedTimer timer;
    timer.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO track (ship_id, regatta_id, lat, lng, tstamp) "
                       "VALUES (:ship_id, :regatta_id, :lat, :lng, :tstamp)",
                       -1, &stmt, nullptr);
    for (const Tracking::Fix &fix : fixes) {
        sqlite3_bind_int(stmt, 1, 7);
        sqlite3_bind_int(stmt, 2, 21);
        sqlite3_bind_double(stmt, 3, fix.lat);
        sqlite3_bind_double(stmt, 4, fix.lng);
        sqlite3_bind_int(stmt, 5, fix.tstamp);
        if (sqlite3_step(stmt) != SQLITE_DONE) {
            std::fprintf(stderr, "floor insert failed: %s\n", sqlite3_errmsg(db));
            std::exit(1);
        }
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    return double(timer.nsecsElapsed()) / 1e9;
}

void report(const char *label, double ours, double floor)
{
    std::printf("%-22s ours %10.0f fixes/s (%7.2f ms)   floor %10.0f fixes/s (%7.2f ms)   "
                "ratio %.2f\n",
                label, fixCount / ours, ours * 1e3, fixCount / floor, floor * 1e3, ours / floor);
    const std::string figure = std::string("ingest 10,000 fixes, ") + label;
    BenchResult::print(figure.c_str(), fixCount / ours, "fixes/s", "sqlite3 C API",
                       fixCount / floor);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QVector<Tracking::Fix> fixes;
    const QByteArray body = makeBody(fixes);

    Seams::setMessageBoxHandler([](const Seams::MessageBoxRequest &) { return QMessageBox::Ok; });
    BoatRow boat;
    boat.id = 7;
    boat.regattaId = 21;
    boat.name = QStringLiteral("Bench");
    if (!Database::open(dir.filePath(QStringLiteral("ours.db"))).ok ||
        Database::ensureSchema(false) != Database::SchemaResult::Created ||
        !BoatStore::insertBoat(boat))
        return 1;
    sqlite3 *cdb = nullptr;
    if (sqlite3_open(qPrintable(dir.filePath(QStringLiteral("floor.db"))), &cdb) != SQLITE_OK)
        return 1;
    for (const char *sql : schema)
        sqlite3_exec(cdb, sql, nullptr, nullptr, nullptr);

    std::printf("positions reply of %d fixes (%lld bytes), median of %d rounds\n", fixCount,
                static_cast<long long>(body.size()), rounds);
    for (const bool durable : {true, false}) {
        const char *pragma = durable ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=OFF";
        Database::setSynchronous(durable);
        sqlite3_exec(cdb, pragma, nullptr, nullptr, nullptr);
        QVector<double> ours, floor;
        for (int i = 0; i < rounds; ++i) {
            ours.append(runOurs(body));
            floor.append(runFloor(cdb, fixes));
        }
        report(durable ? "synchronous=FULL" : "synchronous=OFF", median(ours), median(floor));
    }
    sqlite3_close(cdb);
    return 0;
}
