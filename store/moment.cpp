#include "store/moment.h"

#include "store/race.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

#include <cmath>
#include <limits>

namespace
{

const QString scheme = QStringLiteral("velmaro");

QString tr(const char *text)
{
    return QCoreApplication::translate("MomentLink", text);
}

MomentLink::Parsed refuse(const QString &why)
{
    MomentLink::Parsed parsed;
    parsed.error = why;
    return parsed;
}

qint64 parseTime(const QString &text)
{
    if (const qint64 secs = parsePositiveInteger(text, maxRaceTime))
        return secs;
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid() || time.timeSpec() == Qt::LocalTime)
        return 0; // a link must not depend on the reader's time zone
    const qint64 secs = time.toSecsSinceEpoch();
    return secs > 0 && secs <= maxRaceTime ? secs : 0;
}

bool parseCoordinate(const QString &text, double limit, double *value)
{
    bool ok = false;
    *value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(*value) && std::abs(*value) <= limit;
}

} // namespace

namespace MomentLink
{

QString toLink(const Moment &m)
{
    QUrl url;
    url.setScheme(scheme);
    url.setHost(QStringLiteral("race"));
    url.setPath(QStringLiteral("/%1/%2").arg(m.eventId).arg(m.taskId));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("time"),
                       QDateTime::fromSecsSinceEpoch(m.time, Qt::UTC)
                           .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'")));
    if (m.shipId > 0)
        query.addQueryItem(QStringLiteral("boat"), QString::number(m.shipId));
    query.addQueryItem(QStringLiteral("centre"),
                       QStringLiteral("%1,%2").arg(QString::number(m.lat, 'f', 6),
                                                   QString::number(m.lng, 'f', 6)));
    query.addQueryItem(QStringLiteral("zoom"), QString::number(m.zoom));
    if (!m.name.isEmpty())
        query.addQueryItem(QStringLiteral("name"),
                           QString::fromLatin1(QUrl::toPercentEncoding(m.name)));
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

bool looksLikeLink(const QString &argument)
{
    return argument.startsWith(scheme + QLatin1Char(':'), Qt::CaseInsensitive);
}

Parsed parse(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(scheme, Qt::CaseInsensitive) != 0)
        return refuse(tr("Das ist kein velmaro:-Link."));
    const QStringList path = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    Moment m;
    if (url.host() == QLatin1String("race") && path.size() == 2) {
        m.eventId = int(parsePositiveInteger(path.at(0), std::numeric_limits<int>::max()));
        m.taskId = int(parsePositiveInteger(path.at(1), std::numeric_limits<int>::max()));
    }
    if (m.eventId == 0 || m.taskId == 0)
        return refuse(tr("Der Link nennt keine Regatta (velmaro://race/EVENT/TASK)."));
    const QUrlQuery query(url);
    const auto item = [&query](const char *key) {
        return query.queryItemValue(QLatin1String(key), QUrl::FullyDecoded);
    };
    m.time = parseTime(item("time"));
    if (m.time == 0)
        return refuse(tr("Der Link nennt keine gültige Zeit."));
    if (query.hasQueryItem(QStringLiteral("boat"))) {
        m.shipId = int(parsePositiveInteger(item("boat"), std::numeric_limits<int>::max()));
        if (m.shipId == 0)
            return refuse(tr("Der Link nennt kein gültiges Boot."));
    }
    const QStringList centre = item("centre").split(QLatin1Char(','));
    if (centre.size() != 2 || !parseCoordinate(centre.at(0), 90.0, &m.lat) ||
        !parseCoordinate(centre.at(1), 180.0, &m.lng))
        return refuse(tr("Der Link nennt keinen gültigen Kartenmittelpunkt."));
    const QString zoom = item("zoom");
    m.zoom = int(parsePositiveInteger(zoom, maxZoom));
    if (m.zoom == 0 && zoom.trimmed() != QLatin1String("0"))
        return refuse(tr("Der Link nennt keine gültige Zoomstufe (0 bis %1).").arg(maxZoom));
    m.name = item("name").left(100);
    Parsed parsed;
    parsed.ok = true;
    parsed.moment = m;
    return parsed;
}

} // namespace MomentLink

namespace MomentStore
{

namespace
{

bool failed(const QSqlQuery &query, QString *error)
{
    if (error)
        *error = query.lastError().text();
    return false;
}

} // namespace

QVector<Moment> moments(int eventId, int taskId)
{
    QVector<Moment> list;
    QSqlQuery q;
    q.prepare(QStringLiteral("SELECT id, name, tstamp, ship_id, lat, lng, zoom FROM moment "
                             "WHERE event_id=:e AND task_id=:t ORDER BY id"));
    q.bindValue(QStringLiteral(":e"), eventId);
    q.bindValue(QStringLiteral(":t"), taskId);
    if (!q.exec())
        return list;
    while (q.next()) {
        Moment m;
        m.id = q.value(0).toInt();
        m.eventId = eventId;
        m.taskId = taskId;
        m.name = q.value(1).toString();
        m.time = q.value(2).toLongLong();
        m.shipId = q.value(3).toInt();
        m.lat = q.value(4).toDouble();
        m.lng = q.value(5).toDouble();
        m.zoom = q.value(6).toInt();
        list.append(m);
    }
    return list;
}

bool add(Moment *m, QString *error)
{
    QSqlQuery q;
    if (!q.prepare(QStringLiteral("INSERT INTO moment (event_id, task_id, name, tstamp, ship_id, "
                                  "lat, lng, zoom) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")))
        return failed(q, error);
    int i = 0;
    for (const QVariant &v :
         {QVariant(m->eventId), QVariant(m->taskId), QVariant(m->name), QVariant(m->time),
          QVariant(m->shipId), QVariant(m->lat), QVariant(m->lng), QVariant(m->zoom)})
        q.bindValue(i++, v);
    if (!q.exec())
        return failed(q, error);
    m->id = q.lastInsertId().toInt();
    return true;
}

bool remove(int id, QString *error)
{
    QSqlQuery q;
    if (!q.prepare(QStringLiteral("DELETE FROM moment WHERE id=:id")))
        return failed(q, error);
    q.bindValue(QStringLiteral(":id"), id);
    return q.exec() || failed(q, error);
}

} // namespace MomentStore
