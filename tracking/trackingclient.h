#ifndef VELMARO_TRACKING_TRACKINGCLIENT_H
#define VELMARO_TRACKING_TRACKINGCLIENT_H

#include "tracking/trackingrequest.h"
#include "tracking/trackingtypes.h"

#include <QObject>
#include <QString>

#include <cstdio>

class QNetworkAccessManager;
class QNetworkReply;
class TrackingHost;

// Talks to the tracking service for the main window: sends the boat list and
// positions requests, the probe and the version request on its own network
// manager, and ingests every reply into the database and, through the host,
// into the ships of the current race.
class TrackingClient : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Applied,   // stored and applied to the current race
        Stored,    // boat list stored; its race is no longer selected
        Dropped,   // race or boat no longer the one asked for; nothing touched
        RolledBack, // a statement failed; nothing stored, lastget kept
        Failed,    // network error or timeout; serverUp cleared
        Probe,     // probe or version reply
        Ignored,   // a URL of no known kind
    };
    Q_ENUM(Outcome)

    // host is not owned and must outlive the client.
    explicit TrackingClient(TrackingHost *host, QObject *parent = nullptr);
    ~TrackingClient() override;

    // Tracking service base address, Config::trackingUrl() by default.
    QString baseUrl() const { return m_baseUrl; }
    void setBaseUrl(const QString &url);
    // Transfer timeout of every request, Identity::trackingTimeoutMs by default.
    int transferTimeout() const { return m_timeoutMs; }
    void setTransferTimeout(int ms) { m_timeoutMs = ms; }
    // Where the positions ingest writes its diagnostic lines (stdout; null: nowhere).
    void setDiagnosticStream(std::FILE *stream) { m_diagnostics = stream; }

    QNetworkAccessManager *networkManager() const { return m_manager; }

    bool serverUp() const { return m_serverUp; }
    void setServerUp(bool up) { m_serverUp = up; }
    // A position cycle is in progress; the host's setNetLedOff clears it when
    // the lamp count reaches 0.
    bool isLoading() const { return m_loading; }
    void setLoading(bool loading) { m_loading = loading; }
    bool newVersionSeen() const { return m_newVersionSeen; }

    // Sends one request of kind 1, 2 or 3 and turns the lamp on; any other
    // kind sends nothing and returns null. tag.index is the boat's place in
    // the list (the event number for a boat list).
    QNetworkReply *sendTrackingRequest(const QString &url, int kind,
                                       const Tracking::RequestTag &tag);

    // Race selection, after the host has taken over the new race: deletes the
    // old ships, builds the new ones from the store or asks for the boat list,
    // and asks for the history of every boat without stored fixes.
    void loadRace();
    // The positions of the boat at index since the given time, when the
    // stored automatic-download preference is on; sets its lastget to since.
    void fetchShipPositions(int index, qint64 since);
    // One positions request per boat from its lastget, unless the race has ended.
    bool requestNewPositions();
    // One polling step (the fetch button and the poll timer).
    void getData();

    // Sends the probe; returns serverUp as it was before this probe.
    bool probeServer();
    void checkVersion();

    // The race was removed: replies still under way for it are dropped when
    // they arrive (lamp counted down as for any reply), so nothing of it is
    // stored again.
    void discardRace(int eventId, int taskId);

public slots:
    void handleNetworkData(QNetworkReply *reply);

signals:
    // After a reply has been handled completely.
    void replyHandled(const QUrl &url, TrackingClient::Outcome outcome);

private:
    Outcome handlePositions(QNetworkReply *reply);
    Outcome handleBoatList(QNetworkReply *reply);
    void handleVersion(QNetworkReply *reply);
    void requestMissingTracks(const Tracking::RaceInfo &race);
    // The positions requests of requestNewPositions; how many were sent.
    int sendNewPositions();
    void sendBoatList(const Tracking::RaceInfo &race);

    TrackingHost *m_host;
    QNetworkAccessManager *m_manager;
    QString m_baseUrl;
    int m_timeoutMs;
    std::FILE *m_diagnostics = stdout;
    // Optimistic: the first fetch after start-up already asks for positions.
    bool m_serverUp = true;
    bool m_loading = false;
    bool m_newVersionSeen = false;
};

#endif
