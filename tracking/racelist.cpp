#include "tracking/racelist.h"

#include "platform/config.h"
#include "platform/identity.h"
#include "platform/replylimits.h"
#include "tracking/ingest.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

#include <limits>

namespace Tracking
{

QString raceListUrl(const QString &base)
{
    return Config::stripTrailingSlash(base) + QLatin1String("/api/getRaces.php?csv=1");
}

QNetworkRequest makeRaceListRequest(const QString &base, int timeoutMs)
{
    QNetworkRequest request{QUrl(raceListUrl(base))};
    request.setRawHeader("User-Agent", Identity::trackingUserAgent);
    request.setTransferTimeout(timeoutMs);
    return request;
}

ParsedRaceList parseRaceList(const QByteArray &body)
{
    ParsedRaceList parsed;
    const QString text = decodeReplyBody(body);
    forEachLine(QStringView(text), [&parsed](QStringView line) {
        if (line.trimmed().isEmpty())
            return;
        QStringView fields[5];
        if (!splitExactly(line, '|', fields)) {
            ++parsed.skippedLines;
            return;
        }
        Race race;
        race.eventId = int(parsePositiveInteger(fields[0], std::numeric_limits<int>::max()));
        race.taskId = int(parsePositiveInteger(fields[1], std::numeric_limits<int>::max()));
        race.name = fields[2].trimmed().toString();
        race.start = parsePositiveInteger(fields[3], maxRaceTime);
        race.end = parsePositiveInteger(fields[4], maxRaceTime);
        if (!isWellFormed(race)) {
            ++parsed.skippedLines;
            return;
        }
        parsed.races.append(race);
    });
    return parsed;
}

RaceListResult raceListResultOf(QNetworkReply *reply)
{
    RaceListResult result;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 404 || reply->error() == QNetworkReply::ContentNotFoundError) {
        result.status = RaceListResult::Unavailable;
        return result;
    }
    if (reply->error() != QNetworkReply::NoError) {
        result.status = RaceListResult::Failed;
        result.error = reply->errorString();
        return result;
    }
    const ParsedRaceList parsed = parseRaceList(reply->readAll());
    result.status = RaceListResult::Ok;
    result.races = parsed.races;
    result.skippedLines = parsed.skippedLines;
    return result;
}

QString raceListStatusText(const RaceListResult &result, int added)
{
    switch (result.status) {
    case RaceListResult::Ok:
        if (added == 0)
            return QCoreApplication::translate("RaceList", "Keine neuen Regatten auf dem Server.");
        if (added == 1)
            return QCoreApplication::translate("RaceList", "1 neue Regatta vom Server geholt.");
        return QCoreApplication::translate("RaceList", "%1 neue Regatten vom Server geholt.")
            .arg(added);
    case RaceListResult::Unavailable:
        return QCoreApplication::translate("RaceList", "Der Server bietet keine Regattaliste an.");
    case RaceListResult::Failed:
        break;
    }
    return QCoreApplication::translate("RaceList",
                                       "Die Regattaliste konnte nicht geholt werden: %1")
        .arg(result.error);
}

RaceListFetcher::RaceListFetcher(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)),
      m_timeoutMs(Identity::trackingTimeoutMs), m_maxBytes(Identity::trackingMaxBytes),
      m_deadlineMs(Identity::trackingDeadlineMs)
{
    qRegisterMetaType<Tracking::RaceListResult>();
    connect(m_manager, &QNetworkAccessManager::finished, this, &RaceListFetcher::handleFinished);
}

RaceListFetcher::~RaceListFetcher() = default;

void RaceListFetcher::fetch(const QString &base)
{
    if (m_reply) {
        QNetworkReply *old = m_reply;
        m_reply = nullptr; // its finished signal no longer counts
        old->abort();
    }
    m_reply = m_manager->get(makeRaceListRequest(base, m_timeoutMs));
    ReplyLimits::apply(m_reply, m_maxBytes, m_deadlineMs);
}

void RaceListFetcher::handleFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    emit finished(raceListResultOf(reply));
}

} // namespace Tracking
