#ifndef VELMARO_TRACKING_TRACKINGCLIENT_H
#define VELMARO_TRACKING_TRACKINGCLIENT_H

#include "store/database.h"
#include "tracking/trackingrequest.h"
#include "tracking/trackingtypes.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>

#include <cstdio>
#include <deque>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Talks to the tracking service for the current race: sends the boat list
// and positions requests, the probe and the version request on its own
// network manager, ingests every reply into the database and tells the race
// through its signals what to apply. It reads the race and its boats, which
// the race object sets; it owns neither.
class TrackingClient : public QObject
{
    Q_OBJECT
public:
    // Replies that have finished but wait for their turn to be handled.
    int waitingReplies() const { return static_cast<int>(m_finished.size()); }
    enum class Outcome {
        Applied,    // stored and applied to the current race
        Stored,     // boat list stored; its race is no longer selected
        Dropped,    // race or boat no longer the one asked for; nothing touched
        RolledBack, // a statement failed; nothing stored, lastget kept
        Failed,     // network error, timeout or limit; serverUp cleared
        Probe,      // probe or version reply
    };
    Q_ENUM(Outcome)

    // The boats of the current race in list order; a boat's place in it is
    // the index its positions requests carry.
    using BoatSource = std::function<QVector<Tracking::BoatInfo>()>;

    explicit TrackingClient(QObject *parent = nullptr);
    ~TrackingClient() override;

    // Tracking service base address, Config::trackingUrl() by default.
    QString baseUrl() const { return m_baseUrl; }
    void setBaseUrl(const QString &url);
    // Transfer timeout of every request, Identity::trackingTimeoutMs by default.
    int transferTimeout() const { return m_timeoutMs; }
    void setTransferTimeout(int ms) { m_timeoutMs = ms; }
    // Largest reply and time from request to the last byte of every request,
    // Identity::trackingMaxBytes and Identity::trackingDeadlineMs by default.
    void setReplyLimits(qint64 maxBytes, int deadlineMs)
    {
        m_maxBytes = maxBytes;
        m_deadlineMs = deadlineMs;
    }
    // Where the positions ingest writes its diagnostic lines (stdout; null: nowhere).
    void setDiagnosticStream(std::FILE *stream) { m_diagnostics = stream; }

    QNetworkAccessManager *networkManager() const { return m_manager; }

    // The selected race (valid false while none is).
    Tracking::RaceInfo race() const { return m_race; }
    void setRace(const Tracking::RaceInfo &race)
    {
        m_race = race;
        m_boatListLost = false;
    }
    void setBoatSource(BoatSource source) { m_boats = std::move(source); }
    QVector<Tracking::BoatInfo> boats() const;

    bool serverUp() const { return m_serverUp; }
    void setServerUp(bool up) { m_serverUp = up; }
    // A position cycle is in progress; whoever counts the lamp clears it when
    // the count reaches 0 (the lamp counts tile transfers too).
    bool isLoading() const { return m_loading; }
    void setLoading(bool loading) { m_loading = loading; }
    bool newVersionSeen() const { return m_newVersionSeen; }
    // From a race change until every boat list and positions request it led
    // to is answered.
    bool isLoadActive() const { return m_load.active; }
    // The status-bar line for a load under way.
    static QString loadProgressText(int boatsDone, int boatsAsked, qint64 fixes);

    // Race selection, once the race object has set the race and taken the
    // boats the store holds (none before the start): asks for the boat list
    // when there are none or the race has not begun, and for the history of
    // every boat without fixes.
    void loadRace();
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

signals:
    // Once per boat list or positions request sent, once when its reply is
    // handled; the probe and the version request leave the lamp alone.
    void transferStarted();
    void transferFinished();
    // The boat list of the current race is stored: the race rebuilds its
    // boats from table ship, with their stored fixes once it has begun and
    // then placed. Its history is asked for right after.
    void boatsStored(int eventId);
    // The boat's since time for its next positions request (memory only).
    void lastgetChanged(int index, int lastget);
    // A positions reply for the boat is committed: the race appends the fixes
    // (in order, possibly none), sets the lastget, marks the boat as having
    // positions and places the boats.
    void fixesStored(int index, const QVector<Tracking::Fix> &fixes, int lastget);
    // The time of the last positions reply, for "Letzte Abfrage der Postionsdaten".
    void lastFetchTextChanged(const QString &text);
    // A polling cycle has sent its requests: the poll interval counts from
    // now when automatic download is on.
    void pollCycleStarted();
    // The version reply named another version.
    void newVersionAvailable();
    // A reply could not be stored; once per kind of failure until a reply
    // is stored again. The text is for the status bar.
    void storeProblem(const QString &message);
    // A reply of the race load was handled: boats whose positions came of
    // those asked for, and the fixes they brought.
    void loadProgress(int boatsDone, int boatsAsked, qint64 fixes);
    // The race load is over (every reply handled, or nothing was asked).
    void loadFinished();
    // After a reply has been handled completely.
    void replyHandled(const QUrl &url, TrackingClient::Outcome outcome);

private:
    // Sends one request; transfers light the lamp.
    QNetworkReply *send(Tracking::RequestKind kind, const QString &url,
                        const Tracking::RequestTag &tag = {});
    void handleReply(QNetworkReply *reply, Tracking::RequestKind kind,
                     const Tracking::RequestTag &tag);
    Outcome handlePositions(QNetworkReply *reply, const Tracking::RequestTag &tag);
    Outcome handleBoatList(QNetworkReply *reply, const Tracking::RequestTag &tag);
    void handleVersion(QNetworkReply *reply);
    void requestMissingTracks(const QVector<Tracking::BoatInfo> &boats);
    // The boat's positions since the race start, when the stored
    // automatic-download preference is on; sets its lastget to the start.
    void fetchHistory(int index, const Tracking::BoatInfo &boat);
    // The positions requests of requestNewPositions, for the boats with
    // fixes only when heldOnly; how many were sent.
    int sendNewPositions(bool heldOnly = false);
    void sendBoatList();
    void reportStoreFailure(const QString &error);
    // boatId: the boat a positions reply was for, -1 for the boat list.
    void countLoadReply(QNetworkReply *reply, int boatId);
    void handleNextReply();

    QNetworkAccessManager *m_manager;
    // Finished replies waiting to be handled, one per pass of the event loop:
    // many replies of a poll cycle finish together, and storing them all in
    // one pass (a commit each) would freeze the window.
    struct Finished {
        QPointer<QNetworkReply> reply;
        Tracking::RequestKind kind;
        Tracking::RequestTag tag;
    };
    std::deque<Finished> m_finished;
    QTimer m_drain;
    QString m_baseUrl;
    int m_timeoutMs;
    qint64 m_maxBytes;
    int m_deadlineMs;
    std::FILE *m_diagnostics = stdout;
    Tracking::RaceInfo m_race;
    BoatSource m_boats;
    // Optimistic: the first fetch after start-up already asks for positions.
    bool m_serverUp = true;
    bool m_loading = false;
    bool m_newVersionSeen = false;
    bool m_boatListLost = false; // rolled back: asked for again at the next poll
    // The requests of the current race load; replies of an earlier load carry
    // another generation and are not counted.
    struct Load {
        bool active = false;
        int generation = 0;
        int requests = 0;
        int answered = 0;
        // Open replies per boat asked: a boat asked for its history and its
        // newest fixes counts once, done when none of its replies is open.
        QHash<int, int> openPerBoat;
        qint64 fixes = 0;
    } m_load;
    // The failure last told; None again after a reply is stored.
    Database::WriteFailure m_reportedFailure = Database::WriteFailure::None;
};

#endif
