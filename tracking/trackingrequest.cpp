#include "tracking/trackingrequest.h"

#include "platform/identity.h"

#include <QUrl>

namespace Tracking
{

QByteArray trackTypeValue(RequestKind kind)
{
    switch (kind) {
    case RequestKind::OldPositions:
        return QByteArrayLiteral("getoldpos");
    case RequestKind::BoatList:
        return QByteArrayLiteral("getnewboats");
    case RequestKind::Positions:
        return QByteArrayLiteral("getnewpos");
    case RequestKind::Probe:
    case RequestKind::Version:
        break;
    }
    return QByteArray();
}

QString boatListUrl(const QString &base, int eventId, int taskId)
{
    return QStringLiteral("%1?rg=%2&wf=%3&csv=1")
        .arg(base + QLatin1String("/api/getBoats.php"))
        .arg(eventId)
        .arg(taskId);
}

QString positionsUrl(const QString &base, int eventId, int taskId, int boatId, qint64 since)
{
    return QStringLiteral("%1?rg=%2&wf=%3&bo=%4&h=5&la=%5&csv=1&lid=%6")
        .arg(base + QLatin1String("/api/getPosition.php"))
        .arg(eventId)
        .arg(taskId)
        .arg(boatId)
        .arg(since)
        .arg(since);
}

QString probeUrl(const QString &base)
{
    return base + QLatin1String("/api/isup.html");
}

QString versionUrl(const QString &base)
{
    return base + QLatin1String("/api/version.html");
}

QNetworkRequest makeRequest(RequestKind kind, const QString &url, int timeoutMs,
                            const RequestTag &tag)
{
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("User-Agent", Identity::trackingUserAgent);
    request.setTransferTimeout(timeoutMs);
    if (!isTransfer(kind)) {
        request.setAttribute(QNetworkRequest::Attribute(IndexAttribute), ProbeIndex);
        return request;
    }
    request.setRawHeader("Track-Type", trackTypeValue(kind));
    request.setAttribute(QNetworkRequest::Attribute(IndexAttribute), tag.index);
    request.setAttribute(QNetworkRequest::Attribute(EventAttribute), tag.eventId);
    request.setAttribute(QNetworkRequest::Attribute(TaskAttribute), tag.taskId);
    request.setAttribute(QNetworkRequest::Attribute(BoatAttribute), tag.boatId);
    return request;
}

RequestTag tagOf(const QNetworkRequest &request)
{
    RequestTag tag;
    tag.index = request.attribute(QNetworkRequest::Attribute(IndexAttribute)).toInt();
    tag.eventId = request.attribute(QNetworkRequest::Attribute(EventAttribute)).toInt();
    tag.taskId = request.attribute(QNetworkRequest::Attribute(TaskAttribute)).toInt();
    tag.boatId = request.attribute(QNetworkRequest::Attribute(BoatAttribute)).toInt();
    return tag;
}

} // namespace Tracking
