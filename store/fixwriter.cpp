#include "store/fixwriter.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#ifdef VELMARO_NATIVE_SQLITE
#include <sqlite3.h>
#endif

namespace
{

const QString insertFixSql =
    QStringLiteral("INSERT INTO track (ship_id, regatta_id, lat, lng, tstamp) "
                   "VALUES (:ship_id, :regatta_id, :lat, :lng, :tstamp)");

#ifdef VELMARO_NATIVE_SQLITE
// The driver may carry its own copy of SQLite; only one built from the same
// sources as ours may be handed our calls.
bool sameLibrary(const QSqlDatabase &db)
{
    static int known = -1;
    if (known < 0) {
        QSqlQuery q(db);
        known = q.exec(QStringLiteral("SELECT sqlite_source_id()")) && q.next() &&
                q.value(0).toString() == QLatin1String(sqlite3_sourceid());
    }
    return known == 1;
}

sqlite3 *nativeHandle(const QSqlDatabase &db)
{
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    sqlite3 *handle = *static_cast<sqlite3 *const *>(v.constData());
    if (!handle || !sameLibrary(db))
        return nullptr;
    return handle;
}
#endif

} // namespace

struct FixWriter::Native {
    QSqlQuery query;
#ifdef VELMARO_NATIVE_SQLITE
    sqlite3 *handle = nullptr;
    sqlite3_stmt *stmt = nullptr;
    ~Native()
    {
        if (stmt)
            sqlite3_finalize(stmt);
    }
#endif
};

FixWriter::FixWriter(int shipId, int regattaId)
    : m_native(std::make_unique<Native>()), m_shipId(shipId), m_regattaId(regattaId)
{
#ifdef VELMARO_NATIVE_SQLITE
    m_native->handle = nativeHandle(QSqlDatabase::database());
#endif
}

FixWriter::~FixWriter() = default;

bool FixWriter::prepare()
{
    Native &n = *m_native;
#ifdef VELMARO_NATIVE_SQLITE
    if (n.handle) {
        const QByteArray sql = insertFixSql.toUtf8();
        if (sqlite3_prepare_v2(n.handle, sql.constData(), int(sql.size()), &n.stmt, nullptr) !=
            SQLITE_OK) {
            m_error = QString::fromUtf8(sqlite3_errmsg(n.handle));
            return false;
        }
        // Placeholders in statement order: ship_id, regatta_id, lat, lng, tstamp.
        if (sqlite3_bind_int(n.stmt, 1, m_shipId) != SQLITE_OK ||
            sqlite3_bind_int(n.stmt, 2, m_regattaId) != SQLITE_OK) {
            m_error = QString::fromUtf8(sqlite3_errmsg(n.handle));
            return false;
        }
        return true;
    }
#endif
    if (!n.query.prepare(insertFixSql)) {
        m_error = n.query.lastError().text();
        return false;
    }
    n.query.bindValue(0, m_shipId);
    n.query.bindValue(1, m_regattaId);
    return true;
}

bool FixWriter::insert(double lat, double lng, int tstamp)
{
    Native &n = *m_native;
#ifdef VELMARO_NATIVE_SQLITE
    if (n.stmt) {
        sqlite3_bind_double(n.stmt, 3, lat);
        sqlite3_bind_double(n.stmt, 4, lng);
        sqlite3_bind_int(n.stmt, 5, tstamp);
        const int rc = sqlite3_step(n.stmt);
        sqlite3_reset(n.stmt);
        if (rc != SQLITE_DONE) {
            m_error = QString::fromUtf8(sqlite3_errmsg(n.handle));
            return false;
        }
        return true;
    }
#endif
    n.query.bindValue(2, lat);
    n.query.bindValue(3, lng);
    n.query.bindValue(4, tstamp);
    if (!n.query.exec()) {
        m_error = n.query.lastError().text();
        return false;
    }
    return true;
}
