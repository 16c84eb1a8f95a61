#ifndef VELMARO_TRACKING_RACELIST_H
#define VELMARO_TRACKING_RACELIST_H

#include "store/race.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QObject>
#include <QString>
#include <QVector>

class QNetworkAccessManager;
class QNetworkReply;

// The tracking service's list of races ("/api/getRaces.php?csv=1"): the
// request, the parser and a small fetcher. One race a line, fields separated
// by "|": event number, task number, name, start, end (Unix seconds).
namespace Tracking
{

QString raceListUrl(const QString &base);
// The bare version as user agent and the transfer timeout; no "Track-Type".
QNetworkRequest makeRaceListRequest(const QString &base, int timeoutMs);

struct ParsedRaceList {
    QVector<Race> races;  // in reply order; a pair may repeat
    int skippedLines = 0; // malformed lines (blank lines are not counted)
};

// Decodes UTF-8, else Latin-1. Lines with another number of fields than five,
// numbers that are not positive integers, a blank name or an end not after
// the start are skipped. Names are trimmed.
ParsedRaceList parseRaceList(const QByteArray &body);

struct RaceListResult {
    enum Status {
        Ok,          // the list arrived (it may be empty)
        Unavailable, // HTTP 404: the service has no race list
        Failed,      // any other network or HTTP error, timeout included
    };
    Status status = Failed;
    QVector<Race> races;
    int skippedLines = 0;
    QString error; // for Failed: the reply's error text
};

// Turns a finished reply into a result (does not delete it).
RaceListResult raceListResultOf(QNetworkReply *reply);

// The status-bar text after fetching the list: how many races were added, or
// why there is no list. added is ignored unless the status is Ok.
QString raceListStatusText(const RaceListResult &result, int added);

// Fetches the race list on its own network manager, so the replies do not
// pass through the tracking client's reply handling, lamp and probe state.
class RaceListFetcher : public QObject
{
    Q_OBJECT
public:
    explicit RaceListFetcher(QObject *parent = nullptr);
    ~RaceListFetcher() override;

    int transferTimeout() const { return m_timeoutMs; }
    void setTransferTimeout(int ms) { m_timeoutMs = ms; }
    // Largest reply and time to its last byte; the tracking limits by default.
    void setReplyLimits(qint64 maxBytes, int deadlineMs)
    {
        m_maxBytes = maxBytes;
        m_deadlineMs = deadlineMs;
    }
    bool isBusy() const { return m_reply != nullptr; }

    // Asks base + "/api/getRaces.php?csv=1". A fetch still running is
    // aborted first; only the newest one reports.
    void fetch(const QString &base);

signals:
    void finished(const Tracking::RaceListResult &result);

private:
    void handleFinished(QNetworkReply *reply);

    QNetworkAccessManager *m_manager;
    QNetworkReply *m_reply = nullptr;
    int m_timeoutMs;
    qint64 m_maxBytes;
    int m_deadlineMs;
};

} // namespace Tracking

Q_DECLARE_METATYPE(Tracking::RaceListResult)

#endif
