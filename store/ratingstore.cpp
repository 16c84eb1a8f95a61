#include "store/ratingstore.h"

#include "store/transaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

QString Rating::systemKey(System system)
{
    switch (system) {
    case System::TimeOnTime:
        return QStringLiteral("tot");
    case System::TimeOnDistance:
        return QStringLiteral("tod");
    case System::None:
        break;
    }
    return QString();
}

Rating::System Rating::systemFromText(const QString &text)
{
    QString key = text.trimmed().toLower();
    key.remove(QLatin1Char('-'));
    key.remove(QLatin1Char(' '));
    if (key == QLatin1String("tot") || key == QLatin1String("timeontime") ||
        key == QLatin1String("tcf"))
        return System::TimeOnTime;
    if (key == QLatin1String("tod") || key == QLatin1String("timeondistance"))
        return System::TimeOnDistance;
    return System::None;
}

bool Rating::isValid(System system, double value)
{
    if (!std::isfinite(value))
        return false;
    switch (system) {
    case System::TimeOnTime:
        return value > 0.0 && value < 10.0;
    case System::TimeOnDistance:
        return std::abs(value) <= 3600.0;
    case System::None:
        break;
    }
    return false;
}

namespace RatingStore
{

QHash<int, Rating> ratings(int regattaId, bool *ok)
{
    if (ok)
        *ok = false;
    QHash<int, Rating> result;
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral(
            "SELECT ship_id, system, value FROM rating WHERE regatta_id=:regatta_id")))
        return result;
    query.bindValue(QStringLiteral(":regatta_id"), regattaId);
    if (!query.exec())
        return result;
    while (query.next()) {
        Rating rating;
        rating.system = Rating::systemFromText(query.value(1).toString());
        rating.value = query.value(2).toDouble();
        // Rows written by other tools may hold anything.
        if (Rating::isValid(rating.system, rating.value))
            result.insert(query.value(0).toInt(), rating);
    }
    if (ok)
        *ok = true;
    return result;
}

bool store(int regattaId, const QHash<int, Rating> &ratings, QString *error)
{
    Transaction transaction;
    if (!transaction.isOpen()) {
        if (error)
            *error = transaction.error();
        return false;
    }
    QSqlQuery remove;
    QSqlQuery write;
    if (!remove.prepare(QStringLiteral(
            "DELETE FROM rating WHERE ship_id=:ship_id AND regatta_id=:regatta_id")) ||
        !write.prepare(QStringLiteral("INSERT INTO rating (ship_id, regatta_id, system, value) "
                                      "VALUES (:ship_id, :regatta_id, :system, :value)"))) {
        if (error)
            *error = remove.lastError().text() + write.lastError().text();
        return false;
    }
    for (auto it = ratings.begin(); it != ratings.end(); ++it) {
        remove.bindValue(QStringLiteral(":ship_id"), it.key());
        remove.bindValue(QStringLiteral(":regatta_id"), regattaId);
        if (!remove.exec()) {
            if (error)
                *error = remove.lastError().text();
            return false;
        }
        if (!it->isSet())
            continue;
        write.bindValue(QStringLiteral(":ship_id"), it.key());
        write.bindValue(QStringLiteral(":regatta_id"), regattaId);
        write.bindValue(QStringLiteral(":system"), Rating::systemKey(it->system));
        write.bindValue(QStringLiteral(":value"), it->value);
        if (!write.exec()) {
            if (error)
                *error = write.lastError().text();
            return false;
        }
    }
    if (!transaction.commit()) {
        if (error)
            *error = transaction.error();
        return false;
    }
    return true;
}

} // namespace RatingStore
