#include "tracking/ingest.h"

#include <QByteArrayView>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <charconv>
#include <cstring>
#include <limits>

#ifdef VELMARO_NATIVE_SQLITE
#include <sqlite3.h>
#endif

namespace Tracking {

namespace {

const char *const colours[ColourCount] = {
    "#ff008a", "#00ffcc", "#9000ff", "#ffffff", "#00ff00", "#ffff00", "#0000ff", "#ff0000",
    "#e19a00", "#7fe100", "#000000", "#4c4c4c", "#cccccc", "#ff7800", "#b10034",
};

const QString insertFixSql = QStringLiteral(
    "INSERT INTO track (ship_id, regatta_id, lat, lng, tstamp) "
    "VALUES (:ship_id, :regatta_id, :lat, :lng, :tstamp)");
const QString storeLastgetSql =
    QStringLiteral("UPDATE ship SET lastget=:lastget WHERE id=:ship_id");
const QString findBoatSql =
    QStringLiteral("SELECT id FROM ship WHERE id=:id AND regatta_id=:regatta_id");
const QString insertBoatSql = QStringLiteral(
    "INSERT INTO ship (id, regatta_id, name, skipper, team, klasse, farbe, startnr, show, "
    "follow, lastget) VALUES (:id, :regatta_id, :name, :skipper, :team, :klasse, :farbe, "
    ":startnr, :show, :follow, :tsmin)");
const QString updateBoatSql = QStringLiteral(
    "UPDATE ship SET name=:name, team=:team, skipper=:skipper, klasse=:klasse, farbe=:farbe, "
    "startnr=:startnr, lastget=0 WHERE id=:id AND regatta_id=:regatta_id");
const QString clearFixesSql =
    QStringLiteral("DELETE FROM track WHERE ship_id=:ship_id AND regatta_id=:regatta_id");

QString errorText(const QSqlQuery &query)
{
    return query.lastError().text();
}

// Splits a line at sep into exactly count fields; false when it has another
// number of fields.
template<int Count>
bool splitExactly(QStringView line, QChar sep, QStringView (&fields)[Count])
{
    qsizetype begin = 0;
    for (int i = 0; i < Count - 1; ++i) {
        const qsizetype at = line.indexOf(sep, begin);
        if (at < 0)
            return false;
        fields[i] = line.mid(begin, at - begin);
        begin = at + 1;
    }
    const QStringView last = line.mid(begin);
    if (last.contains(sep))
        return false;
    fields[Count - 1] = last;
    return true;
}

void writeDiagnostic(std::FILE *out, int index)
{
    if (!out)
        return;
    char line[64];
    const int n = std::snprintf(line, sizeof line, " shipidx (httpFinished) = %d, ungleich 5...\n",
                                index);
    if (n > 0)
        std::fwrite(line, 1, size_t(n), out);
}

} // namespace

QString boatColour(int colourIndex)
{
    const int i = ((colourIndex % ColourCount) + ColourCount) % ColourCount;
    return QString::fromLatin1(colours[i]);
}

QString decodeReplyBody(const QByteArray &body)
{
    QByteArrayView view(body);
    if (view.isValidUtf8()) {
        if (view.startsWith("\xEF\xBB\xBF"))
            view = view.sliced(3);
        return QString::fromUtf8(view);
    }
    return QString::fromLatin1(body);
}

BoatListResult ingestBoatList(const QByteArray &body, int eventId)
{
    BoatListResult result;
    const QString text = decodeReplyBody(body);
    QSqlDatabase db = QSqlDatabase::database();
    if (!db.transaction()) {
        result.error = db.lastError().text();
        return result;
    }
    QSqlQuery find(db), insert(db), update(db), clear(db);
    if (!find.prepare(findBoatSql) || !insert.prepare(insertBoatSql)
        || !update.prepare(updateBoatSql) || !clear.prepare(clearFixesSql)) {
        result.error = QStringLiteral("prepare failed: ") + find.lastError().text()
            + insert.lastError().text() + update.lastError().text() + clear.lastError().text();
        db.rollback();
        return result;
    }

    int colourIndex = 0;
    forEachLine(text, [&](QStringView line) {
        QStringView f[10];
        if (!splitExactly(line, QLatin1Char('|'), f))
            return;
        ++result.records;
        const int id = f[1].toInt();
        const int regattaId = f[9].toInt();
        const QString farbe = boatColour(colourIndex);

        find.bindValue(QStringLiteral(":id"), id);
        find.bindValue(QStringLiteral(":regatta_id"), regattaId);
        const bool known = find.exec() && find.next();
        find.finish();

        bool ok;
        if (!known) {
            insert.bindValue(QStringLiteral(":id"), id);
            insert.bindValue(QStringLiteral(":regatta_id"), regattaId);
            insert.bindValue(QStringLiteral(":name"), f[4].toString());
            insert.bindValue(QStringLiteral(":team"), f[5].toString());
            insert.bindValue(QStringLiteral(":skipper"), f[6].toString());
            insert.bindValue(QStringLiteral(":klasse"), f[0].toString());
            insert.bindValue(QStringLiteral(":farbe"), farbe);
            insert.bindValue(QStringLiteral(":startnr"), f[3].toString());
            insert.bindValue(QStringLiteral(":show"), QStringLiteral("true"));
            insert.bindValue(QStringLiteral(":follow"), QStringLiteral("false"));
            insert.bindValue(QStringLiteral(":tsmin"), f[8].toInt());
            ok = insert.exec();
        } else {
            update.bindValue(QStringLiteral(":id"), id);
            update.bindValue(QStringLiteral(":regatta_id"), regattaId);
            update.bindValue(QStringLiteral(":name"), f[4].toString());
            update.bindValue(QStringLiteral(":team"), f[5].toString());
            update.bindValue(QStringLiteral(":skipper"), f[6].toString());
            update.bindValue(QStringLiteral(":klasse"), f[0].toString());
            update.bindValue(QStringLiteral(":startnr"), f[3].toString());
            update.bindValue(QStringLiteral(":farbe"), farbe);
            ok = update.exec();
        }
        colourIndex = (colourIndex + 1) % ColourCount;

        clear.bindValue(QStringLiteral(":ship_id"), id);
        clear.bindValue(QStringLiteral(":regatta_id"), eventId);
        ok = clear.exec() && ok;
        if (!ok)
            ++result.failedRecords;
    });

    if (!db.commit()) {
        result.error = db.lastError().text();
        db.rollback();
        return result;
    }
    result.committed = true;
    return result;
}

namespace {

// Numbers of a positions line, read as QString::toInt/toDouble would read
// them. Plain decimal fields, which is all the service sends, take a fast
// path; anything else goes through QString so the results stay identical.
class FieldReader
{
public:
    explicit FieldReader(bool utf8) : m_utf8(utf8) {}

    int toInt(QByteArrayView field) const
    {
        const char *p = field.data();
        const char *end = p + field.size();
        bool negative = false;
        if (p < end && *p == '-') {
            negative = true;
            ++p;
        }
        if (p < end && end - p <= 18) {
            qint64 value = 0;
            const char *q = p;
            for (; q < end && *q >= '0' && *q <= '9'; ++q)
                value = value * 10 + (*q - '0');
            if (q == end) {
                if (negative)
                    value = -value;
                if (value < std::numeric_limits<int>::min()
                    || value > std::numeric_limits<int>::max())
                    return 0; // as QString::toInt on overflow
                return int(value);
            }
        }
        return decoded(field).toInt();
    }

    double toDouble(QByteArrayView field) const
    {
        const char *p = field.data();
        const char *end = p + field.size();
        const char *q = p < end && *p == '-' ? p + 1 : p;
        const char *digits = q;
        while (q < end && *q >= '0' && *q <= '9')
            ++q;
        bool plain = q > digits;
        if (plain && q < end && *q == '.') {
            const char *fraction = ++q;
            while (q < end && *q >= '0' && *q <= '9')
                ++q;
            plain = q > fraction;
        }
        if (plain && q == end) {
            double value = 0;
            const auto r = std::from_chars(p, end, value);
            if (r.ec == std::errc() && r.ptr == end)
                return value;
        }
        return decoded(field).toDouble();
    }

private:
    QString decoded(QByteArrayView field) const
    {
        return m_utf8 ? QString::fromUtf8(field) : QString::fromLatin1(field);
    }
    bool m_utf8;
};

// Splits a line at sep into exactly Count fields.
template<int Count>
bool splitBytes(QByteArrayView line, char sep, QByteArrayView (&fields)[Count])
{
    const char *p = line.data();
    const char *end = p + line.size();
    for (int i = 0; i < Count - 1; ++i) {
        const char *at = static_cast<const char *>(std::memchr(p, sep, size_t(end - p)));
        if (!at)
            return false;
        fields[i] = QByteArrayView(p, at - p);
        p = at + 1;
    }
    if (std::memchr(p, sep, size_t(end - p)))
        return false;
    fields[Count - 1] = QByteArrayView(p, end - p);
    return true;
}

// The insert fix statement, prepared once per reply. Through the driver's
// own sqlite3 handle where that is the library we link (the Qt statement
// layer costs several times the insert itself), else through QSqlQuery.
class FixInserter
{
public:
    FixInserter(const QSqlDatabase &db, int shipId, int regattaId)
        : m_query(db), m_shipId(shipId), m_regattaId(regattaId)
    {
#ifdef VELMARO_NATIVE_SQLITE
        m_handle = nativeHandle(db);
#endif
    }
    ~FixInserter()
    {
#ifdef VELMARO_NATIVE_SQLITE
        if (m_stmt)
            sqlite3_finalize(m_stmt);
#endif
    }
    FixInserter(const FixInserter &) = delete;
    FixInserter &operator=(const FixInserter &) = delete;

    bool prepare()
    {
#ifdef VELMARO_NATIVE_SQLITE
        if (m_handle) {
            const QByteArray sql = insertFixSql.toUtf8();
            if (sqlite3_prepare_v2(m_handle, sql.constData(), int(sql.size()), &m_stmt, nullptr)
                != SQLITE_OK) {
                m_error = QString::fromUtf8(sqlite3_errmsg(m_handle));
                return false;
            }
            // Placeholders in statement order: ship_id, regatta_id, lat, lng, tstamp.
            sqlite3_bind_int(m_stmt, 1, m_shipId);
            sqlite3_bind_int(m_stmt, 2, m_regattaId);
            return true;
        }
#endif
        if (!m_query.prepare(insertFixSql)) {
            m_error = errorText(m_query);
            return false;
        }
        m_query.bindValue(0, m_shipId);
        m_query.bindValue(1, m_regattaId);
        return true;
    }

    bool insert(const Fix &fix)
    {
#ifdef VELMARO_NATIVE_SQLITE
        if (m_stmt) {
            sqlite3_bind_double(m_stmt, 3, fix.lat);
            sqlite3_bind_double(m_stmt, 4, fix.lng);
            sqlite3_bind_int(m_stmt, 5, fix.tstamp);
            const int rc = sqlite3_step(m_stmt);
            sqlite3_reset(m_stmt);
            if (rc != SQLITE_DONE) {
                m_error = QString::fromUtf8(sqlite3_errmsg(m_handle));
                return false;
            }
            return true;
        }
#endif
        m_query.bindValue(2, fix.lat);
        m_query.bindValue(3, fix.lng);
        m_query.bindValue(4, fix.tstamp);
        if (!m_query.exec()) {
            m_error = errorText(m_query);
            return false;
        }
        return true;
    }

    QString error() const { return m_error; }

private:
#ifdef VELMARO_NATIVE_SQLITE
    static sqlite3 *nativeHandle(const QSqlDatabase &db)
    {
        const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
        if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
            return nullptr;
        sqlite3 *handle = *static_cast<sqlite3 *const *>(v.constData());
        if (!handle || !sameLibrary(db))
            return nullptr;
        return handle;
    }
    // The driver may carry its own copy of SQLite; only one built from the
    // same sources as ours may be handed our calls.
    static bool sameLibrary(const QSqlDatabase &db)
    {
        static int known = -1;
        if (known < 0) {
            QSqlQuery q(db);
            known = q.exec(QStringLiteral("SELECT sqlite_source_id()")) && q.next()
                    && q.value(0).toString() == QLatin1String(sqlite3_sourceid());
        }
        return known == 1;
    }
    sqlite3 *m_handle = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
#endif
    QSqlQuery m_query;
    int m_shipId;
    int m_regattaId;
    QString m_error;
};

} // namespace

PositionsResult ingestPositions(const QByteArray &body, const PositionsTarget &target,
                                std::FILE *diagnostics)
{
    PositionsResult result;
    QByteArrayView text(body);
    const bool utf8 = text.isValidUtf8();
    if (utf8 && text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    const FieldReader reader(utf8);

    QSqlDatabase db = QSqlDatabase::database();
    if (!db.transaction()) {
        result.error = db.lastError().text();
        return result;
    }
    int previous = 0;
    bool failed = false;
    {
        FixInserter inserter(db, target.boatId, target.regattaId);
        if (!inserter.prepare()) {
            result.error = inserter.error();
            db.rollback();
            return result;
        }
        result.fixes.reserve(qsizetype(text.count('\n')) + 1);

        // Lines end at "\n" or "\r\n"; a final line break starts no line.
        const char *p = text.data();
        const char *const end = p + text.size();
        while (p < end && !failed) {
            const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
            const char *stop = nl ? nl : end;
            const char *next = nl ? nl + 1 : end;
            if (stop > p && stop[-1] == '\r')
                --stop;
            const QByteArrayView line(p, stop - p);
            p = next;

            QByteArrayView f[5];
            if (!splitBytes(line, ';', f)) {
                ++result.malformedLines;
                writeDiagnostic(diagnostics, target.index);
                continue;
            }
            const int t = reader.toInt(f[2]);
            // The service repeats the fix at the since time; the track in
            // memory must stay time-ordered and free of doubles.
            if (t == previous || (target.hasFixes && t <= target.newestFix)) {
                ++result.skippedLines;
                continue;
            }
            Fix fix;
            fix.lat = reader.toDouble(f[0]);
            fix.lng = reader.toDouble(f[1]);
            fix.tstamp = t;
            fix.heading = reader.toDouble(f[3]);
            fix.extra = reader.toDouble(f[4]);
            if (!inserter.insert(fix)) {
                result.error = inserter.error();
                failed = true;
                break;
            }
            result.fixes.append(fix);
            previous = t;
        }
    }
    if (diagnostics)
        std::fflush(diagnostics);

    if (!failed && previous > 0) {
        QSqlQuery store(db);
        if (!store.prepare(storeLastgetSql)) {
            result.error = errorText(store);
            failed = true;
        } else {
            store.bindValue(QStringLiteral(":lastget"), previous);
            store.bindValue(QStringLiteral(":ship_id"), target.boatId);
            if (!store.exec()) {
                result.error = errorText(store);
                failed = true;
            }
        }
    }
    if (!failed && !db.commit()) {
        result.error = db.lastError().text();
        failed = true;
    }
    if (failed) {
        db.rollback();
        result.fixes.clear();
        return result;
    }
    result.committed = true;
    if (previous > 0) {
        result.lastgetChanged = true;
        result.lastget = previous;
    }
    return result;
}

bool storedAutoloadPreference()
{
    QSqlQuery query;
    if (!query.exec(QStringLiteral("SELECT autoload FROM prefs WHERE id=1")) || !query.next())
        return false;
    return query.value(0).toInt() == 1;
}

} // namespace Tracking
