#include "store/boatstore.h"

#include "store/transaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace
{

// The show and follow columns hold the words, not numbers.
QString flagText(bool on)
{
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

// The flags are stored as the words true/false; other tools write 1/0.
bool flagFromText(const QVariant &value)
{
    const QString text = value.toString().trimmed();
    return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           text == QLatin1String("1");
}

bool failed(const QSqlQuery &query, QString *error)
{
    if (error)
        *error = query.lastError().text();
    return false;
}

// Prepares sql, binds the values in placeholder order and runs it.
bool run(const QString &sql, std::initializer_list<QVariant> values, QString *error)
{
    QSqlQuery query;
    if (!query.prepare(sql))
        return failed(query, error);
    int i = 0;
    for (const QVariant &value : values)
        query.bindValue(i++, value);
    if (!query.exec())
        return failed(query, error);
    return true;
}

const QString clearFollowSql =
    QStringLiteral("UPDATE ship SET follow='false' WHERE regatta_id=:id");
const QString storeFollowSql = QStringLiteral("UPDATE ship SET follow=:follow WHERE id=:id");
const QString clearFixesSql =
    QStringLiteral("DELETE FROM track WHERE ship_id=:ship_id AND regatta_id=:regatta_id");

} // namespace

namespace BoatStore
{

QVector<BoatRow> boats(int eventId, bool *ok)
{
    if (ok)
        *ok = false;
    QVector<BoatRow> rows;
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral(
            "SELECT id, regatta_id, klasse, name, team, skipper, startnr, farbe, show, follow, "
            "lastget FROM ship WHERE regatta_id=:regatta_id ORDER BY klasse, startnr")))
        return rows;
    query.bindValue(QStringLiteral(":regatta_id"), eventId);
    if (!query.exec())
        return rows;
    while (query.next()) {
        BoatRow row;
        row.id = query.value(0).toInt();
        row.regattaId = query.value(1).toInt();
        row.klasse = query.value(2).toString();
        row.name = query.value(3).toString();
        row.team = query.value(4).toString();
        row.skipper = query.value(5).toString();
        row.startnr = query.value(6).toString();
        row.farbe = query.value(7).toString();
        row.show = flagFromText(query.value(8));
        row.follow = flagFromText(query.value(9));
        row.lastget = query.value(10).toInt();
        rows.append(row);
    }
    if (ok)
        *ok = true;
    return rows;
}

bool storeShowFollow(int id, bool show, bool follow, QString *error)
{
    return run(QStringLiteral("UPDATE ship SET show=:show, follow=:follow WHERE id=:id"),
               {flagText(show), flagText(follow), id}, error);
}

bool clearFollow(int regattaId, QString *error)
{
    return run(clearFollowSql, {regattaId}, error);
}

bool storeFollow(int id, bool follow, QString *error)
{
    return run(storeFollowSql, {flagText(follow), id}, error);
}

bool storeOnlyFollowed(int regattaId, int id, bool follow, QString *error)
{
    Transaction transaction;
    if (!transaction.isOpen()) {
        if (error)
            *error = transaction.error();
        return false;
    }
    if (!clearFollow(regattaId, error) || !storeFollow(id, follow, error))
        return false;
    if (transaction.commit())
        return true;
    if (error)
        *error = transaction.error();
    return false;
}

bool storeLastget(int id, int lastget, QString *error)
{
    return run(QStringLiteral("UPDATE ship SET lastget=:lastget WHERE id=:ship_id"), {lastget, id},
               error);
}

bool insertBoat(const BoatRow &boat, QString *error)
{
    return run(QStringLiteral("INSERT INTO ship (id, regatta_id, name, skipper, team, klasse, "
                              "startnr, farbe, lastget, show, follow) VALUES (:id, :regatta_id, "
                              ":name, :skipper, :team, :klasse, :startnr, :farbe, :lastget, "
                              ":show, :follow)"),
               {boat.id, boat.regattaId, boat.name, boat.skipper, boat.team, boat.klasse,
                boat.startnr, boat.farbe, boat.lastget, flagText(boat.show), flagText(boat.follow)},
               error);
}

bool clearFixes(int shipId, int regattaId, QString *error)
{
    return run(clearFixesSql, {shipId, regattaId}, error);
}

QVector<FixRow> raceFixes(int regattaId, bool *ok)
{
    QVector<FixRow> fixes;
    QSqlQuery query;
    query.setForwardOnly(true);
    const bool ran =
        query.prepare(QStringLiteral("SELECT ship_id, lat, lng, tstamp FROM track "
                                     "WHERE regatta_id = :r ORDER BY ship_id, tstamp"));
    query.bindValue(QStringLiteral(":r"), regattaId);
    if (ran && query.exec()) {
        while (query.next())
            fixes.append(
                {query.value(1).toDouble(), query.value(2).toDouble(), query.value(3).toInt()});
        if (ok)
            *ok = true;
    } else if (ok) {
        *ok = false;
    }
    return fixes;
}

} // namespace BoatStore

TrackReader::TrackReader() = default;
TrackReader::~TrackReader() = default;

bool TrackReader::read(int shipId, int regattaId, QVector<FixRow> *fixes)
{
    fixes->clear();
    if (!m_ready) {
        m_query = std::make_unique<QSqlQuery>();
        m_query->setForwardOnly(true);
        ++m_prepareCount;
        m_ready = m_query->prepare(
            QStringLiteral("SELECT lat, lng, tstamp FROM track WHERE ship_id=:ship_id AND "
                           "regatta_id=:regatta_id ORDER BY tstamp"));
        if (!m_ready)
            return false;
    }
    QSqlQuery &query = *m_query;
    query.bindValue(QStringLiteral(":ship_id"), shipId);
    query.bindValue(QStringLiteral(":regatta_id"), regattaId);
    if (!query.exec())
        return false;
    while (query.next())
        fixes->append(
            {query.value(0).toDouble(), query.value(1).toDouble(), query.value(2).toInt()});
    // Release the statement's read lock until the next boat.
    query.finish();
    return true;
}

struct BoatListWriter::Statements {
    QSqlQuery find;
    QSqlQuery insert;
    QSqlQuery update;
    QSqlQuery clear;
};

BoatListWriter::BoatListWriter() : m_statements(std::make_unique<Statements>()) {}
BoatListWriter::~BoatListWriter() = default;

bool BoatListWriter::prepare()
{
    Statements &s = *m_statements;
    if (s.find.prepare(
            QStringLiteral("SELECT id FROM ship WHERE id=:id AND regatta_id=:regatta_id")) &&
        s.insert.prepare(QStringLiteral(
            "INSERT INTO ship (id, regatta_id, name, skipper, team, klasse, farbe, startnr, show, "
            "follow, lastget) VALUES (:id, :regatta_id, :name, :skipper, :team, :klasse, :farbe, "
            ":startnr, :show, :follow, :tsmin)")) &&
        s.update.prepare(QStringLiteral(
            "UPDATE ship SET name=:name, team=:team, skipper=:skipper, klasse=:klasse, "
            "farbe=:farbe, startnr=:startnr, lastget=0 WHERE id=:id AND regatta_id=:regatta_id")) &&
        s.clear.prepare(clearFixesSql))
        return true;
    m_error = QStringLiteral("prepare failed: ") + s.find.lastError().text() +
              s.insert.lastError().text() + s.update.lastError().text() +
              s.clear.lastError().text();
    return false;
}

namespace
{
// The columns the boat list sets, shared by the insert and the update.
void bindBoatFields(QSqlQuery &query, const BoatRecord &boat)
{
    query.bindValue(QStringLiteral(":id"), boat.id);
    query.bindValue(QStringLiteral(":regatta_id"), boat.regattaId);
    query.bindValue(QStringLiteral(":name"), boat.name);
    query.bindValue(QStringLiteral(":team"), boat.team);
    query.bindValue(QStringLiteral(":skipper"), boat.skipper);
    query.bindValue(QStringLiteral(":klasse"), boat.klasse);
    query.bindValue(QStringLiteral(":farbe"), boat.farbe);
    query.bindValue(QStringLiteral(":startnr"), boat.startnr);
}
} // namespace

bool BoatListWriter::store(const BoatRecord &boat, int eventId)
{
    Statements &s = *m_statements;
    s.find.bindValue(QStringLiteral(":id"), boat.id);
    s.find.bindValue(QStringLiteral(":regatta_id"), boat.regattaId);
    bool ok = s.find.exec();
    if (!ok)
        m_error = s.find.lastError().text();
    const bool known = ok && s.find.next();
    s.find.finish();

    if (ok && !known) {
        bindBoatFields(s.insert, boat);
        s.insert.bindValue(QStringLiteral(":show"), flagText(true));
        s.insert.bindValue(QStringLiteral(":follow"), flagText(false));
        s.insert.bindValue(QStringLiteral(":tsmin"), boat.tsmin);
        ok = s.insert.exec();
        if (!ok)
            m_error = s.insert.lastError().text();
    } else if (ok) {
        bindBoatFields(s.update, boat);
        ok = s.update.exec();
        if (!ok)
            m_error = s.update.lastError().text();
    }

    s.clear.bindValue(QStringLiteral(":ship_id"), boat.id);
    s.clear.bindValue(QStringLiteral(":regatta_id"), eventId);
    if (!s.clear.exec()) {
        m_error = s.clear.lastError().text();
        ok = false;
    }
    return ok;
}
