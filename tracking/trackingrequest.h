#ifndef VELMARO_TRACKING_TRACKINGREQUEST_H
#define VELMARO_TRACKING_TRACKINGREQUEST_H

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>

// Building the requests of the tracking service and reading back what a
// request was asked for.
namespace Tracking
{

// What a request asks for. The first three carry their number as
// "Track-Type" and light the transfer lamp; the probe and the version
// request carry neither.
enum class RequestKind { OldPositions = 1, BoatList = 2, Positions = 3, Probe, Version };

inline bool isTransfer(RequestKind kind)
{
    return kind == RequestKind::OldPositions || kind == RequestKind::BoatList ||
           kind == RequestKind::Positions;
}

// Request attributes. IndexAttribute holds the boat's place in the ship list
// (the event number for a boat list, 100 for probe and version); the others
// tie a reply to the race and boat it was asked for.
enum RequestAttribute {
    IndexAttribute = QNetworkRequest::User,
    EventAttribute = QNetworkRequest::User + 1,
    BoatAttribute = QNetworkRequest::User + 2,
    TaskAttribute = QNetworkRequest::User + 3,
};

inline constexpr int ProbeIndex = 100;

struct RequestTag {
    int index = 0;
    int eventId = 0;
    int taskId = 0;
    int boatId = 0; // 0 for a boat list
};

// Empty for the probe and the version request.
QByteArray trackTypeValue(RequestKind kind);

QString boatListUrl(const QString &base, int eventId, int taskId);
QString positionsUrl(const QString &base, int eventId, int taskId, int boatId, qint64 since);
QString probeUrl(const QString &base);
QString versionUrl(const QString &base);

// User agent and timeout on every kind. Transfers carry "Track-Type" and the
// tag; the probe and the version request only index 100 (tag unused).
QNetworkRequest makeRequest(RequestKind kind, const QString &url, int timeoutMs,
                            const RequestTag &tag = {});

RequestTag tagOf(const QNetworkRequest &request);

} // namespace Tracking

#endif
