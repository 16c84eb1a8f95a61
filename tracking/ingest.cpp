#include "ingest.h"

#include <QByteArrayView>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace Tracking {

namespace {

const char *const colours[ColourCount] = {
    "#ff008a", "#00ffcc", "#9000ff", "#ffffff", "#00ff00", "#ffff00", "#0000ff", "#ff0000",
    "#e19a00", "#7fe100", "#000000", "#4c4c4c", "#cccccc", "#ff7800", "#b10034",
};

const QString insertFixSql = QStringLiteral(
    "INSERT INTO track (ship_id, regatta_id, lat, lng, tstamp) "
    "VALUES (:ship_id, :regatta_id, :lat, :lng, :tstamp)");
const QString storeLastgetSql = QStringLiteral("UPDATE ship SET lastget=:lastget WHERE id=:ship_id");
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

PositionsResult ingestPositions(const QByteArray &body, const PositionsTarget &target,
                                std::FILE *diagnostics)
{
    PositionsResult result;
    const QString text = decodeReplyBody(body);
    QSqlDatabase db = QSqlDatabase::database();
    if (!db.transaction()) {
        result.error = db.lastError().text();
        return result;
    }
    QSqlQuery insert(db);
    if (!insert.prepare(insertFixSql)) {
        result.error = errorText(insert);
        db.rollback();
        return result;
    }
    // Placeholders in statement order: ship_id, regatta_id, lat, lng, tstamp.
    insert.bindValue(0, target.boatId);
    insert.bindValue(1, target.regattaId);

    int previous = 0;
    bool failed = false;
    forEachLine(text, [&](QStringView line) {
        if (failed)
            return;
        QStringView f[5];
        if (!splitExactly(line, QLatin1Char(';'), f)) {
            ++result.malformedLines;
            writeDiagnostic(diagnostics, target.index);
            return;
        }
        const int t = f[2].toInt();
        // The service repeats the fix at the since time; the track in memory
        // must stay time-ordered and free of doubles.
        if (t == previous || (target.hasFixes && t <= target.newestFix)) {
            ++result.skippedLines;
            return;
        }
        Fix fix;
        fix.lat = f[0].toDouble();
        fix.lng = f[1].toDouble();
        fix.tstamp = t;
        fix.heading = f[3].toDouble();
        fix.extra = f[4].toDouble();
        insert.bindValue(2, fix.lat);
        insert.bindValue(3, fix.lng);
        insert.bindValue(4, t);
        if (!insert.exec()) {
            result.error = errorText(insert);
            failed = true;
            return;
        }
        result.fixes.append(fix);
        previous = t;
    });
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
