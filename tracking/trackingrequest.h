#ifndef VELMARO_TRACKING_TRACKINGREQUEST_H
#define VELMARO_TRACKING_TRACKINGREQUEST_H

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>

// Building the requests of the tracking service and reading back what a
// request was asked for.
namespace Tracking {

// "Track-Type" kinds.
enum TrackType { OldPositions = 1, NewBoats = 2, NewPositions = 3 };

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

// Empty for a kind that is not 1, 2 or 3.
QByteArray trackTypeValue(int kind);

QString boatListUrl(const QString &base, int eventId, int taskId);
QString positionsUrl(const QString &base, int eventId, int taskId, int boatId, qint64 since);
QString probeUrl(const QString &base);
QString versionUrl(const QString &base);

// A boat list or positions request; an invalid QNetworkRequest (empty URL)
// for an unknown kind.
QNetworkRequest makeTrackingRequest(const QString &url, int kind, const RequestTag &tag,
                                    int timeoutMs);
// Probe and version requests: user agent and index 100, no "Track-Type".
QNetworkRequest makePlainRequest(const QString &url, int timeoutMs);

RequestTag tagOf(const QNetworkRequest &request);

} // namespace Tracking

#endif
