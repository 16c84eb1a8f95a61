#include "store/preferences.h"

#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace
{

QString columnOf(Pref pref)
{
    switch (pref) {
    case Pref::LoadMaps:
        return QStringLiteral("loadmaps");
    case Pref::Autoload:
        return QStringLiteral("autoload");
    case Pref::LookForUpdate:
        break;
    }
    return QStringLiteral("lookforupdate");
}

std::optional<int> readColumn(const QString &column)
{
    QSqlQuery query;
    if (!query.exec(QStringLiteral("SELECT %1 FROM prefs WHERE id=1").arg(column)) || !query.next())
        return std::nullopt;
    return query.value(0).toInt();
}

} // namespace

Preferences Preferences::load()
{
    Preferences prefs;
    for (Pref pref : {Pref::LoadMaps, Pref::Autoload, Pref::LookForUpdate}) {
        const std::optional<bool> on = read(pref);
        if (!on)
            continue;
        prefs.m_read |= bit(pref);
        switch (pref) {
        case Pref::LoadMaps:
            prefs.loadMaps = *on;
            break;
        case Pref::Autoload:
            prefs.autoload = *on;
            break;
        case Pref::LookForUpdate:
            prefs.lookForUpdate = *on;
            break;
        }
    }
    // A non-positive interval would make the poll timer fire continuously.
    prefs.pollInterval = readColumn(QStringLiteral("loadinterval")).value_or(5);
    if (prefs.pollInterval <= 0)
        prefs.pollInterval = 5;
    return prefs;
}

std::optional<bool> Preferences::read(Pref pref)
{
    const std::optional<int> value = readColumn(columnOf(pref));
    if (!value)
        return std::nullopt;
    return *value == 1;
}

bool Preferences::set(Pref pref, bool on)
{
    const QString column = columnOf(pref);
    QSqlQuery query;
    if (!query.prepare(QStringLiteral("UPDATE prefs SET %1=:%1 WHERE id=1").arg(column)))
        return false;
    query.bindValue(QLatin1Char(':') + column, on ? 1 : 0);
    return query.exec();
}
